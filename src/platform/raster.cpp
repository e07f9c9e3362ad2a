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
        for (int y = from; y < to; ++y) {
            const int px = (x + (y - yStart) * xinc) >> 16;
            if (static_cast<unsigned>(px) < static_cast<unsigned>(t.width)) t.Row(y)[px] = colour;
        }
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
    StepsInRows(y, yinc, top, bottom, first, last);
    for (int64_t k = first; k < last; ++k) {
        const int row = (y + static_cast<int>(k) * yinc) >> 16;
        t.Row(row)[xStart + k] = colour;
    }
}

}  // namespace raster
