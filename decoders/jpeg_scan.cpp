// Sequential (baseline and extended) Huffman scans: one call decodes one restart interval, or
// the whole scan when there is no restart interval.
//
// A scan of several components is decoded MCU by MCU. A scan of one component is decoded
// block by block in that component's raster order (T.81 A.2.2), into its own plane.
#include "decoders/jpeg.h"
#include "decoders/jpeg_entropy.h"

#include "core/status.h"

#include <cstring>

// Coefficients of one block, dequantised, in column order.
alignas(16) static int32_t s_coef[64];
static int16_t s_predictor[JPEG_MAX_COMPONENTS];

// Decodes one block's coefficients and stores them dequantised in column order; returns how
// many zigzag positions lead up to the last non-zero one, or 0 with the status set on bad data.
// Works on a local copy of the reader state (see jpeg_entropy.h).
static inline int decode_block(EntropyState& e, int32_t* coef, const uint16_t* q,
                               const HuffTable* dc, const HuffTable* ac, int16_t* pred) {
    clear_coefficients(coef);
    int s = ent_symbol(e, dc, "DC");
    if (s < 0) {
        g_status = ST_LOAD;
        return 0;
    }
    if (s > 16) {
        g_status = ST_BAD_DATA;
        return 0;
    }
    int diff = ent_extend(ent_bits(e, s), s);
    *pred = static_cast<int16_t>(static_cast<uint16_t>(*pred + diff));
    coef[0] = static_cast<int32_t>(q[0]) * *pred;
    int count = 1;
    for (int k = 1; k < 64;) {
        int run, value;
        if (!ent_ac_short(e, ac, &run, &value)) {
            int rs = ent_symbol(e, ac, "AC");
            if (rs < 0) {
                g_status = ST_LOAD;
                return 0;
            }
            if (rs == 0) break;
            run = rs >> 4;
            int size = rs & 15;
            value = static_cast<int16_t>(ent_extend(ent_bits(e, size), size));
        }
        k += run;
        if (k > 63) {
            g_status = ST_BAD_DATA;
            return 0;
        }
        coef[k_jpeg_zigzag_cols[k]] = static_cast<int32_t>(q[k]) * value;
        count = ++k;
    }
    return count;
}

void seq_decode_interval() {
    const JpegScan& scan = g_jpeg_scan;
    int comp[JPEG_MAX_COMPONENTS];
    const HuffTable* dc[JPEG_MAX_COMPONENTS];
    const HuffTable* ac[JPEG_MAX_COMPONENTS];
    for (int i = 0; i < scan.count; ++i) {
        comp[i] = jpeg_frame_component_index(scan.comp_id[i]);
        if (comp[i] < 0) {
            g_status = ST_VALUE;
            return;
        }
        dc[i] = scan.dc_table[i] < 4 ? g_jpeg_huff[2 * scan.dc_table[i]] : nullptr;
        ac[i] = scan.ac_table[i] < 4 ? g_jpeg_huff[1 + 2 * scan.ac_table[i]] : nullptr;
        if (!dc[i] || !ac[i]) {
            g_status = ST_LOAD;
            return;
        }
    }
    JpegGeometry g;
    if (!jpeg_frame_geometry(&g)) return;
    int blocks = 0;
    for (int i = 0; i < scan.count; ++i)
        blocks += g_jpeg_frame.comp[comp[i]].h * g_jpeg_frame.comp[comp[i]].v;
    if (scan.count > 1 && blocks > JPEG_MAX_SCAN_BLOCKS) {
        g_status = ST_BAD_DATA;
        return;
    }
    if (g_jpeg_frame.count == 3 && scan.count != 3 && !g_jpeg_deferred_colour) {
        // Rows no scan reaches (in a file cut short) are to come out black.
        g_jpeg_deferred_colour = true;
        page_fill_plane(1, 128);
        page_fill_plane(2, 128);
        if (g_status) return;
    }

    bool single = scan.count == 1;
    long units = single ? static_cast<long>(g.blocks_wide[comp[0]]) * g.blocks_high[comp[0]]
                        : static_cast<long>(g.mcu_cols) * g.mcu_rows;
    long first = static_cast<long>(g_jpeg_restart_interval) * g_jpeg_restart_count;
    long count = units - first;
    if (g_jpeg_restart_interval && count > static_cast<long>(g_jpeg_restart_interval))
        count = g_jpeg_restart_interval;
    if (count <= 0) return;
    if (!mcu_buffers_begin(g)) return;

    std::memset(s_predictor, 0, sizeof s_predictor);
    ent_begin();
    EntropyState e = g_ent; // handed back before ent_end
    bool stored = false;
    for (long u = first; u < first + count && !g_status; ++u) {
        if (single) {
            if (ent_at_marker(e)) {
                g_jpeg_marker_reached = true;
                break;
            }
            int c = comp[0];
            int n = decode_block(e, s_coef, g_jpeg_quant[g_jpeg_frame.comp[c].tq], dc[0], ac[0],
                                 &s_predictor[0]);
            if (e.overrun) break; // the data ended inside the block (a file cut short)
            if (!n) break;
            block_store(g, c, static_cast<int>(u % g.blocks_wide[c]),
                        static_cast<int>(u / g.blocks_wide[c]), s_coef, n);
            stored = true;
            continue;
        }
        int b = 0;
        for (int i = 0; i < scan.count && !g_jpeg_marker_reached && !g_status; ++i) {
            const JpegComponent& k = g_jpeg_frame.comp[comp[i]];
            for (int j = 0; j < k.h * k.v; ++j, ++b) {
                if (ent_at_marker(e)) {
                    g_jpeg_marker_reached = true;
                    break;
                }
                int n = decode_block(e, s_coef, g_jpeg_quant[k.tq], dc[i], ac[i], &s_predictor[i]);
                if (!n || e.overrun) break; // the data may end inside the block
                mcu_put_coefficients(g, comp[i], j, s_coef, n);
            }
        }
        // An MCU whose data ended inside a block (a file cut short) is not shown, and what
        // its codes made of the missing bits is no fault.
        if (e.overrun) {
            g_status = 0;
            g_jpeg_marker_reached = true;
            break;
        }
        if (g_status) break;
        if (b > 0) {
            mcu_store(g, static_cast<int>(u), comp, scan.count);
            stored = true;
        }
        if (g_jpeg_marker_reached) break;
    }
    if (e.overrun) {
        g_status = 0;
        g_jpeg_marker_reached = true;
    }
    if (stored) g_jpeg_blocks_decoded = true;
    band_flush();
    g_ent = e;
    ent_end();
}
