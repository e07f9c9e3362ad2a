// Undo and redo in the real main window: the window's keys, every kind of
// change, checked on the records and on the drawing area's pixels.
#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <sstream>

#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

namespace {

const char* const kChanges[] = {"AddPoint", "AddLine",     "PointDrag",  "LineMove",
                                "NodeMove", "DeletePoint", "DeleteLine", "LoadOfATextFile"};

class Undo : public MainWindowTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // Keys go where the user's keys go: to the widget with the focus.
    void Keys(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), key, modifiers);
    }
    // The drawing as its records: which objects, in which order, with which values.
    std::string Drawing() {
        std::ostringstream s;
        for (const auto& p : form->pntArray) s << p.get() << ' ' << p->pntNO << ' ' << p->X << ' ' << p->Y << '\n';
        for (const auto& l : form->lineArray)
            s << l.get() << ' ' << l->ID << ' ' << l->sp.X << ' ' << l->sp.Y << ' ' << l->ep.X << ' ' << l->ep.Y << '\n';
        return s.str();
    }
    // The area shows the drawing and nothing else, as a full repaint would.
    bool AreaIsRefreshed() { return canvas().Screen() == form->RenderDrawing(1); }
    void Drag(QPointF from, QPointF via, QPointF to) {
        Press(from.x(), from.y());
        MoveTo(via.x(), via.y());
        MoveTo(to.x(), to.y());
        Release(to.x(), to.y());
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_P(Undo, EveryKindOfChangeIsUndoneAndRedoneWithItsPixels) {
    const int kind = GetParam();
    if (kind >= 2) {
        AddPointRecord(1, -100, 60);
        AddPointRecord(2, -60, 60);
        AddLineRecord(1, -120, -50, -40, -20, 65280);
        AddLineRecord(2, 20, -80, 120, -40, 16711680);
        form->lastPntNO = form->lastLineID = 2;
    }
    const int tools[] = {1, 4, 3, 6, 7, 2, 5, 0};
    if (tools[kind]) Tool(tools[kind]);
    if (kind == 4) Click(70, -60);  // chooses line 2
    if (kind == 5) Click(-60, 60);
    if (kind == 6) Click(-80, -35);
    form->Refresh();
    const std::string before = Drawing();
    const QImage beforeImage = canvas().Screen().copy();
    const float pntBefore = form->lastPntNO, lineBefore = form->lastLineID;
    switch (kind) {
    case 0: Click(30, 40); break;
    case 1: Click(-60, -30), MoveTo(20, 50), Click(20, 50); break;
    case 2: Drag({-60, 60}, {-10, 20}, {50, 10}); break;
    case 3: Drag({-80, -35}, {-40, 0}, {0, 30}); break;
    case 4: Drag({120, -40}, {100, 20}, {90, 70}); break;
    case 5: ToolbarButton(9); break;
    case 6: Menu("mnuDeleLine"); break;
    case 7:
        testfiles::WriteBytes(dir.filePath("d.myd").toStdString(), "1 1 10 10\r\n1 7 20 -10\r\n2 1 0 0 50 50  65535\r\n");
        dialog->fileAnswers = {dir.filePath("d.myd")};
        Menu("mnuOpenTxt");
    }
    const std::string after = Drawing();
    ASSERT_NE(after, before);
    ASSERT_TRUE(messages->shown.isEmpty());
    const float pnt = std::max(pntBefore, form->lastPntNO), line = std::max(lineBefore, form->lastLineID);
    Keys(Qt::Key_Z);
    EXPECT_EQ(Drawing(), before);
    EXPECT_EQ(canvas().Screen(), beforeImage);
    EXPECT_TRUE(form->lastPntNO == pnt && form->lastLineID == line);  // counters never go back
    Keys(Qt::Key_Y);
    EXPECT_EQ(Drawing(), after);
    EXPECT_TRUE(AreaIsRefreshed());
    Keys(Qt::Key_Z);
    Keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Drawing(), after);
    EXPECT_TRUE(AreaIsRefreshed());
    EXPECT_TRUE(form->lastPntNO == pnt && form->lastLineID == line);  // counters never go back
}

INSTANTIATE_TEST_SUITE_P(Kinds, Undo, ::testing::Range(0, 8),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(kChanges[info.param]); });

// An undo first ends the gesture under way, as a tool button would: a first
// click of a line is forgotten, a drag is taken back and the button still
// held moves nothing.
TEST_F(MainWindowTest, UndoEndsAGestureUnderWayFirst) {
    Tool(4);
    Click(-80, -50);
    MoveTo(60, 70);
    ASSERT_GT(Count(QColor(0, 255, 0)), 0);
    EXPECT_FALSE(form->UndoChange());
    EXPECT_EQ(Count(QColor(0, 255, 0)), 0);
    MoveTo(70, 80);
    EXPECT_EQ(Count(QColor(0, 255, 0)), 0);  // no rubber band any more

    auto p = AddPointRecord(5, 10, 10);
    Tool(3);
    Press(10, 10);
    MoveTo(60, -40);
    EXPECT_TRUE(form->UndoChange());
    EXPECT_TRUE(p->X == 10 && p->Y == 10);
    MoveTo(80, -60);
    Release(80, -60);
    EXPECT_EQ(p->X, 10.0f);
    EXPECT_EQ(canvas().Screen(), form->RenderDrawing(1));
}

// The keys are the window's: they work while the pen-width box has the focus,
// and leave its text alone.
TEST_F(MainWindowTest, UndoKeysWorkWhileThePenWidthBoxHasTheFocus) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Tool(1);
    Click(0, 0);
    form->Combo1->setFocus();
    QTest::keyClicks(form->Combo1, "3");
    QTest::keyClick(form->Combo1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(form->pntArray.Empty());
    EXPECT_EQ(form->Combo1->currentText(), "3");
    QTest::keyClick(form->Combo1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form->pntArray.Count(), 1);
}
