#include "support/reference.h"
#include "support/support.h"

#include <cstdlib>
#include <unistd.h>

namespace {

std::string shell_quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

Rgb read_result(const std::string& path) {
    Rgb picture;
    if (!read_pam(path, &picture)) return Rgb();
    std::remove(path.c_str());
    return rgb_of(picture);
}

std::string result_path() {
    static int n = 0;
    return test_temp_dir() + "/reference-" + std::to_string(++n) + ".ppm";
}

} // namespace

bool run_command(const std::string& command) {
    return test_run(command + " 2>/dev/null") == 0;
}

bool have_pillow() {
    static int found = -1;
    if (found < 0) found = run_command("/usr/bin/python3 -c 'import PIL.Image'") ? 1 : 0;
    return found == 1;
}

bool have_magick() {
    return access("/usr/bin/convert", X_OK) == 0;
}

Rgb pillow_rgb(const std::string& path, bool oriented) {
    std::string out = result_path();
    std::string script = "import sys\n"
                         "from PIL import Image, ImageFile, ImageOps\n"
                         "ImageFile.LOAD_TRUNCATED_IMAGES = True\n"
                         "im = Image.open(sys.argv[1])\n"
                         "if sys.argv[3] == '1': im = ImageOps.exif_transpose(im)\n"
                         "if im.mode.startswith('I'): im = im.point(lambda v: v * (1 / 256))\n"
                         "im.convert('RGB').save(sys.argv[2], 'PPM')\n";
    if (!run_command("/usr/bin/python3 -c " + shell_quoted(script) + " " + shell_quoted(path) +
                     " " + shell_quoted(out) + (oriented ? " 1" : " 0")))
        return Rgb();
    return read_result(out);
}

Rgb magick_rgb(const std::string& path, const std::string& options) {
    std::string out = result_path();
    // A damaged file gives what ImageMagick decoded of it, with a failing exit code.
    run_command("/usr/bin/convert " + options + " " + shell_quoted(path + "[0]") + " -depth 8 " +
                shell_quoted("ppm:" + out));
    return read_result(out);
}

std::vector<Rgb> magick_frames_on_white(const std::string& path) {
    std::string pattern = result_path();
    std::vector<Rgb> frames;
    if (!run_command("/usr/bin/convert " + shell_quoted(path) +
                     " -coalesce -background white -alpha remove -depth 8 " +
                     shell_quoted("ppm:" + pattern + ".%d")))
        return frames;
    for (int i = 0;; i++) {
        std::string frame = pattern + "." + std::to_string(i);
        if (access(frame.c_str(), R_OK) != 0) break;
        frames.push_back(read_result(frame));
    }
    return frames;
}

long rgb_differing(const Rgb& a, const Rgb& b, int tolerance) {
    if (a.width == 0 || a.width != b.width || a.height != b.height || a.channels != b.channels)
        return -1;
    long n = 0;
    for (size_t i = 0; i < a.pixels.size(); i += a.channels) {
        bool differs = false;
        for (int c = 0; c < a.channels; c++)
            differs |= std::abs(int(a.pixels[i + c]) - int(b.pixels[i + c])) > tolerance;
        n += differs;
    }
    return n;
}
