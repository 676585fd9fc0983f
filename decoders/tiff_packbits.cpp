// Uncompressed and PackBits strip rows.
#include "decoders/tiff.h"

#include "core/services.h"
#include "core/status.h"

#include <cstring>

bool raw_row(TiffFeed* feed, uint8_t* out, long row_bytes) {
    while (row_bytes > 0) {
        if (feed->next == feed->end && !feed_refill(feed)) return false;
        long n = static_cast<long>(feed->end - feed->next);
        if (n > row_bytes) n = row_bytes;
        std::memcpy(out, feed->next, static_cast<size_t>(n));
        feed->next += n;
        out += n;
        row_bytes -= n;
    }
    return true;
}

// Each row starts with a control byte n: 0..127 copies n + 1 bytes, -127..-1 repeats the next
// byte 1 - n times, -128 is nothing. A run that would pass the row's end is bad data.
bool packbits_row(TiffFeed* feed, uint8_t* out, long row_bytes) {
    long done = 0;
    while (done < row_bytes) {
        int control = feed_byte(feed);
        if (control < 0) return false;
        int n = static_cast<int8_t>(control);
        if (n == -128) continue;
        long run = n >= 0 ? n + 1 : 1 - n;
        if (run > row_bytes - done) {
            log_line("TIFF : sequence PackBits au-dela de la ligne");
            g_status = ST_BAD_DATA;
            return false;
        }
        if (n < 0) {
            int value = feed_byte(feed);
            if (value < 0) return false;
            std::memset(out + done, value, static_cast<size_t>(run));
            done += run;
            continue;
        }
        if (!raw_row(feed, out + done, run)) return false;
        done += run;
    }
    return true;
}
