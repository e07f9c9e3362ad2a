// Reads screenshots for the end-to-end tests: where the drawing area is, its
// size, one pixel, changed pixels, pixels of a colour and where they group
// (groups lie more than 3 columns apart). Usage: see the message at the end.
#include <QColor>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool Black(const QImage& img, int x, int y) { return (img.pixel(x, y) & 0xFFFFFF) == 0; }

int Fail(const char* what) {
    std::fprintf(stderr, "e2e_probe: %s\n", what);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc >= 3 ? argv[1] : "";
    const QImage img(argc >= 3 ? argv[2] : "");
    auto arg = [&](int i) { return std::atoi(argv[i]); };
    if (argc >= 3 && img.isNull()) return Fail("cannot read the screenshot");
    if (command == "canvas" || command == "size") {
        // The drawing area: the first run of at least 900 black pixels starts it.
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0, run = 0; x < img.width(); ++x)
                if ((run = Black(img, x, y) ? run + 1 : 0) >= 900) {
                    int x0 = x - run + 1, w = 0, h = 0;
                    while (x0 + w < img.width() && Black(img, x0 + w, y)) ++w;
                    while (y + h < img.height() && Black(img, x0, y + h)) ++h;
                    std::printf("%d %d\n", command == "canvas" ? x0 : w, command == "canvas" ? y : h);
                    return 0;
                }
        return Fail("no drawing area in the screenshot");
    }
    if (command == "pixel" && argc >= 5) {
        const QColor c = img.pixelColor(arg(3), arg(4));
        std::printf("%d %d %d\n", c.red(), c.green(), c.blue());
        return 0;
    }
    if (command == "changed" && argc >= 8) {
        const QImage b(argv[3]);
        if (b.isNull()) return Fail("cannot read the screenshots");
        int n = 0;
        for (int j = arg(5); j < arg(5) + arg(7); ++j)
            for (int i = arg(4); i < arg(4) + arg(6); ++i) n += img.pixel(i, j) != b.pixel(i, j);
        std::printf("%d\n", n);
        return 0;
    }
    if ((command == "count" || command == "groups") && argc >= 10) {
        const QRgb wanted = qRgb(arg(3), arg(4), arg(5));
        const int x = arg(6), y = arg(7), w = arg(8), h = arg(9);
        struct Group { int lastX, n; long sumX, sumY; };
        std::vector<Group> groups;
        int n = 0;
        for (int i = std::max(x, 0); i < std::min(x + w, img.width()); ++i)
            for (int j = std::max(y, 0); j < std::min(y + h, img.height()); ++j) {
                if ((img.pixel(i, j) & 0xFFFFFF) != (wanted & 0xFFFFFF)) continue;
                ++n;
                if (groups.empty() || i - groups.back().lastX > 3) groups.push_back({i, 0, 0, 0});
                groups.back().lastX = i, ++groups.back().n, groups.back().sumX += i, groups.back().sumY += j;
            }
        if (command == "count") std::printf("%d\n", n);
        else
            for (const Group& g : groups) std::printf("%ld %ld\n", g.sumX / g.n, g.sumY / g.n);
        return 0;
    }
    return Fail("usage: canvas SHOT | size SHOT | pixel SHOT X Y | changed A B X Y W H | count|groups SHOT R G B X Y W H");
}
