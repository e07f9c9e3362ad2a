#include "model/history.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace {

// Takes the newest step off `from`, applies it and files it in `to`.
template <class From, class To, class Apply>
bool TakeNewest(From& from, To& to, Apply apply) {
    if (from.empty()) return false;
    auto step = std::move(from.back());
    from.pop_back();
    apply(step);
    to.push_back(std::move(step));
    return true;
}

template <class T>
void PutIn(RecordList<T>& list, const std::shared_ptr<T>& record, int position) {
    list.Insert(std::clamp(position, 1, list.Count() + 1), record);
}

// The record is normally at its recorded position; look for it only if not.
template <class T>
void TakeOut(RecordList<T>& list, const std::shared_ptr<T>& record, int position) {
    if (position >= 1 && position <= list.Count() && list.Item(position) == record) {
        list.Remove(position);
    } else if (const int found = list.PositionOf(record.get())) {
        list.Remove(found);
    }
}

bool SamePlace(const CPoint& p, float x, float y) { return p.X == x && p.Y == y; }

}  // namespace

void DrawingHistory::Record(Step step) {
    Release();
    undone_.clear();
    done_.push_back(std::move(step));
    while (done_.size() > depth_ || (done_.size() > 1 && KeptRecords() > recordBudget_)) done_.pop_front();
}

std::size_t DrawingHistory::KeptRecords() const {
    std::size_t n = 0;
    auto count = [&n](const Step& step) {
        if (const auto* r = std::get_if<Replacement>(&step)) n += std::size_t(r->points.Count() + r->lines.Count());
    };
    for (const Step& step : done_) count(step);
    for (const Step& step : undone_) count(step);
    return n;
}

void DrawingHistory::Replaced(PointList&& points, LineList&& lines, float lastPntNO, float lastLineID) {
    Replacement step{{}, {}, lastPntNO, lastLineID};
    step.points.Swap(points);
    step.lines.Swap(lines);
    Record(std::move(step));
}

void DrawingHistory::Grab(const PointList::Ref& point) {
    Release();
    if (point) grabbed_ = PointPlace{point, point->X, point->Y};
}

void DrawingHistory::Grab(const LineList::Ref& line) {
    Release();
    if (line) grabbed_ = LinePlace{line, line->sp.X, line->sp.Y, line->ep.X, line->ep.Y};
}

bool DrawingHistory::Moved() const {
    if (const auto* p = std::get_if<PointPlace>(&grabbed_)) return !SamePlace(*p->record, p->X, p->Y);
    if (const auto* l = std::get_if<LinePlace>(&grabbed_))
        return !SamePlace(l->record->sp, l->spX, l->spY) || !SamePlace(l->record->ep, l->epX, l->epY);
    return false;
}

void DrawingHistory::Release() {
    if (!Moved()) {
        grabbed_ = std::monostate{};
        return;
    }
    Step step = std::holds_alternative<PointPlace>(grabbed_) ? Step(std::get<PointPlace>(std::move(grabbed_)))
                                                              : Step(std::get<LinePlace>(std::move(grabbed_)));
    grabbed_ = std::monostate{};
    Record(std::move(step));
}

bool DrawingHistory::Undo(const Drawing& d) {
    Release();
    return TakeNewest(done_, undone_, [&](Step& step) { Apply(step, d, false); });
}

bool DrawingHistory::Redo(const Drawing& d) {
    Release();
    return TakeNewest(undone_, done_, [&](Step& step) { Apply(step, d, true); });
}

void DrawingHistory::Apply(Step& step, const Drawing& d, bool forward) {
    std::visit(
        [&](auto& s) {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, Placement<CPoint>> || std::is_same_v<S, Placement<CLine>>) {
                auto& list = [&]() -> auto& {
                    if constexpr (std::is_same_v<S, Placement<CPoint>>) return d.points;
                    else return d.lines;
                }();
                if (s.inDrawing == forward) PutIn(list, s.record, s.position);
                else TakeOut(list, s.record, s.position);
            } else if constexpr (std::is_same_v<S, PointPlace>) {
                std::swap(s.record->X, s.X);
                std::swap(s.record->Y, s.Y);
                d.points.MarkChanged();  // a change in place: the kept picture is stale
            } else if constexpr (std::is_same_v<S, LinePlace>) {
                std::swap(s.record->sp.X, s.spX);
                std::swap(s.record->sp.Y, s.spY);
                std::swap(s.record->ep.X, s.epX);
                std::swap(s.record->ep.Y, s.epY);
                d.lines.MarkChanged();
            } else {
                // The other drawing comes back; the counters only ever go up.
                d.points.Swap(s.points);
                d.lines.Swap(s.lines);
                const float pnt = d.lastPntNO, line = d.lastLineID;
                d.lastPntNO = std::max(d.lastPntNO, s.lastPntNO);
                d.lastLineID = std::max(d.lastLineID, s.lastLineID);
                s.lastPntNO = pnt;
                s.lastLineID = line;
            }
        },
        step);
}
