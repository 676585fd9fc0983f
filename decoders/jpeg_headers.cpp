// JPEG marker parsing (ITU T.81 Annex B): a (state, byte class) table drives the marker
// sequence; segment handlers keep the frame, tables, restart interval and scan parameters and
// hand each scan to the sequential or progressive decoder.
#include "decoders/jpeg.h"
#include "decoders/jpeg_entropy.h"

#include "core/mem.h"
#include "core/reader.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "decoders/decode_limits.h"
#include "decoders/decoders.h"
#include "image/image.h"
#include "core/services.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

Image* g_jpeg_page;
JpegFrame g_jpeg_frame;
bool g_jpeg_have_frame;
uint16_t g_jpeg_quant[4][64];
HuffTable* g_jpeg_huff[8];
unsigned g_jpeg_restart_interval;
unsigned g_jpeg_restart_count;
bool g_jpeg_colour_convert;
int g_jpeg_adobe_transform;
JpegScan g_jpeg_scan;
bool g_jpeg_marker_reached;
bool g_jpeg_deferred_colour;
bool g_jpeg_scan_whole;
bool g_jpeg_blocks_decoded;

// The file is read through a window of this size; the entropy decoder moves it on.
static const long k_reader_window = 1 << 16;
// Every block of the first scan of a frame takes at least one bit, and the component with the
// largest sampling covers the picture: a file cannot give more than 512 pixels per byte.
static const int64_t k_most_pixels_per_byte = 512;

static int s_end;         // 1 after EOI, -1 after a bad byte
static bool s_have_scan;  // a scan of the current frame has started
static int s_scans;       // scans started in the current frame
static int s_scan_limit;  // a second pass over a file cut short ends before this scan; 0: none
static int s_orientation; // of the first Exif segment; 0 before one is met

// ITU T.81 Annex K tables K.1 (luminance) and K.2 (chrominance), in zigzag order.
static const uint16_t k_default_luma[64] = {
    16, 11, 12,  14,  12,  10, 16, 14,  13,  14,  18,  17,  16, 19,  24,  40,
    26, 24, 22,  22,  24,  49, 35, 37,  29,  40,  58,  51,  61, 60,  57,  51,
    56, 55, 64,  72,  92,  78, 64, 68,  87,  69,  55,  56,  80, 109, 81,  87,
    95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99};
static const uint16_t k_default_chroma[64] = {
    17, 18, 18, 24, 21, 24, 47, 26, 26, 47, 99, 66, 56, 66, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// ---- byte classes and states ----

enum ByteClass : uint8_t {
    BC_FF,
    BC_SOI,
    BC_EOI,
    BC_COM,
    BC_APP0,
    BC_APP1,
    BC_APP8,
    BC_APP14,
    BC_APPN,
    BC_SOS,
    BC_DQT,
    BC_DNL,
    BC_DRI,
    BC_DHP,
    BC_EXP,
    BC_SOF,
    BC_DHT,
    BC_DAC,
    BC_RST,
    BC_JPG,
    BC_TEM,
    BC_ZERO,
    BC_OTHER,
    BC_SOF_FIRST // BC_SOF_FIRST + process: one class per SOF process (0..15 but 4, 8, 12)
};
constexpr int BYTE_CLASSES = BC_SOF_FIRST + 16;

// State numbers: Start, Marker, then InFrame and FrameMarker for each process 0..15.
enum : uint8_t { ST_START = 0, ST_MARKER = 1, ST_IN_FRAME = 2, ST_FRAME_MARKER = 18 };
constexpr int STATES = 34;
constexpr uint8_t NEXT_SOF = 255; // InFrame of the process named by the SOF byte

using Handler = void (*)(unsigned byte);
struct Transition {
    Handler handler;
    uint8_t next;
};

static uint8_t s_class[256];
static Transition s_table[STATES][BYTE_CLASSES];
static bool s_tables_ready;

// ---- handlers ----

static void h_none(unsigned) {}

static void h_bad(unsigned) {
    s_end = -1;
    g_status = ST_BAD_DATA;
}

static void h_skip(unsigned) {
    unsigned length = rd_u16be();
    if (g_status) return;
    if (length < 2) {
        g_status = ST_BAD_DATA;
        return;
    }
    rd_seek(length - 2, 1);
}

static void skip_rest(long rest) {
    if (rest > 0) rd_seek(rest, 1);
}

static void h_soi(unsigned) {
    g_jpeg_restart_count = 0;
    g_jpeg_restart_interval = 0;
}

static void h_eoi(unsigned) {
    if (!g_jpeg_have_frame) {
        h_bad(0);
        return;
    }
    if (g_jpeg_frame.process == 2) prog_reconstruct();
    page_finish_colour();
    s_end = 1;
}

static void h_app0(unsigned) {
    long length = rd_u16be();
    char id[8] = {0};
    rd_scan("%5s", id);
    if (g_status) return;
    if (std::strcmp(id, "JFXX") == 0) {
        if (length < 7)
            g_status = ST_BAD_DATA;
        else
            skip_rest(length - 7);
        return;
    }
    if (std::strcmp(id, "JFIF") != 0) {
        g_status = ST_BAD_DATA;
        return;
    }
    g_jpeg_page->format_name_index = 3;
    rd_u16be(); // version
    unsigned units = rd_byte();
    double x = rd_u16be(), y = rd_u16be();
    if (units == 2) {
        x = static_cast<int>(x * 2.54);
        y = static_cast<int>(y * 2.54);
    }
    g_jpeg_page->x_resolution = x;
    g_jpeg_page->y_resolution = y;
    rd_byte(); // thumbnail width and height
    rd_byte();
    if (g_status) return;
    if (length < 16)
        g_status = ST_BAD_DATA;
    else
        skip_rest(length - 16);
}

static void h_app1(unsigned) {
    long length = rd_u16be();
    char id[8] = {0};
    rd_scan("%5s", id);
    if (g_status) return;
    if (length < 7) {
        g_status = ST_BAD_DATA;
        return;
    }
    if (std::strcmp(id, "Exif") != 0) return skip_rest(length - 7);
    g_jpeg_page->format_name_index = 27;
    if (s_orientation) return skip_rest(length - 7);
    // The identifier's second zero, then the TIFF structure.
    long size = length - 7;
    uint8_t* exif = nullptr;
    if (size > 0 && !mem_alloc(exif, static_cast<size_t>(size))) return;
    if (size > 0) rd_read(exif, size);
    if (!g_status) s_orientation = size > 1 ? jpeg_exif_orientation(exif + 1, size - 1) : 1;
    mem_free(exif);
}

static void h_app8(unsigned) {
    long length = rd_u16be();
    char id[8] = {0};
    rd_scan("%6s", id);
    if (g_status) return;
    if (std::strcmp(id, "SPIFF") != 0) {
        g_status = ST_UNKNOWN_FORMAT;
        return;
    }
    rd_u16be(); // version
    g_jpeg_colour_convert = false;
    rd_byte(); // profile
    rd_byte(); // component count
    uint32_t height = rd_u32be(), width = rd_u32be();
    if (g_jpeg_page->bit_count == 0) {
        g_jpeg_page->height = static_cast<int32_t>(height);
        g_jpeg_page->width = static_cast<int32_t>(width);
    }
    rd_byte(); // colour space
    rd_byte(); // bits per sample
    rd_byte(); // compression type
    g_jpeg_page->format_name_index = 4;
    rd_byte(); // resolution unit
    g_jpeg_page->y_resolution = rd_u32be();
    g_jpeg_page->x_resolution = rd_u32be();
    if (g_status) return;
    if (length < 32)
        g_status = ST_BAD_DATA;
    else
        skip_rest(length - 32);
}

// Adobe segment: only its colour transform flag matters (0 CMYK or RGB, 1 YCbCr, 2 YCCK).
static void h_app14(unsigned) {
    long length = rd_u16be();
    if (g_status) return;
    if (length < 2) {
        g_status = ST_BAD_DATA;
        return;
    }
    if (length >= 14) {
        char id[6];
        rd_read(id, 5);
        rd_u16be(); // version
        rd_u16be(); // flags 0
        rd_u16be(); // flags 1
        unsigned transform = rd_byte();
        if (g_status) return;
        if (std::memcmp(id, "Adobe", 5) == 0) g_jpeg_adobe_transform = static_cast<int>(transform);
        skip_rest(length - 14);
    } else {
        skip_rest(length - 2);
    }
}

static void h_dqt(unsigned) {
    long rest = static_cast<long>(rd_u16be()) - 2;
    while (rest >= 65 && !g_status) {
        unsigned pq_tq = rd_byte();
        unsigned pq = pq_tq >> 4, tq = pq_tq & 15;
        if (tq > 3 || pq > 1) {
            g_status = ST_BAD_DATA;
            return;
        }
        for (int i = 0; i < 64; ++i)
            g_jpeg_quant[tq][i] = static_cast<uint16_t>(pq ? rd_u16be() : rd_byte());
        rest -= 1 + 64 * (pq + 1);
    }
    if (g_status) return;
    if (rest < 0)
        g_status = ST_BAD_DATA;
    else
        skip_rest(rest);
}

static void h_dht(unsigned) {
    long rest = static_cast<long>(rd_u16be()) - 2;
    while (rest >= 17 && !g_status) {
        unsigned tc_th = rd_byte();
        unsigned tc = tc_th >> 4, th = tc_th & 15;
        if (th > 3 || tc > 1) {
            g_status = ST_BAD_DATA;
            return;
        }
        HuffTable*& table = g_jpeg_huff[tc + 2 * th];
        mem_free(table);
        if (!mem_alloc(table, sizeof(HuffTable))) return;
        std::memset(table->lengths, 255, sizeof table->lengths);
        std::memset(table->symbols, 0, sizeof table->symbols);
        unsigned counts[16];
        long total = 0;
        for (unsigned& n : counts) {
            n = rd_byte();
            total += n;
        }
        unsigned code = 0;
        for (int length = 1; length <= 16; ++length) {
            for (unsigned i = 0; i < counts[length - 1]; ++i) {
                table->lengths[code & 0xFFFF] = static_cast<uint8_t>(length - 1);
                table->symbols[code & 0xFFFF] = static_cast<uint8_t>(rd_byte());
                ++code;
            }
            code <<= 1;
        }
        huff_build_fast(table);
        rest -= 17 + total;
    }
    if (g_status) return;
    if (rest < 0)
        g_status = ST_BAD_DATA;
    else
        skip_rest(rest);
}

static void h_dri(unsigned) {
    long length = rd_u16be();
    g_jpeg_restart_interval = rd_u16be();
    if (g_status) return;
    if (length < 4)
        g_status = ST_BAD_DATA;
    else
        skip_rest(length - 4);
}

// Reads the frame header into the current frame; returns the segment length.
static long read_frame_header(unsigned marker) {
    long length = rd_u16be();
    JpegFrame& f = g_jpeg_frame;
    std::memset(&f, 0, sizeof f);
    f.process = static_cast<uint8_t>(marker & 15);
    f.precision = static_cast<uint8_t>(rd_byte());
    f.height = static_cast<uint16_t>(rd_u16be());
    f.width = static_cast<uint16_t>(rd_u16be());
    f.count = static_cast<uint8_t>(rd_byte());
    return length;
}

static void setup_components(long length) {
    JpegFrame& f = g_jpeg_frame;
    Image* page = g_jpeg_page;
    if (f.count < 1 || f.count > JPEG_MAX_COMPONENTS || f.width == 0 || f.height == 0) {
        g_status = ST_BAD_DATA;
        return;
    }
    if (page->bit_count == 0) {
        if (f.precision < 2 || f.precision > 16) {
            g_status = ST_UNKNOWN_FORMAT;
            return;
        }
        if (!image_size_supplied(f.width, f.height, rd_size(), k_most_pixels_per_byte)) {
            log_line("JPEG : dimensions trop grandes pour la taille du fichier");
            g_status = ST_BAD_DATA;
            return;
        }
        if (!image_size_acceptable(f.width, f.height, f.count)) {
            log_line("JPEG : image trop grande");
            g_status = ST_NO_MEMORY;
            return;
        }
        page->bit_count = f.precision;
        image_alloc(page, f.width, f.height, f.count, STORE_PLAIN);
        if (g_status) return;
        // Samples of 12-bit files are scaled to bytes as they are decoded.
        if (f.count == 1) palette_identity(page);
    }
    page->samples_per_pixel = page->planes;
    page->bits_per_sample = page->bit_count;
    for (int i = 0; i < f.count; ++i) {
        JpegComponent& c = f.comp[i];
        c.id = static_cast<uint8_t>(rd_byte());
        unsigned hv = rd_byte();
        c.h = static_cast<uint8_t>(hv >> 4);
        c.v = static_cast<uint8_t>(hv & 15);
        c.tq = static_cast<uint8_t>(rd_byte());
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.tq > 3) g_status = ST_BAD_DATA;
    }
    if (g_status) return;
    g_jpeg_have_frame = true;
    s_have_scan = false;
    s_scans = 0;
    g_jpeg_deferred_colour = false;
    if (length < 3 * f.count + 8)
        g_status = ST_BAD_DATA;
    else
        skip_rest(length - (3 * f.count + 8));
}

static void h_sof_sequential(unsigned marker) {
    long length = read_frame_header(marker);
    if (g_status) return;
    unsigned p = g_jpeg_frame.precision;
    if ((marker & 15) == 0 ? p != 8 : (p != 8 && p != 12)) {
        g_status = ST_BAD_DATA;
        return;
    }
    setup_components(length);
}

static void h_sof_progressive(unsigned marker) {
    if (g_jpeg_have_frame && g_jpeg_frame.process == 2) prog_reconstruct();
    if (g_status) return;
    long length = read_frame_header(marker);
    if (g_status) return;
    unsigned p = g_jpeg_frame.precision;
    if ((p != 8 && p != 12) || g_jpeg_frame.count > 4) {
        g_status = ST_BAD_DATA;
        return;
    }
    setup_components(length);
    if (!g_status) prog_frame_begin();
}

static void h_sof_refused(unsigned marker) {
    read_frame_header(marker);
    if (g_status) return;
    int process = marker & 15;
    const char* name = "";
    switch (process) {
    case 3:
        name = "Lossless Huffman";
        break;
    case 5:
        name = "Differential Sequential DCT Huffman";
        break;
    case 6:
        name = "Differential Progressive DCT Huffman";
        break;
    case 7:
        name = "Differential lossless Huffman";
        break;
    case 9:
        name = "Extended Sequential DCT Arithmetic";
        break;
    case 10:
        name = "Progressive DCT Arithmetic";
        break;
    case 11:
        name = "Lossless Sequential DCT Arithmetic";
        break;
    case 13:
        name = "Differential Sequential DCT Arithmetic";
        break;
    case 14:
        name = "Differential Progressive DCT Arithmetic";
        break;
    case 15:
        name = "Differential Lossless DCT Arithmetic";
        break;
    }
    char text[1200];
    std::snprintf(text, sizeof text, "image %s : JPEG %s non traite",
                  g_jpeg_page->path ? g_jpeg_page->path : "", name);
    log_line(text);
    unsigned p = g_jpeg_frame.precision;
    bool valid;
    switch (process) {
    case 3:
    case 7:
    case 11:
    case 15:
        valid = p >= 2 && p <= 16;
        break;
    case 5:
    case 13:
        valid = p == 8;
        break;
    default:
        valid = p == 8 || p == 12;
        break;
    }
    g_status = valid ? ST_UNKNOWN_FORMAT : ST_BAD_DATA;
}

static void decode_interval() {
    g_jpeg_marker_reached = false;
    if (g_jpeg_frame.process == 2)
        prog_decode_interval();
    else
        seq_decode_interval();
}

static void h_sos(unsigned) {
    if (!g_jpeg_have_frame) {
        h_bad(0);
        return;
    }
    long length = rd_u16be();
    JpegScan& s = g_jpeg_scan;
    s.count = static_cast<int>(rd_byte());
    if (g_status) return;
    if (s.count < 1 || s.count > 4) {
        g_status = ST_BAD_DATA;
        return;
    }
    for (int i = 0; i < s.count; ++i) {
        s.comp_id[i] = static_cast<uint8_t>(rd_byte());
        unsigned tables = rd_byte();
        s.dc_table[i] = static_cast<uint8_t>(tables >> 4);
        s.ac_table[i] = static_cast<uint8_t>(tables & 15);
    }
    s.ss = static_cast<int>(rd_byte());
    s.se = static_cast<int>(rd_byte());
    unsigned a = rd_byte();
    s.ah = static_cast<int>(a >> 4);
    s.al = static_cast<int>(a & 15);
    if (g_status) return;
    if (s.ss > 63 || s.se > 63 || length < 2 * s.count + 6 || s.al > 13) {
        g_status = ST_BAD_DATA;
        return;
    }
    skip_rest(length - (2 * s.count + 6));
    if (++s_scans == s_scan_limit) {
        h_eoi(0); // the scans before this one are the picture
        return;
    }
    g_jpeg_restart_count = 0;
    s_have_scan = true;
    decode_interval();
}

static void h_rst(unsigned) {
    if (!g_jpeg_have_frame || !s_have_scan) {
        h_bad(0);
        return;
    }
    ++g_jpeg_restart_count;
    decode_interval();
}

// ---- table construction ----

static void build_tables() {
    for (int b = 0; b < 256; ++b) s_class[b] = BC_OTHER;
    s_class[0x00] = BC_ZERO;
    s_class[0x01] = BC_TEM;
    s_class[0xFF] = BC_FF;
    for (int b = 0xC0; b <= 0xCF; ++b) s_class[b] = static_cast<uint8_t>(BC_SOF_FIRST + (b & 15));
    s_class[0xC4] = BC_DHT;
    s_class[0xC8] = BC_JPG;
    s_class[0xCC] = BC_DAC;
    for (int b = 0xD0; b <= 0xD7; ++b) s_class[b] = BC_RST;
    s_class[0xD8] = BC_SOI;
    s_class[0xD9] = BC_EOI;
    s_class[0xDA] = BC_SOS;
    s_class[0xDB] = BC_DQT;
    s_class[0xDC] = BC_DNL;
    s_class[0xDD] = BC_DRI;
    s_class[0xDE] = BC_DHP;
    s_class[0xDF] = BC_EXP;
    for (int b = 0xE0; b <= 0xEF; ++b) s_class[b] = BC_APPN;
    s_class[0xE0] = BC_APP0;
    s_class[0xE1] = BC_APP1;
    s_class[0xE8] = BC_APP8;
    s_class[0xEE] = BC_APP14;
    for (int b = 0xF0; b <= 0xFD; ++b) s_class[b] = BC_JPG;
    s_class[0xFE] = BC_COM;

    static const Handler sof_handler[16] = {
        h_sof_sequential, h_sof_sequential, h_sof_progressive, h_sof_refused,
        nullptr,          h_sof_refused,    h_sof_refused,     h_sof_refused,
        nullptr,          h_sof_refused,    h_sof_refused,     h_sof_refused,
        nullptr,          h_sof_refused,    h_sof_refused,     h_sof_refused};

    for (auto& row : s_table)
        for (auto& t : row) t = {h_bad, ST_START};

    // Start: only 0xFF leads to a marker.
    s_table[ST_START][BC_FF] = {h_none, ST_MARKER};

    // Marker, before any frame. Fill bytes (0xFF) may come before any marker.
    Transition* m = s_table[ST_MARKER];
    m[BC_FF] = {h_none, ST_MARKER};
    m[BC_SOI] = {h_soi, ST_START};
    m[BC_EOI] = {h_eoi, ST_START};
    m[BC_COM] = {h_skip, ST_START};
    m[BC_APP0] = {h_app0, ST_START};
    m[BC_APP1] = {h_app1, ST_START};
    m[BC_APP8] = {h_app8, ST_START};
    m[BC_APP14] = {h_app14, ST_START};
    m[BC_SOS] = {h_sos, ST_START};
    m[BC_DQT] = {h_dqt, ST_START};
    m[BC_DRI] = {h_dri, ST_START};
    m[BC_DHT] = {h_dht, ST_START};
    for (int c : {BC_APPN, BC_DNL, BC_DHP, BC_EXP, BC_DAC, BC_JPG, BC_TEM})
        m[c] = {h_skip, ST_START};
    for (int p = 0; p < 16; ++p)
        if (sof_handler[p]) m[BC_SOF_FIRST + p] = {sof_handler[p], NEXT_SOF};

    for (int p = 0; p < 16; ++p) {
        bool progressive = p == 2;
        bool arithmetic = p >= 9;
        uint8_t in_frame = static_cast<uint8_t>(ST_IN_FRAME + p);
        uint8_t frame_marker = static_cast<uint8_t>(ST_FRAME_MARKER + p);
        Transition* in = s_table[in_frame];
        // The progressive frame ignores stray bytes between scans.
        for (int c = 0; c < BYTE_CLASSES; ++c) in[c] = {progressive ? h_none : h_bad, in_frame};
        in[BC_FF] = {h_none, frame_marker};

        Transition* f = s_table[frame_marker];
        f[BC_FF] = {h_none, frame_marker};
        f[BC_SOI] = {h_soi, ST_START};
        f[BC_EOI] = {h_eoi, ST_START};
        f[BC_COM] = {h_skip, in_frame};
        f[BC_APP0] = {h_app0, in_frame};
        f[BC_APP1] = {h_app1, in_frame};
        f[BC_APP8] = {h_app8, in_frame};
        f[BC_APP14] = {h_app14, in_frame};
        f[BC_SOS] = {h_sos, in_frame};
        f[BC_DQT] = {h_dqt, in_frame};
        f[BC_DRI] = {h_dri, in_frame};
        f[BC_DHT] = {arithmetic ? h_skip : h_dht, in_frame};
        f[BC_DAC] = {h_skip, in_frame};
        f[BC_TEM] = {h_skip, in_frame};
        f[BC_RST] = {h_rst, in_frame};
        for (int c : {BC_APPN, BC_DNL, BC_DHP, BC_EXP, BC_JPG}) f[c] = {h_skip, in_frame};
        for (int q = 0; q < 16; ++q)
            if (sof_handler[q]) f[BC_SOF_FIRST + q] = {sof_handler[q], NEXT_SOF};
        f[BC_ZERO] = {progressive ? h_none : h_bad, progressive ? in_frame : uint8_t(ST_START)};
    }
    s_tables_ready = true;
}

// ---- frame helpers ----

int jpeg_frame_component_index(int id) {
    for (int i = 0; i < g_jpeg_frame.count; ++i)
        if (g_jpeg_frame.comp[i].id == id) return i;
    return -1;
}

bool jpeg_frame_geometry(JpegGeometry* g) {
    const JpegFrame& f = g_jpeg_frame;
    std::memset(g, 0, sizeof *g);
    g->hmax = g->vmax = 1;
    for (int c = 0; c < f.count; ++c) {
        if (f.comp[c].h > g->hmax) g->hmax = f.comp[c].h;
        if (f.comp[c].v > g->vmax) g->vmax = f.comp[c].v;
    }
    g->mcu_width = 8 * g->hmax;
    g->mcu_height = 8 * g->vmax;
    g->mcu_cols = (f.width + g->mcu_width - 1) / g->mcu_width;
    g->mcu_rows = (f.height + g->mcu_height - 1) / g->mcu_height;
    for (int c = 0; c < f.count; ++c) {
        const JpegComponent& k = f.comp[c];
        // Replication needs whole factors (libjpeg refuses fractional ones too).
        if (g->hmax % k.h || g->vmax % k.v) {
            g_status = ST_BAD_DATA;
            return false;
        }
        g->fh[c] = g->hmax / k.h;
        g->fv[c] = g->vmax / k.v;
        long w = (static_cast<long>(f.width) * k.h + g->hmax - 1) / g->hmax;
        long h = (static_cast<long>(f.height) * k.v + g->vmax - 1) / g->vmax;
        g->blocks_wide[c] = static_cast<int>((w + 7) / 8);
        g->blocks_high[c] = static_cast<int>((h + 7) / 8);
        g->block_offset[c] = g->blocks_per_mcu;
        g->blocks_per_mcu += k.h * k.v;
    }
    return true;
}

// ---- entry point ----

static void reset_state() {
    g_jpeg_have_frame = false;
    std::memset(&g_jpeg_frame, 0, sizeof g_jpeg_frame);
    std::memcpy(g_jpeg_quant[0], k_default_luma, sizeof k_default_luma);
    std::memcpy(g_jpeg_quant[1], k_default_chroma, sizeof k_default_chroma);
    std::memset(g_jpeg_quant[2], 0, sizeof g_jpeg_quant[2]);
    std::memset(g_jpeg_quant[3], 0, sizeof g_jpeg_quant[3]);
    for (auto& t : g_jpeg_huff) mem_free(t);
    g_jpeg_restart_interval = 0;
    g_jpeg_restart_count = 0;
    g_jpeg_colour_convert = true;
    g_jpeg_adobe_transform = -1;
    std::memset(&g_jpeg_scan, 0, sizeof g_jpeg_scan);
    g_jpeg_marker_reached = false;
    g_jpeg_deferred_colour = false;
    s_end = 0;
    s_have_scan = false;
    s_scans = 0;
    s_orientation = 0;
}

static void run_markers() {
    rd_seek(2, 0);
    int state = ST_START;
    while (!g_status && s_end == 0) {
        unsigned byte = rd_byte();
        if (g_status) break;
        const Transition& t = s_table[state][s_class[byte]];
        state = t.next == NEXT_SOF ? ST_IN_FRAME + (byte & 15) : t.next;
        t.handler(byte);
    }
}

// A file cut short (a download that stopped, mostly inside a scan) shows what its scans gave,
// the rest black, or grey where a progressive frame has no coefficients yet. A progressive
// scan cut short is left out: the file is read again up to it, and the picture is the one
// the scans before it make.
static void end_short_file() {
    g_status = 0;
    if (g_jpeg_frame.process == 2 && !g_jpeg_scan_whole && s_scans > 1) {
        int limit = s_scans;
        reset_state();
        s_scan_limit = limit;
        run_markers();
    } else {
        if (g_jpeg_frame.process == 2) prog_reconstruct();
        page_finish_colour();
    }
    if (!g_status) log_line("JPEG : fichier tronque, image incomplete");
}

static void release_state() {
    for (auto& t : g_jpeg_huff) mem_free(t);
    prog_release();
    mcu_buffers_end();
    g_jpeg_page = nullptr;
}

void jpeg_load(int image_id, int list) {
    (void)list;
    Image* page = obj_find_as<Image>(CLS_IMAGE, image_id);
    if (!page) {
        g_status = ST_NOT_FOUND;
        return;
    }
    if (!s_tables_ready) build_tables();
    idct_init();
    colour_tables_init();
    reset_state();
    g_jpeg_page = page;
    page->bit_count = 0;
    page->format_name_index = 3; // "JPEG format JFIF" unless an Exif or SPIFF segment says else
    if (rd_open(page->file_entry_id, k_reader_window, true) != 0) {
        if (!g_status) g_status = ST_FILE;
        g_jpeg_page = nullptr;
        return;
    }
    s_scan_limit = 0;
    g_jpeg_blocks_decoded = false;
    run_markers();
    if (g_status == ST_FILE && g_jpeg_blocks_decoded) end_short_file();
    jpeg_orient_page(s_orientation);
    release_state();
}
