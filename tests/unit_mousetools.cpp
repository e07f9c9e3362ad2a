#include <gtest/gtest.h>

#include <vector>

#include "editing/mousetools.h"
#include "model/numtext.h"

namespace {

// Records what the tools do to the window.
struct Call {
    std::string what;  // "dot", "line", "box"
    float a, b, c, d;
    uint32_t rgb;
};

class FakeSurface : public EditorSurface {
public:
    static constexpr uint32_t kBackground = 0x102030;
    std::vector<Call> calls;
    int refreshes = 0;
    std::string panels[5];
    MousePointer pointer = MousePointer::Default;
    int pointInfoShown = 0, lineInfoShown = 0;
    bool pointInfoVisible = false, lineInfoVisible = false;
    CPoint pointInfo;
    CLine lineInfo;
    std::vector<std::string> messages;

    void Refresh() override {
        ++refreshes;
        calls.clear();
    }
    void Dot(float x, float y, uint32_t rgb) override { calls.push_back({"dot", x, y, 0, 0, rgb}); }
    void Line(float x1, float y1, float x2, float y2, uint32_t rgb) override {
        calls.push_back({"line", x1, y1, x2, y2, rgb});
    }
    void Box(float x1, float y1, float x2, float y2, uint32_t rgb) override {
        calls.push_back({"box", x1, y1, x2, y2, rgb});
    }
    uint32_t BackColor() const override { return kBackground; }
    void SetPointer(MousePointer p) override { pointer = p; }
    void SetPanel(int panel, const std::string& text) override { panels[panel] = text; }
    void ShowPointInfo(const CPoint& p) override {
        ++pointInfoShown;
        pointInfoVisible = true;
        pointInfo = p;
    }
    void HidePointInfo() override { pointInfoVisible = false; }
    void ShowLineInfo(const CLine& l) override {
        ++lineInfoShown;
        lineInfoVisible = true;
        lineInfo = l;
    }
    void HideLineInfo() override { lineInfoVisible = false; }
    void Message(const std::string& text) override { messages.push_back(text); }
};

class MouseTools : public ::testing::Test {
protected:
    MainState s;
    FakeSurface ui;

    void Down(float x, float y) { MouseDown(s, ui, x, y); }
    void Move(float x, float y) { MouseMove(s, ui, x, y); }
    void Up(float x, float y) { MouseUp(s, ui, x, y); }

    std::shared_ptr<CPoint> AddPoint(float no, float x, float y) {
        auto p = std::make_shared<CPoint>();
        p->pntNO = no;
        p->X = x;
        p->Y = y;
        s.pntArray.Add(p);
        return p;
    }
    std::shared_ptr<CLine> AddLine(float id, float x1, float y1, float x2, float y2, float color = 65535) {
        auto l = std::make_shared<CLine>();
        l->ID = id;
        l->sp.X = x1;
        l->sp.Y = y1;
        l->ep.X = x2;
        l->ep.Y = y2;
        l->color = color;
        s.lineArray.Add(l);
        return l;
    }
    void OnlyTool(bool MainState::* flag) {
        for (bool MainState::* f : {&MainState::addPntMode, &MainState::getPntMode, &MainState::editPntMode,
                                    &MainState::addLineMode, &MainState::getLineMode, &MainState::moveLineMode,
                                    &MainState::editLineNodeMode})
            s.*f = false;
        s.*flag = true;
    }
};

}  // namespace

TEST_F(MouseTools, AddPointNumbersFromTheCounterAndDescribesThePoint) {
    OnlyTool(&MainState::addPntMode);
    Down(1.5f, -2.0f);
    Down(10, 20);
    Down(-0.25f, 1e-5f);
    ASSERT_EQ(s.pntArray.Count(), 3);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(s.pntArray.Item(i)->pntNO, float(i));
    EXPECT_EQ(s.pntArray.Item(1)->X, 1.5f);
    EXPECT_EQ(s.pntArray.Item(1)->Y, -2.0f);
    EXPECT_EQ(s.lastPntNO, 3.0f);
    EXPECT_EQ(ui.panels[2], "当前添加的点信息：");
    EXPECT_EQ(ui.panels[3], "点的ID号：3");
    EXPECT_EQ(ui.panels[4], "坐标：X=-0.25   Y=1E-05");
    EXPECT_EQ(ui.refreshes, 0);
    ASSERT_FALSE(ui.calls.empty());
    EXPECT_EQ(ui.calls.back().what, "dot");
    EXPECT_EQ(ui.calls.back().rgb, Rgb(255, 0, 244));

    // Deleting does not free numbers.
    s.pntArray.Remove(2);
    Down(0, 0);
    EXPECT_EQ(s.pntArray.Item(3)->pntNO, 4.0f);
}

TEST_F(MouseTools, AddLineEndsAtTheLastRubberBandPosition) {
    OnlyTool(&MainState::addLineMode);
    s.lastLineID = 4;
    s.lineColor = 255;
    Down(0, 0);
    EXPECT_EQ(s.lineClickCount, 1);
    EXPECT_TRUE(ui.calls.empty());  // nothing is drawn before the pointer moves
    Move(5, 5);
    Move(10, 0);
    // The band from the start to the previous position is erased, the new one drawn.
    ASSERT_GE(ui.calls.size(), 2u);
    const Call& erase = ui.calls[ui.calls.size() - 2];
    EXPECT_EQ(erase.what, "line");
    EXPECT_EQ(erase.rgb, FakeSurface::kBackground);
    EXPECT_EQ(erase.c, 5.0f);
    const Call& band = ui.calls.back();
    EXPECT_EQ(band.rgb, Rgb(0, 255, 0));
    EXPECT_EQ(band.c, 10.0f);
    EXPECT_EQ(band.d, 0.0f);

    Down(30, 30);  // the second click's own position does not count
    ASSERT_EQ(s.lineArray.Count(), 1);
    const CLine& l = *s.lineArray.Item(1);
    EXPECT_EQ(l.ID, 5.0f);
    EXPECT_EQ(l.sp.X, 0.0f);
    EXPECT_EQ(l.ep.X, 10.0f);
    EXPECT_EQ(l.ep.Y, 0.0f);
    EXPECT_EQ(l.color, 255.0f);
    EXPECT_FALSE(l.IsSelect);
    EXPECT_EQ(s.lineClickCount, 0);
    EXPECT_EQ(ui.refreshes, 1);

    // Two clicks without movement make a line without length.
    Down(7, 7);
    Down(9, 9);
    ASSERT_EQ(s.lineArray.Count(), 2);
    EXPECT_EQ(s.lineArray.Item(2)->sp.X, 7.0f);
    EXPECT_EQ(s.lineArray.Item(2)->ep.X, 7.0f);
    EXPECT_EQ(s.lineArray.Item(2)->ID, 6.0f);
}

TEST_F(MouseTools, PickPointTakesTheFirstInOrderAndAMissKeepsThePick) {
    OnlyTool(&MainState::getPntMode);
    AddPoint(1, 10, 10);
    AddPoint(2, 10.5f, 10);
    Down(10.4f, 10);
    ASSERT_EQ(s.pickedPoint, s.pntArray.Item(1));
    EXPECT_EQ(ui.panels[2], "被选中点的信息：");
    EXPECT_EQ(ui.panels[3], "点的ID号：1");
    EXPECT_EQ(ui.panels[4], "坐标：X=10   Y=10");
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].what, "box");
    EXPECT_EQ(ui.calls[0].a, 9.0f);
    EXPECT_EQ(ui.calls[0].d, 11.0f);
    EXPECT_EQ(ui.calls[0].rgb, Rgb(0, 0, 244));
    EXPECT_FALSE(s.pntDragging);

    Down(50, 50);
    EXPECT_EQ(s.pickedPoint, s.pntArray.Item(1));
    EXPECT_EQ(ui.panels[2], "没有点被选中");
    EXPECT_EQ(ui.panels[3], "  ");
    EXPECT_EQ(ui.panels[4], "  ");
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(MouseTools, PointDragMovesTheGrabbedPointOnlyWithoutRepainting) {
    OnlyTool(&MainState::editPntMode);
    auto first = AddPoint(7, 0, 0);
    auto twin = AddPoint(7, 20, 20);  // the same number, as a loaded file may have
    Down(20.2f, 20);
    ASSERT_TRUE(s.pntDragging);
    EXPECT_EQ(s.pickedPoint, twin);
    const int refreshes = ui.refreshes;
    Move(25, 25);
    Move(30, 31);
    EXPECT_EQ(ui.refreshes, refreshes);
    EXPECT_EQ(twin->X, 30.0f);
    EXPECT_EQ(twin->Y, 31.0f);
    EXPECT_EQ(first->X, 0.0f);
    // Each move erases the old square and draws the new one.
    ASSERT_GE(ui.calls.size(), 2u);
    EXPECT_EQ(ui.calls[ui.calls.size() - 2].rgb, FakeSurface::kBackground);
    EXPECT_EQ(ui.calls[ui.calls.size() - 2].a, 24.0f);
    EXPECT_EQ(ui.calls.back().a, 29.0f);
    EXPECT_EQ(ui.calls.back().rgb, Rgb(0, 0, 244));

    Up(40, 40);  // keeps the position of the last movement
    EXPECT_EQ(twin->X, 30.0f);
    EXPECT_FALSE(s.pntDragging);
    EXPECT_EQ(ui.calls.back().what, "dot");
    EXPECT_EQ(ui.calls.back().rgb, Rgb(0, 0, 255));
    Move(50, 50);
    EXPECT_EQ(twin->X, 30.0f);
}

TEST_F(MouseTools, OtherToolsNeverMoveAPointPickedForEditing) {
    auto p = AddPoint(1, 5, 5);
    auto line = AddLine(1, -10, -20, 10, -20);
    OnlyTool(&MainState::editPntMode);
    Down(5, 5);
    Up(5, 5);

    // A line move afterwards moves the line, not the point.
    OnlyTool(&MainState::moveLineMode);
    Down(0, -20);
    Move(3, -22);
    Up(3, -22);
    EXPECT_EQ(p->X, 5.0f);
    EXPECT_EQ(p->Y, 5.0f);
    EXPECT_EQ(line->sp.X, -7.0f);
    EXPECT_EQ(line->ep.Y, -22.0f);

    // So do the add-line gesture and the node tool.
    OnlyTool(&MainState::addLineMode);
    Down(60, 60);
    Move(70, 70);
    Down(70, 70);
    OnlyTool(&MainState::editLineNodeMode);
    Down(0, -22);
    Down(-7, -22);
    Move(-8, -30);
    Up(-8, -30);
    EXPECT_EQ(p->X, 5.0f);
    EXPECT_EQ(p->Y, 5.0f);
    EXPECT_EQ(line->sp.X, -8.0f);
}

TEST_F(MouseTools, MoveLineKeepsShapeAndMarksNodes) {
    OnlyTool(&MainState::moveLineMode);
    auto other = AddLine(1, 50, 50, 60, 60);
    auto l = AddLine(2, -10, 0, 10, 4);
    Down(0, 2);
    EXPECT_TRUE(l->IsSelect);
    EXPECT_FALSE(other->IsSelect);
    EXPECT_EQ(s.pickedLine, l);
    EXPECT_TRUE(s.pntDragging);
    const int refreshes = ui.refreshes;
    for (int i = 1; i <= 5; ++i) Move(2.0f * i, 2 - 1.0f * i);
    EXPECT_EQ(ui.refreshes, refreshes);
    EXPECT_FLOAT_EQ(l->sp.X, 0.0f);
    EXPECT_FLOAT_EQ(l->sp.Y, -5.0f);
    EXPECT_FLOAT_EQ(l->ep.X, 20.0f);
    EXPECT_FLOAT_EQ(l->ep.Y, -1.0f);
    EXPECT_EQ(ui.calls.back().rgb, Rgb(0, 0, 255));  // blue squares while moving

    Up(10, -3);
    EXPECT_FALSE(l->IsSelect);
    EXPECT_EQ(s.pickedLine, l);
    EXPECT_EQ(ui.calls.back().rgb, Rgb(255, 0, 0));  // red after release
    Move(30, 30);
    EXPECT_FLOAT_EQ(l->sp.X, 0.0f);

    // A press that misses leaves no line selected.
    Down(0, 90);
    EXPECT_FALSE(l->IsSelect);
    EXPECT_FALSE(other->IsSelect);
}

TEST_F(MouseTools, NodeToolChoosesGrabsDragsAndCommitsTheReleasePosition) {
    OnlyTool(&MainState::editLineNodeMode);
    auto l = AddLine(3, 0, 0, 20, 0);
    Down(10, 0.5f);
    EXPECT_TRUE(s.nodeLineChosen);
    EXPECT_EQ(s.pickedLine, l);
    EXPECT_EQ(s.pickedNode, 0);

    Move(20.5f, 0);
    EXPECT_EQ(ui.pointer, MousePointer::SizeAll);
    Move(15, 0);
    EXPECT_EQ(ui.pointer, MousePointer::Default);

    Down(19.5f, 0.5f);
    EXPECT_EQ(s.pickedNode, 2);
    EXPECT_TRUE(s.nodeDragging);
    EXPECT_EQ(ui.pointer, MousePointer::SizeAll);
    Move(25, 5);
    EXPECT_EQ(l->ep.X, 25.0f);
    EXPECT_EQ(l->sp.X, 0.0f);
    Move(0.5f, 0.2f);  // over the other node: the pointer stays while a node is held
    EXPECT_EQ(ui.pointer, MousePointer::SizeAll);
    Up(30, 8);
    EXPECT_EQ(l->ep.X, 30.0f);
    EXPECT_EQ(l->ep.Y, 8.0f);
    EXPECT_EQ(s.pickedNode, 0);
    EXPECT_FALSE(s.nodeDragging);
    EXPECT_TRUE(s.nodeLineChosen);
    EXPECT_EQ(ui.pointer, MousePointer::Default);

    // The same line stays chosen: the next press grabs a node at once.
    Down(0.5f, 0);
    EXPECT_EQ(s.pickedNode, 1);
    Up(-1, -1);
    EXPECT_EQ(l->sp.X, -1.0f);

    // A press away from both nodes gives the line up and chooses another.
    auto other = AddLine(4, -50, 40, 50, 40);
    Down(0, 40.5f);
    EXPECT_EQ(s.pickedLine, other);
    EXPECT_TRUE(s.nodeLineChosen);
    Down(0, -70);
    EXPECT_FALSE(s.nodeLineChosen);
}

TEST_F(MouseTools, NodeCommitWritesThePickedLineEvenWithADuplicateID) {
    OnlyTool(&MainState::editLineNodeMode);
    auto first = AddLine(9, -40, 30, -20, 30);
    auto picked = AddLine(9, 0, 0, 20, 0);
    Down(10, 0);
    ASSERT_EQ(s.pickedLine, picked);
    Down(0, 0);
    Up(-5, -5);
    EXPECT_EQ(picked->sp.X, -5.0f);
    EXPECT_EQ(first->sp.X, -40.0f);
    EXPECT_EQ(first->sp.Y, 30.0f);
}

TEST_F(MouseTools, NodeToolGrabsNothingOfALineNoLongerInTheDrawing) {
    s.getLineMode = true;
    s.editLineNodeMode = true;
    auto gone = AddLine(1, 0, 0, 20, 0);
    Down(10, 0);
    ASSERT_TRUE(s.nodeLineChosen);
    ASSERT_EQ(s.pickedLine, gone);
    DeleteLine(s, ui);
    ASSERT_EQ(s.lineArray.Count(), 0);

    // A press on its old end node grabs nothing, and nothing follows the pointer.
    Down(20, 0);
    EXPECT_EQ(s.pickedNode, 0);
    EXPECT_FALSE(s.nodeDragging);
    EXPECT_FALSE(s.nodeLineChosen);
    Up(20, 0);
    ui.calls.clear();
    Move(40, 30);
    Move(60, 10);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(gone->ep.X, 20.0f);
    EXPECT_EQ(ui.pointer, MousePointer::Default);
}

TEST_F(MouseTools, PickLineWithNodeToolInOnePress) {
    s.getLineMode = true;
    s.editLineNodeMode = true;
    auto l = AddLine(1, 0, 0, 10, 10);
    Down(5, 5);
    EXPECT_EQ(s.pickedLine, l);
    EXPECT_TRUE(s.nodeLineChosen);
    EXPECT_EQ(ui.panels[2], "被选中点的信息：");
    EXPECT_EQ(ui.refreshes, 2);
    ASSERT_EQ(ui.calls.size(), 3u);  // drawn again after the second repaint
    EXPECT_EQ(ui.calls[0].what, "line");
    EXPECT_EQ(ui.calls[0].a, 10.0f);  // from ep to sp
    EXPECT_EQ(ui.calls[1].rgb, Rgb(255, 0, 0));
    EXPECT_EQ(ui.calls[1].a, 9.0f);  // ep's square first
    EXPECT_EQ(ui.calls[2].a, -1.0f);
}

TEST_F(MouseTools, InformationWindowsFollowPicksAndHideAtEveryPress) {
    s.shapeToAttribMode = true;
    OnlyTool(&MainState::getPntMode);
    AddPoint(3, 10, -5);
    Down(10, -5);
    EXPECT_TRUE(ui.pointInfoVisible);
    EXPECT_EQ(ui.pointInfo.pntNO, 3.0f);
    Down(80, 80);
    EXPECT_FALSE(ui.pointInfoVisible);

    OnlyTool(&MainState::getLineMode);
    AddLine(2, 0, 20, 40, 20, 65535);
    Down(20, 20);
    EXPECT_TRUE(ui.lineInfoVisible);
    EXPECT_EQ(ui.lineInfo.ID, 2.0f);
    OnlyTool(&MainState::addPntMode);
    Down(0, 0);
    EXPECT_FALSE(ui.lineInfoVisible);
    EXPECT_EQ(ui.pointInfoShown, 1);
    EXPECT_EQ(ui.lineInfoShown, 1);

    s.shapeToAttribMode = false;
    OnlyTool(&MainState::getPntMode);
    Down(10, -5);
    EXPECT_EQ(ui.pointInfoShown, 1);
}

TEST_F(MouseTools, MovingWithNoToolChangesNothing) {
    AddPoint(1, 0, 0);
    Move(0, 0);
    Move(10, 10);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(ui.refreshes, 0);
    Up(10, 10);
    EXPECT_EQ(ui.refreshes, 0);
}

TEST_F(MouseTools, DeleteNeedsThePickToolAndAPick) {
    auto p1 = AddPoint(1, 0, 0);
    auto p2 = AddPoint(2, 10, 0);
    AddPoint(3, 20, 0);
    DeletePoint(s, ui);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "请先拾取要删除的点，然后再能删除");
    s.getPntMode = true;
    DeletePoint(s, ui);  // nothing picked yet
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(s.pntArray.Count(), 3);

    Down(10, 0);
    Down(90, 90);  // a miss keeps the pick
    DeletePoint(s, ui);
    ASSERT_EQ(s.pntArray.Count(), 2);
    EXPECT_EQ(s.pntArray.Item(1), p1);
    EXPECT_EQ(s.pntArray.Item(2)->pntNO, 3.0f);
    EXPECT_EQ(s.pickedPoint, p2);  // still readable
    const int refreshes = ui.refreshes;
    DeletePoint(s, ui);  // gone already: nothing happens
    EXPECT_EQ(s.pntArray.Count(), 2);
    EXPECT_EQ(ui.refreshes, refreshes);
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(s.lastPntNO, 0.0f);  // counters untouched

    s.getPntMode = false;
    DeletePoint(s, ui);
    EXPECT_EQ(ui.messages.size(), 3u);
}

TEST_F(MouseTools, DeleteRemovesThePickedRecordNotAnEarlierTwin) {
    auto first = AddPoint(5, 0, 0);
    auto twin = AddPoint(5, 30, 0);
    s.getPntMode = true;
    Down(30, 0);
    DeletePoint(s, ui);
    ASSERT_EQ(s.pntArray.Count(), 1);
    EXPECT_EQ(s.pntArray.Item(1), first);

    auto l1 = AddLine(2, 0, 10, 10, 10);
    auto l2 = AddLine(2, 0, -10, 10, -10);
    s.moveLineMode = true;  // picks lines but does not allow deleting them
    s.getPntMode = false;
    Down(5, -10);
    DeleteLine(s, ui);
    EXPECT_EQ(ui.messages.back(), "请先拾取要删除的线，然后再能删除");
    EXPECT_EQ(s.lineArray.Count(), 2);
    s.moveLineMode = false;
    s.getLineMode = true;
    Down(5, -10);
    DeleteLine(s, ui);
    ASSERT_EQ(s.lineArray.Count(), 1);
    EXPECT_EQ(s.lineArray.Item(1), l1);
    (void)l2;
}

// What the tools hand to the history: one step per change, none for a press
// that changes nothing.
TEST_F(MouseTools, EachToolRecordsItsChangeForUndo) {
    auto undo = [&] { return s.history.Undo(s.Drawing()); };
    auto redo = [&] { return s.history.Redo(s.Drawing()); };

    OnlyTool(&MainState::addPntMode);
    Down(1, 2);
    OnlyTool(&MainState::addLineMode);
    Down(0, 0);
    Move(5, 5);
    Down(9, 9);
    ASSERT_EQ(s.history.UndoSteps(), 2u);
    auto point = s.pntArray.Item(1);
    auto line = s.lineArray.Item(1);
    EXPECT_TRUE(undo());
    EXPECT_TRUE(s.lineArray.Empty());
    EXPECT_TRUE(undo());
    EXPECT_TRUE(s.pntArray.Empty());
    EXPECT_TRUE(redo() && redo());
    EXPECT_EQ(s.pntArray.Item(1), point);
    EXPECT_EQ(s.lineArray.Item(1), line);

    // Edit-point drag: a press without a movement is no change.
    OnlyTool(&MainState::editPntMode);
    Down(1, 2);
    Up(1, 2);
    EXPECT_EQ(s.history.UndoSteps(), 2u);
    Down(1, 2);
    Move(30, 40);
    Up(31, 41);
    EXPECT_EQ(s.history.UndoSteps(), 3u);
    undo();
    EXPECT_EQ(point->X, 1.0f);
    EXPECT_EQ(point->Y, 2.0f);
    redo();
    EXPECT_EQ(point->X, 30.0f);

    // Line move and node drag.
    OnlyTool(&MainState::moveLineMode);
    Down(2, 2);
    Move(12, -3);
    Up(12, -3);
    EXPECT_EQ(line->sp.X, 10.0f);
    EXPECT_EQ(line->ep.Y, 0.0f);
    OnlyTool(&MainState::editLineNodeMode);
    Down(15, 0);   // choose the line
    Down(15, 0);   // grab its end node
    Move(40, 40);
    Up(50, 60);
    EXPECT_EQ(line->ep.X, 50.0f);
    EXPECT_EQ(s.history.UndoSteps(), 5u);
    undo();
    EXPECT_EQ(line->ep.X, 15.0f);
    EXPECT_EQ(line->ep.Y, 0.0f);
    undo();
    EXPECT_EQ(line->sp.X, 0.0f);
    EXPECT_EQ(line->sp.Y, 0.0f);
    EXPECT_EQ(line->ep.X, 5.0f);
    EXPECT_EQ(line->ep.Y, 5.0f);

    // Deleting, then undoing, puts the record back where it was.
    AddPoint(7, 60, 60);
    OnlyTool(&MainState::getPntMode);
    Down(1, 2);
    DeletePoint(s, ui);
    ASSERT_EQ(s.pntArray.Count(), 1);
    undo();
    ASSERT_EQ(s.pntArray.Count(), 2);
    EXPECT_EQ(s.pntArray.Item(1), point);
    EXPECT_EQ(s.lastPntNO, 1.0f);
}

// Ending a gesture for undo: the add-line tool forgets its first click, a
// drag is committed where the last movement left it.
TEST_F(MouseTools, EndGestureCommitsDragsAndForgetsAFirstClick) {
    EndGesture(s, ui);
    EXPECT_EQ(ui.refreshes, 0);

    OnlyTool(&MainState::addLineMode);
    Down(0, 0);
    ASSERT_TRUE(GestureUnderWay(s));
    EndGesture(s, ui);
    EXPECT_EQ(s.lineClickCount, 0);
    EXPECT_TRUE(s.addLineMode);
    EXPECT_FALSE(GestureUnderWay(s));

    auto p = AddPoint(1, 0, 0);
    OnlyTool(&MainState::editPntMode);
    Down(0, 0);
    Move(20, 20);
    EndGesture(s, ui);
    EXPECT_FALSE(s.pntDragging);
    Move(40, 40);  // the mouse is still down, but nothing follows it now
    Up(40, 40);
    EXPECT_EQ(p->X, 20.0f);
    ASSERT_TRUE(s.history.Undo(s.Drawing()));
    EXPECT_EQ(p->X, 0.0f);

    auto l = AddLine(1, 100, 0, 110, 0);
    OnlyTool(&MainState::editLineNodeMode);
    Down(110, 0);
    Down(110, 0);
    Move(120, 30);
    ASSERT_TRUE(GestureUnderWay(s));
    EndGesture(s, ui);
    EXPECT_EQ(s.pickedNode, 0);
    EXPECT_EQ(l->ep.X, 120.0f);
    Move(130, 50);
    EXPECT_EQ(l->ep.X, 120.0f);
    ASSERT_TRUE(s.history.Undo(s.Drawing()));
    EXPECT_EQ(l->ep.X, 110.0f);
    EXPECT_EQ(l->ep.Y, 0.0f);

    OnlyTool(&MainState::moveLineMode);
    Down(105, 0);
    Move(105, 10);
    EndGesture(s, ui);
    EXPECT_FALSE(l->IsSelect);
    Move(105, 30);
    EXPECT_EQ(l->sp.Y, 10.0f);
    ASSERT_TRUE(s.history.Undo(s.Drawing()));
    EXPECT_EQ(l->sp.Y, 0.0f);
}
