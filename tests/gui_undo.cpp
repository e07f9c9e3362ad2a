// Undo and redo in the real main window, checked on the records and the pixels.
#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <sstream>

#include "support/database_fixture.h"
#include "support/file_helpers.h"
#include "support/mainwindow_fixture.h"

// Ctrl+Z undoes, Ctrl+Y and Ctrl+Shift+Z redo; the counters never go back.
TEST_F(MainWindowTest, UndoAndRedoTakeBackEachKindOfChangeWithItsPixels) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTemporaryDir dir;
    testfiles::WriteBytes(dir.filePath("d.myd").toStdString(), "1 1 10 10\r\n1 7 20 -10\r\n2 1 0 0 50 50  65535\r\n");
    Peek(dir.filePath("d.mdb"), std::string(kDrawingTables) + "insert into PointTable values (3, '5', '5');"
                                "insert into LineTable values (9, ' 1', ' 2', ' 3', ' 4', 255);");
    auto drawing = [&] {  // the records: which objects, in which order, with which values
        std::ostringstream s;
        for (const auto& p : form->pntArray) s << p.get() << ' ' << p->pntNO << ' ' << p->X << ' ' << p->Y << '\n';
        for (const auto& l : form->lineArray) s << l.get() << ' ' << l->ID << ' ' << l->sp.X << ' ' << l->ep.Y << '\n';
        return s.str();
    };
    auto drag = [&](QPointF from, QPointF to) { Press(from.x(), from.y()), MoveTo(0, 0), MoveTo(to.x(), to.y()), Release(to.x(), to.y()); };
    const std::tuple<const char*, int, std::function<void()>> changes[] = {
        {"point drag", 3, [&] { drag({-60, 60}, {50, 10}); }},
        {"line move", 6, [&] { drag({-80, -35}, {0, 30}); }},
        {"node move", 7, [&] { Click(70, -60), drag({120, -40}, {90, 70}); }},
        {"delete point", 2, [&] { Click(-60, 60), ToolbarButton(9); }},
        {"load", 2, [&] { dialog->fileAnswers = {dir.filePath("d.myd")}, Menu("mnuOpenTxt"); }},
        {"database load", 2, [&] { dialog->fileAnswers = {dir.filePath("d.mdb")}, Menu("mnuOpenDatasourceFile"); }},
        {"add point", 1, [&] { Click(0, 0); }},
        {"add line", 4, [&] { Click(-20, 10), MoveTo(40, 20), Click(40, 20); }},
        {"delete line", 5, [&] { Click(-80, -35), ToolbarButton(8); }}};
    for (const auto& [what, tool, change] : changes) {
        form->pntArray.Clear(), form->lineArray.Clear();
        AddPointRecord(1, -100, 60);
        AddPointRecord(2, -60, 60);
        AddLineRecord(1, -120, -50, -40, -20, 65280);
        AddLineRecord(2, 20, -80, 120, -40, 16711680);
        form->lastPntNO = form->lastLineID = 2;
        Tool(tool);
        const QImage beforeImage = canvas().Screen().copy();
        const std::string before = drawing();
        change();
        const std::string after = drawing();
        ASSERT_NE(after, before) << what;
        const float points = std::max(2.0f, form->lastPntNO), lines = std::max(2.0f, form->lastLineID);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(drawing() == before && canvas().Screen() == beforeImage) << what;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Y, Qt::ControlModifier);
        EXPECT_TRUE(drawing() == after && canvas().Screen() == form->RenderDrawing(1)) << what;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_TRUE(drawing() == after && canvas().Screen() == form->RenderDrawing(1)) << what;
        EXPECT_TRUE(form->lastPntNO == points && form->lastLineID == lines) << what;
    }
}

// An undo first ends the gesture under way; the keys work in the pen-width box too.
TEST_F(MainWindowTest, UndoEndsAGestureUnderWayFirstAndWorksFromThePenWidthBox) {
    Tool(4);
    Click(-80, -50);
    MoveTo(60, 70);
    EXPECT_FALSE(form->UndoChange());
    MoveTo(70, 80);
    EXPECT_EQ(Count(QColor(0, 255, 0)), 0);  // no rubber band any more
    auto p = AddPointRecord(5, 10, 10);
    Tool(3);
    Press(10, 10);
    MoveTo(60, -40);
    EXPECT_TRUE(form->UndoChange());
    MoveTo(80, -60);
    Release(80, -60);
    EXPECT_TRUE(p->X == 10 && p->Y == 10 && canvas().Screen() == form->RenderDrawing(1));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Tool(1);
    Click(0, 0);
    form->Combo1->setFocus();
    QTest::keyClicks(form->Combo1, "3");
    QTest::keyClick(form->Combo1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(form->pntArray.Count() == 1 && form->Combo1->currentText() == "3");
    QTest::keyClick(form->Combo1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form->pntArray.Count(), 2);
}
