#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <variant>
#include <vector>

#include "model/store.h"

// Undo and redo of the changes to the drawing. A step holds the very records
// it touched (shared references), so an undo puts back the same objects, at
// their positions, with their numbers and colours. Undo and redo never lower
// the counters: a number handed out once is not handed out again.
//
// A load keeps the drawing it replaced, once, inside its step; undoing or
// redoing it swaps the two drawings, so no step copies a drawing. The history
// keeps the last `depth` steps, and fewer only while the drawings kept by its
// loads hold more than `recordBudget` records: ten loads of a million shapes.
class DrawingHistory {
public:
    static constexpr std::size_t kDefaultDepth = 100;
    static constexpr std::size_t kDefaultRecordBudget = 10'000'000;

    // What the steps act on: the two collections and the two counters.
    struct Drawing {
        PointList& points;
        LineList& lines;
        float& lastPntNO;
        float& lastLineID;
    };

    DrawingHistory() = default;
    explicit DrawingHistory(std::size_t depth, std::size_t recordBudget = kDefaultRecordBudget)
        : depth_(depth < 1 ? 1 : depth), recordBudget_(recordBudget) {}

    // Recording, right after the change was made. A new change ends what
    // could be redone. Positions are 1-based: where the record now is
    // (Added) or where it was (Removed).
    void Added(const PointList::Ref& point, int position) { Record(Placement<CPoint>{point, position, true}); }
    void Added(const LineList::Ref& line, int position) { Record(Placement<CLine>{line, position, true}); }
    void Removed(const PointList::Ref& point, int position) { Record(Placement<CPoint>{point, position, false}); }
    void Removed(const LineList::Ref& line, int position) { Record(Placement<CLine>{line, position, false}); }

    // A load has put a new drawing in place. The step takes the drawing it
    // replaced and the counters that went with it.
    void Replaced(PointList&& points, LineList&& lines, float lastPntNO, float lastLineID);

    // A drag: Grab notes where a record is when the mouse takes it; Release
    // records one step if it has moved since, and nothing if it has not.
    void Grab(const PointList::Ref& point);
    void Grab(const LineList::Ref& line);
    void Release();

    // One step back or forward; false when there is none.
    bool Undo(const Drawing& d);
    bool Redo(const Drawing& d);

    bool CanUndo() const { return !done_.empty() || Moved(); }
    bool CanRedo() const { return !undone_.empty(); }
    std::size_t UndoSteps() const { return done_.size(); }
    std::size_t RedoSteps() const { return undone_.size(); }
    std::size_t Depth() const { return depth_; }
    // Records of the drawings that the loads' steps keep.
    std::size_t KeptRecords() const;

private:
    // A record that went into the drawing (inDrawing) or out of it.
    template <class T>
    struct Placement {
        std::shared_ptr<T> record;
        int position;
        bool inDrawing;
    };
    // Where a record was before the change, or after it once undone: applying
    // the step swaps these with the record's own.
    struct PointPlace {
        PointList::Ref record;
        float X, Y;
    };
    struct LinePlace {
        LineList::Ref record;
        float spX, spY, epX, epY;
    };
    struct Replacement {
        PointList points;
        LineList lines;
        float lastPntNO, lastLineID;
    };
    using Step = std::variant<Placement<CPoint>, Placement<CLine>, PointPlace, LinePlace, Replacement>;

    void Record(Step step);
    bool Moved() const;
    static void Apply(Step& step, const Drawing& d, bool forward);

    std::size_t depth_ = kDefaultDepth;
    std::size_t recordBudget_ = kDefaultRecordBudget;
    std::deque<Step> done_;
    std::vector<Step> undone_;
    std::variant<std::monostate, PointPlace, LinePlace> grabbed_;
};
