// Pictures as the tests read and write them: binary PGM, PPM and PAM files of maxval 255.
#pragma once
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

struct Rgb {
    int width = 0, height = 0, channels = 0; // channels 1..4 as in the file
    std::vector<uint8_t> pixels;             // width * height * channels
};

inline bool read_pam(const std::string& path, Rgb* out) {
    std::ifstream in(path, std::ios::binary);
    std::string tok;
    if (!(in >> tok)) return false;
    int maxval = 255;
    if (tok == "P7") {
        while (in >> tok && tok != "ENDHDR") {
            if (tok == "WIDTH")
                in >> out->width;
            else if (tok == "HEIGHT")
                in >> out->height;
            else if (tok == "DEPTH")
                in >> out->channels;
            else if (tok == "MAXVAL")
                in >> maxval;
            else if (tok == "TUPLTYPE")
                in >> tok;
        }
    } else if (tok == "P6" || tok == "P5") {
        out->channels = tok == "P6" ? 3 : 1;
        in >> out->width >> out->height >> maxval;
    } else {
        return false;
    }
    in.get();
    if (maxval != 255 || out->width <= 0 || out->height <= 0) return false;
    size_t n = static_cast<size_t>(out->width) * out->height * out->channels;
    out->pixels.resize(n);
    in.read(reinterpret_cast<char*>(out->pixels.data()), static_cast<std::streamsize>(n));
    return static_cast<size_t>(in.gcount()) == n;
}

// Binary PPM (P6) of the 0xRRGGBB colours the function gives for each (x, y).
inline bool write_ppm(const std::string& path, int w, int h,
                      const std::function<uint32_t(int x, int y)>& colour) {
    std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t c = colour(x, y);
            s += {char(c >> 16), char(c >> 8), char(c)};
        }
    std::ofstream f(path, std::ios::binary);
    f.write(s.data(), std::streamsize(s.size()));
    return bool(f);
}
