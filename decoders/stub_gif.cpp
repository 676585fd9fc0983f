// Placeholder until this format's decoder lands: the format is refused as unknown.
#include "core/status.h"
#include "decoders/decoders.h"

void gif_load(int* image_id, int) {
    (void)image_id;
    g_status = ST_UNKNOWN_FORMAT;
}
