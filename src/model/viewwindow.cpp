#include "model/viewwindow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr long long kShortMin = std::numeric_limits<int16_t>::min();
constexpr long long kShortMax = std::numeric_limits<int16_t>::max();

// How far a wheel step's height may stray from its factor to keep the point
// under the pointer on its pixel.
constexpr double kHeightTolerance = 0.04;
constexpr long long kMaxHeightTries = 2000;

}  // namespace

bool ViewFits(double left, long long top, double right, long long bottom) {
    return std::isfinite(left) && std::isfinite(right) && right - left > 0 && top - bottom > 0 &&
           bottom >= kShortMin && bottom <= kShortMax && top >= kShortMin && top <= kShortMax;
}

std::optional<ViewWindow> ZoomAbout(const ViewWindow& view, double x, double y, double factor, double designHeight) {
    const double width = view.right - view.left;
    const double height = double(view.top) - double(view.bottom);
    if (!(factor > 0) || factor == 1.0 || !(width > 0) || !(height > 0) || !std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;

    // Across: the point keeps its share of the width from the centre.
    const double ax = (x - (view.left + view.right) / 2.0) / width;
    const double newWidth = width / factor;
    const double cx = x - ax * newWidth;

    // Down: the same share of the height, with whole-number edges. Every
    // height near the factor is tried with its best top edge; the closest to
    // the factor that keeps the point within half a pixel wins, else the one
    // that keeps it closest.
    const double ay = (y - (double(view.top) + view.bottom) / 2.0) / (double(view.bottom) - view.top);
    const double target = height / factor;
    const bool larger = factor > 1.0;
    // Within the tolerance, and always the two whole numbers next to the target.
    long long lo = static_cast<long long>(
        std::max(1.0, std::min(std::ceil(target * (1 - kHeightTolerance)), std::floor(target))));
    long long hi = static_cast<long long>(std::max(std::floor(target * (1 + kHeightTolerance)), std::ceil(target)));
    const long long mid = std::llround(target);
    lo = std::max(lo, mid - kMaxHeightTries);
    hi = std::min({hi, mid + kMaxHeightTries, kShortMax - kShortMin});
    const long long current = view.top - view.bottom;

    std::optional<ViewWindow> best;
    double bestError = 0, bestDistance = 0;
    for (long long h = lo; h <= hi; ++h) {
        if (larger ? h >= current : h <= current) continue;
        const double exactTop = y + h / 2.0 + ay * h;
        if (!(std::fabs(exactTop) < 1e6)) continue;
        const long long top = std::llround(exactTop);
        const long long bottom = top - h;
        const double left = cx - newWidth / 2.0, right = cx + newWidth / 2.0;
        if (!ViewFits(left, top, right, bottom)) continue;
        const double error = std::fabs((y - top + h / 2.0) / -double(h) - ay) * designHeight;
        const double distance = std::fabs(h - target);
        const bool onPixel = error <= 0.5, bestOnPixel = best && bestError <= 0.5;
        const bool better = !best || (onPixel && !bestOnPixel) || (onPixel && bestOnPixel && distance < bestDistance) ||
                            (!onPixel && !bestOnPixel && error < bestError);
        if (better) {
            best = ViewWindow{left, static_cast<int>(top), right, static_cast<int16_t>(bottom)};
            bestError = error;
            bestDistance = distance;
        }
    }
    return best;
}

std::optional<ViewWindow> PanView(const ViewWindow& view, int right, int up) {
    const double dx = (view.right - view.left) / 10.0 * right;
    const long long height = static_cast<long long>(view.top) - view.bottom;
    const long long dy = std::max(1LL, std::llround(height / 10.0)) * up;
    const long long top = view.top + dy, bottom = view.bottom + dy;
    if (!ViewFits(view.left + dx, top, view.right + dx, bottom)) return std::nullopt;
    return ViewWindow{view.left + dx, static_cast<int>(top), view.right + dx, static_cast<int16_t>(bottom)};
}

int WheelNotches::Add(int delta) {
    delta = std::clamp(delta, -120 * 100, 120 * 100);
    if ((delta > 0 && rest_ < 0) || (delta < 0 && rest_ > 0)) rest_ = 0;
    rest_ += delta;
    const int notches = rest_ / 120;
    rest_ -= notches * 120;
    return notches;
}
