// Bad input and long random sessions: the viewer keeps going, never hangs, never ends by itself.
#include "shell_fixture.h"

#include <random>

namespace {

std::string random_command_line(std::mt19937& rng) {
    // Relative pieces only: a lone "/" or ".." would send the scan over the whole disk.
    static const char k_pieces[][8] = {"\"", " ", "\t", "a", "b/c", "d\\e", ".", "x.ppm", "\r\n"};
    std::string line;
    int n = int(rng() % 12);
    for (int i = 0; i < n; i++) {
        if (rng() % 20 == 0)
            line += std::string(200 + rng() % 200, 'z'); // past the token limit
        else
            line += k_pieces[rng() % (sizeof k_pieces / sizeof k_pieces[0])];
    }
    return line;
}

} // namespace

TEST_F(ShellTest, RandomCommandLinesNeverEndTheProgram) {
    std::mt19937 rng(1234);
    for (int i = 0; i < 150; i++) {
        std::string line = random_command_line(rng);
        SCOPED_TRACE(line);
        ASSERT_TRUE(start(line));
        EXPECT_FALSE(title().empty());
        key(VKEY_SPACE);
        EXPECT_FALSE(headless_exited());
    }
}

TEST_F(ShellTest, LongRandomSessionOverMixedFilesKeepsRunning) {
    std::string dir = path("mix");
    ppm("mix/sub/small.ppm", 3, 2, rgb(1, 2, 3));
    const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
    write_gif(dir + "/anim.gif", 30, 20, colours, {{0, 3}, {1, 0}, {2, 7}}, 0);
    write_gif(dir + "/sub/once.gif", 9, 40, colours, {{2, 2}, {1, 2}}, 1);
    write_gif(dir + "/pages.gif", 12, 12, colours, {{0, -1}, {3, -1}}, -1);
    write_ppm(dir + "/big.ppm", 500, 90, [](int x, int y) { return rgb(x, y, x ^ y); });
    write_bytes(dir + "/broken.ppm", "P6\n9 9\n255\nxx");
    write_bytes(dir + "/text.txt", "hello");
    write_bytes(dir + "/empty.gif", "");
    ASSERT_TRUE(start(dir));
    const int keys[] = {VKEY_SPACE,    VKEY_SPACE,    VKEY_SPACE,    VKEY_PAGE_UP, VKEY_PAGE_DOWN,
                        VKEY_END,      VKEY_HOME,     VKEY_LEFT,     VKEY_UP,      VKEY_RIGHT,
                        VKEY_DOWN,     VKEY_ADD,      VKEY_SUBTRACT, VKEY_F1,      VKEY_F2,
                        VKEY_F3,       VKEY_F4,       VKEY_F7,       VKEY_F8,      VKEY_F12,
                        VKEY_OEM_PLUS, VKEY_OEM_MINUS};
    std::mt19937 rng(99);
    for (int i = 0; i < 400; i++) {
        int vk = keys[rng() % (sizeof keys / sizeof keys[0])];
        int modifiers = rng() % 4 == 0 ? MOD_SHIFT : MOD_NONE;
        switch (rng() % 10) {
        case 0:
            headless_left_double_click(int(rng() % 200), int(rng() % 150));
            break;
        case 1:
            headless_left_down(int(rng() % 200), int(rng() % 150));
            headless_mouse_move(int(rng() % 200), int(rng() % 150), true);
            headless_left_up(0, 0);
            break;
        case 2:
            headless_right_double_click(int(rng() % 200), int(rng() % 150));
            headless_wheel(int(rng() % 200), int(rng() % 150), int(rng() % 721) - 360);
            break;
        case 3:
            headless_resize(50 + int(rng() % 250), 40 + int(rng() % 200));
            break;
        default:
            headless_key(vk, modifiers);
            break;
        }
        headless_run_for(rng() % 300);
        ASSERT_FALSE(headless_exited()) << "step " << i;
    }
    // Delete everything: the last Delete leaves the list empty.
    for (int i = 0; i < 12; i++) key(VKEY_DELETE, i % 2 ? MOD_CTRL : MOD_NONE);
    EXPECT_FALSE(headless_exited());
    key(VKEY_SPACE);
    EXPECT_FALSE(headless_exited());
    headless_run_until_idle();
    EXPECT_EQ(unpainted(), 0);
}
