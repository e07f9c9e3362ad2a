#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/unit_records.h"

namespace {

class History : public ::testing::Test {
protected:
    MainState s;
    bool Undo() { return s.history.Undo(s.Drawing()); }
    bool Redo() { return s.history.Redo(s.Drawing()); }
    template <class List, class Ref>
    void Add(List& list, const Ref& record) {
        list.Add(record);
        s.history.Added(record, list.Count());
    }
    void Load(int records) {
        PointList points;
        LineList lines;
        for (int i = 1; i <= records; ++i) i % 2 ? points.Add(MakePoint(float(i))) : lines.Add(MakeLine(float(i)));
        const float p = s.lastPntNO, l = s.lastLineID;
        s.pntArray.Swap(points);
        s.lineArray.Swap(lines);
        s.SetCountersAfterLoad();
        s.history.Replaced(std::move(points), std::move(lines), p, l);
    }
};

}  // namespace

// A random run of every kind of change, some drags still held when the next
// change comes: undoing all of it passes back through every earlier drawing
// with the very same records, redoing it forward again. Counters never go back.
TEST_F(History, UndoAndRedoRetraceARandomRun) {
    std::mt19937 rng(7);
    auto remove = [&](auto& list) {
        const int at = 1 + int(rng() % unsigned(list.Count()));
        const auto record = list.Item(at);
        list.Remove(at);
        s.history.Removed(record, at);
    };
    std::vector<std::string> states{Dump(s, true)};
    float highest = 0;
    for (int i = 0; i < 95; ++i) {  // fewer steps than the history keeps
        const unsigned kind = rng() % 7, points = unsigned(s.pntArray.Count()), lines = unsigned(s.lineArray.Count());
        if (kind == 0 || (points == 0 && kind > 3)) {
            Add(s.pntArray, MakePoint(++s.lastPntNO, float(i)));
        } else if (kind == 1 || (lines == 0 && kind > 2)) {
            Add(s.lineArray, MakeLine(++s.lastLineID, float(i)));
        } else if (kind == 2 && points > 0) {
            remove(s.pntArray);
        } else if (kind == 3) {
            remove(s.lineArray);
        } else if (kind == 4 || kind == 5) {  // a drag, released or held
            const auto p = s.pntArray.Item(1 + int(rng() % points));
            const auto l = s.lineArray.Item(1 + int(rng() % lines));
            kind == 4 ? s.history.Grab(p) : s.history.Grab(l);
            if (rng() % 4) (kind == 4 ? p->X : (rng() % 2 ? l->sp.Y : l->ep.X)) += 1.5f;
            if (rng() % 2) s.history.Release();
        } else {
            Load(1 + int(rng() % 4));
        }
        if (Dump(s, true) != states.back()) states.push_back(Dump(s, true));
        highest = std::max({highest, s.lastPntNO, s.lastLineID});
    }
    for (int step = int(states.size()) - 1; step > 0; --step) {
        const auto versions = std::make_pair(s.pntArray.Version(), s.lineArray.Version());
        const float counters = s.lastPntNO + s.lastLineID;
        ASSERT_TRUE(Undo());
        ASSERT_EQ(Dump(s, true), states[std::size_t(step) - 1]) << "undoing change " << step;
        ASSERT_NE(std::make_pair(s.pntArray.Version(), s.lineArray.Version()), versions);  // no stale picture
        ASSERT_GE(s.lastPntNO + s.lastLineID, counters);
    }
    EXPECT_FALSE(Undo());
    EXPECT_EQ(std::max(s.lastPntNO, s.lastLineID), highest);
    for (std::size_t step = 1; step < states.size(); ++step) {
        ASSERT_TRUE(Redo());
        ASSERT_EQ(Dump(s, true), states[step]) << "redoing change " << step;
    }
    ASSERT_TRUE(Undo());
    Add(s.pntArray, MakePoint(++s.lastPntNO));  // a new change clears what could be redone
    EXPECT_FALSE(Redo());
}

// The last hundred steps are kept, and fewer while the drawings kept by loads
// hold more than the record budget: the oldest go first, the newest stays.
TEST_F(History, DepthAndRecordBudget) {
    for (int i = 1; i <= 130; ++i) Add(s.pntArray, MakePoint(float(i)));
    EXPECT_EQ(s.history.UndoSteps(), 100u);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(Undo());
    EXPECT_TRUE(!Undo() && s.pntArray.Count() == 30);
    s = MainState{};
    s.history = DrawingHistory(100, 10);
    for (int records : {4, 6, 8}) Load(records);
    EXPECT_EQ(s.history.KeptRecords(), 10u);  // at the budget: all kept
    Load(1);                                  // beyond it: the oldest steps go, the newest stays
    EXPECT_EQ(s.history.UndoSteps(), 1u);
    EXPECT_EQ(s.history.KeptRecords(), 8u);
}
