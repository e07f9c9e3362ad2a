#include "platform/raster.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace raster {

Target Target::Band(int top, int bottom) const {
    Target band = *this;
    band.bandTop = std::clamp(top, 0, height);
    band.bandBottom = std::clamp(bottom, band.bandTop, height);
    return band;
}

// ---- coverage ----

Coverage::Coverage(const Target& band)
    : top_(band.bandTop), bottom_(band.bandBottom), width_(band.width), words_((band.width + 63) / 64),
      blockWords_((words_ + 63) / 64),
      lastFull_(band.width % 64 == 0 ? ~uint64_t{0} : (uint64_t{1} << (band.width % 64)) - 1),
      bits_(static_cast<std::size_t>(std::max(bottom_ - top_, 0)) * static_cast<std::size_t>(words_), 0),
      blockFull_(static_cast<std::size_t>((std::max(bottom_ - top_, 0) + kBlockRows - 1) / kBlockRows) *
                     static_cast<std::size_t>(blockWords_),
                 0) {}

bool Coverage::Covers(int x1, int y1, int x2, int y2) const {
    x1 = std::max(x1, 0);
    x2 = std::min(x2, width_ - 1);
    y1 = std::max(y1, top_);
    y2 = std::min(y2, bottom_ - 1);
    if (x1 > x2 || y1 > y2) return true;
    const int w1 = x1 >> 6, w2 = x2 >> 6;
    for (int block = (y1 - top_) / kBlockRows; block <= (y2 - top_) / kBlockRows; ++block) {
        const uint64_t* full = blockFull_.data() + static_cast<std::size_t>(block) * blockWords_;
        for (int b = w1 >> 6; b <= w2 >> 6; ++b) {
            const int from = std::max(w1, b * 64) & 63, to = std::min(w2, b * 64 + 63) & 63;
            const uint64_t want =
                (to == 63 ? ~uint64_t{0} : (uint64_t{1} << (to + 1)) - 1) & ~((uint64_t{1} << from) - 1);
            if ((full[b] & want) != want) return false;
        }
    }
    return true;
}

void Coverage::WordFull(int y, int word) {
    const int block = (y - top_) / kBlockRows;
    const int first = top_ + block * kBlockRows, last = std::min(first + kBlockRows, bottom_);
    for (int row = first; row < last; ++row)
        if (bits_[Index(row, word)] != Full(word)) return;
    blockFull_[static_cast<std::size_t>(block) * blockWords_ + (word >> 6)] |= uint64_t{1} << (word & 63);
}

// ---- discs ----

Disc::Disc(int width) : width_(std::max(width, 1)), first_(-(std::max(width, 1) - 1) / 2) {
    const double mid = width_ / 2.0;
    const double r2 = width_ * width_ / 4.0;
    left_.assign(static_cast<std::size_t>(width_), 1);
    right_.assign(static_cast<std::size_t>(width_), 0);
    for (int j = 0; j < width_; ++j) {
        const double dy = j + 0.5 - mid;
        bool any = false;
        for (int i = 0; i < width_; ++i) {
            const double dx = i + 0.5 - mid;
            if (dx * dx + dy * dy > r2) continue;
            // The disc is convex: its pixels in a row are one run.
            if (!any) left_[j] = static_cast<int16_t>(first_ + i);
            right_[j] = static_cast<int16_t>(first_ + i);
            any = true;
        }
    }
}

void Disc::Paint(const Target& t, int x, int y, uint32_t colour) const {
    if (width_ == 1) {
        if (y >= t.bandTop && y < t.bandBottom && static_cast<unsigned>(x) < static_cast<unsigned>(t.width) &&
            (!t.cover || t.cover->Take(x, y))) {
            t.Row(y)[x] = colour;
            if (t.writes) ++*t.writes;
        }
        return;
    }
    const int top = std::max(y + first_, t.bandTop);
    const int bottom = std::min(y + first_ + width_, t.bandBottom);
    for (int row = top; row < bottom; ++row) {
        const std::size_t j = static_cast<std::size_t>(row - y - first_);
        const int x1 = std::max(x + left_[j], 0);
        const int x2 = std::min(x + right_[j], t.width - 1);
        if (x1 <= x2) Span(t, row, x1, x2, colour);
    }
}

namespace {

// One drawing order for both directions of a line, so that the rounding of
// every step below never depends on which end came first.
void InDrawingOrder(double& x1, double& y1, double& x2, double& y2) {
    if (y1 > y2 || (y1 == y2 && x1 > x2)) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
}

// ---- one-pixel lines: 26.6 fixed-point positions, 16.16 steps ----

// Steps of a one-pixel line that painting top down tests together.
constexpr int kPiece = 32;

int FixedDiv(int a, int b) {
    if (std::abs(a) > 0x7fff) return static_cast<int>((static_cast<int64_t>(a) << 16) / b);
    return (a << 16) / b;
}

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }  // b > 0

// Steps k in [first, last) at which (start + k * inc) >> 16 lies in rows [top, bottom).
void StepsInRows(int64_t start, int64_t inc, int top, int bottom, int64_t& first, int64_t& last) {
    const int64_t lo = static_cast<int64_t>(top) * 65536, hi = static_cast<int64_t>(bottom) * 65536;
    if (inc == 0) {
        if (start < lo || start >= hi) last = first;
        return;
    }
    if (inc > 0) {
        first = std::max(first, CeilDiv(lo - start, inc));
        last = std::min(last, CeilDiv(hi - start, inc));
    } else {
        first = std::max(first, FloorDiv(start - hi, -inc) + 1);
        last = std::min(last, FloorDiv(start - lo, -inc) + 1);
    }
}

// The painter's rough clipping of a one-pixel line to one pixel beyond the
// image; false when nothing is left.
bool ClipThin(double& x1, double& y1, double& x2, double& y2, int width, int height) {
    const double xmin = -1, xmax = width + 1, ymin = -1, ymax = height + 1;
    if (x1 < xmin) {
        if (x2 <= xmin) return false;
        y1 += (y2 - y1) / (x2 - x1) * (xmin - x1);
        x1 = xmin;
    } else if (x1 > xmax) {
        if (x2 >= xmax) return false;
        y1 += (y2 - y1) / (x2 - x1) * (xmax - x1);
        x1 = xmax;
    }
    if (x2 < xmin) {
        y2 += (y2 - y1) / (x2 - x1) * (xmin - x2);
        x2 = xmin;
    } else if (x2 > xmax) {
        y2 += (y2 - y1) / (x2 - x1) * (xmax - x2);
        x2 = xmax;
    }
    if (y1 < ymin) {
        if (y2 <= ymin) return false;
        x1 += (x2 - x1) / (y2 - y1) * (ymin - y1);
        y1 = ymin;
    } else if (y1 > ymax) {
        if (y2 >= ymax) return false;
        x1 += (x2 - x1) / (y2 - y1) * (ymax - y1);
        y1 = ymax;
    }
    if (y2 < ymin) {
        x2 += (x2 - x1) / (y2 - y1) * (ymin - y2);
        y2 = ymin;
    } else if (y2 > ymax) {
        x2 += (x2 - x1) / (y2 - y1) * (ymax - y2);
        y2 = ymax;
    }
    return true;
}

}  // namespace

void ThinLine(const Target& t, double rx1, double ry1, double rx2, double ry2, uint32_t colour) {
    InDrawingOrder(rx1, ry1, rx2, ry2);
    if (!ClipThin(rx1, ry1, rx2, ry2, t.width, t.height)) return;
    int x1 = static_cast<int>(rx1 * 64.), y1 = static_cast<int>(ry1 * 64.);
    int x2 = static_cast<int>(rx2 * 64.), y2 = static_cast<int>(ry2 * 64.);
    const int top = t.bandTop, bottom = t.bandBottom;

    if (std::abs(x2 - x1) < std::abs(y2 - y1)) {
        // Steep: one pixel per row, rows (y1 + 32) >> 6 up to (y2 + 32) >> 6.
        if (y1 > y2) {
            std::swap(x1, x2);
            std::swap(y1, y2);
        }
        const int xinc = FixedDiv(x2 - x1, y2 - y1);
        const int yStart = (y1 + 32) >> 6, yEnd = (y2 + 32) >> 6;
        if (yStart == yEnd) return;
        const int round = xinc > 0 ? 32 : 0;
        const int x = (x1 << 10) + ((((yStart << 6) + round - y1) * xinc) >> 6);
        const int from = std::max(yStart, top), to = std::min(yEnd, bottom);
        if (from >= to) return;
        int position = x + (from - yStart) * xinc;
        uint32_t* row = t.Row(from);
        const unsigned width = static_cast<unsigned>(t.width);
        uint64_t written = 0;
        if (t.cover) {
            // A piece of the line whose blocks are all taken is passed by whole.
            for (int y = from; y < to; y += kPiece, position += kPiece * xinc, row += kPiece * t.stride) {
                const int end = std::min(y + kPiece, to);
                const int xa = position >> 16, xb = (position + (end - 1 - y) * xinc) >> 16;
                if (t.cover->Covers(std::min(xa, xb), y, std::max(xa, xb), end - 1)) continue;
                int at = position;
                uint32_t* r = row;
                for (int yy = y; yy < end; ++yy, at += xinc, r += t.stride) {
                    const int px = at >> 16;
                    if (static_cast<unsigned>(px) < width && t.cover->Take(px, yy)) {
                        r[px] = colour;
                        ++written;
                    }
                }
            }
        } else {
            for (int y = from; y < to; ++y, position += xinc, row += t.stride) {
                const int px = position >> 16;
                if (static_cast<unsigned>(px) < width) {
                    row[px] = colour;
                    ++written;
                }
            }
        }
        if (t.writes) *t.writes += written;
        return;
    }

    // Flat: one pixel per column, columns (x1 + 32) >> 6 up to (x2 + 32) >> 6.
    if (x1 == x2) return;
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const int yinc = FixedDiv(y2 - y1, x2 - x1);
    const int xStart = (x1 + 32) >> 6, xEnd = (x2 + 32) >> 6;
    if (xStart == xEnd) return;
    const int round = yinc > 0 ? 32 : 0;
    const int y = (y1 << 10) + ((((xStart << 6) + round - x1) * yinc) >> 6);
    int64_t first = std::max(0, -xStart), last = std::min(xEnd, t.width) - static_cast<int64_t>(xStart);
    if (first >= last) return;
    // Rows run one way: when both ends are in the band, all of it is.
    const int64_t firstRow = (y + first * yinc) >> 16, lastRow = (y + (last - 1) * yinc) >> 16;
    if (std::min(firstRow, lastRow) < top || std::max(firstRow, lastRow) >= bottom)
        StepsInRows(y, yinc, top, bottom, first, last);
    if (first >= last) return;
    int position = y + static_cast<int>(first) * yinc;
    uint32_t* const column = t.bits + xStart;
    if (t.cover) {
        // A piece of the line whose blocks are all taken is passed by whole.
        uint64_t written = 0;
        for (int64_t k = first; k < last; k += kPiece, position += kPiece * yinc) {
            const int64_t end = std::min<int64_t>(k + kPiece, last);
            const int ra = position >> 16, rb = (position + static_cast<int>(end - 1 - k) * yinc) >> 16;
            if (t.cover->Covers(xStart + static_cast<int>(k), std::min(ra, rb), xStart + static_cast<int>(end - 1),
                                std::max(ra, rb)))
                continue;
            int at = position;
            for (int64_t kk = k; kk < end; ++kk, at += yinc) {
                const int row = at >> 16;
                if (t.cover->Take(xStart + static_cast<int>(kk), row)) {
                    column[row * t.stride + kk] = colour;
                    ++written;
                }
            }
        }
        if (t.writes) *t.writes += written;
        return;
    }
    for (int64_t k = first; k < last; ++k, position += yinc) column[(position >> 16) * t.stride + k] = colour;
    if (t.writes) *t.writes += static_cast<uint64_t>(last - first);
}

// ---- wide lines: the outline as a quadrilateral, scanned at pixel centres ----

namespace {

struct PointD {
    double x, y;
};

bool Fixed26Equal(double a, double b) { return static_cast<int>((b - a) * 64.) == 0; }

PointD Snap26(PointD p) { return {std::floor(p.x * 64) * (1 / 64.0), std::floor(p.y * 64) * (1 / 64.0)}; }

double SafeDivide(double a, double b) {
    if (b == 0) return a > 0 ? 1e20 : -1e20;
    return a / b;
}

// 16.16 fixed point of a double, saturated.
int64_t ToFixed(double v) {
    const double scaled = v * 65536.0;
    if (scaled > static_cast<double>(std::numeric_limits<int64_t>::max())) return std::numeric_limits<int64_t>::max();
    if (scaled < static_cast<double>(std::numeric_limits<int64_t>::min())) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(scaled);
}

// Edge positions step in wrapping 64-bit arithmetic, so that a jump of n rows
// lands exactly where n single steps would.
int64_t Step(int64_t v, int64_t inc, int64_t rows) {
    return static_cast<int64_t>(static_cast<uint64_t>(v) + static_cast<uint64_t>(inc) * static_cast<uint64_t>(rows));
}

// Rows y .. next between a left and a right edge, painted where they meet the
// band. Leaves y after `next` and both edges where the next segment goes on.
void Segment(const Target& t, int& y, int next, int64_t& left, int64_t& right, int64_t leftInc, int64_t rightInc,
             uint32_t colour) {
    const int ny = std::min(next + 1, 0);
    if (y < ny) {
        left = Step(left, leftInc, ny - y);
        right = Step(right, rightInc, ny - y);
        y = ny;
    }
    next = std::min(next, t.height - 1);
    if (y > next) return;
    const int from = std::max(y, t.bandTop), to = std::min(next, t.bandBottom - 1);
    int64_t l = Step(left, leftInc, from - y), r = Step(right, rightInc, from - y);
    for (int row = from; row <= to; ++row, l = Step(l, leftInc, 1), r = Step(r, rightInc, 1)) {
        const int x1 = static_cast<int>(std::max<int64_t>(l >> 16, 0));
        const int x2 = static_cast<int>(std::min<int64_t>(r >> 16, t.width - 1));
        if (x2 >= x1) Span(t, row, x1, x2, colour);
    }
    left = Step(left, leftInc, next + 1 - y);
    right = Step(right, rightInc, next + 1 - y);
    y = next + 1;
}

}  // namespace

void WideLine(const Target& t, double x1, double y1, double x2, double y2, int penWidth, uint32_t colour) {
    InDrawingOrder(x1, y1, x2, y2);
    const PointD a{x1, y1}, b{x2, y2};
    if (a.x == b.x && a.y == b.y) return;
    // The width relative to the line's length, as the painter hands it on.
    double width = penWidth / std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
    if (!(width > 0.0) || t.width <= 0 || t.height <= 0) return;
    PointD pa = a, pb = b;

    // Clip to the image grown by the half width across the line.
    const double offX = std::fabs(b.y - a.y) * width * 0.5, offY = std::fabs(b.x - a.x) * width * 0.5;
    const double clipLeft = -offX, clipTop = -offY;
    const double clipW = (t.width + offX) - clipLeft, clipH = (t.height + offY) - clipTop;
    const double clipRight = clipLeft + clipW, clipBottom = clipTop + clipH;
    auto inside = [&](PointD p) {
        if (clipLeft == clipRight || p.x < clipLeft || p.x > clipRight) return false;
        if (clipTop == clipBottom || p.y < clipTop || p.y > clipBottom) return false;
        return true;
    };
    if (!inside(pa) || !inside(pb)) {
        double t1 = 0, t2 = 1;
        const double o[2] = {pa.x, pa.y};
        const double d[2] = {pb.x - pa.x, pb.y - pa.y};
        const double low[2] = {clipLeft, clipTop};
        const double high[2] = {clipRight, clipBottom};
        for (int i = 0; i < 2; ++i) {
            if (d[i] == 0) {
                if (o[i] <= low[i] || o[i] >= high[i]) return;
                continue;
            }
            const double inv = 1 / d[i];
            double tLow = (low[i] - o[i]) * inv, tHigh = (high[i] - o[i]) * inv;
            if (tLow > tHigh) std::swap(tLow, tHigh);
            if (t1 < tLow) t1 = tLow;
            if (t2 > tHigh) t2 = tHigh;
            if (t1 >= t2) return;
        }
        const PointD delta{pb.x - pa.x, pb.y - pa.y};
        const PointD npa{pa.x + delta.x * t1, pa.y + delta.y * t1};
        const PointD npb{pa.x + delta.x * t2, pa.y + delta.y * t2};
        pa = npa;
        pb = npb;
    }
    {
        const double dx0 = a.x - b.x, dy0 = a.y - b.y;
        const double dx = pa.x - pb.x, dy = pa.y - pb.y;
        const double w = dx * dx + dy * dy;
        if (w == 0) return;
        width *= std::sqrt((dx0 * dx0 + dy0 * dy0) / w);
    }

    // A line flat to within 1/64 pixel is painted as an upright one turned.
    if (Fixed26Equal(pa.y, pb.y)) {
        const double x = (pa.x + pb.x) * 0.5;
        const double dx = std::fabs(pb.x - pa.x) * 0.5;
        const double y = pa.y;
        const double dy = width * dx;
        pa = {x, y - dy};
        pb = {x, y + dy};
        width = 1 / width;
    }

    if (Fixed26Equal(pa.x, pb.x)) {  // upright: one rectangle
        if (pa.y > pb.y) std::swap(pa, pb);
        const double dy = pb.y - pa.y;
        const double halfWidth = 0.5 * width * dy;
        const double left = std::max(0.0, std::min(pa.x - halfWidth, double(t.width)));
        const double right = std::max(0.0, std::min(pa.x + halfWidth, double(t.width)));
        pa.y = std::max(0.0, std::min(pa.y, double(t.height)));
        pb.y = std::max(0.0, std::min(pb.y, double(t.height)));
        if (Fixed26Equal(left, right) || Fixed26Equal(pa.y, pb.y)) return;
        const int iTop = static_cast<int>(pa.y + 0.5f);
        const int iBottom = pb.y < 0.5f ? -1 : static_cast<int>(pb.y - 0.5f);
        const int iLeft = static_cast<int>(left + 0.5f);
        const int iRight = right < 0.5f ? -1 : static_cast<int>(right - 0.5f);
        if (iRight < iLeft) return;
        const int from = std::max(iTop, t.bandTop), to = std::min(iBottom, t.bandBottom - 1);
        for (int y = from; y <= to; ++y) Span(t, y, iLeft, iRight, colour);
        return;
    }

    // The outline's corners, named by their place: top (smallest y), left,
    // right and bottom.
    if (pa.y > pb.y) std::swap(pa, pb);
    const double scale = 0.5 * width;
    const PointD delta{(pb.x - pa.x) * scale, (pb.y - pa.y) * scale};
    const PointD perp{delta.y, -delta.x};
    PointD top, left, right, bottom;
    if (pa.x < pb.x) {
        top = {pa.x + perp.x, pa.y + perp.y};
        left = {pa.x - perp.x, pa.y - perp.y};
        right = {pb.x + perp.x, pb.y + perp.y};
        bottom = {pb.x - perp.x, pb.y - perp.y};
    } else {
        top = {pa.x - perp.x, pa.y - perp.y};
        left = {pb.x - perp.x, pb.y - perp.y};
        right = {pa.x + perp.x, pa.y + perp.y};
        bottom = {pb.x + perp.x, pb.y + perp.y};
    }
    top = Snap26(top);
    bottom = Snap26(bottom);
    left = Snap26(left);
    right = Snap26(right);

    const double topLeftSlope = SafeDivide(left.x - top.x, left.y - top.y);
    const double bottomLeftSlope = SafeDivide(bottom.x - left.x, bottom.y - left.y);
    const double topRightSlope = SafeDivide(right.x - top.x, right.y - top.y);
    const double bottomRightSlope = SafeDivide(bottom.x - right.x, bottom.y - right.y);
    const int64_t topLeftInc = ToFixed(topLeftSlope), topRightInc = ToFixed(topRightSlope);
    const int64_t bottomLeftInc = ToFixed(bottomLeftSlope), bottomRightInc = ToFixed(bottomRightSlope);

    // Rows whose centres lie inside, split where the left or the right edge
    // turns; spans run between the edges' crossings of the row centres.
    const int iTop = static_cast<int>(top.y + 0.5f);
    const int iLeft = left.y < 0.5f ? -1 : static_cast<int>(left.y - 0.5f);
    const int iRight = right.y < 0.5f ? -1 : static_cast<int>(right.y - 0.5f);
    const int iBottom = bottom.y < 0.5f ? -1 : static_cast<int>(bottom.y - 0.5f);
    const int iMiddle = std::min(iLeft, iRight);

    int64_t leftAbove = ToFixed(top.x + 0.5f + (float(iTop) + 0.5f - top.y) * topLeftSlope);
    int64_t leftBelow = ToFixed(left.x + 0.5f + (float(iLeft) + 1.5f - left.y) * bottomLeftSlope);
    int64_t rightAbove = ToFixed(top.x - 0.5f + (float(iTop) + 0.5f - top.y) * topRightSlope);
    int64_t rightBelow = ToFixed(right.x - 0.5f + (float(iRight) + 1.5f - right.y) * bottomRightSlope);

    int y = iTop;
    Segment(t, y, iMiddle, leftAbove, rightAbove, topLeftInc, topRightInc, colour);
    Segment(t, y, iRight, leftBelow, rightAbove, bottomLeftInc, topRightInc, colour);
    Segment(t, y, iLeft, leftAbove, rightBelow, topLeftInc, bottomRightInc, colour);
    Segment(t, y, iBottom, leftBelow, rightBelow, bottomLeftInc, bottomRightInc, colour);
}

}  // namespace raster
