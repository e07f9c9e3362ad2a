#include <gtest/gtest.h>

#include "editing/hittest.h"
#include "support/unit_records.h"

// A press at (x, y) against the line from (x1, y1) to (x2, y2), its nodes, and
// a point where its start node is.
TEST(HitTest, OneWorldUnitOfTolerance) {
    const struct {
        float x, y, x1, y1, x2, y2;
        bool point, line;
        int node;
    } rows[] = {
        {1, 0, 0, 0, 10, 0, true, true, 1},          // the point's boundary counts
        {0, -1, 0, 0, 10, 0, true, false, 1},        // the line's does not
        {5, 0.999f, 0, 0, 10, 0, false, true, 0},
        {1.0001f, 0, 0, 0, 10, 0, false, true, 0},
        {0.6f, 0.8f, 0, 0, 10, 10, true, true, 1},   // 1.0000000238 in 64 bits, 1 in 32
        {50, 0.5f, 0, 0, 10, 0, false, true, 0},     // far beyond a node
        {5, 5.7f, 0, 0, 10, 10, false, true, 0},     // 0.49 from the diagonal
        {5, 6.5f, 0, 0, 10, 10, false, false, 0},    // 1.06 from it
        {3.9f, 100, 3, -4, 3, 4, false, true, 0},
        {100, -100, 3, 3, 3, 3, false, true, 0},     // a line without length is hit everywhere
        {0.5f, 0, 0, 0, 1, 0, true, true, 1},        // both nodes in reach: the start wins
        {11, 0, 0, 0, 10, 0, false, true, 2},
    };
    for (const auto& r : rows) {
        const auto line = MakeLine(1, r.x1, r.y1, r.x2, r.y2);
        EXPECT_EQ(PickPoint(r.x, r.y, line->sp), r.point) << r.x << ", " << r.y;
        EXPECT_EQ(PickLine(r.x, r.y, *line), r.line) << r.x << ", " << r.y;
        EXPECT_EQ(PickLineNode(r.x, r.y, *line), r.node) << r.x << ", " << r.y;
    }
}
