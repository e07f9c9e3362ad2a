// Reads screenshots for the end-to-end test.
//   e2e_probe canvas SHOT            -> "x y" of the drawing area's top-left corner
//   e2e_probe size SHOT              -> "w h" of the drawing area (its black top row and left column)
//   e2e_probe pixel SHOT X Y         -> "r g b" of one pixel
//   e2e_probe changed A B X Y W H    -> number of pixels that differ in the rectangle
//   e2e_probe count SHOT R G B X Y W H  -> number of pixels of that colour in the rectangle
//   e2e_probe groups SHOT R G B X Y W H -> "x y" of each group of pixels of that colour
//                                        in the rectangle, left to right (groups are
//                                        apart by more than 3 columns)
#include <QColor>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The drawing area is the one large black rectangle of the window: its first
// row is a run of at least `minRun` black pixels.
bool FindCanvas(const QImage& img, int minRun, int& x0, int& y0) {
    for (int y = 0; y < img.height(); ++y) {
        int run = 0;
        for (int x = 0; x < img.width(); ++x) {
            run = (img.pixel(x, y) & 0xFFFFFF) == 0 ? run + 1 : 0;
            if (run >= minRun) {
                x0 = x - run + 1;
                y0 = y;
                return true;
            }
        }
    }
    return false;
}

int Fail(const char* what) {
    std::fprintf(stderr, "e2e_probe: %s\n", what);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "canvas") == 0) {
        QImage img(argv[2]);
        if (img.isNull()) return Fail("cannot read the screenshot");
        int x0 = 0, y0 = 0;
        if (!FindCanvas(img, 900, x0, y0)) return Fail("no drawing area in the screenshot");
        std::printf("%d %d\n", x0, y0);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "size") == 0) {
        QImage img(argv[2]);
        if (img.isNull()) return Fail("cannot read the screenshot");
        int x0 = 0, y0 = 0;
        if (!FindCanvas(img, 900, x0, y0)) return Fail("no drawing area in the screenshot");
        int w = 0, h = 0;
        while (x0 + w < img.width() && (img.pixel(x0 + w, y0) & 0xFFFFFF) == 0) ++w;
        while (y0 + h < img.height() && (img.pixel(x0, y0 + h) & 0xFFFFFF) == 0) ++h;
        std::printf("%d %d\n", w, h);
        return 0;
    }
    if (argc >= 5 && std::strcmp(argv[1], "pixel") == 0) {
        QImage img(argv[2]);
        if (img.isNull()) return Fail("cannot read the screenshot");
        const QColor c = img.pixelColor(std::atoi(argv[3]), std::atoi(argv[4]));
        std::printf("%d %d %d\n", c.red(), c.green(), c.blue());
        return 0;
    }
    if (argc >= 8 && std::strcmp(argv[1], "changed") == 0) {
        QImage a(argv[2]), b(argv[3]);
        if (a.isNull() || b.isNull()) return Fail("cannot read the screenshots");
        const int x = std::atoi(argv[4]), y = std::atoi(argv[5]), w = std::atoi(argv[6]), h = std::atoi(argv[7]);
        int n = 0;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) n += a.pixel(i, j) != b.pixel(i, j);
        std::printf("%d\n", n);
        return 0;
    }
    if (argc >= 10 && (std::strcmp(argv[1], "count") == 0 || std::strcmp(argv[1], "groups") == 0)) {
        QImage img(argv[2]);
        if (img.isNull()) return Fail("cannot read the screenshot");
        const QRgb wanted = qRgb(std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
        const int x = std::atoi(argv[6]), y = std::atoi(argv[7]), w = std::atoi(argv[8]), h = std::atoi(argv[9]);
        struct Group {
            int lastX, n;
            long sumX, sumY;
        };
        std::vector<Group> groups;
        int n = 0;
        for (int i = std::max(x, 0); i < std::min(x + w, img.width()); ++i)
            for (int j = std::max(y, 0); j < std::min(y + h, img.height()); ++j) {
                if ((img.pixel(i, j) & 0xFFFFFF) != (wanted & 0xFFFFFF)) continue;
                ++n;
                if (groups.empty() || i - groups.back().lastX > 3) groups.push_back({i, 0, 0, 0});
                Group& g = groups.back();
                g.lastX = i;
                ++g.n;
                g.sumX += i;
                g.sumY += j;
            }
        if (argv[1][0] == 'c') std::printf("%d\n", n);
        else
            for (const Group& g : groups) std::printf("%ld %ld\n", g.sumX / g.n, g.sumY / g.n);
        return 0;
    }
    return Fail("usage: canvas SHOT | size SHOT | pixel SHOT X Y | changed A B X Y W H | count|groups SHOT R G B X Y W H");
}
