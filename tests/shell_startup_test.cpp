// Start-up from the command line to the first picture on screen.
#include "shell_fixture.h"

TEST_F(ShellTest, NoArgumentsShowsTheBackgroundUnderTheProgramTitle) {
    ASSERT_TRUE(start(""));
    EXPECT_EQ(title(), "Dorvane v2.1.1");
    int w = 0, h = 0;
    plat_client_size(headless_main_window(), &w, &h);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    EXPECT_EQ(count_colour(k_white), long(width) * height);
    EXPECT_EQ(headless_focus(), headless_main_window());
    key(VKEY_SPACE);
    EXPECT_EQ(title(), "Dorvane v2.1.1");
    EXPECT_EQ(count_colour(k_white), long(width) * height);
    EXPECT_FALSE(headless_exited());
    EXPECT_TRUE(headless_message_boxes().empty());
}

TEST_F(ShellTest, BackgroundColourComesFromTheConfiguration) {
    write_bytes(bin + "/dorvane.cfg", "BACK_COLOR_RGB 10 20 30\n");
    ASSERT_TRUE(start(""));
    EXPECT_EQ(count_colour(rgb(10, 20, 30)), long(width) * height);
}

TEST_F(ShellTest, QuotedPathWithBlanksAndBackslashesIsOneToken) {
    std::string file = ppm("my pics/Photo 1.ppm", 40, 30, rgb(0, 200, 0));
    std::string quoted = "\"" + root + "\\my pics\\Photo 1.ppm\"";
    ASSERT_TRUE(start(quoted));
    EXPECT_EQ(title(), ppm_title(file, 40, 30));
    // 1:1 and centred: the page covers the middle, the margin shows the background.
    EXPECT_EQ(pixel(width / 2, height / 2), rgb(0, 200, 0));
    EXPECT_EQ(pixel(5, 5), k_white);
    EXPECT_EQ(count_colour(rgb(0, 200, 0)), 40 * 30);
    EXPECT_EQ(unpainted(), 0);
    EXPECT_EQ(headless_cursor(), 0) << "the hourglass goes once the page is drawn";
}

TEST_F(ShellTest, RelativePathsAndDirectoriesResolveAgainstTheExecutableDirectory) {
    ppm("bin/here.ppm", 10, 10, rgb(9, 9, 9));
    ASSERT_TRUE(start("here.ppm"));
    EXPECT_EQ(title(), ppm_title("here.ppm", 10, 10));
    EXPECT_EQ(count_colour(rgb(9, 9, 9)), 100);
    ppm("bin/rel/in.ppm", 5, 5, rgb(0, 0, 1));
    ASSERT_TRUE(start("rel"));
    EXPECT_EQ(title(), ppm_title(bin + "/rel/in.ppm", 5, 5));
}

TEST_F(ShellTest, MissingPlaceholderPicturesAreLoggedAndMessagesStillReachTheTitle) {
    std::remove((bin + "/erreur.png").c_str());
    std::remove((bin + "/inconnu.png").c_str());
    std::string good = ppm("good.ppm", 10, 10, rgb(7, 7, 7)), bad = path("bad.ppm");
    write_bytes(bad, "P6\n10 10\n255\n"); // no pixel data
    ASSERT_TRUE(start(bad + " " + good));
    std::string text = log();
    EXPECT_NE(text.find("Impossible de charger l'image erreur.png"), std::string::npos);
    EXPECT_NE(text.find("Impossible de charger l'image inconnu.png"), std::string::npos);
    // Without a picture the failure draws nothing, but its message is the title.
    EXPECT_EQ(title(), bad + " : Fichier invalide");
    EXPECT_EQ(count_colour(k_white), long(width) * height);
    expect_next_shows(good, 10, 10);
    ASSERT_TRUE(start(path("missing.ppm")));
    EXPECT_EQ(title(), "Aucune image dans le repertoire");
    EXPECT_EQ(count_colour(k_white), long(width) * height);
    EXPECT_FALSE(headless_exited());
}

// Paths separated by mixed blanks are all listed, in path order; a token longer than the
// limit, quoted or not, is passed over.
TEST_F(ShellTest, SeveralPathsAndTokensLongerThanTheLimit) {
    std::string a = ppm("a.ppm", 10, 10, rgb(1, 2, 3)), b = ppm("b.ppm", 12, 8, rgb(4, 5, 6));
    std::string long_token(300, 'x');
    ASSERT_TRUE(start(long_token + "  " + b + " \t  " + a + "\t \"" + long_token + "\""));
    EXPECT_EQ(title(), ppm_title(a, 10, 10));
    expect_next_shows(b, 12, 8);
    EXPECT_EQ(count_colour(rgb(4, 5, 6)), 12 * 8);
    expect_next_shows(a, 10, 10);
    ASSERT_TRUE(start("\"" + long_token + "\" " + a));
    EXPECT_EQ(title(), ppm_title(a, 10, 10));
}

TEST_F(ShellTest, CloseRemovesSwapFilesAndEndsWithCodeZero) {
    std::string file = ppm("a.ppm", 10, 10, rgb(3, 3, 3));
    ASSERT_TRUE(start(file));
    headless_close();
    headless_run_until_idle();
    EXPECT_TRUE(headless_exited());
    EXPECT_EQ(headless_exit_code(), 0);
}

namespace {

// A directory whose path is exactly 255 characters: too long for the scan's buffers.
std::string make_long_directory(const std::string& base) {
    std::string dir = base;
    while (dir.size() < 255) {
        size_t room = 255 - dir.size() - 1;
        std::string name(std::min<size_t>(room, 100), 'd');
        if (name.empty()) break;
        dir += "/" + name;
        make_dir(dir);
    }
    return dir;
}

} // namespace

TEST_F(ShellTest, DirectoryThatCannotBeScannedEndsStartUpButIsPassedOverWhenDropped) {
    std::string dir = make_long_directory(root);
    ASSERT_EQ(dir.size(), 255u);
    EXPECT_FALSE(start(dir));
    EXPECT_TRUE(headless_exited());
    EXPECT_EQ(headless_exit_code(), 1);
    ASSERT_EQ(headless_message_boxes().size(), 1u);
    EXPECT_EQ(headless_message_boxes()[0].text,
              "Erreur lors de l'initialisation\nFin de l'application");
    EXPECT_EQ(headless_message_boxes()[0].caption, "Erreur lors de l'initialisation");
    EXPECT_NE(log().find("Erreur d'init : 15"), std::string::npos);
    // Dropped on an empty window with a name too long to read and a directory of files, it is
    // logged and passed over; the first of the files is shown.
    std::string files = path("drop");
    ppm("drop/y.ppm", 5, 5, rgb(0, 5, 0));
    ppm("drop/x.ppm", 4, 4, rgb(0, 4, 0));
    ASSERT_TRUE(start(""));
    headless_drop({dir, "/" + std::string(300, 'q'), files});
    headless_run_until_idle();
    EXPECT_FALSE(headless_exited());
    EXPECT_TRUE(headless_message_boxes().empty());
    EXPECT_EQ(title(), ppm_title(files + "/x.ppm", 4, 4));
    EXPECT_EQ(count_colour(rgb(0, 4, 0)), 16);
    EXPECT_NE(
        log().find("Erreur ouverture / Opening error \n'" + dir + "' : Parametres incorrects"),
        std::string::npos);
}

TEST_F(ShellTest, StatusRaisedByAKeyIsDroppedWhenTheNextStepLoadsAFile) {
    ASSERT_TRUE(start(""));
    key(VKEY_F7); // nothing shown: status 10, kept as a message but not visible
    EXPECT_EQ(title(), "Dorvane v2.1.1");
    EXPECT_EQ(count_colour(k_white), long(width) * height);
    std::string file = ppm("a.ppm", 10, 10, rgb(1, 1, 1));
    headless_drop({file});
    headless_run_until_idle();
    EXPECT_EQ(title(), ppm_title(file, 10, 10));
    EXPECT_EQ(count_colour(k_unknown_colour), 0);
    EXPECT_EQ(count_colour(rgb(1, 1, 1)), 100);
}
