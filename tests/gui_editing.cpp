// The mouse tools in the real window: what they draw on the drawing area and
// show on the window, the status texts, the information windows, deleting.
#include <QScreen>

#include "editing/mousetools.h"
#include "query/infowindows.h"
#include "support/mainwindow_fixture.h"

namespace {
const QColor kPointColour(255, 0, 244), kPickBlue(0, 0, 244), kBlue(0, 0, 255), kRed(255, 0, 0), kGreen(0, 255, 0),
    kYellow(255, 255, 0), kCyan(0, 255, 255);
}  // namespace

class Editing : public MainWindowTest {
protected:
    // A mark that only a full repaint removes.
    void PutSentinel() { canvas().PSet(-150, 90, Rgb(0, 255, 255)); }
    bool SentinelThere() { return PixelAtWorld(-150, 90) == kCyan; }
    QString Panels() { return form->PanelText(2) + '|' + form->PanelText(3) + '|' + form->PanelText(4); }
    QSet<QPoint> Pixels(const QColor& c) {
        QSet<QPoint> found;
        for (int y = 0; y < canvas().Screen().height(); ++y)
            for (int x = 0; x < canvas().Screen().width(); ++x)
                if (PixelAt({x, y}) == c) found.insert({x, y});
        return found;
    }
    // Every pixel of the line shown during a drag lies on the line as a
    // repaint draws it at its end: the drag left no trail.
    bool NoTrail(const QSet<QPoint>& shown) {
        form->Refresh();
        return Pixels(kYellow).contains(shown);
    }
};

TEST_F(Editing, AddPointsWithAnyButtonAndALineWithItsRubberBand) {
    Tool(1);
    Click(-50, 20);
    Click(0, 0, Qt::RightButton, Qt::ShiftModifier);
    Click(50, -20, Qt::MiddleButton, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(form->pntArray.Count(), 3);
    const QPointF at[3] = {World(-50, 20), World(0, 0), World(50, -20)};
    for (int i = 0; i < 3; ++i) {
        const CPoint& p = *form->pntArray.Item(i + 1);
        EXPECT_TRUE(p.pntNO == i + 1 && p.X == float(at[i].x()) && p.Y == float(at[i].y())) << i;
        EXPECT_EQ(PixelAt(Px(p.X, p.Y)), kPointColour);
    }
    EXPECT_EQ(Count(kPointColour), 3);
    EXPECT_EQ(Panels(), "当前添加的点信息：|点的ID号：3|" + QString::fromStdString(CoordinateText(at[2].x(), at[2].y())));

    form->lastLineID = 2;
    Tool(4);
    Click(-60, -30);
    RepaintWatch watch(canvas());
    MoveTo(-20, 10);
    MoveTo(40, 30);  // B
    EXPECT_EQ(PixelAtWorld(-10, 0), kGreen);
    EXPECT_EQ(Count(kGreen), Count(kGreen, QRect(Px(-60, 30), Px(40, -30))));  // the earlier band is gone
    EXPECT_EQ(watch.Unshown(), 0);
    Click(40, -60);  // C, without moving there first: the line ends at B
    ASSERT_EQ(form->lineArray.Count(), 1);
    const CLine& l = *form->lineArray.Item(1);
    EXPECT_TRUE(l.ID == 3 && l.color == 65535 && l.ep.X == float(World(40, 30).x()) && l.ep.Y == float(World(40, 30).y()));
    EXPECT_EQ(Count(kGreen), 0);
    EXPECT_EQ(PixelAtWorld(-10, 0), kYellow);
    EXPECT_EQ(PixelAtWorld(40, -50), Background());
}

TEST_F(Editing, PickPointThenDeleteItAndDeletesWithoutTheirPickTool) {
    AddPointRecord(1, 10, 10);
    AddPointRecord(2, 10.6f, 10);
    AddLineRecord(1, -20, 20, 20, 20, 255);
    form->Refresh();
    Tool(2);
    Click(10.3, 10);  // both within reach: the first is picked
    EXPECT_EQ(Panels(), "被选中点的信息：|点的ID号：1|坐标：X=10   Y=10");
    EXPECT_EQ(PixelAt(Px(9, 11)), kPickBlue);  // corners of its square
    EXPECT_EQ(PixelAt(Px(11, 9)), kPickBlue);
    Click(60, 60);  // a miss: the square goes, the pick stays
    EXPECT_EQ(PixelAt(Px(9, 11)), Background());
    EXPECT_EQ(Panels(), "没有点被选中|  |  ");
    ToolbarButton(9);
    ASSERT_EQ(form->pntArray.Count(), 1);
    EXPECT_EQ(form->pntArray.Item(1)->pntNO, 2.0f);
    EXPECT_EQ(Count(kPointColour), 1);
    ToolbarButton(9);  // nothing left to delete
    EXPECT_EQ(form->pntArray.Count(), 1);
    EXPECT_TRUE(messages->shown.isEmpty());

    Tool(2);  // the tool off again
    Menu("mnuDelePoint");
    Tool(6);  // the move-line tool picks lines but does not let delete them
    Click(0, 20);
    ToolbarButton(8);
    EXPECT_EQ(messages->shown, QStringList({"请先拾取要删除的点，然后再能删除", "请先拾取要删除的线，然后再能删除"}));
    Tool(5);
    Click(5, 20);
    Menu("mnuDeleLine");
    EXPECT_EQ(form->lineArray.Count(), 0);
    EXPECT_EQ(PixelAtWorld(0, 20), Background());
    EXPECT_EQ(Count(kPointColour), 1);
}

TEST_F(Editing, PointDragMovesTheSquareLiveAndCommitsTheLastPosition) {
    auto p = AddPointRecord(4, 0, 0);
    form->Refresh();
    Tool(3);
    Press(0, 0);
    PutSentinel();
    RepaintWatch watch(canvas());
    MoveTo(20, 10);
    MoveTo(30, 15);
    EXPECT_EQ(PixelAt(Px(p->X - 1, p->Y + 1)), kPickBlue);
    EXPECT_EQ(Count(kPickBlue), Count(kPickBlue, QRect(Px(p->X - 1, p->Y + 1), Px(p->X + 1, p->Y - 1))));
    EXPECT_EQ(PixelAtWorld(0, 0), kPointColour);  // the starting dot stays until a repaint
    Release(50, 50);
    EXPECT_TRUE(p->X == float(World(30, 15).x()) && p->Y == float(World(30, 15).y()));
    EXPECT_EQ(PixelAt(Px(p->X, p->Y)), kBlue);
    EXPECT_TRUE(SentinelThere());  // no full repaint during the drag
    EXPECT_EQ(watch.Unshown(), 0);
    form->Refresh();
    EXPECT_EQ(PixelAt(Px(p->X, p->Y)), kPointColour);
    EXPECT_EQ(PixelAtWorld(0, 0), Background());
}

// A one-pixel line covers the same pixels whichever way it is drawn, so the
// tools that draw a line one way and erase it the other leave nothing behind.
TEST_F(Editing, MoveLineKeepsDirectionAndLengthAndLeavesNoTrail) {
    const QPointF sp = canvas().WorldAtPixel({300, 300}), ep = canvas().WorldAtPixel({400, 250});
    auto l = AddLineRecord(1, sp.x(), sp.y(), ep.x(), ep.y(), 65535);  // 100 x 50 pixels
    form->Refresh();
    const QSet<QPoint> line = Pixels(kYellow);
    EXPECT_EQ(line.size(), 101);
    Tool(6);
    QTest::mousePress(&canvas(), Qt::LeftButton, {}, {350, 275});
    EXPECT_TRUE(line.contains(Pixels(kYellow)));  // the picked line, drawn from ep to sp
    PutSentinel();
    RepaintWatch watch(canvas());
    for (int i = 1; i <= 4; ++i) QTest::mouseMove(&canvas(), {350 + 7 * i, 275 + 3 * i});
    EXPECT_EQ(PixelAt(Px(l->ep.X - 1, l->ep.Y - 1)), kBlue);  // blue squares while moving
    EXPECT_EQ(PixelAt(Px(l->sp.X + 1, l->sp.Y + 1)), kBlue);
    EXPECT_TRUE(SentinelThere());
    EXPECT_EQ(watch.Unshown(), 0);
    const QSet<QPoint> moved = Pixels(kYellow);
    QTest::mouseRelease(&canvas(), Qt::LeftButton, {}, {378, 287});
    const QPointF d = canvas().WorldAtPixel({378, 287}) - canvas().WorldAtPixel({350, 275});
    EXPECT_NEAR(l->sp.X, sp.x() + d.x(), 1e-4);
    EXPECT_NEAR(l->sp.Y, sp.y() + d.y(), 1e-4);
    EXPECT_NEAR(l->ep.X - l->sp.X, ep.x() - sp.x(), 1e-4);
    EXPECT_NEAR(l->ep.Y - l->sp.Y, ep.y() - sp.y(), 1e-4);
    EXPECT_EQ(PixelAt(Px(l->ep.X - 1, l->ep.Y - 1)), kRed);  // red after the release
    EXPECT_EQ(PixelAt(Px(l->sp.X + 1, l->sp.Y + 1)), kRed);
    EXPECT_TRUE(NoTrail(moved));
}

TEST_F(Editing, NodeToolShowsWhereANodeCanBeGrabbedAndDragsItWithoutTrail) {
    auto l = AddLineRecord(1, -40, 0, 40, 10, 65535);
    form->Refresh();
    Tool(7);
    Click(0, 5.3);
    EXPECT_EQ(PixelAt(Px(39, 11)), kRed);
    EXPECT_EQ(PixelAt(Px(-41, -1)), kRed);
    MoveTo(40.3, 10.3);
    EXPECT_EQ(canvas().cursor().shape(), Qt::SizeAllCursor);
    MoveTo(20, 0);
    EXPECT_EQ(canvas().cursor().shape(), Qt::ArrowCursor);
    Press(40, 10);
    MoveTo(30, 30);
    MoveTo(20, 40);
    EXPECT_TRUE(l->ep.X == float(World(20, 40).x()) && l->sp.X == -40);
    EXPECT_EQ(PixelAt(Px(-41, -1)), kRed);  // the fixed node's square is redrawn
    const QSet<QPoint> dragged = Pixels(kYellow);
    Release(20, 40);
    EXPECT_EQ(canvas().cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(PixelAt(Px(l->ep.X + 1, l->ep.Y + 1)), kRed);
    EXPECT_TRUE(NoTrail(dragged));
    Press(-40, 0);  // still chosen: a press at the start node grabs it right away
    MoveTo(-30, 0);
    Release(-45, -5);  // and it takes the release position
    EXPECT_TRUE(l->sp.X == float(World(-45, -5).x()) && l->sp.Y == float(World(-45, -5).y()));
}

// With "图形到属性" on, a pick fills an information window beside the main
// window; any next press hides it; closing the main window closes it.
TEST_F(Editing, InformationWindowsShowThePickBesideTheMainWindow) {
    AddPointRecord(3, 10, -5);
    AddLineRecord(2, -60, 40, 60, 40, 65535);
    form->move(400, 30);  // room on the left only, on this screen
    Menu("mnuShapeToAttrib");
    EXPECT_TRUE(form->MenuItem("mnuShapeToAttrib")->isChecked());
    Tool(2);
    Click(10.2, -5);
    frmPntInfo* info = form->PntInfo();
    ASSERT_TRUE(info && info->isVisible() && !info->isModal());
    EXPECT_EQ(info->windowTitle(), "点信息");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(info->Text1(i)->text(), QStringList({"3", "10", "-5", "15990784"})[i]);
    Click(80, -80);  // a miss hides it
    EXPECT_FALSE(info->isVisible());
    Tool(5);
    Click(0, 40.2);
    frmLineInfo* lineInfo = form->LineInfo();
    ASSERT_TRUE(lineInfo && lineInfo->isVisible());
    EXPECT_EQ(lineInfo->windowTitle(), "线信息");
    for (int i = 0; i < 6; ++i) EXPECT_EQ(lineInfo->Text1(i)->text(), QStringList({"2", "-60", "40", "60", "40", "65535"})[i]);
    EXPECT_EQ(lineInfo->Label2->grab().toImage().pixelColor(5, 5), kYellow);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(NextTabStop(lineInfo->Text1(i)), lineInfo->Text1(i + 1));
    const QRect main = form->frameGeometry(), r = lineInfo->frameGeometry();
    EXPECT_EQ(r.topLeft(), PlaceBeside(main, r.size(), form->screen()->availableGeometry()));
    EXPECT_TRUE(!r.intersects(main) && r.top() == main.top());
    Menu("mnuShapeToAttrib");
    EXPECT_FALSE(form->MenuItem("mnuShapeToAttrib")->isChecked());
    Click(0, 40.2);  // the query off: a pick shows nothing
    EXPECT_FALSE(lineInfo->isVisible());
    Menu("mnuShapeToAttrib");
    Click(0, 40.2);
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->LineInfo(), nullptr);
}

TEST(InformationWindowPlace, RightOfTheMainWindowElseLeftAndAlwaysOnTheScreen) {
    const std::tuple<QRect, QPoint, const char*> cases[] = {
        {{0, 0, 940, 650}, {940, 0}, "fits on the right"},
        {{40, 30, 940, 650}, {980, 30}, "fits on the right, level with the top"},
        {{400, 100, 940, 650}, {110, 100}, "fits on the left only"},
        {{100, 0, 940, 650}, {990, 0}, "fits nowhere: the side with more room"},
        {{250, 0, 940, 650}, {0, 0}, "fits nowhere, more room on the left"},
        {{990, 600, 940, 650}, {700, 530}, "kept above the screen's bottom"},
        {{-500, -40, 940, 650}, {440, 0}, "kept below the screen's top"}};
    for (const auto& [owner, at, what] : cases)
        EXPECT_EQ(PlaceBeside(owner, QSize(290, 270), QRect(0, 0, 1280, 800)), at) << what;
}
