// The snapshot tool: the whole program on the headless layer from a shell command.
#include "shell_fixture.h"

#include <cstdlib>

namespace {

std::string snapshot_tool() {
    std::string decode = DORVANE_DECODE_TOOL;
    return decode.substr(0, decode.rfind('/') + 1) + "dorvane-snapshot";
}

// Runs the tool; returns its standard output.
std::string run(const std::string& arguments, int* exit_code) {
    std::string out = test_temp_dir() + "/snapshot-out.txt";
    std::string cmd = snapshot_tool() + " " + arguments + " > '" + out + "' 2>&1";
    int rc = std::system(cmd.c_str());
    *exit_code = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return test_read_file(out);
}

class SnapshotTool : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        if (access(snapshot_tool().c_str(), X_OK) != 0) GTEST_SKIP() << "tool not built";
    }
};

} // namespace

TEST_F(SnapshotTool, PrintsTheTitleAndWritesTheWindowAfterTheKeyScript) {
    std::string a = path("a b.ppm"), b = path("b \"c\".ppm"), out = path("shot.ppm");
    write_solid_ppm(a, 10, 8, rgb(10, 20, 30));
    write_solid_ppm(b, 12, 6, rgb(40, 50, 60));
    int code = 0;
    // Every argument is one path, blanks and quotes included; one too long is passed over. The
    // zoom words come back to the fitted page.
    std::string keys = "Space wait:100 Shift+Space Space plus minus equal KP_Subtract "
                       "wheel:5,5,2 wheel:5,5,-2 size:40x30 size:64x48";
    std::string text = run("--size 64x48 --keys '" + keys + "' --out '" + out + "' '" + b + "' /" +
                               std::string(300, 'x') + " '" + a + "'",
                           &code);
    EXPECT_EQ(code, 0) << text;
    EXPECT_EQ(text, ppm_title(b, 12, 6) + " - [2/2]\n");
    std::string ppm = test_read_file(out);
    std::string header = "P6\n64 48\n255\n";
    ASSERT_EQ(ppm.size(), header.size() + 64 * 48 * 3);
    EXPECT_EQ(ppm.substr(0, header.size()), header);
    size_t centre = header.size() + (24 * 64 + 32) * 3;
    EXPECT_EQ(ppm.substr(centre, 3), std::string("\x28\x32\x3c"));
    EXPECT_EQ(ppm.substr(header.size(), 3), std::string("\xff\xff\xff"));
}

TEST_F(SnapshotTool, EscapeEndsTheProgramAndUnknownInputIsRefused) {
    std::string a = path("a.ppm");
    write_solid_ppm(a, 10, 8, rgb(10, 20, 30));
    int code = 0;
    std::string text = run("--keys Esc '" + a + "'", &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, ppm_title(a, 10, 8) + " - [1/1]\nexit 0\n");
    for (const char* refused : {"--keys Hyper+Q", "--keys size:0x5", "--size 0x0"}) {
        run(std::string(refused) + " '" + a + "'", &code);
        EXPECT_EQ(code, 2) << refused;
    }
}
