#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "model/viewwindow.h"

constexpr double kWidth = 938, kHeight = 577;  // pixels of the drawing area at start

// Random runs of wheel notches in and out at random pointers: the world point
// under the pointer keeps its pixel column exactly and its row as closely as
// the whole-number top and bottom allow; the width follows the factor.
TEST(ZoomAbout, ThePointUnderThePointerStays) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> share(0, 1);
    int zoomed = 0;
    const ViewWindow starts[] = {{-162.5563, 100, 162.5563, -100}, {-3000, 2000, 3000, -2000}, {-1, 100, 1, -100}};
    for (int run = 0; run < 300; ++run) {
        ViewWindow v = starts[run % 3];
        for (int notch = 0; notch < 30; ++notch) {
            const double fx = share(rng), fy = share(rng), factor = rng() % 2 ? 1.25 : 0.8;
            const double x = v.left + fx * (v.right - v.left), y = v.top - fy * (v.top - v.bottom);
            const auto z = ZoomAbout(v, x, y, factor, kHeight);
            ASSERT_TRUE(z || factor < 1 || v.top - v.bottom == 1);  // closer is refused only at one unit high
            if (!z) continue;
            const double oldHeight = v.top - v.bottom, target = oldHeight / factor, height = z->top - z->bottom;
            const double rowError = std::fabs((z->top - y) / height * kHeight - fy * kHeight);
            ASSERT_NEAR((z->right - z->left) * factor, v.right - v.left, 1e-9 * (v.right - v.left));
            ASSERT_NEAR((x - z->left) / (z->right - z->left) * kWidth, fx * kWidth, 1e-6);
            ASSERT_TRUE(factor > 1 ? height < oldHeight : height > oldHeight);
            ASSERT_LE(std::fabs(height - target), std::max(0.04 * target, 1.0));
            ASSERT_LE(rowError, oldHeight >= 300 ? 1.0 : 0.5 * kHeight / std::max(target - 1, 0.5) + 1e-9);
            const bool fine = oldHeight >= 1000 && std::abs(z->top) < 30000 && std::abs(z->bottom) < 30000;
            ASSERT_TRUE(!fine || (rowError <= 0.5 && std::fabs(height - target) <= 1.0));  // a unit < a pixel
            v = *z;
            ++zoomed;
        }
    }
    EXPECT_GT(zoomed, 8000);  // the rest would leave less than a unit, or overflow the edges
}

TEST(PanView, ATenthOfTheWindowWithWholeNumberRows) {
    const ViewWindow v{-162.5, 100, 162.5, -100};  // a tenth: 32.5 across, 20 down
    const struct {
        ViewWindow view;
        int right, up;
        ViewWindow moved;  // all zero: refused
    } rows[] = {
        {v, 1, 0, {-130, 100, 195, -100}},
        {{0, 25, 1, 0}, 0, 3, {0, 34, 1, 9}},   // a tenth is rounded
        {{0, 4, 1, 0}, 0, -1, {0, 3, 1, -1}},   // at least one unit
        {{0, 32767, 1, 32000}, 0, 1, {}},       // past the 16-bit edges nothing moves
        {{0, -32000, 1, -32768}, 0, -1, {}},
        {{0, -32000, 1, -32768}, 0, 1, {0, -31923, 1, -32691}},
    };
    for (const auto& r : rows) {
        const ViewWindow got = PanView(r.view, r.right, r.up).value_or(ViewWindow{});
        EXPECT_EQ(std::make_tuple(got.left, got.top, got.right, got.bottom),
                  std::make_tuple(r.moved.left, r.moved.top, r.moved.right, r.moved.bottom));
    }
}

TEST(WheelNotches, FineStepsAddUpToWholeNotches) {
    const std::vector<std::vector<int>> rows[] = {  // deltas, notches
        {{120, 120, -120}, {1, 1, -1}},        {{40, 40, 40, 40, 80}, {0, 0, 1, 0, 1}},
        {{240, -360}, {2, -3}},                {{100, -30, -90}, {0, 0, -1}},  // turning back starts afresh
        {{-60, -60, 15, 105}, {0, -1, 0, 1}},  {{1 << 30}, {100}}};            // absurd deltas are bounded
    for (const auto& r : rows) {
        WheelNotches wheel;
        std::vector<int> got;
        for (int d : r[0]) got.push_back(wheel.Add(d));
        EXPECT_EQ(got, r[1]) << ::testing::PrintToString(r[0]);
    }
}
