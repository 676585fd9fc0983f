// X pixmap decoder. The file is read as the C declaration it is: a (state, byte class) table
// walks the declaration, its comments and the quoted strings of the array, and hands each
// string to the header, colour or pixel step. The result is one plane of palette indices.
//
// A picture that would be wrong is refused: more than 256 colours (status 3), a colour whose
// value is not known and that a pixel uses (3), pixels that match no key, rows shorter than
// the width or fewer rows than the height (14). Pixels are looked up through a table of every
// key (one or two characters per pixel) or a small hash table (more).
#include "decoders/xpm.h"

#include "core/mem.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/services.h"
#include "core/status.h"
#include "decoders/byte_source.h"
#include "decoders/decoder_start.h"
#include "decoders/decoders.h"
#include "decoders/string_tokens.h"
#include "image/image.h"

#include <cstring>

namespace {

constexpr long kReaderBuffer = 1048576;
constexpr int kNameIndex = 16; // "XPixmap"
constexpr int kMostColours = 256;
constexpr int kLongestKey = 64;
// Pixel lookup results: a palette index, with these bits for pixels that cannot be shown.
constexpr uint16_t kUnknownColour = 0x100, kNoKey = 0x200;
constexpr int kHashSlots = 1024;

enum State : uint8_t {
    OUTSIDE,
    COMMENT_OPEN,
    COMMENT,
    COMMENT_STAR,
    WORD,
    ARRAY_OPEN,
    HEADER_LEAD,
    HEADER,
    STRING,
    AFTER_STRING,
    ARRAY_COMMENT_OPEN,
    ARRAY_COMMENT,
    ARRAY_COMMENT_STAR,
    CLOSED,
    STATE_COUNT
};

enum ByteClass : uint8_t {
    BLANK,
    QUOTE,
    STAR,
    COMMA,
    SLASH,
    SEMI,
    OPEN,
    CLOSE,
    OTHER,
    CLASS_COUNT
};

enum Action : uint8_t { NOTHING, APPEND, HEADER_DONE, STRING_DONE, END, FAIL };

struct Cell {
    Action action;
    State next;
};

struct ByteClasses {
    uint8_t of[256];
    ByteClasses() {
        memset(of, OTHER, sizeof of);
        of['\t'] = of['\n'] = of['\r'] = of[' '] = BLANK;
        of['"'] = QUOTE, of['*'] = STAR, of[','] = COMMA, of['/'] = SLASH, of[';'] = SEMI;
        of['{'] = OPEN, of['}'] = CLOSE;
    }
};
const ByteClasses k_classes;

constexpr Cell E = {FAIL, OUTSIDE};
constexpr Cell go(State s) {
    return {NOTHING, s};
}
constexpr Cell add(State s) {
    return {APPEND, s};
}

// Columns: blank, quote, star, comma, slash, semicolon, open brace, close brace, other. A word
// may run straight into the open brace ("x[]={").
const Cell k_table[STATE_COUNT][CLASS_COUNT] = {
    /* OUTSIDE */
    {go(OUTSIDE), go(STRING), go(WORD), E, go(COMMENT_OPEN), E, go(ARRAY_OPEN), go(CLOSED),
     go(WORD)},
    /* COMMENT_OPEN */ {E, E, go(COMMENT), E, E, E, E, E, E},
    /* COMMENT */
    {go(COMMENT), go(COMMENT), go(COMMENT_STAR), go(COMMENT), go(COMMENT), go(COMMENT), go(COMMENT),
     go(COMMENT), go(COMMENT)},
    /* COMMENT_STAR */
    {go(COMMENT), go(COMMENT), go(COMMENT), go(COMMENT), go(OUTSIDE), go(COMMENT), go(COMMENT),
     go(COMMENT), go(COMMENT)},
    /* WORD */ {go(OUTSIDE), E, go(WORD), E, E, E, go(ARRAY_OPEN), E, go(WORD)},
    /* ARRAY_OPEN */
    {go(ARRAY_OPEN), go(HEADER_LEAD), E, E, go(ARRAY_COMMENT_OPEN), E, E, E, E},
    /* HEADER_LEAD */ {go(HEADER_LEAD), E, E, E, E, E, E, E, add(HEADER)},
    /* HEADER */ {add(HEADER), {HEADER_DONE, AFTER_STRING}, E, E, E, E, E, E, add(HEADER)},
    /* STRING: read whole by the loop up to its closing quote */
    {add(STRING),
     {STRING_DONE, AFTER_STRING},
     add(STRING),
     add(STRING),
     add(STRING),
     add(STRING),
     add(STRING),
     add(STRING),
     add(STRING)},
    /* AFTER_STRING */ {go(AFTER_STRING), E, E, go(OUTSIDE), E, E, E, go(CLOSED), E},
    /* ARRAY_COMMENT_OPEN */ {E, E, go(ARRAY_COMMENT), E, E, E, E, E, E},
    /* ARRAY_COMMENT */
    {go(ARRAY_COMMENT), go(ARRAY_COMMENT), go(ARRAY_COMMENT_STAR), go(ARRAY_COMMENT),
     go(ARRAY_COMMENT), go(ARRAY_COMMENT), go(ARRAY_COMMENT), go(ARRAY_COMMENT), go(ARRAY_COMMENT)},
    /* ARRAY_COMMENT_STAR */
    {go(ARRAY_COMMENT), go(ARRAY_COMMENT), go(ARRAY_COMMENT), go(ARRAY_COMMENT), go(ARRAY_OPEN),
     go(ARRAY_COMMENT), go(ARRAY_COMMENT), go(ARRAY_COMMENT), go(ARRAY_COMMENT)},
    /* CLOSED */ {go(CLOSED), E, E, E, E, {END, OUTSIDE}, E, E, E},
};

struct XpmDecoder {
    int image_id;
    int width, height, colours, chars_per_pixel;
    int colour_lines, rows;
    uint8_t* keys;                 // colours x chars_per_pixel bytes, key k at k x chars_per_pixel
    uint16_t* lookup;              // one or two characters per pixel: key -> result
    int16_t* slots;                // more characters: hash slots holding key numbers, -1 when empty
    uint16_t result[kMostColours]; // lookup result of each key number
    uint16_t seen;                 // every result a pixel gave, or-ed together
    char* text;                    // the header or colour line being handled, zero-terminated
    size_t text_used, text_size;
    uint8_t* spill; // a string that runs across the end of the byte source's block
    size_t spill_used, spill_size;
};

XpmDecoder g_xpm;

void free_buffers() {
    mem_free(g_xpm.keys);
    mem_free(g_xpm.lookup);
    mem_free(g_xpm.slots);
    mem_free(g_xpm.text);
    mem_free(g_xpm.spill);
}

// Appends to the text, keeping it zero-terminated and growing it 512 bytes at a time.
void append(const char* bytes, size_t n) {
    XpmDecoder& d = g_xpm;
    if (d.text_used + n + 2 > d.text_size) {
        size_t size = d.text_used + n + 512;
        if (!mem_realloc(d.text, size)) return;
        d.text_size = size;
    }
    memcpy(d.text + d.text_used, bytes, n);
    d.text_used += n;
    d.text[d.text_used] = 0;
}

void clear_text() {
    g_xpm.text_used = 0;
    if (g_xpm.text) g_xpm.text[0] = 0;
}

uint32_t hash_key(const uint8_t* key, int n) {
    uint32_t h = 2166136261u;
    for (int i = 0; i < n; i++) h = (h ^ key[i]) * 16777619u;
    return h;
}

// Slot of the key: the one holding it, or the empty one where it would go.
int hash_slot(const uint8_t* key) {
    const int n = g_xpm.chars_per_pixel;
    int at = static_cast<int>(hash_key(key, n) & (kHashSlots - 1));
    while (g_xpm.slots[at] >= 0 && memcmp(g_xpm.keys + g_xpm.slots[at] * n, key, n) != 0)
        at = (at + 1) & (kHashSlots - 1);
    return at;
}

// Lookup structures for the pixel rows, once every colour line is read. The first of equal
// keys wins.
void build_lookup() {
    XpmDecoder& d = g_xpm;
    const int n = d.chars_per_pixel;
    if (n <= 2) {
        size_t entries = n == 1 ? 256 : 65536;
        if (!mem_alloc(d.lookup, entries * sizeof(uint16_t))) return;
        for (size_t i = 0; i < entries; i++) d.lookup[i] = kNoKey;
        for (int k = d.colours - 1; k >= 0; k--) {
            const uint8_t* key = d.keys + k * n;
            d.lookup[n == 1 ? key[0] : key[0] | key[1] << 8] = d.result[k];
        }
        return;
    }
    if (!mem_alloc(d.slots, kHashSlots * sizeof(int16_t))) return;
    for (int i = 0; i < kHashSlots; i++) d.slots[i] = -1;
    for (int k = 0; k < d.colours; k++) {
        int at = hash_slot(d.keys + k * n);
        if (d.slots[at] < 0) d.slots[at] = static_cast<int16_t>(k);
    }
}

void header_done() {
    XpmDecoder& d = g_xpm;
    const char* cursor = d.text;
    long long width = token_number(&cursor), height = token_number(&cursor);
    long long colours = token_number(&cursor), chars = token_number(&cursor);
    clear_text(); // words after the four numbers (hot spot, XPMEXT) are not used
    if (d.keys) return decoder_refuse(ST_BAD_DATA, "XPM : second en-tete");
    if (colours > kMostColours)
        return decoder_refuse(ST_UNKNOWN_FORMAT, "XPM : plus de 256 couleurs");
    if (chars < 1) return decoder_refuse(ST_BAD_DATA, "XPM : zero caractere par pixel");
    if (chars > kLongestKey) return decoder_refuse(ST_UNKNOWN_FORMAT, "XPM : cles trop longues");
    Image* image = obj_find_as<Image>(CLS_IMAGE, d.image_id);
    image->bit_count = image->bits_per_sample = 8;
    image->samples_per_pixel = 1;
    if (!decoder_alloc(d.image_id, width, height, 1, "XPM")) return;
    d.width = static_cast<int>(width), d.height = static_cast<int>(height);
    d.colours = static_cast<int>(colours), d.chars_per_pixel = static_cast<int>(chars);
    mem_alloc(d.keys, static_cast<size_t>(colours * chars) + 1);
}

void colour_line(const char* s, size_t length) {
    XpmDecoder& d = g_xpm;
    const int n = d.chars_per_pixel, k = d.colour_lines;
    if (length < static_cast<size_t>(n))
        return decoder_refuse(ST_BAD_DATA, "XPM : ligne de couleur courte");
    memcpy(d.keys + k * n, s, n);
    clear_text();
    append(s + n, length - n);
    if (g_status) return;
    Image* image = obj_find_as<Image>(CLS_IMAGE, d.image_id);
    uint8_t rgb[3] = {0, 0, 0};
    XpmColour c = xpm_colour_line(d.text, rgb);
    clear_text();
    d.result[k] = static_cast<uint16_t>(k | (c == XPM_UNKNOWN ? kUnknownColour : 0));
    for (int ch = 0; ch < 3; ch++) image->palette[ch][k] = rgb[ch];
    if (c == XPM_TRANSPARENT) {
        image->transparent_flag = 1;
        image->transparent[0] = static_cast<uint8_t>(k);
    }
    if (++d.colour_lines == d.colours) build_lookup();
}

void pixel_row(const uint8_t* s, size_t length) {
    XpmDecoder& d = g_xpm;
    Image* image = obj_find_as<Image>(CLS_IMAGE, d.image_id);
    uint8_t* row = image_row_write(image, d.rows++, 0);
    if (!row) return;
    const int n = d.chars_per_pixel;
    const int pixels =
        length / n < static_cast<size_t>(d.width) ? static_cast<int>(length / n) : d.width;
    uint16_t seen = pixels < d.width ? kNoKey : 0;
    if (n == 1) {
        for (int x = 0; x < pixels; x++) {
            uint16_t v = d.lookup[s[x]];
            row[x] = static_cast<uint8_t>(v);
            seen |= v;
        }
    } else if (n == 2) {
        for (int x = 0; x < pixels; x++) {
            uint16_t v = d.lookup[s[2 * x] | s[2 * x + 1] << 8];
            row[x] = static_cast<uint8_t>(v);
            seen |= v;
        }
    } else {
        for (int x = 0; x < pixels; x++) {
            int16_t k = d.slots[hash_slot(s + x * n)];
            uint16_t v = k < 0 ? kNoKey : d.result[k];
            row[x] = static_cast<uint8_t>(v);
            seen |= v;
        }
    }
    d.seen |= seen;
}

// A completed string of the array after the header: a colour line, a pixel row, or past the
// last row (extension lines and the like), ignored.
void string_done(const uint8_t* s, size_t length) {
    XpmDecoder& d = g_xpm;
    if (d.colours == 0) return decoder_refuse(ST_LOAD, "XPM : chaine avant l'en-tete");
    if (d.colour_lines < d.colours)
        colour_line(reinterpret_cast<const char*>(s), length);
    else if (d.rows < d.height)
        pixel_row(s, length);
}

// Reads a string up to its closing quote, whatever it holds, and hands it on: from the byte
// source's block where it lies whole in it, else gathered in the spill buffer.
void read_string() {
    XpmDecoder& d = g_xpm;
    d.spill_used = 0;
    for (;;) {
        if (g_bytes.at == g_bytes.end && !bytes_refill()) return;
        const uint8_t* p = g_bytes.block + g_bytes.at;
        size_t left = static_cast<size_t>(g_bytes.end - g_bytes.at);
        const uint8_t* quote = static_cast<const uint8_t*>(memchr(p, '"', left));
        size_t part = quote ? static_cast<size_t>(quote - p) : left;
        g_bytes.at += static_cast<int>(quote ? part + 1 : part);
        if (!quote || d.spill_used) {
            if (d.spill_used + part > d.spill_size) {
                size_t size = (d.spill_used + part) * 2;
                if (!mem_realloc(d.spill, size)) return;
                d.spill_size = size;
            }
            memcpy(d.spill + d.spill_used, p, part);
            d.spill_used += part;
        }
        if (!quote) continue;
        if (d.spill_used) return string_done(d.spill, d.spill_used);
        return string_done(p, part);
    }
}

// Runs the table over the file; returns true when the declaration closed with "};".
bool parse() {
    State state = OUTSIDE;
    bytes_begin(ST_FILE);
    while (!g_status) {
        uint8_t c = static_cast<uint8_t>(bytes_next());
        if (g_status) {
            log_line("XPM : fin de fichier avant '};'");
            return false;
        }
        const Cell& cell = k_table[state][k_classes.of[c]];
        switch (cell.action) {
        case APPEND:
            append(reinterpret_cast<const char*>(&c), 1);
            break;
        case HEADER_DONE:
            header_done();
            break;
        case END:
            return true;
        case FAIL:
            decoder_refuse(ST_BAD_DATA, "XPM : caractere inattendu");
            return false;
        default:
            break;
        }
        state = cell.next;
        if (state == STRING && !g_status) {
            read_string();
            state = AFTER_STRING;
        }
    }
    return false;
}

void check_picture() {
    const XpmDecoder& d = g_xpm;
    if (d.rows < d.height) return decoder_refuse(ST_BAD_DATA, "XPM : lignes de pixels manquantes");
    if (d.seen & kNoKey) return decoder_refuse(ST_BAD_DATA, "XPM : pixels sans couleur");
    if (d.seen & kUnknownColour) decoder_refuse(ST_UNKNOWN_FORMAT, "XPM : couleur inconnue");
}

} // namespace

void xpm_load(int image_id, int list) {
    (void)list;
    free_buffers();
    g_xpm = XpmDecoder();
    g_xpm.image_id = image_id;
    Image* image = decoder_start(image_id, kReaderBuffer);
    if (!image) return;
    image->format_name_index = kNameIndex;
    if (parse()) check_picture();
    free_buffers();
}
