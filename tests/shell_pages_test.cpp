// Pages and animation: multi-page files, animated GIFs with their delays and loop counts.
#include "shell_fixture.h"

namespace {

const uint32_t k_colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};

std::string gif_title(const std::string& path, int w, int h, int page, int pages) {
    return path + " - " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels - 1 x 2 bits - GIF version 89a - page " + std::to_string(page) + "/" +
           std::to_string(pages);
}

class PagesTest : public ShellTest {
  protected:
    // Starts without letting time pass, so animations can be followed step by step.
    void start_now(const std::string& command_line) {
        headless_app_reset();
        headless_app_set_executable_dir(bin);
        headless_app_set_work_area(width, height);
        ASSERT_TRUE(headless_app_start(command_line.c_str()));
        headless_run_for(0);
    }
    void press(int vk, int modifiers = MOD_NONE) {
        headless_key(vk, modifiers);
        headless_run_for(0);
    }
    uint32_t centre() { return pixel(width / 2, height / 2); }
};

} // namespace

TEST_F(PagesTest, MultiPageFileAloneStepsThroughItsPagesKeepsCountingAndTurnedPages) {
    std::string file = path("pages.gif");
    write_gif(file, 8, 6, k_colours, {{0, -1}, {1, -1}, {2, -1}}, -1);
    ASSERT_TRUE(start(file));
    EXPECT_EQ(title(), gif_title(file, 8, 6, 1, 3));
    EXPECT_EQ(centre(), 0xFF0000u);
    key(VKEY_SPACE);
    EXPECT_EQ(title(), gif_title(file, 8, 6, 2, 3));
    EXPECT_EQ(centre(), 0x00FF00u);
    key(VKEY_SPACE);
    EXPECT_EQ(title(), gif_title(file, 8, 6, 3, 3));
    EXPECT_EQ(centre(), 0x0000FFu);
    key(VKEY_SPACE);
    EXPECT_EQ(title(), gif_title(file, 8, 6, 4, 3));
    EXPECT_EQ(centre(), 0xFF0000u);
    EXPECT_EQ(count_colour(0xFF0000), 48);
    EXPECT_EQ(count_colour(0x00FF00) + count_colour(0x0000FF), 0);
    // A turned page stays turned and keeps its place in the count.
    key(VKEY_SPACE);
    key(VKEY_F7);
    EXPECT_EQ(title(), gif_title(file, 6, 8, 5, 3));
    EXPECT_EQ(count_colour(0x00FF00), 48);
    key(VKEY_SPACE);
    EXPECT_EQ(title(), gif_title(file, 8, 6, 6, 3));
    key(VKEY_SPACE);
    key(VKEY_SPACE);
    EXPECT_EQ(title(), gif_title(file, 6, 8, 8, 3)) << "the turned page is back in its place";
    key(VKEY_F8);
    EXPECT_EQ(title(), gif_title(file, 8, 6, 8, 3));
}

TEST_F(PagesTest, AnimationWithLoopCountOnePlaysOnceThenSpaceMovesOn) {
    std::string gif = path("anim.gif"), next = path("next.ppm");
    write_gif(gif, 8, 6, k_colours, {{0, 10}, {1, 20}, {2, 10}}, 1);
    write_solid_ppm(next, 5, 5, rgb(9, 9, 9));
    start_now(gif + " " + next);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 1, 3));
    EXPECT_EQ(centre(), 0xFF0000u);
    headless_run_for(99);
    EXPECT_EQ(centre(), 0xFF0000u);
    headless_run_for(1);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 2, 3));
    EXPECT_EQ(centre(), 0x00FF00u);
    headless_run_for(199); // the second frame lasts 200 ms
    EXPECT_EQ(centre(), 0x00FF00u);
    headless_run_for(1);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 3, 3));
    EXPECT_EQ(centre(), 0x0000FFu);
    headless_run_until_idle();
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 3, 3)) << "stops on the last frame";
    EXPECT_EQ(headless_timer_period(3), 0u);
    press(VKEY_SPACE);
    EXPECT_EQ(title(), ppm_title(next, 5, 5));
}

TEST_F(PagesTest, EndlessAnimationWrapsUntilSpaceStopsIt) {
    std::string gif = path("endless.gif");
    // Delays of 0 and 1 hundredths play at 100 ms; 5 hundredths at 50 ms.
    write_gif(gif, 8, 6, k_colours, {{0, 0}, {1, 1}, {2, 5}}, 0);
    start_now(gif);
    EXPECT_EQ(centre(), 0xFF0000u);
    headless_run_for(100);
    EXPECT_EQ(centre(), 0x00FF00u);
    headless_run_for(100);
    EXPECT_EQ(centre(), 0x0000FFu);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 3, 3));
    headless_run_for(50);
    EXPECT_EQ(centre(), 0xFF0000u);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 1, 3)) << "the counter starts again on wrapping";
    // Other keys leave the frame timer running.
    press(VKEY_ADD);
    press(VKEY_RIGHT);
    headless_run_for(100);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 2, 3));
    // Space shows the next frame and stops there.
    press(VKEY_SPACE);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 3, 3));
    headless_run_for(5000);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 3, 3));
    EXPECT_EQ(headless_timer_period(3), 0u);
}

TEST_F(PagesTest, SpaceDuringTheFirstPassStepsFramesAndAfterItMovesToTheNextFile) {
    std::string gif = path("a.gif"), next = path("b.ppm");
    write_gif(gif, 8, 6, k_colours, {{0, 50}, {1, 50}, {2, 50}}, 0);
    write_solid_ppm(next, 5, 5, rgb(9, 9, 9));
    start_now(gif + " " + next);
    press(VKEY_SPACE);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 2, 3)) << "first pass: Space steps frames";
    headless_run_for(2000);
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 2, 3)) << "and the frame timer stays off";
    press(VKEY_SPACE); // the last frame ends the first pass
    EXPECT_EQ(title(), gif_title(gif, 8, 6, 3, 3));
    press(VKEY_SPACE);
    EXPECT_EQ(title(), ppm_title(next, 5, 5));
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
    start_now(gif);
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
