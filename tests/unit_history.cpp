#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
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
std::shared_ptr<CLine> Line(float id, float x1 = 0, float y1 = 0, float x2 = 1, float y2 = 1, float color = 255) {
    auto l = std::make_shared<CLine>();
    l->ID = id;
    l->sp.X = x1;
    l->sp.Y = y1;
    l->ep.X = x2;
    l->ep.Y = y2;
    l->color = color;
    return l;
}

// Everything an undo must bring back: which records, in which order, with
// which values, and the counters.
struct Snapshot {
    std::vector<const CPoint*> points;
    std::vector<CPoint> pointValues;
    std::vector<const CLine*> lines;
    std::vector<CLine> lineValues;

    explicit Snapshot(const MainState& s) {
        for (const auto& p : s.pntArray) {
            points.push_back(p.get());
            pointValues.push_back(*p);
        }
        for (const auto& l : s.lineArray) {
            lines.push_back(l.get());
            lineValues.push_back(*l);
        }
    }
    bool operator==(const Snapshot& o) const {
        auto samePoint = [](const CPoint& a, const CPoint& b) { return a.pntNO == b.pntNO && a.X == b.X && a.Y == b.Y; };
        if (points != o.points || lines != o.lines) return false;
        for (std::size_t i = 0; i < pointValues.size(); ++i)
            if (!samePoint(pointValues[i], o.pointValues[i])) return false;
        for (std::size_t i = 0; i < lineValues.size(); ++i) {
            const CLine &a = lineValues[i], &b = o.lineValues[i];
            if (a.ID != b.ID || a.color != b.color || !samePoint(a.sp, b.sp) || !samePoint(a.ep, b.ep)) return false;
        }
        return true;
    }
};

class History : public ::testing::Test {
protected:
    MainState s;
    bool Undo() { return s.history.Undo(s.Drawing()); }
    bool Redo() { return s.history.Redo(s.Drawing()); }

    // Three points and three lines, not recorded.
    void Fill() {
        for (int i = 1; i <= 3; ++i) {
            s.pntArray.Add(Point(float(i), float(i), float(-i)));
            s.lineArray.Add(Line(float(i), float(i), 0, 0, float(i), float(i * 1000)));
        }
        s.lastPntNO = s.lastLineID = 3;
    }
};

}  // namespace

// Each kind of change, undone and redone: the very records come back at their
// positions with their values.
TEST_F(History, EveryKindOfChangeUndoesAndRedoes) {
    struct Case {
        const char* name;
        std::function<void(MainState&)> change;
    };
    const std::vector<Case> cases = {
        {"add point",
         [](MainState& s) {
             s.pntArray.Add(Point(++s.lastPntNO, 7, 8));
             s.history.Added(s.pntArray.Item(s.pntArray.Count()), s.pntArray.Count());
         }},
        {"add line",
         [](MainState& s) {
             s.lineArray.Add(Line(++s.lastLineID, 1, 2, 3, 4, 65535));
             s.history.Added(s.lineArray.Item(s.lineArray.Count()), s.lineArray.Count());
         }},
        {"delete the first point",
         [](MainState& s) {
             auto p = s.pntArray.Item(1);
             s.pntArray.Remove(1);
             s.history.Removed(p, 1);
         }},
        {"delete the middle line",
         [](MainState& s) {
             auto l = s.lineArray.Item(2);
             s.lineArray.Remove(2);
             s.history.Removed(l, 2);
         }},
        {"delete the last line",
         [](MainState& s) {
             auto l = s.lineArray.Item(3);
             s.lineArray.Remove(3);
             s.history.Removed(l, 3);
         }},
        {"drag a point",
         [](MainState& s) {
             auto p = s.pntArray.Item(2);
             s.history.Grab(p);
             p->X = 50;
             p->Y = -0.25f;
             s.history.Release();
         }},
        {"move a line",
         [](MainState& s) {
             auto l = s.lineArray.Item(3);
             s.history.Grab(l);
             l->sp.X += 10;
             l->ep.X += 10;
             l->sp.Y -= 5;
             l->ep.Y -= 5;
             s.history.Release();
         }},
        {"move a node",
         [](MainState& s) {
             auto l = s.lineArray.Item(1);
             s.history.Grab(l);
             l->ep.X = -90;
             l->ep.Y = 45;
             s.history.Release();
         }},
        {"load",
         [](MainState& s) {
             PointList points;
             LineList lines;
             points.Add(Point(9, 1, 1));
             lines.Add(Line(4));
             const float p = s.lastPntNO, l = s.lastLineID;
             s.pntArray.Swap(points);
             s.lineArray.Swap(lines);
             s.SetCountersAfterLoad();
             s.history.Replaced(std::move(points), std::move(lines), p, l);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s = MainState{};
        Fill();
        const Snapshot before(s);
        c.change(s);
        const Snapshot after(s);
        ASSERT_FALSE(after == before);
        ASSERT_TRUE(s.history.CanUndo());
        EXPECT_TRUE(Undo());
        EXPECT_TRUE(Snapshot(s) == before);
        EXPECT_FALSE(Undo());  // nothing more
        EXPECT_TRUE(Snapshot(s) == before);
        EXPECT_TRUE(Redo());
        EXPECT_TRUE(Snapshot(s) == after);
        EXPECT_FALSE(Redo());
        EXPECT_TRUE(Undo());
        EXPECT_TRUE(Snapshot(s) == before);
    }
}

TEST_F(History, CountersNeverGoBack) {
    Fill();
    s.pntArray.Add(Point(++s.lastPntNO));
    s.history.Added(s.pntArray.Item(4), 4);
    Undo();
    EXPECT_EQ(s.lastPntNO, 4.0f);  // number 4 stays handed out
    Redo();
    EXPECT_EQ(s.lastPntNO, 4.0f);

    // A load of two records sets the counters to 2; its undo brings back the
    // drawing whose numbers went up to 4 and 3, and the counters with it.
    PointList points;
    LineList lines;
    points.Add(Point(1));
    points.Add(Point(2));
    lines.Add(Line(1));
    lines.Add(Line(2));
    const float p = s.lastPntNO, l = s.lastLineID;
    s.pntArray.Swap(points);
    s.lineArray.Swap(lines);
    s.SetCountersAfterLoad();
    s.history.Replaced(std::move(points), std::move(lines), p, l);
    ASSERT_EQ(s.lastPntNO, 2.0f);
    s.lastLineID = 20;  // lines added on the loaded drawing meanwhile
    Undo();
    EXPECT_EQ(s.lastPntNO, 4.0f);
    EXPECT_EQ(s.lastLineID, 20.0f);
    Redo();
    EXPECT_EQ(s.lastPntNO, 4.0f);
    EXPECT_EQ(s.lastLineID, 20.0f);
}

TEST_F(History, ANewChangeEndsRedo) {
    Fill();
    auto p = s.pntArray.Item(3);
    s.pntArray.Remove(3);
    s.history.Removed(p, 3);
    Undo();
    ASSERT_TRUE(s.history.CanRedo());
    s.pntArray.Add(Point(++s.lastPntNO));
    s.history.Added(s.pntArray.Item(4), 4);
    EXPECT_FALSE(s.history.CanRedo());
    EXPECT_FALSE(Redo());
    EXPECT_EQ(s.pntArray.Count(), 4);

    // A drag that really moved is a change too; one that did not is none.
    Undo();
    ASSERT_TRUE(s.history.CanRedo());
    s.history.Grab(s.pntArray.Item(1));
    s.history.Release();
    EXPECT_TRUE(s.history.CanRedo());
    s.history.Grab(s.pntArray.Item(1));
    s.pntArray.Item(1)->X = 99;
    s.history.Release();
    EXPECT_FALSE(s.history.CanRedo());
}

// A drag still held when another change comes is recorded first, so undo
// goes back through both in the right order.
TEST_F(History, AHeldDragIsRecordedBeforeTheNextChange) {
    Fill();
    const Snapshot start(s);
    auto l = s.lineArray.Item(2);
    s.history.Grab(l);
    l->sp.X = 77;
    s.pntArray.Add(Point(++s.lastPntNO));
    s.history.Added(s.pntArray.Item(4), 4);
    EXPECT_EQ(s.history.UndoSteps(), 2u);
    Undo();
    EXPECT_EQ(s.pntArray.Count(), 3);
    EXPECT_EQ(l->sp.X, 77.0f);
    Undo();
    EXPECT_TRUE(Snapshot(s) == start);

    // Undo itself ends a held drag first: the move is undone, not the step before.
    s.history.Grab(l);
    l->ep.Y = 12;
    EXPECT_TRUE(s.history.CanUndo());
    Undo();
    EXPECT_TRUE(Snapshot(s) == start);

    // And redo: the held drag is a new change, so there is nothing to redo.
    ASSERT_TRUE(s.history.CanRedo());
    s.history.Grab(l);
    l->ep.Y = 30;
    EXPECT_FALSE(Redo());
    EXPECT_EQ(l->ep.Y, 30.0f);
    Undo();
    EXPECT_TRUE(Snapshot(s) == start);
}

// Should the drawing have changed behind the history's back, a step still
// acts on its own record, and puts it back within the collection.
TEST_F(History, StepsFindTheirRecordsWhereverTheyAre) {
    Fill();
    auto added = Point(9);
    s.pntArray.Add(added);
    s.history.Added(added, 4);
    s.pntArray.Insert(1, Point(10));  // not recorded
    ASSERT_EQ(s.pntArray.Item(4)->pntNO, 3.0f);
    Undo();
    ASSERT_EQ(s.pntArray.Count(), 4);
    EXPECT_EQ(s.pntArray.PositionOf(added.get()), 0);
    EXPECT_EQ(s.pntArray.Item(4)->pntNO, 3.0f);

    auto removed = s.lineArray.Item(3);
    s.lineArray.Remove(3);
    s.history.Removed(removed, 3);
    s.lineArray.Remove(1);  // not recorded
    Undo();
    ASSERT_EQ(s.lineArray.Count(), 2);
    EXPECT_EQ(s.lineArray.Item(2), removed);
}

TEST_F(History, KeepsTheLastHundredSteps) {
    for (int i = 1; i <= 130; ++i) {
        s.pntArray.Add(Point(++s.lastPntNO));
        s.history.Added(s.pntArray.Item(i), i);
    }
    EXPECT_EQ(s.history.UndoSteps(), DrawingHistory::kDefaultDepth);
    int undone = 0;
    while (Undo()) ++undone;
    EXPECT_EQ(undone, 100);
    ASSERT_EQ(s.pntArray.Count(), 30);
    EXPECT_EQ(s.pntArray.Item(30)->pntNO, 30.0f);
    int redone = 0;
    while (Redo()) ++redone;
    EXPECT_EQ(redone, 100);
    EXPECT_EQ(s.pntArray.Item(130)->pntNO, 130.0f);
}

// A load keeps the drawing it replaced once, without copying it: an undo puts
// back the same record objects, and while the load stands nothing but the
// history holds them.
TEST_F(History, ALoadKeepsTheDrawingItReplacedOnce) {
    Fill();
    const Snapshot original(s);
    std::weak_ptr<CPoint> firstPoint = s.pntArray.Item(1);
    for (int load = 0; load < 3; ++load) {
        PointList points;
        LineList lines;
        points.Add(Point(float(100 + load)));
        const float p = s.lastPntNO, l = s.lastLineID;
        s.pntArray.Swap(points);
        s.lineArray.Swap(lines);
        s.SetCountersAfterLoad();
        s.history.Replaced(std::move(points), std::move(lines), p, l);
    }
    EXPECT_EQ(firstPoint.use_count(), 1);
    for (int i = 0; i < 3; ++i) Undo();
    EXPECT_TRUE(Snapshot(s) == original);
    for (int i = 0; i < 3; ++i) Redo();
    EXPECT_EQ(s.pntArray.Item(1)->pntNO, 102.0f);
    EXPECT_EQ(firstPoint.use_count(), 1);

    // Once its step falls out of the history, the drawing it kept is freed.
    s.history = DrawingHistory(2);
    std::weak_ptr<CPoint> replaced = s.pntArray.Item(1);
    PointList points;
    LineList lines;
    s.pntArray.Swap(points);
    s.history.Replaced(std::move(points), std::move(lines), 0, 0);
    EXPECT_FALSE(replaced.expired());
    for (int i = 0; i < 2; ++i) {
        s.pntArray.Add(Point(++s.lastPntNO));
        s.history.Added(s.pntArray.Item(s.pntArray.Count()), s.pntArray.Count());
    }
    EXPECT_EQ(s.history.UndoSteps(), 2u);
    EXPECT_TRUE(replaced.expired());
}

// Drawings kept by loads beyond the record budget go, oldest first, with the
// steps before them; the newest step always stays.
TEST_F(History, LoadsBeyondTheRecordBudgetDropTheOldestSteps) {
    s.history = DrawingHistory(100, 10);
    auto load = [&](int records) {
        PointList points;
        LineList lines;
        for (int i = 0; i < records; ++i) {
            if (i % 2) lines.Add(Line(float(i)));
            else points.Add(Point(float(i)));
        }
        s.pntArray.Swap(points);
        s.lineArray.Swap(lines);
        s.history.Replaced(std::move(points), std::move(lines), 0, 0);
    };
    load(4);   // keeps the empty drawing
    for (int i = 0; i < 5; ++i) {
        s.pntArray.Add(Point(++s.lastPntNO));
        s.history.Added(s.pntArray.Item(s.pntArray.Count()), s.pntArray.Count());
    }
    load(4);   // keeps 9
    EXPECT_EQ(s.history.KeptRecords(), 9u);
    EXPECT_EQ(s.history.UndoSteps(), 7u);
    load(20);  // keeps 4 more: 13, so the first two loads' steps and those between go
    EXPECT_EQ(s.history.KeptRecords(), 4u);
    EXPECT_EQ(s.history.UndoSteps(), 1u);
    load(1);   // keeps 20: over the budget, but the newest step stays
    EXPECT_EQ(s.history.UndoSteps(), 1u);
    EXPECT_EQ(s.history.KeptRecords(), 20u);
    EXPECT_TRUE(Undo());
    EXPECT_EQ(s.pntArray.Count() + s.lineArray.Count(), 20);
    EXPECT_EQ(s.history.KeptRecords(), 1u);  // undone, the step keeps the other drawing
}

// A long random run of every kind of change: undoing all of it passes back
// through every earlier drawing, and redoing all of it forward again.
TEST_F(History, UndoAndRedoRetraceARandomRun) {
    Fill();
    std::mt19937 rng(7);
    std::vector<Snapshot> states{Snapshot(s)};
    for (int i = 0; i < 90; ++i) {
        const int kind = int(rng() % 6);
        if (kind == 0 || s.pntArray.Empty()) {
            s.pntArray.Add(Point(++s.lastPntNO, float(i), float(-i)));
            s.history.Added(s.pntArray.Item(s.pntArray.Count()), s.pntArray.Count());
        } else if (kind == 1) {
            s.lineArray.Add(Line(++s.lastLineID, float(i), 0, 0, float(i), float(i)));
            s.history.Added(s.lineArray.Item(s.lineArray.Count()), s.lineArray.Count());
        } else if (kind == 2) {
            const int at = 1 + int(rng() % unsigned(s.pntArray.Count()));
            auto p = s.pntArray.Item(at);
            s.pntArray.Remove(at);
            s.history.Removed(p, at);
        } else if (kind == 3 && !s.lineArray.Empty()) {
            const int at = 1 + int(rng() % unsigned(s.lineArray.Count()));
            auto l = s.lineArray.Item(at);
            s.lineArray.Remove(at);
            s.history.Removed(l, at);
        } else if (kind == 4) {
            auto p = s.pntArray.Item(1 + int(rng() % unsigned(s.pntArray.Count())));
            s.history.Grab(p);
            p->X += 1.5f;
            s.history.Release();
        } else {
            PointList points;
            LineList lines;
            points.Add(Point(float(i)));
            const float p = s.lastPntNO, l = s.lastLineID;
            s.pntArray.Swap(points);
            s.lineArray.Swap(lines);
            s.SetCountersAfterLoad();
            s.history.Replaced(std::move(points), std::move(lines), p, l);
        }
        states.emplace_back(s);
    }
    for (int i = int(states.size()) - 2; i >= 0; --i) {
        ASSERT_TRUE(Undo());
        ASSERT_TRUE(Snapshot(s) == states[std::size_t(i)]) << "after undoing step " << i + 1;
    }
    EXPECT_FALSE(Undo());
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(Redo());
        ASSERT_TRUE(Snapshot(s) == states[i]) << "after redoing step " << i;
    }
}
