#include <QImage>
#include <QLineF>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>

#include "platform/raster.h"

namespace {

constexpr int kWidth = 240, kHeight = 160;
constexpr uint32_t kWhite = 0xFFFFFFFF;

QImage Blank() {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(Qt::black);
    return img;
}

raster::Target TargetOf(QImage& img) {
    return raster::Target(reinterpret_cast<uint32_t*>(img.bits()), img.bytesPerLine() / 4, img.width(), img.height());
}

// Lines between pixel centres: inside the image, crossing its edges, far
// outside, flat, steep, diagonal and only a few pixels long.
struct Segment {
    double x1, y1, x2, y2;
};
std::vector<Segment> Segments(unsigned seed, int count) {
    std::mt19937 rng(seed);
    std::vector<Segment> out;
    for (int i = 0; i < count; ++i) {
        const bool far = i % 4 == 0;
        std::uniform_int_distribution<int> x(far ? -300 : -3, far ? kWidth + 300 : kWidth + 2);
        std::uniform_int_distribution<int> y(far ? -300 : -3, far ? kHeight + 300 : kHeight + 2);
        Segment s{x(rng) + 0.5, y(rng) + 0.5, x(rng) + 0.5, y(rng) + 0.5};
        if (i % 5 == 1) s.x2 = s.x1 + int(rng() % 7) - 3;
        if (i % 7 == 2) s.y2 = s.y1 + int(rng() % 7) - 3;
        if (i % 9 == 3) s.y2 = s.y1 + (s.x2 - s.x1);
        if (s.x1 != s.x2 || s.y1 != s.y2) out.push_back(s);
    }
    return out;
}

int Differences(const QImage& a, const QImage& b) {
    if (a == b) return 0;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

}  // namespace

TEST(Raster, OnePixelLinesAreThePaintersInEitherDirection) {
    int checked = 0;
    QImage ours = Blank(), reversed = Blank(), painted = Blank();
    for (const Segment& s : Segments(11, 3000)) {
        ours.fill(Qt::black);
        reversed.fill(Qt::black);
        painted.fill(Qt::black);
        raster::ThinLine(TargetOf(ours), s.x1, s.y1, s.x2, s.y2, kWhite);
        raster::ThinLine(TargetOf(reversed), s.x2, s.y2, s.x1, s.y1, kWhite);
        ASSERT_EQ(Differences(ours, reversed), 0) << s.x1 << "," << s.y1 << " " << s.x2 << "," << s.y2;

        // Qt's painter walks a line the same way in both directions, from
        // the end with the smaller coordinate along the longer axis.
        const bool flat = std::abs(s.x2 - s.x1) >= std::abs(s.y2 - s.y1);
        const bool swap = flat ? s.x1 > s.x2 : s.y1 > s.y2;
        QLineF line(s.x1, s.y1, s.x2, s.y2);
        if (swap) line = QLineF(s.x2, s.y2, s.x1, s.y1);
        {
            QPainter p(&painted);
            p.setPen(QPen(Qt::white, 1, Qt::SolidLine, Qt::FlatCap));
            p.drawLines(&line, 1);
        }
        const bool inside = std::min(s.x1, s.x2) >= 0 && std::max(s.x1, s.x2) <= kWidth &&
                            std::min(s.y1, s.y2) >= 0 && std::max(s.y1, s.y2) <= kHeight;
        if (inside) ++checked;
        ASSERT_EQ(Differences(ours, painted), 0) << s.x1 << "," << s.y1 << " " << s.x2 << "," << s.y2;
    }
    EXPECT_GT(checked, 1000);
}

TEST(Raster, BandsPaintExactlyTheRowsOfTheWholeLine) {
    std::mt19937 rng(5);
    QImage whole = Blank(), banded = Blank(), one = Blank(), expected;
    for (const Segment& s : Segments(12, 2000)) {
        whole.fill(Qt::black);
        banded.fill(Qt::black);
        one.fill(Qt::black);
        raster::ThinLine(TargetOf(whole), s.x1, s.y1, s.x2, s.y2, kWhite);
        const raster::Target all = TargetOf(banded);
        const int cut1 = int(rng() % kHeight), cut2 = std::min(kHeight, cut1 + 1 + int(rng() % 9));
        for (const raster::Target& band : {all.Band(0, cut1), all.Band(cut1, cut2), all.Band(cut2, kHeight)})
            raster::ThinLine(band, s.x1, s.y1, s.x2, s.y2, kWhite);
        ASSERT_EQ(Differences(whole, banded), 0) << s.x1 << "," << s.y1 << " " << s.x2 << "," << s.y2;

        // A band paints its rows of the line and nothing else.
        expected = whole.copy();
        raster::ThinLine(TargetOf(one).Band(cut1, cut2), s.x1, s.y1, s.x2, s.y2, kWhite);
        for (int y = 0; y < kHeight; ++y)
            if (y < cut1 || y >= cut2) std::fill_n(reinterpret_cast<uint32_t*>(expected.scanLine(y)), kWidth, 0xFF000000u);
        ASSERT_EQ(Differences(one, expected), 0) << s.x1 << "," << s.y1 << " " << s.x2 << "," << s.y2;
    }
}

// Wide lines set the pixels of Qt's flat-capped wide lines, for every line the
// image's edges don't cut.
TEST(Raster, WideLinesAreThePaintersInEitherDirection) {
    int checked = 0;
    QImage ours = Blank(), reversed = Blank(), painted = Blank();
    int index = 0;
    for (const Segment& s : Segments(13, 2500)) {
        const int width = 2 + index++ % 6;
        ours.fill(Qt::black);
        reversed.fill(Qt::black);
        raster::WideLine(TargetOf(ours), s.x1, s.y1, s.x2, s.y2, width, kWhite);
        raster::WideLine(TargetOf(reversed), s.x2, s.y2, s.x1, s.y1, width, kWhite);
        ASSERT_EQ(Differences(ours, reversed), 0) << s.x1 << "," << s.y1 << " " << s.x2 << "," << s.y2;

        const double margin = width;  // the outline reaches at most this far beyond the ends
        if (std::min(s.x1, s.x2) < margin || std::max(s.x1, s.x2) > kWidth - margin ||
            std::min(s.y1, s.y2) < margin || std::max(s.y1, s.y2) > kHeight - margin)
            continue;
        painted.fill(Qt::black);
        {
            QPainter p(&painted);
            p.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::FlatCap));
            const QLineF line(s.x1, s.y1, s.x2, s.y2);
            p.drawLines(&line, 1);
        }
        ++checked;
        ASSERT_EQ(Differences(ours, painted), 0) << width << ": " << s.x1 << "," << s.y1 << " " << s.x2 << "," << s.y2;
    }
    EXPECT_GT(checked, 800);
}

TEST(Raster, WideLinesAndDiscsInBandsAreTheWholeOnes) {
    std::mt19937 rng(8);
    QImage whole = Blank(), banded = Blank();
    int index = 0;
    for (const Segment& s : Segments(14, 1500)) {
        const int width = 2 + index++ % 6;
        const raster::Disc disc(width);
        whole.fill(Qt::black);
        banded.fill(Qt::black);
        raster::WideLine(TargetOf(whole), s.x1, s.y1, s.x2, s.y2, width, kWhite);
        disc.Paint(TargetOf(whole), int(s.x1), int(s.y1), kWhite);
        const raster::Target all = TargetOf(banded);
        const int cut1 = int(rng() % kHeight), cut2 = std::min(kHeight, cut1 + 1 + int(rng() % 9));
        for (const raster::Target& band : {all.Band(0, cut1), all.Band(cut1, cut2), all.Band(cut2, kHeight)}) {
            raster::WideLine(band, s.x1, s.y1, s.x2, s.y2, width, kWhite);
            disc.Paint(band, int(s.x1), int(s.y1), kWhite);
        }
        ASSERT_EQ(Differences(whole, banded), 0) << width << ": " << s.x1 << "," << s.y1 << " " << s.x2 << "," << s.y2;
    }
}

// A dot is a disc as wide as the pen: worked out once per width, the same
// pixels as testing every pixel of its square against the circle.
TEST(Raster, DiscsAreThePensCircle) {
    for (int width = 1; width <= 40; ++width) {
        QImage img = Blank();
        const raster::Disc disc(width);
        const QPoint centre(100, 80);
        disc.Paint(TargetOf(img), centre.x(), centre.y(), kWhite);
        const int first = -(width - 1) / 2;
        EXPECT_EQ(disc.Top(centre.y()), centre.y() + first);
        EXPECT_EQ(disc.Bottom(centre.y()), centre.y() + first + width - 1);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double dx = x - centre.x() - first + 0.5 - width / 2.0;
                const double dy = y - centre.y() - first + 0.5 - width / 2.0;
                const bool inside = x - centre.x() - first >= 0 && x - centre.x() - first < width &&
                                    y - centre.y() - first >= 0 && y - centre.y() - first < width &&
                                    dx * dx + dy * dy <= width * width / 4.0;
                ASSERT_EQ(img.pixel(x, y) == 0xFFFFFFFF, inside) << width << " at " << x << "," << y;
            }
    }
    // Cut by the image's edges.
    QImage img = Blank();
    raster::Disc(7).Paint(TargetOf(img), 0, kHeight - 1, kWhite);
    EXPECT_EQ(img.pixel(0, kHeight - 1), 0xFFFFFFFF);
    EXPECT_EQ(img.pixel(3, kHeight - 1), 0xFFFFFFFF);
    EXPECT_EQ(img.pixel(4, kHeight - 1), 0xFF000000);
}

// What painting top down has taken: a pixel once only, and blocks of 64 x 8
// pixels reported covered exactly when every pixel of theirs is taken.
TEST(Raster, CoverageTakesEachPixelOnceAndKnowsFullBlocks) {
    QImage img = Blank();
    const raster::Target band = TargetOf(img).Band(20, 45);  // rows 20 .. 44: blocks of 8 from row 20
    raster::Coverage coverage(band);
    EXPECT_FALSE(coverage.Covers(0, 20, 0, 20));
    EXPECT_TRUE(coverage.Covers(0, 0, kWidth - 1, 19));  // outside the band: nothing to paint there
    EXPECT_TRUE(coverage.Take(5, 21));
    EXPECT_FALSE(coverage.Take(5, 21));

    // Every pixel of the band but one.
    for (int y = 20; y < 45; ++y) coverage.TakeSpan(y, 0, kWidth - 1, [](int, uint64_t) {});
    EXPECT_TRUE(coverage.Covers(0, 20, kWidth - 1, 44));
    raster::Coverage almost(band);
    for (int y = 20; y < 45; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (x != 130 || y != 33) almost.Take(x, y);
    EXPECT_FALSE(almost.Covers(0, 20, kWidth - 1, 44));
    EXPECT_FALSE(almost.Covers(128, 28, 191, 35));  // the block of the free pixel
    EXPECT_TRUE(almost.Covers(0, 20, 127, 44));     // the blocks left of it
    EXPECT_TRUE(almost.Covers(192, 20, kWidth - 1, 44));
    EXPECT_TRUE(almost.Covers(128, 36, 191, 44));   // the blocks below it
    EXPECT_TRUE(almost.Take(130, 33));
    EXPECT_TRUE(almost.Covers(0, 20, kWidth - 1, 44));

    // A span reports only the pixels that were free.
    raster::Coverage spans(band);
    spans.Take(70, 30);
    uint64_t free = 0;
    spans.TakeSpan(30, 60, 75, [&](int x, uint64_t bits) {
        if (x == 64) free = bits;
    });
    EXPECT_EQ(free, (uint64_t{0xFFF} & ~(uint64_t{1} << 6)));  // 64 .. 75 but 70
}
