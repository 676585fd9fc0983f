// A document window as start-up builds it, on a headless surface: window object, extent,
// view, raster layer with its object list and spatial index.
#pragma once
#include "core/store.h"
#include "display/draw_pending.h"
#include "display/handlers.h"
#include "display/input_check.h"
#include "display/layers.h"
#include "display/invalidate.h"
#include "display/records.h"
#include "display/shell_hooks.h"
#include "display/view_state.h"
#include "display/zones.h"
#include "display/window_objects.h"
#include "platform/headless/headless_window.h"
#include "support/support.h"

#include <algorithm>
#include <functional>
#include <utility>

// Destroys its window when it goes out of scope; only one document lives at a time, since
// making one resets the core.
struct DocumentIds {
    int window_id = 0, extent_id = 0, object_list_id = 0, spatial_index_id = 0;
    int view_id = 0, layer_id = 0;
};
struct DocumentWindow : DocumentIds {
    PlatformWindow handle = nullptr;

    DocumentWindow() = default;
    DocumentWindow(DocumentWindow&& other) noexcept
        : DocumentIds(other), handle(std::exchange(other.handle, nullptr)) {}
    // The spatial index owns the bounds records; the registry frees only its item array.
    ~DocumentWindow() {
        if (!handle) return;
        extent_clear(spatial_index_id);
        headless_window_destroy(handle);
        g_schedule_timer_hook = nullptr;
    }

    WindowObject* window() const { return obj_find_as<WindowObject>(CLS_WINDOW, window_id); }
    View* view() const { return obj_find_as<View>(CLS_VIEW, view_id); }
    Extent* extent() const { return obj_find_as<Extent>(CLS_EXTENT, extent_id); }
    Layer* layer() const { return obj_find_as<Layer>(CLS_LAYER, layer_id); }
    uint32_t pixel(int x, int y) const { return headless_pixel(handle, x, y); }
};

// Fresh core and display state, the headless layer installed, and a document window of the
// given client size with the given background.
inline DocumentWindow make_document(int width, int height, uint32_t background = rgb(10, 200, 30)) {
    test_reset_core();
    display_declare_classes();
    headless_install();
    headless_set_input_pending(false);
    headless_set_clock(0);
    headless_set_clock_step(0);
    input_check_reset();
    view_state_reset();
    g_uninterruptible = true;
    g_highest_layer = 0;
    DocumentWindow d;
    d.handle = headless_window_create(width, height);
    d.window_id = window_object_create(d.handle, uint8_t(background >> 16),
                                       uint8_t(background >> 8), uint8_t(background));
    d.extent_id = world_extent_create(0, 0, 0, 0);
    list_create(&d.object_list_id);
    extent_create(d.extent_id, &d.spatial_index_id);
    document_view_setup(d.window_id, d.extent_id, d.object_list_id, d.spatial_index_id, &d.view_id,
                        &d.layer_id);
    g_display.main_window_id = d.window_id;
    g_display.document_window_id = d.window_id;
    g_display.view_id = d.view_id;
    EXPECT_EQ(g_status, 0);
    return d;
}

// An image whose pixels are given by a function of (x, y): one value per plane.
inline Image* make_image(int width, int height, int planes,
                         const std::function<uint8_t(int x, int y, int plane)>& value) {
    int id = 0;
    auto* image = static_cast<Image*>(obj_create(CLS_IMAGE, &id));
    image_alloc(image, width, height, planes, STORE_PLAIN);
    for (int y = 0; y < height; ++y)
        for (int p = 0; p < planes; ++p) {
            uint8_t* row = image_row_write(image, y, p);
            for (int x = 0; x < width; ++x) row[x] = value(x, y, p);
        }
    return image;
}

inline void set_extent(DocumentWindow& d, double x0, double y0, double x1, double y1) {
    Extent* e = d.extent();
    e->x0 = x0, e->y0 = y0, e->x1 = x1, e->y1 = y1;
}

// Shows the image as a page does: extent with the 20-pixel margin, in the raster layer.
inline void show_image(DocumentWindow& d, Image* image) {
    set_extent(d, -20, -20, image->width + 19, image->height + 19);
    layer_add_object(CLS_IMAGE, image->id, d.layer_id);
    g_display.shown_page_id = image->id;
}

inline void set_view(DocumentWindow& d, double scale, double origin_x, double origin_y) {
    View* v = d.view();
    v->scale_x = v->scale_y = scale;
    v->origin_x = origin_x;
    v->origin_y = origin_y;
}

// Clears the window, redraws all of it at once and returns what the surface shows.
inline std::vector<uint32_t> redraw_all(DocumentWindow& d) {
    headless_window_clear(d.handle, k_headless_unpainted);
    full_redraw(d.window_id, d.view_id);
    EXPECT_TRUE(redraw_if_pending(d.window_id));
    EXPECT_EQ(g_status, 0);
    return headless_surface(d.handle);
}

// Clears the window and redraws it with input waiting all along and every look at the clock
// taking clock_step ms: each pass draws a few pieces, stops, and leaves the rest pending (its
// timer asked to come back in 10 ms, the window's restart flag down); the last pass leaves the
// timer at its 2-second idle period. after_first_pass may look at what the first pass left.
// Returns the number of passes.
inline int redraw_interrupted(DocumentWindow& d, uint32_t clock_step,
                              const std::function<void()>& after_first_pass = {}) {
    static int s_period;
    g_schedule_timer_hook = [](int, int period) { s_period = period; };
    headless_window_clear(d.handle, k_headless_unpainted);
    g_uninterruptible = false;
    headless_set_input_pending(true);
    headless_set_clock(5000);
    headless_set_clock_step(clock_step);
    full_redraw(d.window_id, d.view_id);
    int passes = 0;
    do {
        s_period = -1;
        draw_pending(d.window(), d.view());
        if (zone_count(d.window()->raster_zones_id) > 0) {
            EXPECT_EQ(s_period, 10) << "an interrupted drawing retries soon";
            EXPECT_EQ(d.window()->restart, 0);
        }
        if (++passes == 1 && after_first_pass) after_first_pass();
    } while (zone_count(d.window()->raster_zones_id) > 0 && passes < 1000);
    EXPECT_EQ(s_period, 2000);
    EXPECT_EQ(d.window()->restart, 1);
    g_schedule_timer_hook = nullptr;
    g_uninterruptible = true;
    headless_set_input_pending(false);
    headless_set_clock_step(0);
    return passes;
}

// Window pixels compared with a nearest-neighbour reference computed from the view's mapping
// alone.
struct Comparison {
    long compared = 0, ambiguous = 0, mismatched = 0;
    int first_x = -1, first_y = -1;
    uint32_t got = 0, wanted = 0;
};

// The colour of a source pixel, from the values the image was built with.
using SourceColour = std::function<uint32_t(int x, int y)>;

// Source index sampled by a window pixel whose left (or top) edge lies at world position w;
// -1 outside the image. When w lies within a hair of a pixel boundary, rounding decides and
// either neighbour is a correct nearest-neighbour sample, so both are accepted.
// With exact arithmetic (power-of-two scales, origins on the pixel grid) nothing is left to
// rounding and only the exact sample is accepted.
inline int sample_options(double w, int size, bool reduced, int last_reduced, bool exact,
                          int* out) {
    int n = 0;
    for (double e : {0.0, -1e-7, 1e-7}) {
        if (exact && e != 0.0) break;
        double v = w + e;
        int option = -1;
        if (v >= 0 && v < size)
            option = reduced ? 10 * std::min(int(v) / 10, last_reduced) : int(v);
        bool seen = false;
        for (int k = 0; k < n; ++k) seen |= out[k] == option;
        if (!seen) out[n++] = option;
    }
    return n;
}

inline Comparison compare_with_reference(const DocumentWindow& d, int width, int height,
                                         const SourceColour& colour, uint32_t background,
                                         bool exact) {
    const View* v = d.view();
    const WindowObject* w = d.window();
    bool reduced = 1.0 / v->scale_x >= 10 && width >= 10;
    int last_reduced_col = width / 10 - 1, last_reduced_row = std::max(1, height / 10) - 1;
    Comparison c;
    for (int j = 0; j < w->client_height; ++j) {
        int ys[3];
        int ny = sample_options(j / v->scale_y - v->origin_y, height, reduced, last_reduced_row,
                                exact, ys);
        for (int i = 0; i < w->client_width; ++i) {
            int xs[3];
            int nx = sample_options(i / v->scale_x - v->origin_x, width, reduced, last_reduced_col,
                                    exact, xs);
            uint32_t got = d.pixel(i, j);
            bool match = false;
            uint32_t wanted = 0;
            for (int a = 0; a < nx; ++a)
                for (int b = 0; b < ny; ++b) {
                    uint32_t option = xs[a] < 0 || ys[b] < 0 ? background : colour(xs[a], ys[b]);
                    if (a == 0 && b == 0) wanted = option;
                    match |= option == got;
                }
            ++c.compared;
            if (nx * ny > 1) ++c.ambiguous;
            if (!match && c.mismatched++ == 0) {
                c.first_x = i;
                c.first_y = j;
                c.got = got;
                c.wanted = wanted;
            }
        }
    }
    return c;
}

inline void expect_matches(const Comparison& c) {
    EXPECT_EQ(c.mismatched, 0) << "first at (" << c.first_x << ", " << c.first_y << "): got "
                               << std::hex << c.got << " wanted " << c.wanted;
    // Boundary cases must stay rare, or the comparison would prove little.
    EXPECT_LT(c.ambiguous * 10, c.compared);
}
