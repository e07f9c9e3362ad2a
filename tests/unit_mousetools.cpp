#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "editing/mousetools.h"
#include "support/unit_records.h"

namespace {

// The drawing area as the user sees it: each shape drawn since the last
// repaint and not drawn over in the background colour since, with its colour.
struct Screen : EditorSurface {
    explicit Screen(const MainState& state) : s(state) {}
    const MainState& s;
    std::map<std::string, uint32_t> shapes;
    std::string panels[5];

    std::string Picture() const {
        const std::map<uint32_t, std::string> names = {{Rgb(255, 0, 244), "pink"}, {Rgb(0, 0, 244), "navy"},
                                                       {Rgb(0, 0, 255), "blue"},   {Rgb(255, 0, 0), "red"},
                                                       {Rgb(0, 255, 0), "green"},  {Rgb(255, 255, 0), "yellow"}};
        std::string out;
        for (const auto& [shape, rgb] : shapes) out += shape + " " + names.at(rgb) + "; ";
        return out;
    }
    void Put(const std::string& shape, uint32_t rgb) {
        rgb == BackColor() ? shapes.erase(shape) : (shapes[shape] = rgb);
    }
    void Refresh() override {
        shapes.clear();
        for (const auto& p : s.pntArray) Dot(p->X, p->Y, Rgb(255, 0, 244));
        for (const auto& l : s.lineArray) Line(l->sp.X, l->sp.Y, l->ep.X, l->ep.Y, ColorToRgb(l->color));
    }
    void Dot(float x, float y, uint32_t rgb) override { Put("dot " + N(x) + "," + N(y), rgb); }
    void Line(float x1, float y1, float x2, float y2, uint32_t rgb) override {
        if (std::tie(x2, y2) < std::tie(x1, y1)) std::swap(x1, x2), std::swap(y1, y2);  // the same pixels
        Put("line " + N(x1) + "," + N(y1) + " " + N(x2) + "," + N(y2), rgb);
    }
    void Box(float x1, float y1, float x2, float y2, uint32_t rgb) override {
        Put("box " + N(x1) + "," + N(y1) + " " + N(x2) + "," + N(y2), rgb);
    }
    uint32_t BackColor() const override { return 0xFFFFFF; }
    void SetPointer(MousePointer) override {}
    void SetPanel(int panel, const std::string& text) override { panels[panel] = text; }
    void ShowPointInfo(const CPoint&) override {}
    void HidePointInfo() override {}
    void ShowLineInfo(const CLine&) override {}
    void HideLineInfo() override {}
    void Message(const std::string&) override {}
};

class MouseTools : public ::testing::Test {
protected:
    MainState s;
    Screen ui{s};
    void Down(float x, float y) { MouseDown(s, ui, x, y); }
    void Move(float x, float y) { MouseMove(s, ui, x, y); }
    void Up(float x, float y) { MouseUp(s, ui, x, y); }
    void Add(float no, float x, float y) { s.pntArray.Add(MakePoint(no, x, y)); }
    void Add(float id, float x1, float y1, float x2, float y2) { s.lineArray.Add(MakeLine(id, x1, y1, x2, y2, 65535)); }
    void Tool(bool MainState::*on, bool MainState::*also = nullptr) {
        for (auto f : {&MainState::addPntMode, &MainState::getPntMode, &MainState::editPntMode, &MainState::addLineMode,
                       &MainState::getLineMode, &MainState::moveLineMode, &MainState::editLineNodeMode})
            s.*f = f == on || f == also;
    }
};

}  // namespace

// A loaded file may repeat a number: the point under the pointer is the one
// picked, dragged and deleted.
TEST_F(MouseTools, PickDragAndDeleteOneOfTwoPointsWithOneNumber) {
    Add(7, 0, 0);
    Add(7, 20, 20);
    Add(8, 20.5f, 20);
    Tool(&MainState::editPntMode);
    Down(20.4f, 20);  // within reach of two: the first in order wins
    EXPECT_EQ(ui.panels[2] + ui.panels[3] + ui.panels[4], "被选中点的信息：点的ID号：7坐标：X=20   Y=20");
    Move(25, 25);
    Move(30, 31);
    Up(40, 40);  // the point keeps the last movement's position
    EXPECT_EQ(ui.Picture(), "box 29,30 31,32 navy; dot 0,0 pink; dot 20,20 pink; dot 20.5,20 pink; dot 30,31 blue; ");
    Tool(&MainState::getPntMode);
    Down(30, 31);
    Down(90, 90);  // a miss keeps the pick
    DeletePoint(s, ui);
    DeletePoint(s, ui);  // gone already: nothing happens
    EXPECT_EQ(Dump(s), "7(0,0) 8(20.5,20) |");
}

// Two lines with one number: only the chosen one changes. The nodes of a
// deleted line cannot be grabbed.
TEST_F(MouseTools, NodeToolDragsTheChosenLineOnly) {
    Add(9, -40, 30, -20, 30);
    Add(9, 0, 0, 20, 0);
    Tool(&MainState::editLineNodeMode, &MainState::getLineMode);
    Down(10, 0.5f);
    Up(10, 0.5f);  // chose the line, moved nothing
    EXPECT_EQ(Dump(s), "| 9(-40,30 -20,30 c65535) 9(0,0 20,0 c65535)");
    Down(19.5f, 0.5f);
    Move(25, 6);
    EXPECT_EQ(ui.Picture(), "box -1,-1 1,1 red; box 24,5 26,7 red; line -40,30 -20,30 yellow; line 0,0 25,6 yellow; ");
    Up(30, 8);      // the node takes the release position
    Down(0.5f, 0);  // the line stays chosen: its start node is grabbed at once
    Up(-1, -1);
    EXPECT_EQ(Dump(s), "| 9(-40,30 -20,30 c65535) 9(-1,-1 30,8 c65535)");
    DeleteLine(s, ui);
    for (float x : {-1.0f, 30.0f}) {
        Down(x, x == 30 ? 8 : -1);
        Move(40, 30);
        EXPECT_FALSE(GestureUnderWay(s));
    }
}

TEST_F(MouseTools, NodeReleasedAwayFromItsLastMovementLeavesNoOldLine) {
    Add(1, 0, 0, 20, 0);
    Tool(&MainState::editLineNodeMode);
    Down(10, 0);
    Down(20, 0);
    Move(25, 6);
    Up(30, 8);
    EXPECT_EQ(ui.Picture(), "box -1,-1 1,1 red; box 29,7 31,9 red; line 0,0 30,8 yellow; ");
}

// A drag is one step of undo, a press that moves nothing is none; ending a
// gesture commits a drag where the last movement left it.
TEST_F(MouseTools, UndoStepsAndEndedGestures) {
    EndGesture(s, ui);  // nothing under way
    Add(1, 1, 2);
    Add(1, 0, 0, 5, 5);
    const struct {
        bool MainState::*tool;
        float x, y;  // the press; then a move to (x + 7, y + 3) and a release at (20, 20)
        bool ended;
        const char* moved;
    } drags[] = {
        {&MainState::editPntMode, 1, 2, true, "1(8,5) | 1(0,0 5,5 c65535)"},
        {&MainState::moveLineMode, 2, 2, true, "1(1,2) | 1(7,3 12,8 c65535)"},
        {&MainState::editLineNodeMode, 0, 0, false, "1(1,2) | 1(20,20 5,5 c65535)"},
        {&MainState::editLineNodeMode, 0, 0, true, "1(1,2) | 1(7,3 5,5 c65535)"},
        {&MainState::editLineNodeMode, 5, 5, true, "1(1,2) | 1(0,0 12,8 c65535)"},
    };
    for (const auto& d : drags) {
        Tool(d.tool);
        s.nodeLineChosen = false;
        Down(d.x, d.y);
        if (d.tool == &MainState::editLineNodeMode) Down(d.x, d.y);  // chose the line, now grab the node
        Up(d.x, d.y);
        Down(d.x, d.y);
        Move(d.x + 7, d.y + 3);
        if (d.ended) EndGesture(s, ui), Move(d.x + 15, d.y + 15);  // then nothing follows
        Up(20, 20);
        EXPECT_EQ(Dump(s), d.moved) << d.x << (d.ended ? " ended" : "");
        EXPECT_FALSE(GestureUnderWay(s));
        ASSERT_TRUE(s.history.Undo(s.Drawing()));
        EXPECT_EQ(Dump(s), "1(1,2) | 1(0,0 5,5 c65535)");
        EXPECT_FALSE(s.history.CanUndo());
    }
}
