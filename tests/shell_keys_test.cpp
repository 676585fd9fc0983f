// The key table and the mouse, from the key press to the pixels: zoom, 1:1, fit, panning,
// turning, the title key, closing; dragging and double clicks; resizing.
#include "shell_fixture.h"

#include <cstdlib>

namespace {

constexpr int k_w = 400, k_h = 300;

// Every page pixel has its own colour, so a window pixel tells which page pixel it shows.
uint32_t coded(int x, int y) {
    return rgb(x & 255, y & 255, ((x >> 8) << 7) | ((y >> 8) << 6));
}

struct PagePoint {
    int x, y;
    bool on_page;
};

class KeysTest : public ShellTest {
  protected:
    std::string file;

    void SetUp() override {
        ShellTest::SetUp();
        file = path("coded.ppm");
        write_ppm(file, k_w, k_h, coded);
        ASSERT_TRUE(start(file));
        ASSERT_EQ(title(), ppm_title(file, k_w, k_h));
    }

    PagePoint at(int wx, int wy) {
        uint32_t c = pixel(wx, wy);
        if (c == k_white) return PagePoint{0, 0, false};
        int x = int((c >> 16) & 255) + (((c & 255) >> 7) & 1) * 256;
        int y = int((c >> 8) & 255) + (((c & 255) >> 6) & 1) * 256;
        return PagePoint{x, y, true};
    }

    void expect_at(int wx, int wy, int px, int py) {
        PagePoint p = at(wx, wy);
        ASSERT_TRUE(p.on_page) << "window " << wx << "," << wy;
        EXPECT_LE(std::abs(p.x - px), 1) << "window " << wx << "," << wy << " shows x " << p.x;
        EXPECT_LE(std::abs(p.y - py), 1) << "window " << wx << "," << wy << " shows y " << p.y;
    }

    std::vector<uint32_t> surface() { return headless_surface(headless_document_window()); }
    long copies() { return headless_counters(headless_document_window()).copies; }
};

} // namespace

// Each key, then the page pixel that window pixels show (within one). The main keyboard's "+"
// ("=") and "-" zoom as keypad + and - do; zooming keeps the window's centre in place.
struct KeyStep {
    int vk, wx, wy, px, py;
};

TEST_F(KeysTest, ZoomStepsAboutTheWindowCentre) {
    long before = copies();
    std::vector<uint32_t> fitted = surface();
    key(VKEY_SUBTRACT); // already at the smallest level for this page
    EXPECT_EQ(copies(), before) << "nothing redrawn";
    key(VKEY_F2);
    EXPECT_EQ(surface(), fitted);
    const KeyStep steps[] = {
        {VKEY_ADD, 100, 75, 199, 149},     {VKEY_ADD, 0, 75, 58, 149},       // 0.707
        {VKEY_F1, 0, 75, 99, 149},         {VKEY_OEM_PLUS, 0, 75, 129, 149}, // 1, 1.414
        {VKEY_ADD, 0, 75, 149, 149},       {VKEY_ADD, 0, 75, 163, 149},      // 2, 2.83
        {VKEY_ADD, 0, 75, 174, 149},       {VKEY_ADD, 0, 75, 174, 149},      // 4, the largest
        {VKEY_SUBTRACT, 0, 75, 163, 149},  {VKEY_F2, 0, 75, 149, 149},       // 2.83, 2
        {VKEY_OEM_MINUS, 0, 75, 129, 149},                                   // 1.414
    };
    for (const KeyStep& s : steps) {
        if (&s != steps + 1) before = copies(), key(s.vk);
        expect_at(s.wx, s.wy, s.px, s.py);
        if (&s == steps + 7) {
            EXPECT_EQ(copies(), before) << "no level past the largest";
        }
    }
}

TEST_F(KeysTest, ArrowsAndPageKeysPanTheFirstPageAsAnyOther) {
    // Fitted at 0.5: four presses of 5 window pixels, the fourth stopped by the margin.
    for (int i = 0; i < 4; i++) key(VKEY_DOWN);
    expect_at(100, 75, 199, 149 + 22);
    const KeyStep steps[] = {
        {VKEY_HOME, 100, 75, 199, 149},     {VKEY_PAGE_DOWN, 100, 75, 199, 171},
        {VKEY_F3, 100, 75, 199, 149},       {VKEY_RIGHT, 100, 75, 204, 149},
        {VKEY_DOWN, 100, 75, 204, 154},     {VKEY_LEFT, 100, 75, 199, 154},
        {VKEY_UP, 100, 75, 199, 149},       {VKEY_HOME, 100, 0, 199, 0}, // top edge at the top
        {VKEY_PAGE_DOWN, 100, 0, 199, 150}, {VKEY_PAGE_UP, 100, 0, 199, 0},
        {VKEY_END, 100, 129, 199, 299}, // the bottom margin shows below the last row
    };
    for (const KeyStep& s : steps) {
        key(s.vk);
        expect_at(s.wx, s.wy, s.px, s.py);
    }
    EXPECT_EQ(pixel(100, 131), k_white);
    EXPECT_EQ(unpainted(), 0);
}

TEST_F(KeysTest, TurningLeftThenRightRestoresThePage) {
    key(VKEY_F3);
    std::vector<uint32_t> before = surface();
    key(VKEY_F7);
    EXPECT_EQ(title(), ppm_title(file, k_h, k_w));
    // A quarter turn counter-clockwise: the page's right edge comes to the top.
    key(VKEY_F3);
    key(VKEY_HOME);
    PagePoint p = at(100, 0);
    ASSERT_TRUE(p.on_page);
    EXPECT_GE(p.x, 395);
    key(VKEY_F8);
    EXPECT_EQ(title(), ppm_title(file, k_w, k_h));
    key(VKEY_F3);
    EXPECT_EQ(surface(), before);
}

TEST_F(KeysTest, TitleKeyEscapeAndUnboundKeys) {
    std::vector<uint32_t> before = surface();
    key(65);                 // 'A' is not bound
    key(VKEY_ADD, MOD_CTRL); // modifiers do not matter to the zoom keys
    key(VKEY_SUBTRACT);
    EXPECT_EQ(surface(), before);
    EXPECT_EQ(title(), ppm_title(file, k_w, k_h));
    key(VKEY_F12);
    EXPECT_EQ(title(), "Dorvane v2.1.1");
    EXPECT_EQ(surface(), before);
    key(VKEY_ESCAPE);
    EXPECT_TRUE(headless_exited());
    EXPECT_EQ(headless_exit_code(), 0);
}

TEST_F(KeysTest, DraggingMovesThePageWithThePointer) {
    key(VKEY_F3);
    PagePoint grabbed = at(100, 75);
    headless_left_down(100, 75);
    headless_mouse_move(95, 72, true);
    headless_mouse_move(90, 70, true); // only the last of queued moves counts
    headless_left_up(90, 70);
    headless_run_until_idle();
    expect_at(90, 70, grabbed.x, grabbed.y);
    EXPECT_EQ(unpainted(), 0);
    // Moves without the button pressed do nothing.
    std::vector<uint32_t> before = surface();
    headless_mouse_move(10, 10, false);
    headless_run_until_idle();
    EXPECT_EQ(surface(), before);
}

TEST_F(KeysTest, DoubleClicksAndTheWheelZoomAboutThePointer) {
    // In, then out, at (40, 30): by double clicks (no wheel turns), by notches, and by half
    // notches (a half turn back before a notch is undone by the change of direction).
    const std::vector<int> k_turns[][2] = {{{}, {}}, {{120}, {-120}}, {{60, 60}, {60, -60, -60}}};
    for (const auto& turns : k_turns) {
        key(VKEY_F3);
        PagePoint under = at(40, 30);
        for (int out = 0; out < 2; out++) {
            if (turns[out].empty() && !out) headless_left_double_click(40, 30);
            if (turns[out].empty() && out) headless_right_double_click(40, 30);
            for (int delta : turns[out]) headless_wheel(40, 30, delta);
            headless_run_until_idle();
            expect_at(40, 30, under.x, under.y);
            expect_at(out ? 60 : 68, 30, under.x + 20, under.y); // scale 1.0, 1.414
        }
    }
    std::vector<uint32_t> shown = surface();
    headless_right_click(150, 100); // no menu, no change
    headless_run_until_idle();
    EXPECT_EQ(surface(), shown);
}

TEST_F(KeysTest, ResizingRefitsAFittedPageAndKeepsOneTheUserZoomedOrMoved) {
    headless_resize(300, 240);
    headless_run_for(100);
    EXPECT_EQ(headless_timer_period(2), 500u) << "resize period running";
    headless_run_until_idle();
    EXPECT_EQ(headless_timer_period(2), 0u);
    EXPECT_EQ(unpainted(), 0);
    EXPECT_EQ(title(), ppm_title(file, k_w, k_h));
    expect_at(150, 120, 199, 149); // fitted at 0.75 and centred
    expect_at(2, 120, 2, 149);
    // Zoomed, or fitted and then moved: each window pixel shows what it showed.
    for (int vk : {VKEY_ADD, VKEY_RIGHT}) {
        key(VKEY_F4);
        key(vk);
        PagePoint before = at(50, 50);
        headless_resize(260, 200);
        headless_run_until_idle();
        expect_at(50, 50, before.x, before.y);
        EXPECT_EQ(unpainted(), 0);
        headless_resize(300, 240);
        headless_run_until_idle();
    }
    key(VKEY_F4); // fits the new size again
    expect_at(150, 120, 199, 149);
}
