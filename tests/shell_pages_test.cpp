// Pages and animation: multi-page files, animated GIFs with their delays and loop counts.
#include "shell_fixture.h"

namespace {

const uint32_t k_colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};

std::string gif_title(const std::string& path, int w, int h, int page, int pages) {
    return path + " - " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels - 1 x 2 bits - GIF version 89a - page " + std::to_string(page) + "/" +
           std::to_string(pages);
}

// Time let pass, then the frame shown: its colour in the middle of the window and its number.
struct Tick {
    uint32_t ms, colour;
    int page;
};

class PagesTest : public ShellTest {
  protected:
    void press(int vk, int modifiers = MOD_NONE) {
        headless_key(vk, modifiers);
        headless_run_for(0);
    }
    uint32_t centre() { return pixel(width / 2, height / 2); }
    void expect_timeline(const std::string& gif, const std::vector<Tick>& ticks) {
        for (const Tick& tick : ticks) {
            headless_run_for(tick.ms);
            EXPECT_EQ(centre(), tick.colour) << "after " << tick.ms << " ms";
            EXPECT_EQ(title(), gif_title(gif, 8, 6, tick.page, 3));
        }
    }
};

} // namespace

TEST_F(PagesTest, MultiPageFileAloneWrapsToItsFirstPageAndKeepsTurnedPages) {
    std::string file = path("pages.gif");
    write_gif(file, 8, 6, k_colours, {{0, -1}, {1, -1}, {2, -1}}, -1);
    ASSERT_TRUE(start(file));
    // Each press shows the next page, wrapping; the title names the page shown.
    const struct {
        int page;
        uint32_t colour;
    } k_steps[] = {{1, 0xFF0000}, {2, 0x00FF00}, {3, 0x0000FF}, {1, 0xFF0000}, {2, 0x00FF00}};
    for (const auto& step : k_steps) {
        if (&step != k_steps) key(VKEY_SPACE);
        EXPECT_EQ(title(), gif_title(file, 8, 6, step.page, 3));
        EXPECT_EQ(place(), "1/1");
        EXPECT_EQ(count_colour(step.colour), 48);
    }
    // A turned page stays turned in its place.
    key(VKEY_F7);
    EXPECT_EQ(title(), gif_title(file, 6, 8, 2, 3));
    for (int i = 0; i < 3; i++) key(VKEY_SPACE);
    EXPECT_EQ(title(), gif_title(file, 6, 8, 2, 3)) << "the turned page is back in its place";
    EXPECT_EQ(count_colour(0x00FF00), 48);
    key(VKEY_F8);
    EXPECT_EQ(title(), gif_title(file, 8, 6, 2, 3));
}

TEST_F(PagesTest, AnimationWithLoopCountOnePlaysOnceThenSpaceMovesOn) {
    std::string gif = path("anim.gif"), next = ppm("next.ppm", 5, 5, rgb(9, 9, 9));
    write_gif(gif, 8, 6, k_colours, {{0, 10}, {1, 20}, {2, 10}}, 1);
    ASSERT_TRUE(start(gif + " " + next, false));
    // The second frame lasts 200 ms; the animation stops on the last frame.
    expect_timeline(gif, {{0, 0xFF0000, 1},
                          {99, 0xFF0000, 1},
                          {1, 0x00FF00, 2},
                          {199, 0x00FF00, 2},
                          {1, 0x0000FF, 3},
                          {5000, 0x0000FF, 3}});
    EXPECT_EQ(headless_timer_period(3), 0u);
    press(VKEY_SPACE);
    EXPECT_EQ(title(), ppm_title(next, 5, 5));
}

TEST_F(PagesTest, EndlessAnimationWrapsAndOtherKeysLeaveItRunning) {
    std::string gif = path("endless.gif");
    // Delays of 0 and 1 hundredths play at 100 ms; 5 hundredths at 50 ms. The counter starts
    // again on wrapping.
    write_gif(gif, 8, 6, k_colours, {{0, 0}, {1, 1}, {2, 5}}, 0);
    ASSERT_TRUE(start(gif, false));
    expect_timeline(gif,
                    {{0, 0xFF0000, 1}, {100, 0x00FF00, 2}, {100, 0x0000FF, 3}, {50, 0xFF0000, 1}});
    // Other keys leave the frame timer running.
    press(VKEY_ADD);
    press(VKEY_RIGHT);
    headless_run_for(100);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 2, 3));
}

TEST_F(PagesTest, FramesOfAnAnimationKeepTheViewTheUserChoseAndTheNextFileIsFitted) {
    std::string gif = path("a.gif"), next = ppm("b.ppm", 40, 30, rgb(9, 9, 9));
    write_gif(gif, 40, 30, k_colours, {{0, 10}, {1, 10}, {2, 10}}, 0);
    ASSERT_TRUE(start(gif + " " + next, false));
    EXPECT_EQ(count_colour(0xFF0000), 40 * 30) << "fitted at 1:1";
    press(VKEY_ADD);
    long zoomed = count_colour(0xFF0000);
    EXPECT_GT(zoomed, 40 * 30 * 3 / 2);
    headless_run_for(100); // the frame timer shows the next frame at the same zoom
    EXPECT_EQ(title(), gif_title(gif, 40, 30, 2, 3));
    EXPECT_EQ(count_colour(0x00FF00), zoomed);
    press(VKEY_SPACE); // in the first pass Space steps the frames, and keeps the view too
    EXPECT_EQ(title(), gif_title(gif, 40, 30, 3, 3));
    EXPECT_EQ(count_colour(0x0000FF), zoomed);
    headless_run_for(1000);
    EXPECT_EQ(title(), gif_title(gif, 40, 30, 3, 3)) << "the frame timer stays off";
    press(VKEY_SPACE); // the last frame ended the first pass
    EXPECT_EQ(title(), ppm_title(next, 40, 30));
    EXPECT_EQ(count_colour(rgb(9, 9, 9)), 40 * 30) << "another file is fitted";
}

TEST_F(PagesTest, SpaceReachesEveryFileInOrderLeavingEachAfterAtMostOnePass) {
    std::string dir = path("mix");
    make_dir(dir);
    struct File {
        const char* name;
        std::vector<SolidFrame> frames; // delay -1: a page without frame control
        int loop;
    };
    const File k_files[] = {
        {"a-endless.gif", {{0, 10}, {1, 10}, {2, 10}}, 0},
        {"b-pages.gif", {{0, -1}, {1, -1}, {2, -1}, {3, -1}}, -1},
        {"c-still.ppm", {}, 0},
        {"d-once.gif", {{2, 5}, {1, 5}}, 1},
        {"f-notes.txt", {}, 0},
        {"g-endless.gif", {{3, 0}, {0, 0}}, 0},
    };
    std::vector<std::string> images;
    std::vector<size_t> presses; // at most: the frames of an animation, one for other files
    for (const File& f : k_files) {
        std::string name = dir + "/" + f.name;
        if (!f.frames.empty())
            write_gif(name, 8, 6, k_colours, f.frames, f.loop);
        else if (name.find(".ppm") != std::string::npos)
            write_solid_ppm(name, 5, 5, rgb(9, 9, 9));
        else
            write_bytes(name, "not an image");
        if (name.find(".txt") != std::string::npos) continue;
        images.push_back(name);
        bool animated = !f.frames.empty() && f.frames[0].delay >= 0;
        presses.push_back(animated ? f.frames.size() : 1);
    }
    ASSERT_TRUE(start(dir, false));
    // Presses at uneven intervals, so that animations are left in every state.
    size_t expected = 0, presses_here = 0;
    for (int i = 0; i < 300; i++) {
        std::string shown = title().substr(0, title().find(" - "));
        if (shown != images[expected]) {
            expected = (expected + 1) % images.size();
            ASSERT_EQ(shown, images[expected]) << "press " << i;
            presses_here = 0;
        }
        ASSERT_LE(++presses_here, presses[expected]) << shown << " not left in time";
        headless_run_for(uint32_t(i * 37 % 130));
        press(VKEY_SPACE);
    }
}

TEST_F(PagesTest, FrameWithItsOwnColourTableKeepsThePageBelowInItsColours) {
    // The second image, a rectangle in the middle with a colour table of its own (green at 1),
    // is drawn over the first, red: the rest of the page stays red.
    std::string gif = path("local.gif");
    GifFile g;
    g.width = 8, g.height = 6, g.loop_count = 0;
    for (uint32_t c : k_colours)
        for (int shift : {16, 8, 0}) g.global_table.push_back(uint8_t(c >> shift));
    GifFrame first;
    first.width = 8, first.height = 6, first.pixels.assign(48, 0);
    first.has_control = true, first.disposal = 1, first.delay = 10;
    GifFrame second = first;
    second.left = 2, second.top = 2, second.width = 4, second.height = 2;
    second.pixels.assign(8, 1);
    second.local_table = {0, 0, 0, 0, 255, 0};
    g.frames = {first, second};
    write_bytes(gif, gif_build(g));
    ASSERT_TRUE(start(gif, false));
    EXPECT_EQ(centre(), 0xFF0000u);
    long red = count_colour(0xFF0000);
    headless_run_for(100);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 2, 2));
    EXPECT_EQ(centre(), 0x00FF00u);
    EXPECT_GT(count_colour(0xFF0000), 0);
    EXPECT_EQ(count_colour(0xFF0000) + count_colour(0x00FF00), red);
    headless_run_for(100);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 1, 2)) << "and the animation goes on";
    EXPECT_EQ(count_colour(0xFF0000), red);
}
