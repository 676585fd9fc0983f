// Placeholder until this format's decoder lands: the format is refused as unknown.
#include "core/status.h"
#include "decoders/decoders.h"

void pcx_load(int, int) {
    g_status = ST_UNKNOWN_FORMAT;
}
