#include "shell/command_line.h"
#include "decoders/string_tokens.h"

TokenResult next_command_token(const char** cursor, char* out) {
    out[0] = 0;
    if (!**cursor) return TOKEN_NONE;
    size_t length;
    if (**cursor == '"') {
        length = token_quoted(cursor, out, k_max_token + 1);
    } else {
        length = token_word(cursor, out, k_max_token + 1);
        // A word too long for the buffer stays where it is: pass over it whole.
        if (length > k_max_token) *cursor += length;
    }
    if (length == 0) return TOKEN_EMPTY;
    if (length > k_max_token) {
        out[0] = 0;
        return TOKEN_TOO_LONG;
    }
    return TOKEN_READ;
}
