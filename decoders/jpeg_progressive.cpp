// Progressive Huffman scans (T.81 Annex G): scans only accumulate coefficients in a
// whole-frame coefficient store; the image is reconstructed once, at EOI or when the next
// SOF2 begins.
//
// The coefficient store is a paged row store of its own, one row per row of MCUs, so that a
// large frame's coefficients go to swap files under the memory budget like the picture's rows.
// A row's address is asked for again whenever the walk reaches it (the store keeps the rows
// touched last, which covers the current row and the one the walk prefetches from).
//
// Scans of one component visit that component's blocks in raster order over its own T.81
// size (restart intervals count blocks); interleaved DC scans go MCU by MCU.
#include "decoders/jpeg.h"
#include "decoders/jpeg_entropy.h"

#include "core/registry.h"
#include "core/services.h"
#include "core/status.h"
#include "core/store.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static Table* s_store; // a row per MCU row: MCU columns x blocks per MCU x 64 coefficients
static int s_store_id; // in zigzag order
static JpegGeometry s_geometry;
static int16_t s_predictor[JPEG_MAX_COMPONENTS];

void prog_release() {
    if (s_store_id) obj_delete(CLS_TABLE, s_store_id);
    s_store_id = 0;
    s_store = nullptr;
}

void prog_frame_begin() {
    prog_release();
    if (!jpeg_frame_geometry(&s_geometry)) return;
    const JpegGeometry& g = s_geometry;
    int64_t row_bytes = int64_t(g.mcu_cols) * g.blocks_per_mcu * 64 * sizeof(int16_t);
    if (!store_can_hold(g.mcu_rows, row_bytes)) {
        log_line("JPEG : coefficients trop volumineux");
        g_status = ST_NO_MEMORY;
        return;
    }
    s_store = store_create(&s_store_id, 0, g.mcu_rows, static_cast<int>(row_bytes), STORE_PLAIN);
    if (g_status) prog_release();
}

// Coefficients of one MCU row, for changing them; null (status set) when the row cannot be had.
static inline int16_t* coefficient_row(int mcu_row) {
    return reinterpret_cast<int16_t*>(store_row(s_store, mcu_row, false));
}

static inline int16_t* block_at(int16_t* mcu_row, int comp, int bx, int by) {
    const JpegGeometry& g = s_geometry;
    const JpegComponent& k = g_jpeg_frame.comp[comp];
    size_t mcu = static_cast<size_t>(bx / k.h);
    int b = bx % k.h + (by % k.v) * k.h;
    return mcu_row + (mcu * g.blocks_per_mcu + g.block_offset[comp] + b) * 64;
}

// Raster walk over one component's blocks in the store, stepping without divisions:
// the same blocks as block_at.
struct BlockWalk {
    int comp, x, y;
    int mcu_x, sub_x; // x / H and x % H
    int16_t* row;     // block (0, y); null past the last row
};

static void walk_row(BlockWalk* w) {
    const JpegGeometry& g = s_geometry;
    const JpegComponent& k = g_jpeg_frame.comp[w->comp];
    w->row = nullptr;
    if (w->y >= g.blocks_high[w->comp]) return;
    int16_t* mcu_row = coefficient_row(w->y / k.v);
    if (!mcu_row) return;
    w->row = mcu_row + (static_cast<size_t>(g.block_offset[w->comp]) + (w->y % k.v) * k.h) * 64;
}

static void walk_start(BlockWalk* w, int comp, long unit) {
    const JpegComponent& k = g_jpeg_frame.comp[comp];
    long wide = s_geometry.blocks_wide[comp];
    w->comp = comp;
    w->x = static_cast<int>(unit % wide);
    w->y = static_cast<int>(unit / wide);
    w->mcu_x = w->x / k.h;
    w->sub_x = w->x % k.h;
    walk_row(w);
}

static inline int16_t* walk_block(const BlockWalk& w) {
    return w.row + (static_cast<size_t>(w.mcu_x) * s_geometry.blocks_per_mcu + w.sub_x) * 64;
}

static inline void walk_next(BlockWalk* w) {
    if (++w->x == s_geometry.blocks_wide[w->comp]) {
        w->x = w->mcu_x = w->sub_x = 0;
        ++w->y;
        walk_row(w);
    } else if (++w->sub_x == g_jpeg_frame.comp[w->comp].h) {
        w->sub_x = 0;
        ++w->mcu_x;
    }
}

static inline int16_t wrap16(int v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}

static bool dc_block(EntropyState& e, int16_t* zz, const HuffTable* dc, int16_t* pred) {
    const JpegScan& scan = g_jpeg_scan;
    if (scan.ah == 0) {
        int s = ent_symbol(e, dc, "DC");
        if (s < 0) {
            g_status = ST_LOAD;
            return false;
        }
        if (s > 16) {
            g_status = ST_BAD_DATA;
            return false;
        }
        int diff = ent_extend(ent_bits(e, s), s);
        *pred = wrap16(*pred + diff * (1 << scan.al));
        zz[0] = *pred;
    } else if (ent_bit(e)) {
        zz[0] = wrap16(zz[0] | (1 << scan.al));
    }
    return true;
}

static bool ac_first_block(EntropyState& e, int16_t* zz, const HuffTable* ac, long* eobrun) {
    const JpegScan& scan = g_jpeg_scan;
    for (int k = scan.ss > 0 ? scan.ss : 1; k <= scan.se;) {
        int run, value;
        if (!ent_ac_short(e, ac, &run, &value)) {
            int rs = ent_symbol(e, ac, "AC");
            if (rs < 0) {
                g_status = ST_BAD_DATA;
                return false;
            }
            int r = rs >> 4, s = rs & 15;
            if (s == 0 && r < 15) {
                *eobrun = (1L << r) + ent_bits(e, r);
                break;
            }
            run = r;
            value = ent_extend(ent_bits(e, s), s);
        }
        k += run;
        if (k > 63) {
            g_status = ST_BAD_DATA;
            return false;
        }
        zz[k] = wrap16(value * (1 << scan.al));
        ++k;
    }
    if (*eobrun > 0) --*eobrun;
    return true;
}

// The block decoders run on a local copy of the reader state (see jpeg_entropy.h).

// Correction bit for an already non-zero coefficient (T.81 G.1.2.3).
static inline void refine(EntropyState& e, int16_t* coef, int p) {
    if (ent_bit(e) && (*coef & p) == 0) *coef = wrap16(*coef >= 0 ? *coef + p : *coef - p);
}

// Bit i set when zz[i] is non-zero.
static inline uint64_t nonzero_mask(const int16_t* zz) {
    uint64_t mask = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zz + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zz + i + 8));
        __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
        mask |= static_cast<uint64_t>(static_cast<uint16_t>(~_mm_movemask_epi8(zeros))) << i;
    }
#else
    for (int i = 0; i < 64; ++i) mask |= static_cast<uint64_t>(zz[i] != 0) << i;
#endif
    return mask;
}

// Positions from..63 (from = 0..64).
static inline uint64_t mask_from(int from) {
    return from >= 64 ? 0 : ~0ull << from;
}

// Correction bits for the non-zero coefficients in `mask`, lowest position first. Refining
// never makes a coefficient zero, so the mask stays true.
static inline void refine_all(EntropyState& e, int16_t* zz, uint64_t mask, int p) {
    while (mask) {
        refine(e, &zz[__builtin_ctzll(mask)], p);
        mask &= mask - 1;
    }
}

// Coefficients are visited in order from ss to se: each non-zero one takes a correction bit,
// zero ones count down the run of the decoded symbol. Masks of the non-zero positions stand
// in for the coefficient by coefficient walk.
static bool ac_refine_block(EntropyState& e, int16_t* zz, const HuffTable* ac, long* eobrun) {
    const JpegScan& scan = g_jpeg_scan;
    int p = 1 << scan.al;
    int k = scan.ss;
    uint64_t band = mask_from(k) & ~mask_from(scan.se + 1);
    uint64_t nonzero = nonzero_mask(zz) & band;
    if (*eobrun == 0) {
        for (; k <= scan.se; ++k) {
            int rs = ent_symbol(e, ac, "ACH");
            if (rs < 0) {
                g_status = ST_LOAD;
                return false;
            }
            int r = rs >> 4, s = rs & 15;
            int value = 0;
            if (s != 0) {
                if (s != 1) {
                    g_status = ST_LOAD;
                    return false;
                }
                value = ent_bit(e) ? p : -p;
            } else if (r != 15) {
                *eobrun = (1L << r) + ent_bits(e, r);
                break;
            }
            // The run ends on the (r + 1)th zero from k, or past se when there are fewer.
            uint64_t zeros = ~nonzero & band & mask_from(k);
            for (int i = 0; i < r && zeros; ++i) zeros &= zeros - 1;
            int stop = zeros ? __builtin_ctzll(zeros) : scan.se + 1;
            refine_all(e, zz, nonzero & mask_from(k) & ~mask_from(stop), p);
            k = stop;
            if (value != 0 && k <= 63) {
                zz[k] = wrap16(value);
                nonzero |= (1ull << k) & band;
            }
        }
    }
    if (*eobrun > 0) {
        if (k <= scan.se) refine_all(e, zz, nonzero & mask_from(k), p);
        --*eobrun;
    }
    return true;
}

void prog_decode_interval() {
    const JpegScan& scan = g_jpeg_scan;
    if (!s_store) {
        g_status = ST_NO_MEMORY;
        return;
    }
    bool dc_scan = scan.ss == 0;
    if ((dc_scan && scan.se != 0) || (!dc_scan && scan.count != 1) || scan.se < scan.ss) {
        g_status = ST_BAD_DATA;
        return;
    }
    int comp[JPEG_MAX_COMPONENTS] = {0, 0, 0, 0};
    const HuffTable* table[JPEG_MAX_COMPONENTS] = {nullptr, nullptr, nullptr, nullptr};
    int blocks = 0;
    for (int i = 0; i < scan.count; ++i) {
        comp[i] = jpeg_frame_component_index(scan.comp_id[i]);
        if (comp[i] < 0) {
            g_status = ST_VALUE;
            return;
        }
        int id = dc_scan ? scan.dc_table[i] : scan.ac_table[i];
        table[i] = id < 4 ? g_jpeg_huff[(dc_scan ? 0 : 1) + 2 * id] : nullptr;
        if (!table[i] && !(dc_scan && scan.ah != 0)) {
            g_status = ST_LOAD;
            return;
        }
        blocks += g_jpeg_frame.comp[comp[i]].h * g_jpeg_frame.comp[comp[i]].v;
    }
    if (scan.count > 1 && blocks > JPEG_MAX_SCAN_BLOCKS) {
        g_status = ST_BAD_DATA;
        return;
    }
    const JpegGeometry& g = s_geometry;
    bool single = scan.count == 1;
    int c0 = comp[0];
    long units = single ? static_cast<long>(g.blocks_wide[c0]) * g.blocks_high[c0]
                        : static_cast<long>(g.mcu_cols) * g.mcu_rows;
    long first = static_cast<long>(g_jpeg_restart_interval) * g_jpeg_restart_count;
    long count = units - first;
    if (g_jpeg_restart_interval && count > static_cast<long>(g_jpeg_restart_interval))
        count = g_jpeg_restart_interval;
    g_jpeg_scan_whole = count <= 0;
    if (count <= 0) return;

    std::memset(s_predictor, 0, sizeof s_predictor);
    long eobrun = 0;
    ent_begin();
    EntropyState e = g_ent; // handed back before ent_end
    // The store is far larger than the caches: a second walk asks early for blocks soon needed.
    constexpr int k_ahead = 4;
    BlockWalk at{}, ahead{};
    if (single) {
        walk_start(&at, c0, first);
        walk_start(&ahead, c0, first + k_ahead);
    }
    bool decoded = false;
    for (long u = first; u < first + count && !g_status && !g_jpeg_marker_reached; ++u) {
        if (single) {
            if (!at.row) break; // the row could not be had: the status says why
            int16_t* zz = walk_block(at);
            walk_next(&at);
            if (ahead.row) {
                const int16_t* soon = walk_block(ahead);
                __builtin_prefetch(soon, 1);
                __builtin_prefetch(soon + 32, 1);
                walk_next(&ahead);
            }
            if (!dc_scan && eobrun > 0 && scan.ah == 0) {
                --eobrun; // inside an end-of-band run: the block keeps its coefficients
                continue;
            }
            if (ent_at_marker(e)) {
                g_jpeg_marker_reached = true;
                break;
            }
            if (dc_scan)
                dc_block(e, zz, table[0], &s_predictor[0]);
            else if (scan.ah == 0)
                ac_first_block(e, zz, table[0], &eobrun);
            else
                ac_refine_block(e, zz, table[0], &eobrun);
            if (e.overrun) break; // the data ended inside the block: no fault of the codes
            decoded = true;
            continue;
        }
        int mcu_col = static_cast<int>(u % g.mcu_cols), mcu_row = static_cast<int>(u / g.mcu_cols);
        int16_t* row = coefficient_row(mcu_row);
        if (!row) break;
        for (int i = 0; i < scan.count && !g_status; ++i) {
            const JpegComponent& k = g_jpeg_frame.comp[comp[i]];
            for (int j = 0; j < k.h * k.v; ++j) {
                if (ent_at_marker(e)) {
                    g_jpeg_marker_reached = true;
                    break;
                }
                int bx = mcu_col * k.h + j % k.h, by = mcu_row * k.v + j / k.h;
                if (!dc_block(e, block_at(row, comp[i], bx, by), table[i], &s_predictor[i]) ||
                    e.overrun)
                    break;
                decoded = true;
            }
            if (g_jpeg_marker_reached) break;
        }
    }
    if (e.overrun) {
        g_status = 0;
        g_jpeg_marker_reached = true;
    }
    g_jpeg_scan_whole = !g_jpeg_marker_reached && !g_status && first + count >= units;
    if (decoded) g_jpeg_blocks_decoded = true;
    g_ent = e;
    ent_end();
}

void prog_reconstruct() {
    if (!s_store || g_status) {
        prog_release();
        return;
    }
    const JpegGeometry& g = s_geometry;
    int comps[JPEG_MAX_COMPONENTS];
    for (int c = 0; c < g_jpeg_frame.count; ++c) comps[c] = c;
    if (mcu_buffers_begin(g)) {
        long mcus = static_cast<long>(g.mcu_cols) * g.mcu_rows;
        for (long m = 0; m < mcus && !g_status; ++m) {
            // Storing an MCU may write picture rows: the coefficient row is asked for anew.
            const int16_t* row =
                reinterpret_cast<const int16_t*>(store_row(s_store, m / g.mcu_cols, true));
            if (!row) break;
            const int16_t* mcu = row + static_cast<size_t>(m % g.mcu_cols) * g.blocks_per_mcu * 64;
            for (int c = 0; c < g_jpeg_frame.count; ++c) {
                const JpegComponent& k = g_jpeg_frame.comp[c];
                for (int b = 0; b < k.h * k.v; ++b) {
                    const int16_t* zz = mcu + (g.block_offset[c] + b) * 64;
                    int count = 64;
                    while (count > 1 && zz[count - 1] == 0) --count;
                    mcu_put_block(g, c, b, zz, count);
                }
            }
            mcu_store(g, static_cast<int>(m), comps, g_jpeg_frame.count);
        }
        band_flush();
    }
    prog_release();
}
