#include <gtest/gtest.h>

#include "editing/hittest.h"

namespace {
CPoint Pt(float x, float y) {
    CPoint p;
    p.X = x;
    p.Y = y;
    return p;
}
CLine Ln(float x1, float y1, float x2, float y2) {
    CLine l;
    l.sp = Pt(x1, y1);
    l.ep = Pt(x2, y2);
    return l;
}
}  // namespace

TEST(PickPoint, BoundaryIncludedAtExactlyOne) {
    const CPoint origin = Pt(0, 0);
    EXPECT_TRUE(PickPoint(1.0f, 0.0f, origin));
    EXPECT_TRUE(PickPoint(0.0f, -1.0f, origin));
    EXPECT_FALSE(PickPoint(1.0001f, 0.0f, origin));
    EXPECT_FALSE(PickPoint(0.71f, 0.71f, origin));
    EXPECT_TRUE(PickPoint(0.7f, 0.7f, origin));
    // In 64 bits this distance is 1.0000000238; rounded to 32 bits it is 1.
    EXPECT_TRUE(PickPoint(0.6f, 0.8f, origin));
    EXPECT_TRUE(PickPoint(100.5f, -3.0f, Pt(100.0f, -3.5f)));
}

TEST(PickLine, DistanceToTheInfiniteLineWithTheBoundaryExcluded) {
    const CLine l = Ln(0, 0, 10, 0);
    EXPECT_FALSE(PickLine(5.0f, 1.0f, l));  // exactly 1.0
    EXPECT_FALSE(PickLine(5.0f, -1.0f, l));
    EXPECT_TRUE(PickLine(5.0f, 0.999f, l));
    EXPECT_TRUE(PickLine(50.0f, 0.5f, l));    // far beyond the end node
    EXPECT_TRUE(PickLine(-80.0f, -0.5f, l));  // and before the start node
    EXPECT_FALSE(PickLine(5.0f, 2.0f, l));

    const CLine diagonal = Ln(0, 0, 10, 10);
    EXPECT_TRUE(PickLine(5.0f, 5.7f, diagonal));   // 0.49 away
    EXPECT_FALSE(PickLine(5.0f, 6.5f, diagonal));  // 1.06 away

    const CLine vertical = Ln(3, -4, 3, 4);
    EXPECT_TRUE(PickLine(3.9f, 100.0f, vertical));
    EXPECT_FALSE(PickLine(4.0f, 0.0f, vertical));
}

TEST(PickLine, ALineWithoutLengthIsHitEverywhere) {
    const CLine dot = Ln(3, 3, 3, 3);
    EXPECT_TRUE(PickLine(100.0f, -100.0f, dot));
    EXPECT_TRUE(PickLine(3.0f, 3.0f, dot));
    EXPECT_TRUE(PickLine(-1e30f, 1e30f, dot));
}

TEST(PickLineNode, StartNodeFirstThenEndNode) {
    EXPECT_EQ(PickLineNode(0.5f, 0.0f, Ln(0, 0, 1, 0)), 1);  // both within reach: the start wins
    EXPECT_EQ(PickLineNode(5.0f, 0.0f, Ln(0, 0, 10, 0)), 0);
    EXPECT_EQ(PickLineNode(9.5f, 0.5f, Ln(0, 0, 10, 0)), 2);
    EXPECT_EQ(PickLineNode(11.0f, 0.0f, Ln(0, 0, 10, 0)), 2);   // boundary included
    EXPECT_EQ(PickLineNode(0.0f, -1.0f, Ln(0, 0, 10, 0)), 1);
    EXPECT_EQ(PickLineNode(11.01f, 0.0f, Ln(0, 0, 10, 0)), 0);
}
