#include <gtest/gtest.h>

#include <vector>

#include "support/unit_records.h"

// After a load the counters never hand out a loaded number again; numbers
// from 2^24 up, where floats stop counting by one, are left out.
TEST(Store, CountersAfterLoad) {
    const struct {
        std::vector<float> loaded;
        float counter;
    } rows[] = {{{}, 0},            {{1, 2, 7}, 7},         {{0.5f, -3}, 2},   {{1, 16777215}, 16777215},
                {{1, 16777216}, 2}, {{3e7f, 2, 1e30f}, 3}, {{16777218, 5}, 5}};
    for (const auto& r : rows) {
        MainState s;
        for (float n : r.loaded) s.pntArray.Add(MakePoint(n)), s.lineArray.Add(MakeLine(n));
        s.SetCountersAfterLoad();
        EXPECT_EQ(s.lastPntNO, r.counter) << ::testing::PrintToString(r.loaded);
        EXPECT_EQ(s.lastLineID, r.counter) << ::testing::PrintToString(r.loaded);
    }
}
