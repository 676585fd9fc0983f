#include "display/row_samplers.h"

#include "core/byte_order.h"
#include "display/frame_buffer.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) << k_red_shift | uint32_t(g) << k_green_shift | uint32_t(b) << k_blue_shift;
}

// Four pixels go out with one store: separate 32-bit stores keep the store unit busier
// than the loads that feed them.
inline void store4(uint32_t* out, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
#if defined(__SSE2__)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_set_epi32(int(d), int(c), int(b), int(a)));
#else
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = d;
#endif
}

inline void prefetch(const uint8_t* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// One prefetch per cache line of next_row that the columns from k on reach.
struct LinePrefetch {
    const uint8_t* next_row;
    intptr_t last_line = -1;
    void at(int column, int plane_length, int planes) {
        if (!next_row) return;
        intptr_t line = intptr_t(column) >> 6;
        if (line == last_line) return;
        last_line = line;
        for (int p = 0; p < planes; ++p) prefetch(next_row + size_t(p) * plane_length + column);
    }
};

#if defined(__SSE2__)
// Sixteen pixels from sixteen red, green and blue bytes: bytes b, g, r, 0 in memory are one
// little-endian pixel.
inline void store16(uint32_t* out, __m128i r, __m128i g, __m128i b) {
    static_assert(k_red_shift == 16 && k_green_shift == 8 && k_blue_shift == 0,
                  "the byte interleave is for 0x00RRGGBB pixels");
    const __m128i zero = _mm_setzero_si128();
    __m128i bg_lo = _mm_unpacklo_epi8(b, g), bg_hi = _mm_unpackhi_epi8(b, g);
    __m128i r0_lo = _mm_unpacklo_epi8(r, zero), r0_hi = _mm_unpackhi_epi8(r, zero);
    auto* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o, _mm_unpacklo_epi16(bg_lo, r0_lo));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bg_lo, r0_lo));
    _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bg_hi, r0_hi));
    _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bg_hi, r0_hi));
}
#endif

} // namespace

bool is_grey_table(const uint32_t* table) {
    for (uint32_t i = 0; i < 256; ++i)
        if (table[i] != rgb(uint8_t(i), uint8_t(i), uint8_t(i))) return false;
    return true;
}

void sample_grey_run(uint32_t* out, const uint8_t* row, int count) {
    int k = 0;
#if defined(__SSE2__)
    for (; k + 16 <= count; k += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + k));
        store16(out + k, v, v, v);
    }
#endif
    for (; k < count; ++k) out[k] = rgb(row[k], row[k], row[k]);
}

void prefetch_run(const uint8_t* row, int plane_length, int planes, int count) {
    if (!row) return;
    for (int p = 0; p < planes; ++p)
        for (int k = 0; k < count; k += 64) prefetch(row + size_t(p) * plane_length + k);
}

void sample_indexed_columns(uint32_t* out, const uint8_t* row, const int32_t* columns, int count,
                            const uint32_t* table, const uint8_t* next_row) {
    LinePrefetch ahead{next_row};
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        ahead.at(columns[k], 0, 1);
        store4(out + k, table[row[columns[k]]], table[row[columns[k + 1]]],
               table[row[columns[k + 2]]], table[row[columns[k + 3]]]);
    }
    for (; k < count; ++k) out[k] = table[row[columns[k]]];
}

void sample_indexed_run(uint32_t* out, const uint8_t* row, int count, const uint32_t* table) {
    int k = 0;
    // Eight indices per load, taken apart in registers: the loads are the bottleneck.
    for (; k + 8 <= count; k += 8) {
        const uint64_t v = load_le64(row + k);
        store4(out + k, table[v & 255], table[(v >> 8) & 255], table[(v >> 16) & 255],
               table[(v >> 24) & 255]);
        store4(out + k + 4, table[(v >> 32) & 255], table[(v >> 40) & 255], table[(v >> 48) & 255],
               table[v >> 56]);
    }
    for (; k < count; ++k) out[k] = table[row[k]];
}

void sample_planar_columns(uint32_t* out, const uint8_t* row, int plane_length,
                           const int32_t* columns, int count, const uint8_t* next_row) {
    const uint8_t* red = row;
    const uint8_t* green = row + plane_length;
    const uint8_t* blue = row + 2 * plane_length;
    LinePrefetch ahead{next_row};
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        ahead.at(columns[k], plane_length, 3);
        int c0 = columns[k], c1 = columns[k + 1], c2 = columns[k + 2], c3 = columns[k + 3];
        store4(out + k, rgb(red[c0], green[c0], blue[c0]), rgb(red[c1], green[c1], blue[c1]),
               rgb(red[c2], green[c2], blue[c2]), rgb(red[c3], green[c3], blue[c3]));
    }
    for (; k < count; ++k) {
        int c = columns[k];
        out[k] = rgb(red[c], green[c], blue[c]);
    }
}

void sample_planar_run(uint32_t* out, const uint8_t* row, int plane_length, int count) {
    const uint8_t* red = row;
    const uint8_t* green = row + plane_length;
    const uint8_t* blue = row + 2 * plane_length;
    int k = 0;
#if defined(__SSE2__)
    for (; k + 16 <= count; k += 16)
        store16(out + k, _mm_loadu_si128(reinterpret_cast<const __m128i*>(red + k)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(green + k)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue + k)));
#endif
    for (; k < count; ++k) out[k] = rgb(red[k], green[k], blue[k]);
}

int column_runs(const int32_t* columns, int count, int32_t* run_column, int32_t* run_length) {
    int runs = 0;
    for (int k = 0; k < count;) {
        int e = k + 1;
        while (e < count && columns[e] == columns[k]) ++e;
        run_column[runs] = columns[k];
        run_length[runs++] = e - k;
        k = e;
    }
    return runs;
}

void spread_runs(uint32_t* out, int count, const uint32_t* values, const int32_t* run_column,
                 const int32_t* run_length, int runs) {
    const uint32_t* end = out + count;
    for (int r = 0; r < runs; ++r) {
        uint32_t v = values[run_column[r]];
        int n = run_length[r];
#if defined(__SSE2__)
        // Whole groups of four, the last one running over into the next run, which is
        // written afterwards; only where the row has room for the overrun.
        if (end - out >= n + 3) {
            __m128i group = _mm_set1_epi32(int(v));
            for (int i = 0; i < n; i += 4)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), group);
            out += n;
            continue;
        }
#endif
        for (int i = 0; i < n; ++i) out[i] = v;
        out += n;
    }
    (void)end; // only the vector form needs the row's end
}
