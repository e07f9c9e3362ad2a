#include "editing/mousetools.h"

#include "editing/hittest.h"
#include "model/numtext.h"

namespace {

const uint32_t kPointRgb = Rgb(255, 0, 244);
const uint32_t kPickedPointRgb = Rgb(0, 0, 244);
const uint32_t kCommittedPointRgb = Rgb(0, 0, 255);
const uint32_t kNodeRgb = Rgb(255, 0, 0);
const uint32_t kMovingNodeRgb = Rgb(0, 0, 255);
const uint32_t kRubberBandRgb = Rgb(0, 255, 0);

// The marker of a picked or moving position.
void HighlightSquare(EditorSurface& ui, float x, float y, uint32_t rgb) { ui.Box(x - 1, y - 1, x + 1, y + 1, rgb); }

void DrawLine(EditorSurface& ui, const CPoint& from, const CPoint& to, uint32_t rgb) {
    ui.Line(from.X, from.Y, to.X, to.Y, rgb);
}

// A chosen line: itself from ep to sp, then the squares of ep and sp.
void MarkLine(EditorSurface& ui, const CLine& line, uint32_t nodeRgb) {
    DrawLine(ui, line.ep, line.sp, ColorToRgb(line.color));
    HighlightSquare(ui, line.ep.X, line.ep.Y, nodeRgb);
    HighlightSquare(ui, line.sp.X, line.sp.Y, nodeRgb);
}

void SetPosition(CPoint& p, float x, float y) {
    p.X = x;
    p.Y = y;
}

template <class List, class Test>
typename List::Ref FirstHit(const List& list, Test test) {
    for (const auto& r : list)
        if (test(*r)) return r;
    return nullptr;
}

void ClearPickStatus(EditorSurface& ui) {
    ui.SetPanel(2, texts::kNoPointSelected);
    ui.SetPanel(3, texts::kBlank);
    ui.SetPanel(4, texts::kBlank);
}

void DescribePoint(EditorSurface& ui, const char* heading, const CPoint& p) {
    ui.SetPanel(2, heading);
    ui.SetPanel(3, texts::kPointId + N(p.pntNO));
    ui.SetPanel(4, CoordinateText(p.X, p.Y));
}

}  // namespace

std::string CoordinateText(float x, float y) { return "坐标：X=" + N(x) + "   Y=" + N(y); }

void MouseDown(MainState& s, EditorSurface& ui, float X, float Y) {
    // 1. Add-line gesture: the first click fixes the start, the second takes
    //    the last rubber-band position as the end.
    if (s.addLineMode) {
        ++s.lineClickCount;
        if (s.lineClickCount == 1) {
            SetPosition(s.LineStartPoint(), X, Y);
            SetPosition(s.TmpPoint(), X, Y);
        } else if (s.lineClickCount == 2) {
            s.lastLineID += 1.0f;
            ui.Refresh();
            auto line = std::make_shared<CLine>();
            SetPosition(line->sp, s.LineStartPoint().X, s.LineStartPoint().Y);
            line->ID = s.lastLineID;
            SetPosition(line->ep, s.TmpPoint().X, s.TmpPoint().Y);
            line->color = s.lineColor;
            line->IsSelect = false;
            s.lineArray.Add(line);
            s.history.Added(line, s.lineArray.Count());
            DrawLine(ui, line->sp, line->ep, ColorToRgb(line->color));
            s.lineClickCount = 0;
        }
    }

    // 2. Add point.
    if (s.addPntMode) {
        s.lastPntNO += 1.0f;
        auto point = std::make_shared<CPoint>();
        point->X = X;
        point->Y = Y;
        point->IsSelect = false;
        point->pntNO = s.lastPntNO;
        s.pntArray.Add(point);
        s.history.Added(point, s.pntArray.Count());
        ui.Dot(X, Y, kPointRgb);
        DescribePoint(ui, texts::kAddedPointInfo, *point);
    }

    // 3.
    ui.HidePointInfo();

    // 4. Pick point (also the grab of the edit-point tool).
    if (s.getPntMode || s.editPntMode) {
        ui.Refresh();
        ClearPickStatus(ui);
        if (auto hit = FirstHit(s.pntArray, [&](const CPoint& p) { return PickPoint(X, Y, p); })) {
            HighlightSquare(ui, hit->X, hit->Y, kPickedPointRgb);
            if (s.editPntMode) {
                s.pntDragging = true;
                s.draggedPoint = hit;
                s.history.Grab(hit);
            }
            DescribePoint(ui, texts::kSelectedInfo, *hit);
            if (s.shapeToAttribMode) ui.ShowPointInfo(*hit);
            s.pickedPoint = hit;
        }
    }

    // 5. Only the line being moved can be selected, and it is pickedLine.
    if (s.pickedLine) s.pickedLine->IsSelect = false;

    // 6.
    ui.HideLineInfo();

    // 7. Pick line (also the grab of the move-line tool).
    if (s.getLineMode || s.moveLineMode) {
        ui.Refresh();
        ClearPickStatus(ui);
        if (auto hit = FirstHit(s.lineArray, [&](const CLine& l) { return PickLine(X, Y, l); })) {
            MarkLine(ui, *hit, kNodeRgb);
            if (s.getLineMode) s.pickedLine = hit;
            if (s.moveLineMode) {
                hit->IsSelect = true;
                s.pntDragging = true;
                SetPosition(s.TmpPoint(), X, Y);
                s.pickedLine = hit;
                s.history.Grab(hit);
            }
            ui.SetPanel(2, texts::kSelectedInfo);
            if (s.shapeToAttribMode) ui.ShowLineInfo(*hit);
        }
    }

    // 8. Line nodes: grab a node of the chosen line, or choose a line. A line
    //    deleted or loaded away since it was chosen has no nodes to grab.
    if (s.editLineNodeMode) {
        if (s.nodeLineChosen) {
            const bool inDrawing = s.pickedLine && s.lineArray.PositionOf(s.pickedLine.get()) != 0;
            const int16_t node = inDrawing ? PickLineNode(X, Y, *s.pickedLine) : 0;
            if (node != 0) {
                const CPoint& grabbed = node == 1 ? s.pickedLine->sp : s.pickedLine->ep;
                SetPosition(s.TmpPoint(), grabbed.X, grabbed.Y);
                s.pickedNode = node;
                ui.SetPointer(MousePointer::SizeAll);
                s.nodeDragging = true;
                if (s.lineArray.PositionOf(s.pickedLine.get())) s.history.Grab(s.pickedLine);
            } else {
                s.pickedNode = 0;
                s.nodeLineChosen = false;
                s.nodeDragging = false;
            }
        }
        if (!s.nodeLineChosen) {
            ui.Refresh();
            if (auto hit = FirstHit(s.lineArray, [&](const CLine& l) { return PickLine(X, Y, l); })) {
                MarkLine(ui, *hit, kNodeRgb);
                s.nodeLineChosen = true;
                s.pickedLine = hit;
            }
        }
    }
}

void MouseMove(MainState& s, EditorSurface& ui, float X, float Y) {
    const uint32_t background = ui.BackColor();

    // 1. Point drag: only the square moves; the dot follows at the release.
    if (s.pntDragging && s.draggedPoint) {
        CPoint& p = *s.draggedPoint;
        HighlightSquare(ui, p.X, p.Y, background);
        SetPosition(p, X, Y);
        s.pntArray.MarkChanged();
        HighlightSquare(ui, p.X, p.Y, kPickedPointRgb);
    }

    // 2. Rubber band of the add-line gesture.
    if (s.addLineMode && s.lineClickCount == 1) {
        CPoint& start = s.LineStartPoint();
        CPoint& end = s.TmpPoint();
        DrawLine(ui, start, end, background);
        ui.Line(start.X, start.Y, X, Y, kRubberBandRgb);
        SetPosition(end, X, Y);
    }

    // 3. Line move, by the pointer's displacement since the last position.
    if (s.moveLineMode && s.pickedLine && s.pickedLine->IsSelect) {
        CLine& line = *s.pickedLine;
        CPoint& last = s.TmpPoint();
        const float DX = X - last.X;
        const float DY = Y - last.Y;
        HighlightSquare(ui, line.ep.X, line.ep.Y, background);
        HighlightSquare(ui, line.sp.X, line.sp.Y, background);
        DrawLine(ui, line.ep, line.sp, background);
        line.ep.X += DX;
        line.ep.Y += DY;
        line.sp.X += DX;
        line.sp.Y += DY;
        s.lineArray.MarkChanged();
        SetPosition(last, X, Y);
        MarkLine(ui, line, kMovingNodeRgb);
    }

    // 4. Line-node tool: pointer over the nodes, and the node drag.
    if (s.editLineNodeMode) {
        if (s.nodeLineChosen && !s.nodeDragging && s.pickedLine)
            ui.SetPointer(PickLineNode(X, Y, *s.pickedLine) != 0 ? MousePointer::SizeAll : MousePointer::Default);
        if ((s.pickedNode == 1 || s.pickedNode == 2) && s.pickedLine) {
            CLine& line = *s.pickedLine;
            const CPoint& fixed = s.pickedNode == 1 ? line.ep : line.sp;
            CPoint& moving = s.pickedNode == 1 ? line.sp : line.ep;
            CPoint& last = s.TmpPoint();
            DrawLine(ui, fixed, last, background);
            HighlightSquare(ui, fixed.X, fixed.Y, kNodeRgb);
            HighlightSquare(ui, last.X, last.Y, background);
            ui.Line(fixed.X, fixed.Y, X, Y, ColorToRgb(line.color));
            HighlightSquare(ui, X, Y, kNodeRgb);
            SetPosition(last, X, Y);
            SetPosition(moving, X, Y);
            s.lineArray.MarkChanged();
        }
    }
}

void MouseUp(MainState& s, EditorSurface& ui, float X, float Y) {
    // 1. Point commit: the point keeps the position of the last movement.
    if (s.pntDragging) {
        if (s.draggedPoint) ui.Dot(s.draggedPoint->X, s.draggedPoint->Y, kCommittedPointRgb);
        s.draggedPoint.reset();
        s.pntDragging = false;
    }

    // 2. End of a line move: the line stays marked, like a freshly picked one.
    if (s.moveLineMode) {
        ui.Refresh();
        if (s.pickedLine && s.pickedLine->IsSelect) {
            MarkLine(ui, *s.pickedLine, kNodeRgb);
            s.pickedLine->IsSelect = false;
        }
    }

    // 3. Node commit: the grabbed node takes the release position. Only the
    //    picked line itself is written, never another line with its ID.
    //    The node moves before the repaint, so that a release away from the
    //    last movement leaves no line to that movement on the screen.
    if (s.editLineNodeMode && s.pickedNode > 0) {
        const bool inDrawing = s.pickedLine && s.lineArray.PositionOf(s.pickedLine.get()) != 0;
        if (inDrawing) {
            SetPosition(s.pickedNode == 1 ? s.pickedLine->sp : s.pickedLine->ep, X, Y);
            s.lineArray.MarkChanged();
        }
        ui.Refresh();
        if (inDrawing) {
            MarkLine(ui, *s.pickedLine, kNodeRgb);
            s.pickedNode = 0;
        }
        ui.SetPointer(MousePointer::Default);
        s.nodeDragging = false;
    }

    // A shape that moved between its press and now is one change.
    s.history.Release();
}

bool GestureUnderWay(const MainState& s) {
    return (s.addLineMode && s.lineClickCount == 1) || s.pntDragging || (s.pickedLine && s.pickedLine->IsSelect) ||
           s.pickedNode > 0;
}

void EndGesture(MainState& s, EditorSurface& ui) {
    if (s.addLineMode && s.lineClickCount == 1) s.lineClickCount = 0;
    // A drag ends as its release would, where the last movement left it.
    if (s.pntDragging || (s.pickedLine && s.pickedLine->IsSelect) || s.pickedNode > 0) {
        const CPoint last = s.TmpPoint();
        MouseUp(s, ui, last.X, last.Y);
        // Also what a release leaves running, such as a node of a line that
        // is no longer in the drawing.
        s.pntDragging = false;
        if (s.pickedLine) s.pickedLine->IsSelect = false;
        s.pickedNode = 0;
        s.nodeDragging = false;
    }
}

namespace {
template <class List, class Ref>
void DeletePicked(bool toolOn, const Ref& picked, List& list, DrawingHistory& history, const char* message,
                  EditorSurface& ui) {
    if (!toolOn || !picked) {
        ui.Message(message);
        return;
    }
    // The picked record itself goes, never another one that shares its number.
    if (const int position = list.PositionOf(picked.get())) {
        list.Remove(position);
        history.Removed(picked, position);
        ui.Refresh();
    }
}
}  // namespace

void DeletePoint(MainState& s, EditorSurface& ui) {
    DeletePicked(s.getPntMode, s.pickedPoint, s.pntArray, s.history, texts::kPickPointFirst, ui);
}

void DeleteLine(MainState& s, EditorSurface& ui) {
    DeletePicked(s.getLineMode, s.pickedLine, s.lineArray, s.history, texts::kPickLineFirst, ui);
}
