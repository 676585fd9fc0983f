// paint-watch START_MS LIMIT_MS X,Y,RRGGBB...: waits until every listed screen point of the X
// display shows its colour (within 8 a channel) and prints the milliseconds since START_MS
// (a wall-clock time in ms since the epoch, as `date +%s%3N` gives). Each look reads the listed
// pixels alone, so the watch costs the viewer under test next to nothing, unlike dumping the
// whole screen. Exits 0 once painted, 1 when LIMIT_MS passed first, 2 on a usage or display error.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

struct Point {
    int x, y;
    unsigned colour;
};

long long now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

bool close_to(unsigned a, unsigned b) {
    for (int shift = 0; shift < 24; shift += 8) {
        int d = int((a >> shift) & 255) - int((b >> shift) & 255);
        if (d < -8 || d > 8) return false;
    }
    return true;
}

bool shows(Display* display, Window root, const Point& p) {
    XImage* image = XGetImage(display, root, p.x, p.y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return false;
    unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return close_to(unsigned(pixel & 0xFFFFFF), p.colour);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: paint-watch START_MS LIMIT_MS X,Y,RRGGBB...\n");
        return 2;
    }
    long long start = std::atoll(argv[1]), limit = std::atoll(argv[2]);
    std::vector<Point> points;
    for (int i = 3; i < argc; i++) {
        Point p{};
        if (std::sscanf(argv[i], "%d,%d,%x", &p.x, &p.y, &p.colour) != 3) return 2;
        points.push_back(p);
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 2;
    Window root = DefaultRootWindow(display);
    // One look at least, so that a limit of 0 asks whether the points show their colours now.
    for (bool first = true; first || now_ms() - start < limit; first = false) {
        bool all = true;
        for (const Point& p : points) all = all && shows(display, root, p);
        if (all) {
            std::printf("%lld\n", now_ms() - start);
            XCloseDisplay(display);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    XCloseDisplay(display);
    return 1;
}
