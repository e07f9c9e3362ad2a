#include <gtest/gtest.h>

#include <vector>

#include "model/mainstate.h"

namespace {
std::shared_ptr<CPoint> Point(float no, float x = 0, float y = 0) {
    auto p = std::make_shared<CPoint>();
    p->pntNO = no;
    p->X = x;
    p->Y = y;
    return p;
}
std::shared_ptr<CLine> Line(float id) {
    auto l = std::make_shared<CLine>();
    l->ID = id;
    return l;
}
}  // namespace

TEST(Store, OneBasedPositionsFindAndRemove) {
    PointList list;
    list.Add(Point(1));
    list.Add(Point(2));
    list.Add(Point(2, 5, 5));
    list.Add(Point(7));
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Item(1)->pntNO, 1.0f);
    EXPECT_EQ(list.Item(4)->pntNO, 7.0f);
    EXPECT_EQ(list.FindByNumber(2.0f), 2);  // the first of two equal numbers
    EXPECT_EQ(list.FindByNumber(7.0f), 4);
    EXPECT_EQ(list.FindByNumber(3.0f), 0);
    EXPECT_EQ(list.PositionOf(list.Item(3).get()), 3);

    std::shared_ptr<CPoint> held = list.Item(2);
    list.Remove(2);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Item(2)->X, 5.0f);  // the later ones moved up
    EXPECT_EQ(held->pntNO, 2.0f);      // still readable after removal
    EXPECT_EQ(list.PositionOf(held.get()), 0);

    float order[3];
    int i = 0;
    for (const auto& p : list) order[i++] = p->pntNO;
    EXPECT_EQ(order[0], 1.0f);
    EXPECT_EQ(order[1], 2.0f);
    EXPECT_EQ(order[2], 7.0f);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(held->pntNO, 2.0f);
}

TEST(Store, FindByNumberIsExactFloatEquality) {
    LineList lines;
    lines.Add(Line(1.0000001f));
    lines.Add(Line(1.0f));
    EXPECT_EQ(lines.FindByNumber(1.0f), 2);
    LineList none;
    EXPECT_EQ(none.FindByNumber(1.0f), 0);
}

TEST(Store, NewRecordsStartEmpty) {
    CLine l;
    EXPECT_EQ(l.ID, 0.0f);
    EXPECT_EQ(l.sp.pntNO, 0.0f);
    EXPECT_EQ(l.ep.X, 0.0f);
    EXPECT_FALSE(l.IsSelect);
    MainState s;
    EXPECT_EQ(s.lastPntNO, 0.0f);
    EXPECT_EQ(s.lineClickCount, 0);
    EXPECT_FALSE(s.tmpPoint);
    EXPECT_EQ(s.TmpPoint().X, 0.0f);  // created on first use
    EXPECT_TRUE(s.tmpPoint);
    EXPECT_TRUE(s.pFileName.empty());
}

TEST(Store, CountersAfterLoadNeverReuseALoadedNumber) {
    MainState s;
    s.pntArray.Add(Point(1));
    s.pntArray.Add(Point(2));
    s.pntArray.Add(Point(7));
    s.lineArray.Add(Line(0.5f));
    s.lineArray.Add(Line(-3));
    s.SetCountersAfterLoad();
    EXPECT_EQ(s.lastPntNO, 7.0f);   // the largest whole number
    EXPECT_EQ(s.lastLineID, 2.0f);  // the count: 0.5 is not whole, -3 is smaller

    MainState empty;
    empty.SetCountersAfterLoad();
    EXPECT_EQ(empty.lastPntNO, 0.0f);
    EXPECT_EQ(empty.lastLineID, 0.0f);
}

TEST(Store, LoadedNumbersWhereFloatsStopCountingLeaveTheCounters) {
    // From 2^24 on, adding 1.0 to a 32-bit float gives the same number again.
    struct Case {
        std::vector<float> loaded;
        float counter;
    };
    for (const Case& k : {Case{{1, 16777216}, 2}, Case{{1, 16777215}, 16777215}, Case{{3e7f, 2, 1e30f}, 3},
                          Case{{16777218, 5}, 5}}) {
        MainState s;
        for (float n : k.loaded) s.pntArray.Add(Point(n));
        for (float n : k.loaded) s.lineArray.Add(Line(n));
        s.SetCountersAfterLoad();
        EXPECT_EQ(s.lastPntNO, k.counter) << k.loaded[0];
        EXPECT_EQ(s.lastLineID, k.counter) << k.loaded[0];
    }
    // The two points added after "1 16777216 0 0" get distinct numbers.
    MainState s;
    s.pntArray.Add(Point(16777216));
    s.SetCountersAfterLoad();
    const float first = s.lastPntNO += 1.0f;
    const float second = s.lastPntNO += 1.0f;
    EXPECT_EQ(first, 2.0f);
    EXPECT_EQ(second, 3.0f);
}
