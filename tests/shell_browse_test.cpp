// Browsing the file list: path order, silent removal, wrapping, Delete, dropped files and
// directory scans, including damaged trees.
#include "shell_fixture.h"

namespace {

const char* const k_gray_jpeg = "/jpeg/jpeg-decoder-jpg-gray.jpg";

std::string jpeg_title(const std::string& path) {
    return path + " - 32 x 32 pixels - 1 x 8 bits - JPEG format JFIF";
}

void copy_file(const std::string& from, const std::string& to) {
    write_bytes(to, test_read_file(from));
}

} // namespace

TEST_F(ShellTest, DirectoryIsBrowsedInLowerCasePathOrderAndWrapsBothWays) {
    std::string dir = path("pics");
    make_dir(dir);
    std::string b = dir + "/b.jpg", a = dir + "/A.png", notes = dir + "/notes.txt";
    copy_file(test_data_dir() + k_gray_jpeg, b);
    copy_file(test_data_dir() + "/png/pngsuite-basn2c08.png", a);
    write_bytes(notes, "shopping list\n");
    const std::string a_title = a + " - 32 x 32 pixels - 3 x 8 bits - PNG";
    ASSERT_TRUE(start(dir));
    EXPECT_EQ(title(), a_title);
    // The place counts notes.txt until browsing finds it is no image, never the directory.
    EXPECT_EQ(place(), "1/3");
    EXPECT_GE(count_colour(k_white), long(width) * height - 32 * 32);
    std::vector<uint32_t> png_shown = headless_surface(headless_document_window());
    key(VKEY_SPACE);
    EXPECT_EQ(title(), jpeg_title(b));
    EXPECT_EQ(place(), "2/3");
    EXPECT_GE(count_colour(k_white), long(width) * height - 32 * 32);
    EXPECT_NE(headless_surface(headless_document_window()), png_shown);
    key(VKEY_SPACE); // notes.txt is dropped on the way; wraps to the first
    EXPECT_EQ(title(), a_title);
    EXPECT_EQ(place(), "1/2");
    EXPECT_EQ(headless_title(), a_title + " - [1/2]");
    EXPECT_EQ(headless_surface(headless_document_window()), png_shown);
    key(VKEY_SPACE, MOD_SHIFT); // wraps backwards to the last
    EXPECT_EQ(title(), jpeg_title(b));
    EXPECT_EQ(place(), "2/2");
    key(VKEY_SPACE, MOD_SHIFT);
    EXPECT_EQ(title(), a_title);
    EXPECT_EQ(log().find("notes.txt"), std::string::npos) << "dropped without a word";
}

// Plain byte order ("a.ppm", then the directory "a", then "ab.ppm"); links that loop or
// dangle are not followed (their names would sort among the files); a file that vanishes
// before it is reached is dropped.
TEST_F(ShellTest, DirectoryScanOrderLinksAndVanishedFiles) {
    std::string img = path("img");
    const char* const names[] = {"a.ppm", "a/x.ppm", "ab.ppm", "b.ppm", "c.ppm"};
    for (int i = 0; i < 5; i++) ppm(std::string("img/") + names[i], 4 + i, 4 + i, rgb(i + 1, 0, 0));
    ASSERT_EQ(symlink(img.c_str(), (img + "/again").c_str()), 0);
    ASSERT_EQ(symlink(".", (img + "/self").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent/target", (img + "/b-dangling").c_str()), 0);
    ASSERT_TRUE(start(img));
    EXPECT_EQ(title(), ppm_title(img + "/a.ppm", 4, 4));
    std::remove((img + "/b.ppm").c_str());
    expect_next_shows(img + "/a/x.ppm", 5, 5);
    expect_next_shows(img + "/ab.ppm", 6, 6);
    expect_next_shows(img + "/c.ppm", 8, 8);
    expect_next_shows(img + "/a.ppm", 4, 4);
    EXPECT_EQ(count_colour(rgb(1, 0, 0)), 16);
}

TEST_F(ShellTest, DeepTreeIsScannedAndTheWorkingDirectoryEndsAtItsParent) {
    std::string d = path("t"), deep = ppm("t/l0/l1/l2/l3/l4/z.ppm", 3, 3, rgb(9, 9, 9));
    ppm("rel.ppm", 2, 2, rgb(8, 8, 8));
    // The relative name after the directory resolves against the directory's parent; a
    // missing directory between them is passed over.
    ASSERT_TRUE(start(d + " " + path("no/such/dir/") + " rel.ppm"));
    EXPECT_EQ(title(), ppm_title(deep, 3, 3));
    expect_next_shows("rel.ppm", 2, 2);
    EXPECT_EQ(count_colour(rgb(8, 8, 8)), 4);
}

TEST_F(ShellTest, DeleteShowsTheFileThatFollowedAndCtrlDeleteRecyclesIt) {
    std::vector<std::string> files;
    std::string line;
    for (int i = 0; i < 5; i++) {
        files.push_back(ppm("f" + std::to_string(i) + ".ppm", 10 + i, 10, 0));
        line += files.back() + " ";
    }
    ASSERT_TRUE(start(line));
    key(VKEY_SPACE);
    key(VKEY_SPACE);
    key(VKEY_DELETE);
    EXPECT_EQ(title(), ppm_title(files[3], 13, 10));
    EXPECT_TRUE(headless_recycled().empty());
    key(VKEY_DELETE, MOD_CTRL);
    EXPECT_EQ(title(), ppm_title(files[4], 14, 10));
    EXPECT_EQ(headless_recycled(), std::vector<std::string>{files[3]});
    EXPECT_EQ(access(files[3].c_str(), F_OK), 0) << "recorded, not done";
    // Three files are left, in order 0, 1, 4.
    expect_next_shows(files[0], 10, 10);
    key(VKEY_SPACE);
    expect_next_shows(files[4], 14, 10);
}

TEST_F(ShellTest, CtrlDeleteOnTheOnlyFileLeavesTheTitleAndAnEmptyWindow) {
    std::string only = ppm("only.ppm", 10, 10, rgb(0, 0, 99));
    ASSERT_TRUE(start(only));
    key(VKEY_DELETE, MOD_CTRL);
    EXPECT_EQ(title(), ppm_title(only, 10, 10));
    EXPECT_EQ(count_colour(rgb(0, 0, 99)), 0);
    EXPECT_EQ(count_colour(k_white), long(width) * height);
    ASSERT_EQ(headless_recycled().size(), 1u);
    key(VKEY_SPACE);
    key(VKEY_DELETE);
    EXPECT_FALSE(headless_exited());
}

TEST_F(ShellTest, DroppedFilesRestartAtTheFirstOfAllInPathOrder) {
    std::string c = ppm("c.ppm", 3, 3, 3), a = ppm("a.ppm", 1, 1, 1), b = ppm("b.ppm", 2, 2, 2),
                d = ppm("d.ppm", 4, 4, 4);
    ASSERT_TRUE(start(c));
    expect_next_shows(c, 3, 3);
    headless_drop({d, b, a});
    headless_run_until_idle();
    EXPECT_EQ(title(), ppm_title(a, 1, 1));
    EXPECT_EQ(count_colour(1), 1);
    expect_next_shows(b, 2, 2);
    expect_next_shows(c, 3, 3);
    expect_next_shows(d, 4, 4);
}

TEST_F(ShellTest, CorruptImageInTheMiddleIsReportedAndBrowsingGoesOn) {
    std::string dir = path("mixed");
    ppm("mixed/1.ppm", 5, 5, rgb(0, 0, 1));
    write_bytes(dir + "/2.ppm", "P6\n50 50\n255\n\x01\x02");
    write_bytes(dir + "/3.gif", "GIF89a\x05\x00\x05\x00\x00\x00\x00\x2C garbage");
    ppm("mixed/4.ppm", 6, 6, rgb(0, 0, 4));
    ASSERT_TRUE(start(dir));
    EXPECT_EQ(title(), ppm_title(dir + "/1.ppm", 5, 5));
    // Each failure shows its own copy of the 8 x 6 error picture at scale 1, 20 pixels from the
    // window's corner, its message in the title and its line in the log.
    for (const char* bad : {"/2.ppm", "/3.gif"}) {
        key(VKEY_SPACE);
        EXPECT_EQ(title().rfind(dir + bad + " : ", 0), 0u) << title();
        EXPECT_GT(title().size(), dir.size() + 10);
        EXPECT_NE(log().find("Erreur chargement / Loading error \n'" + dir + bad + "'"),
                  std::string::npos);
        EXPECT_EQ(pixel(20, 20), k_error_colour);
        EXPECT_EQ(pixel(27, 25), k_error_colour);
        EXPECT_EQ(count_colour(k_error_colour), 48);
    }
    expect_next_shows(dir + "/4.ppm", 6, 6);
    EXPECT_EQ(count_colour(k_error_colour), 0);
    key(VKEY_SPACE, MOD_SHIFT);
    EXPECT_EQ(title().rfind(dir + "/3.gif : ", 0), 0u) << title();
    EXPECT_EQ(count_colour(k_error_colour), 48);
    EXPECT_FALSE(headless_exited());
}

TEST_F(ShellTest, NestingPastTheDepthLimitIsPassedOver) {
    std::string d = path("n");
    ppm("n/top.ppm", 2, 2, rgb(0, 1, 0));
    // 120 levels of one-letter names: the path stays short, the depth does not.
    std::string deep = d;
    for (int i = 0; i < 120; i++) {
        deep += "/d";
        make_dir(deep);
        if (i == 90) write_solid_ppm(deep + "/mid.ppm", 3, 3, rgb(0, 2, 0));
    }
    write_solid_ppm(deep + "/bottom.ppm", 4, 4, rgb(0, 3, 0));
    ASSERT_TRUE(start(d));
    std::string mid = d;
    for (int i = 0; i <= 90; i++) mid += "/d";
    EXPECT_EQ(title(), ppm_title(mid + "/mid.ppm", 3, 3));
    expect_next_shows(d + "/top.ppm", 2, 2);
    key(VKEY_SPACE);
    EXPECT_EQ(title(), ppm_title(mid + "/mid.ppm", 3, 3)) << "the bottom file lies too deep";
}

TEST_F(ShellTest, QueuedKeyPressesAreDroppedByTheNextTimerMessage) {
    std::string line;
    for (int i = 0; i < 4; i++) line += ppm("k" + std::to_string(i) + ".ppm", 5 + i, 5, 0) + " ";
    ASSERT_TRUE(start(line));
    // Four presses queued at once: the first steps, its redraw message drops the others.
    for (int i = 0; i < 4; i++) headless_key(VKEY_SPACE);
    headless_run_until_idle();
    EXPECT_EQ(title(), ppm_title(path("k1.ppm"), 6, 5));
    // Held down with auto-repeat: presses that arrive between ticks all count.
    headless_key_held(VKEY_SPACE, 2, 40);
    headless_run_until_idle();
    EXPECT_EQ(title(), ppm_title(path("k3.ppm"), 8, 5));
}

TEST_F(ShellTest, DeleteThatLeavesOnlyANonImageEndsWithNoImage) {
    std::string dir = path("d");
    ppm("d/a.ppm", 5, 5, rgb(0, 0, 1));
    write_bytes(dir + "/notes.txt", "not an image");
    ASSERT_TRUE(start(dir));
    ASSERT_EQ(title(), ppm_title(dir + "/a.ppm", 5, 5));
    // The entry before a.ppm (wrapping) is the unexamined notes.txt: it becomes current,
    // then turns out to be the last entry and no image.
    key(VKEY_DELETE);
    EXPECT_EQ(title(), "Aucune image dans le repertoire");
    EXPECT_EQ(pixel(20, 20), k_error_colour);
    key(VKEY_SPACE);
    EXPECT_EQ(title(), "Aucune image dans le repertoire");
    key(VKEY_DELETE);
    EXPECT_FALSE(headless_exited());
}
