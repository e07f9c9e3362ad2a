// Lines as Qt's painter paints them, in either direction and band by band; dots as discs.
#include <QImage>
#include <QLineF>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>

#include "platform/raster.h"

namespace {

constexpr int kWidth = 240, kHeight = 160;
constexpr uint32_t kWhite = 0xFFFFFFFF;

raster::Target TargetOf(QImage& img) {
    return raster::Target(reinterpret_cast<uint32_t*>(img.bits()), img.bytesPerLine() / 4, img.width(), img.height());
}

int Differences(const QImage& a, const QImage& b) {
    if (a == b) return 0;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

}  // namespace

// 1 to 7 pixels wide: inside, across the edges, far out, flat, steep, diagonal, short.
TEST(Raster, LinesAreThePaintersInEitherDirectionAndBandByBand) {
    std::mt19937 rng(11);
    QImage ours(kWidth, kHeight, QImage::Format_RGB32), reversed = ours, painted = ours, banded = ours, band = ours;
    for (int i = 0; i < 6000; ++i) {
        const int width = 1 + i % 7, far = i % 4 == 0 ? 300 : 3;
        auto at = [&](int size) { return int(rng() % unsigned(size + 2 * far)) - far + 0.5; };
        double x1 = at(kWidth), y1 = at(kHeight), x2 = at(kWidth), y2 = at(kHeight);
        if (i % 5 == 1) x2 = x1 + int(rng() % 7) - 3;
        if (i % 9 == 3) y2 = y1 + (x2 - x1);
        if (x1 == x2 && y1 == y2) continue;
        auto draw = [&](const raster::Target& t, bool back, bool dot) {
            if (width == 1) raster::ThinLine(t, back ? x2 : x1, back ? y2 : y1, back ? x1 : x2, back ? y1 : y2, kWhite);
            else raster::WideLine(t, back ? x2 : x1, back ? y2 : y1, back ? x1 : x2, back ? y1 : y2, width, kWhite);
            if (dot) raster::Disc(width).Paint(t, int(x1), int(y1), kWhite);
        };
        for (QImage* img : {&ours, &reversed, &painted, &banded, &band}) img->fill(Qt::black);
        draw(TargetOf(ours), false, false);
        draw(TargetOf(reversed), true, false);
        ASSERT_EQ(Differences(ours, reversed), 0) << i;
        // Qt walks one-pixel lines from the smaller end along the longer axis.
        QLineF line(x1, y1, x2, y2);
        if (std::abs(x2 - x1) >= std::abs(y2 - y1) ? x1 > x2 : y1 > y2) line = QLineF(x2, y2, x1, y1);
        QPainter p(&painted);
        p.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::FlatCap));
        p.drawLines(&line, 1);
        p.end();
        // The painter clips lines cut by the image's edges a little differently.
        const bool cut = std::min({x1, x2, y1, y2}) < width || std::max(x1, x2) > kWidth - width ||
                         std::max(y1, y2) > kHeight - width;
        ASSERT_LE(Differences(ours, painted), cut && width > 1 ? 2 * width : 0)
            << width << ": " << x1 << "," << y1 << " " << x2 << "," << y2;

        // With a dot, band by band: the same pixels; a band paints only its rows.
        raster::Disc(width).Paint(TargetOf(ours), int(x1), int(y1), kWhite);
        const int cut1 = int(rng() % kHeight), cut2 = std::min(kHeight, cut1 + 1 + int(rng() % 9));
        for (auto [top, bottom] : {std::pair{0, cut1}, {cut1, cut2}, {cut2, kHeight}}) draw(TargetOf(banded).Band(top, bottom), false, true);
        ASSERT_EQ(Differences(ours, banded), 0) << i;
        draw(TargetOf(band).Band(cut1, cut2), false, true);
        for (int y = 0; y < kHeight; ++y)
            if (y < cut1 || y >= cut2) std::fill_n(reinterpret_cast<uint32_t*>(ours.scanLine(y)), kWidth, 0xFF000000u);
        ASSERT_EQ(Differences(band, ours), 0) << i;
    }
}

// The pixels within half the width of a pixel's centre (odd widths) or lower right corner (even).
TEST(Raster, DiscsAreThePensCircle) {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    for (int width = 1; width <= 40; ++width)
        for (const QPoint c : {QPoint(100, 80), QPoint(0, kHeight - 1), QPoint(kWidth - 1, 0)}) {
            img.fill(Qt::black);
            raster::Disc(width).Paint(TargetOf(img), c.x(), c.y(), kWhite);
            const double shift = width % 2 == 0 ? 1.0 : 0.5;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    const double dx = x - c.x() + 0.5 - shift, dy = y - c.y() + 0.5 - shift;
                    ASSERT_EQ(img.pixel(x, y) == kWhite, dx * dx + dy * dy <= width * width / 4.0)
                        << width << " at " << x << "," << y;
                }
        }
}
