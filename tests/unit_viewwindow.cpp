#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "model/viewwindow.h"

namespace {

constexpr double kDesignWidth = 938, kDesignHeight = 577;

ViewWindow StartView() { return {-100 * kDesignWidth / kDesignHeight, 100, 100 * kDesignWidth / kDesignHeight, -100}; }

// Where a world point lies in the design area, in pixels from its top-left.
double PixelX(const ViewWindow& v, double x) { return (x - v.left) / (v.right - v.left) * kDesignWidth; }
double PixelY(const ViewWindow& v, double y) { return (v.top - y) / double(v.top - v.bottom) * kDesignHeight; }

}  // namespace

// Random pointers over random runs of wheel notches in and out: the point
// under the pointer keeps its column exactly and its row as closely as the
// whole-number top and bottom allow, within a pixel once the window is at
// least 300 units high; the width follows the factor exactly.
TEST(ZoomAbout, ThePointUnderThePointerStays) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> share(0, 1);
    int checked = 0, tall = 0, taller = 0;
    for (int run = 0; run < 300; ++run) {
        ViewWindow v = run % 3 ? StartView() : ViewWindow{-3000, 2000, 3000, -2000};
        for (int notch = 0; notch < 30; ++notch) {
            const double fx = share(rng), fy = share(rng);
            const double x = v.left + fx * (v.right - v.left), y = v.top - fy * (v.top - v.bottom);
            const double factor = rng() % 2 ? 1.25 : 0.8;
            const auto zoomed = ZoomAbout(v, x, y, factor, kDesignHeight);
            if (!zoomed) continue;
            const double oldHeight = v.top - v.bottom, target = oldHeight / factor;
            const double height = zoomed->top - zoomed->bottom;
            ASSERT_NEAR((zoomed->right - zoomed->left) * factor, v.right - v.left, 1e-9 * (v.right - v.left));
            ASSERT_NEAR(PixelX(*zoomed, x), fx * kDesignWidth, 1e-6);
            ASSERT_LE(std::fabs(height - target), std::max(0.04 * target, 1.0));
            ASSERT_TRUE(factor > 1 ? height < oldHeight : height > oldHeight);
            const double error = std::fabs(PixelY(*zoomed, y) - fy * kDesignHeight);
            ASSERT_LE(error, 0.5 * kDesignHeight / std::max(target - 1, 0.5) + 1e-9) << "height " << oldHeight;
            // A unit is less than a pixel: the factor holds as well as whole
            // numbers allow, unless the 16-bit edges are near.
            if (oldHeight >= 1000 && std::abs(zoomed->top) < 30000 && std::abs(zoomed->bottom) < 30000) {
                ASSERT_LE(error, 0.5);
                ASSERT_LE(std::fabs(height - target), 1.0);
                ++taller;
            }
            if (oldHeight >= 300) {
                ASSERT_LE(error, 1.0) << "height " << oldHeight << ", pointer at " << fy << " of it";
                ++tall;
            }
            ++checked;
            v = *zoomed;
        }
    }
    EXPECT_GT(checked, 5000);
    EXPECT_GT(tall, 1000);
    EXPECT_GT(taller, 1000);
}

TEST(ViewFits, SomethingVisibleWithinTheFields) {
    EXPECT_TRUE(ViewFits(-1, 1, 1, -1));
    EXPECT_TRUE(ViewFits(-1e-3, 32767, 1e-3, -32768));
    EXPECT_FALSE(ViewFits(1, 1, 1, -1));    // no width
    EXPECT_FALSE(ViewFits(2, 1, 1, -1));    // turned over
    EXPECT_FALSE(ViewFits(-1, 0, 1, 0));    // no height
    EXPECT_FALSE(ViewFits(-1, 32768, 1, 0));
    EXPECT_FALSE(ViewFits(-1, 0, 1, -32769));
    EXPECT_FALSE(ViewFits(-INFINITY, 1, 1, -1));
    EXPECT_FALSE(ViewFits(-1, 1, NAN, -1));
}

TEST(ZoomAbout, StepsThatWouldLeaveNothingOrOverflowAreRefused) {
    // One unit high: nothing smaller can be shown.
    EXPECT_FALSE(ZoomAbout({-1, 1, 1, 0}, 0, 0.5, 1.25, kDesignHeight));
    // Two units high still goes down to one.
    const auto one = ZoomAbout({-1, 1, 1, -1}, 0, 0, 1.25, kDesignHeight);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->top - one->bottom, 1);
    // The bottom edge has 16 bits.
    EXPECT_FALSE(ZoomAbout({-100, 32000, 100, -32000}, 0, 0, 0.8, kDesignHeight));
    EXPECT_FALSE(ZoomAbout({-100, 32767, 100, 32000}, 0, 32700, 0.8, kDesignHeight));
    EXPECT_TRUE(ZoomAbout({-100, 20000, 100, -20000}, 0, 0, 0.8, kDesignHeight));
    // Nothing sensible to keep under the pointer.
    EXPECT_FALSE(ZoomAbout(StartView(), NAN, 0, 1.25, kDesignHeight));
    EXPECT_FALSE(ZoomAbout(StartView(), 0, 0, 1.0, kDesignHeight));
    // Narrow ones too, as long as they stay visible.
    const auto narrow = ZoomAbout({-0.25, 10, 0.25, -10}, 0.1, 0, 1.25, kDesignHeight);
    ASSERT_TRUE(narrow);
    EXPECT_DOUBLE_EQ(narrow->right - narrow->left, 0.4);
    // Small windows still move in the asked direction.
    ViewWindow v{-1, 1, 1, -1};
    for (int i = 0; i < 20; ++i) {
        const auto out = ZoomAbout(v, 0.3, 0.4, 0.8, kDesignHeight);
        ASSERT_TRUE(out);
        EXPECT_GT(out->top - out->bottom, v.top - v.bottom);
        v = *out;
    }
}

TEST(PanView, ATenthOfTheWindowWithWholeNumberRows) {
    const ViewWindow v{-162.5, 100, 162.5, -100};
    const auto right = PanView(v, 1, 0);
    ASSERT_TRUE(right);
    EXPECT_DOUBLE_EQ(right->left, -130);
    EXPECT_DOUBLE_EQ(right->right, 195);
    EXPECT_EQ(right->top, 100);
    EXPECT_EQ(right->bottom, -100);
    const auto down = PanView(v, 0, -1);
    ASSERT_TRUE(down);
    EXPECT_EQ(down->top, 80);
    EXPECT_EQ(down->bottom, -120);
    EXPECT_DOUBLE_EQ(down->left, -162.5);
    // 25 units high: a tenth is rounded; 4 high: at least one unit.
    EXPECT_EQ(PanView({0, 25, 1, 0}, 0, 1)->top, 28);
    EXPECT_EQ(PanView({0, 4, 1, 0}, 0, -1)->bottom, -1);
    // Past the 16-bit edges nothing moves.
    EXPECT_FALSE(PanView({0, 32767, 1, 32000}, 0, 1));
    EXPECT_FALSE(PanView({0, -32000, 1, -32768}, 0, -1));
    EXPECT_TRUE(PanView({0, -32000, 1, -32768}, 0, 1));
}

TEST(WheelNotches, FineStepsAddUpToWholeNotches) {
    struct Case {
        std::vector<int> deltas;
        std::vector<int> notches;
    };
    const Case cases[] = {
        {{120, 120, -120}, {1, 1, -1}},
        {{40, 40, 40, 40}, {0, 0, 1, 0}},
        {{240, -360}, {2, -3}},
        {{100, -30, -90}, {0, 0, -1}},  // turning back starts afresh
        {{-60, -60, 15, 105}, {0, -1, 0, 1}},
        {{1 << 30}, {100}},  // absurd deltas are bounded
    };
    for (const Case& c : cases) {
        WheelNotches wheel;
        std::vector<int> got;
        for (int d : c.deltas) got.push_back(wheel.Add(d));
        EXPECT_EQ(got, c.notches);
    }
}
