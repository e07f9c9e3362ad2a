#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <cmath>

#include "query/infowindows.h"
#include "support/mainwindow_fixture.h"

namespace {
const QColor kPointColour(255, 0, 244);
const QColor kPickBlue(0, 0, 244);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kYellow(255, 255, 0);
}  // namespace

class Editing : public MainWindowTest {
protected:
    // A mark that only a full repaint removes.
    void PutSentinel() { canvas().PSet(-150, 90, Rgb(0, 255, 255)); }
    bool SentinelThere() { return PixelAtWorld(-150, 90) == QColor(0, 255, 255); }
};

TEST_F(Editing, AddPointWithAnyButtonNumbersDrawsAndDescribes) {
    QTest::mouseClick(form->Command[0], Qt::LeftButton);
    Click(-50, 20);
    Click(0, 0, Qt::RightButton, Qt::ShiftModifier);
    Click(50, -20, Qt::MiddleButton, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(form->pntArray.Count(), 3);
    const QPointF at[3] = {World(-50, 20), World(0, 0), World(50, -20)};
    for (int i = 0; i < 3; ++i) {
        const CPoint& p = *form->pntArray.Item(i + 1);
        EXPECT_EQ(p.pntNO, float(i + 1));
        EXPECT_EQ(p.X, float(at[i].x()));
        EXPECT_EQ(p.Y, float(at[i].y()));
        EXPECT_EQ(PixelAt(Px(p.X, p.Y)), kPointColour);
    }
    EXPECT_EQ(form->PanelText(2), "当前添加的点信息：");
    EXPECT_EQ(form->PanelText(3), "点的ID号：3");
    EXPECT_EQ(form->PanelText(4), QString::fromStdString("坐标：X=" + N(float(at[2].x())) + "   Y=" + N(float(at[2].y()))));
    EXPECT_EQ(CountInImage(kPointColour), 3);
}

TEST_F(Editing, AddLineGoesToTheLastRubberBandPositionAndLeavesNoBand) {
    form->lastLineID = 2;
    QTest::mouseClick(form->Command[3], Qt::LeftButton);
    Click(-60, -30);
    MoveTo(-20, 10);
    EXPECT_TRUE(NearWorld(-40, -10, kGreen));
    MoveTo(40, 30);  // B
    EXPECT_FALSE(NearWorld(-40, -10, kGreen));  // the earlier band is gone
    EXPECT_EQ(PixelAtWorld(-10, 0), kGreen);
    Click(40, -60);  // C, without moving there first
    ASSERT_EQ(form->lineArray.Count(), 1);
    const CLine& l = *form->lineArray.Item(1);
    EXPECT_EQ(l.ID, 3.0f);
    EXPECT_EQ(form->lastLineID, 3.0f);
    EXPECT_EQ(l.sp.X, float(World(-60, -30).x()));
    EXPECT_EQ(l.ep.X, float(World(40, 30).x()));
    EXPECT_EQ(l.ep.Y, float(World(40, 30).y()));
    EXPECT_EQ(l.color, 65535.0f);
    EXPECT_EQ(CountInImage(kGreen), 0);
    EXPECT_EQ(PixelAtWorld(-10, 0), kYellow);
    EXPECT_EQ(PixelAtWorld(40, -50), Background());
    EXPECT_EQ(form->lineClickCount, 0);

    // Two clicks at one place: a line without length there.
    Click(70, 70);
    Click(70, 70);
    ASSERT_EQ(form->lineArray.Count(), 2);
    const CLine& dot = *form->lineArray.Item(2);
    EXPECT_EQ(dot.sp.X, dot.ep.X);
    EXPECT_EQ(dot.sp.Y, dot.ep.Y);
    EXPECT_EQ(PixelAtWorld(70, 70), kYellow);
}

TEST_F(Editing, PickPointHighlightsTheFirstAndAMissStillLetsDeleteIt) {
    AddPointRecord(1, 10, 10);
    AddPointRecord(2, 10.6f, 10);
    AddPointRecord(3, -30, 0);
    form->Refresh();
    QTest::mouseClick(form->Command[1], Qt::LeftButton);
    Click(10.3, 10);
    ASSERT_EQ(form->pickedPoint, form->pntArray.Item(1));
    EXPECT_EQ(form->PanelText(2), "被选中点的信息：");
    EXPECT_EQ(form->PanelText(3), "点的ID号：1");
    EXPECT_EQ(form->PanelText(4), "坐标：X=10   Y=10");
    EXPECT_EQ(PixelAt(Px(9, 11)), kPickBlue);   // corner of the square
    EXPECT_EQ(PixelAt(Px(11, 9)), kPickBlue);

    Click(60, 60);  // a miss: the square goes, the pick stays
    EXPECT_EQ(PixelAt(Px(9, 11)), Background());
    EXPECT_EQ(form->PanelText(2), "没有点被选中");
    EXPECT_EQ(form->PanelText(3), "  ");
    EXPECT_EQ(form->PanelText(4), "  ");

    form->MenuItem("mnuDelePoint")->trigger();
    ASSERT_EQ(form->pntArray.Count(), 2);
    EXPECT_EQ(form->pntArray.Item(1)->pntNO, 2.0f);
    EXPECT_EQ(form->pntArray.Item(2)->pntNO, 3.0f);
    EXPECT_EQ(PixelAtWorld(10.6, 10), kPointColour);
    EXPECT_TRUE(messages->shown.isEmpty());
    EXPECT_EQ(form->pickedPoint->pntNO, 1.0f);
    form->MenuItem("mnuDelePoint")->trigger();  // nothing left to delete
    EXPECT_EQ(form->pntArray.Count(), 2);
    EXPECT_TRUE(messages->shown.isEmpty());
}

TEST_F(Editing, DeleteCommandsNeedTheirPickTool) {
    auto p = AddPointRecord(1, 0, 0);
    AddLineRecord(1, -20, 20, 20, 20, 255);
    form->Refresh();
    QToolButton* deleteLine = form->findChild<QToolButton*>("Toolbar1Button8");
    QToolButton* deletePoint = form->findChild<QToolButton*>("Toolbar1Button9");
    QTest::mouseClick(deletePoint, Qt::LeftButton);
    QTest::mouseClick(deleteLine, Qt::LeftButton);
    EXPECT_EQ(messages->shown,
              (QStringList{"请先拾取要删除的点，然后再能删除", "请先拾取要删除的线，然后再能删除"}));

    // Picked under the tool, but the tool is off again: still refused.
    QTest::mouseClick(form->Command[1], Qt::LeftButton);
    Click(0, 0);
    ASSERT_EQ(form->pickedPoint, p);
    QTest::mouseClick(form->Command[1], Qt::LeftButton);
    form->MenuItem("mnuDelePoint")->trigger();
    EXPECT_EQ(messages->shown.size(), 3);
    EXPECT_EQ(form->pntArray.Count(), 1);

    // The move-line tool picks lines but does not allow deleting them.
    QTest::mouseClick(form->Command[5], Qt::LeftButton);
    Click(0, 20);
    Release(0, 20);
    form->MenuItem("mnuDeleLine")->trigger();
    EXPECT_EQ(messages->shown.last(), "请先拾取要删除的线，然后再能删除");
    QTest::mouseClick(form->Command[4], Qt::LeftButton);
    Click(5, 20);
    QTest::mouseClick(deleteLine, Qt::LeftButton);
    EXPECT_EQ(form->lineArray.Count(), 0);
    EXPECT_EQ(PixelAtWorld(0, 20), Background());
    EXPECT_EQ(PixelAtWorld(0, 0), kPointColour);  // deleting a line leaves the points
    EXPECT_EQ(form->lastLineID, 0.0f);
}

TEST_F(Editing, PointDragMovesTheSquareLiveAndCommitsTheLastPosition) {
    auto p = AddPointRecord(4, 0, 0);
    form->Refresh();
    QTest::mouseClick(form->Command[2], Qt::LeftButton);
    Press(0, 0);
    PutSentinel();
    MoveTo(20, 10);
    MoveTo(30, 15);
    EXPECT_EQ(p->X, float(World(30, 15).x()));
    EXPECT_EQ(PixelAt(Px(p->X - 1, p->Y + 1)), kPickBlue);
    EXPECT_EQ(PixelAt(Px(World(20, 10).x() - 1, World(20, 10).y() + 1)), Background());  // old square erased
    EXPECT_EQ(PixelAtWorld(0, 0), kPointColour);  // the starting dot stays until a repaint
    Release(50, 50);
    EXPECT_EQ(p->X, float(World(30, 15).x()));
    EXPECT_EQ(p->Y, float(World(30, 15).y()));
    EXPECT_EQ(PixelAt(Px(p->X, p->Y)), kBlue);
    EXPECT_TRUE(SentinelThere());  // no full repaint during the drag
    EXPECT_FALSE(form->pntDragging);
    form->Refresh();
    EXPECT_EQ(PixelAt(Px(p->X, p->Y)), kPointColour);
    EXPECT_EQ(PixelAtWorld(0, 0), Background());
}

TEST_F(Editing, MoveLineKeepsDirectionAndLengthAndLeavesNoTrace) {
    auto l = AddLineRecord(1, -30, -20, 30, 20, 65535);
    form->Refresh();
    QTest::mouseClick(form->Command[5], Qt::LeftButton);
    Press(0, 0);
    EXPECT_TRUE(l->IsSelect);
    PutSentinel();
    for (int i = 1; i <= 5; ++i) MoveTo(2.0 * i, -1.0 * i);
    EXPECT_EQ(PixelAt(Px(l->ep.X - 1, l->ep.Y - 1)), kBlue);  // blue squares while moving
    EXPECT_TRUE(SentinelThere());
    Release(10, -5);
    const QPointF d = World(10, -5) - World(0, 0);
    EXPECT_NEAR(l->sp.X, -30 + d.x(), 1e-4);
    EXPECT_NEAR(l->sp.Y, -20 + d.y(), 1e-4);
    EXPECT_NEAR(l->ep.X, 30 + d.x(), 1e-4);
    EXPECT_NEAR(l->ep.Y, 20 + d.y(), 1e-4);
    EXPECT_NEAR(l->ep.X - l->sp.X, 60, 1e-4);
    EXPECT_NEAR(l->ep.Y - l->sp.Y, 40, 1e-4);
    EXPECT_FALSE(l->IsSelect);
    EXPECT_EQ(form->pickedLine, l);
    EXPECT_EQ(PixelAt(Px(l->ep.X - 1, l->ep.Y - 1)), kRed);  // red after release
    EXPECT_EQ(PixelAt(Px(l->sp.X + 1, l->sp.Y + 1)), kRed);
    EXPECT_EQ(PixelAtWorld(-15, -10), Background());  // the old position is clean
    EXPECT_EQ(PixelAt(Px((l->sp.X + l->ep.X) / 2, (l->sp.Y + l->ep.Y) / 2)), kYellow);
}

TEST_F(Editing, NodeToolHoverDragAndCommit) {
    auto l = AddLineRecord(1, -40, 0, 40, 0, 255);
    form->Refresh();
    QTest::mouseClick(form->Command[6], Qt::LeftButton);
    Click(0, 0.3);
    EXPECT_TRUE(form->nodeLineChosen);
    EXPECT_EQ(PixelAt(Px(39, 1)), kRed);
    EXPECT_EQ(PixelAt(Px(-41, -1)), kRed);

    MoveTo(40.3, 0.3);
    EXPECT_EQ(canvas().cursor().shape(), Qt::SizeAllCursor);
    MoveTo(20, 0);
    EXPECT_EQ(canvas().cursor().shape(), Qt::ArrowCursor);

    Press(40, 0);
    EXPECT_EQ(form->pickedNode, 2);
    MoveTo(30, 30);
    MoveTo(20, 40);
    EXPECT_EQ(l->ep.X, float(World(20, 40).x()));
    EXPECT_EQ(l->sp.X, -40.0f);
    EXPECT_EQ(PixelAt(Px(-41, -1)), kRed);  // the fixed node's square is redrawn
    Release(10, 50);
    EXPECT_EQ(l->ep.X, float(World(10, 50).x()));
    EXPECT_EQ(l->ep.Y, float(World(10, 50).y()));
    EXPECT_EQ(form->pickedNode, 0);
    EXPECT_EQ(canvas().cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(PixelAt(Px(l->ep.X + 1, l->ep.Y + 1)), kRed);
    EXPECT_TRUE(NearWorld(-15, 25, kRed));  // the line between its new nodes

    // Still chosen: a press at the start node grabs it right away.
    Press(-40, 0);
    EXPECT_EQ(form->pickedNode, 1);
    Release(-45, -5);
    EXPECT_EQ(l->sp.X, float(World(-45, -5).x()));
}

TEST_F(Editing, InformationWindowsShowThePickAndHideAtTheNextPress) {
    AddPointRecord(3, 10, -5);
    AddLineRecord(2, -60, 40, 60, 40, 65535);
    form->Refresh();
    form->MenuItem("mnuShapeToAttrib")->trigger();
    QTest::mouseClick(form->Command[1], Qt::LeftButton);
    Click(10.2, -5);
    frmPntInfo* info = form->PntInfo();
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->isVisible());
    EXPECT_EQ(info->windowTitle(), "点信息");
    EXPECT_EQ(info->parentWidget(), form.get());
    EXPECT_FALSE(info->isModal());
    const char* values[4] = {"3", "10", "-5", "15990784"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(info->Text1(i)->text(), values[i]);
    EXPECT_EQ(info->findChild<QLineEdit*>("Text1(3)"), info->Text1(3));

    // The values were copied: moving the point does not change them.
    form->pntArray.Item(1)->X = 99;
    Click(80, -80);  // a miss hides it
    EXPECT_FALSE(info->isVisible());
    EXPECT_EQ(info->Text1(1)->text(), "10");

    QTest::mouseClick(form->Command[4], Qt::LeftButton);
    Click(0, 40.2);
    frmLineInfo* lineInfo = form->LineInfo();
    ASSERT_TRUE(lineInfo);
    EXPECT_TRUE(lineInfo->isVisible());
    EXPECT_EQ(lineInfo->windowTitle(), "线信息");
    const char* lineValues[6] = {"2", "-60", "40", "60", "40", "65535"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(lineInfo->Text1(i)->text(), lineValues[i]);
    EXPECT_EQ(lineInfo->Label2->palette().color(QPalette::Window), kYellow);
    EXPECT_EQ(lineInfo->Label2->grab().toImage().pixelColor(5, 5), kYellow);

    // Another tool's press hides it and shows nothing.
    QTest::mouseClick(form->Command[0], Qt::LeftButton);
    Click(0, 40);
    EXPECT_FALSE(lineInfo->isVisible());
    EXPECT_FALSE(info->isVisible());

    // Closing it with its close box destroys it; the next pick makes a new one.
    QTest::mouseClick(form->Command[4], Qt::LeftButton);
    Click(0, 40.2);
    ASSERT_TRUE(form->LineInfo());
    form->LineInfo()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->LineInfo(), nullptr);
    Click(0, 40.2);
    ASSERT_TRUE(form->LineInfo());
    EXPECT_EQ(form->LineInfo()->Text1(0)->text(), "2");
}

TEST(InformationWindowPlace, RightOfTheMainWindowElseLeftAndAlwaysOnTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QSize size(290, 270);
    struct Case {
        QRect owner;
        QPoint at;
        const char* what;
    };
    for (const Case& k : {Case{{0, 0, 940, 650}, {940, 0}, "fits on the right"},
                          Case{{40, 30, 940, 650}, {980, 30}, "fits on the right, level with the top"},
                          Case{{400, 100, 940, 650}, {110, 100}, "fits on the left only"},
                          Case{{100, 0, 940, 650}, {990, 0}, "fits nowhere: the side with more room"},
                          Case{{250, 0, 940, 650}, {0, 0}, "fits nowhere, more room on the left"},
                          Case{{990, 600, 940, 650}, {700, 530}, "kept above the screen's bottom"},
                          Case{{-500, -40, 940, 650}, {440, 0}, "kept below the screen's top"}})
        EXPECT_EQ(PlaceBeside(k.owner, size, screen), k.at) << k.what;
}

TEST_F(Editing, InformationWindowsOpenBesideTheMainWindow) {
    AddPointRecord(1, 10, 10);
    AddLineRecord(1, -60, 40, 60, 40, 65535);
    form->move(400, 30);  // room on the left only, on this screen
    QTest::qWait(20);
    form->MenuItem("mnuShapeToAttrib")->trigger();
    QTest::mouseClick(form->Command[1], Qt::LeftButton);
    Click(10, 10);
    QTest::mouseClick(form->Command[4], Qt::LeftButton);
    Click(0, 40);
    const QRect main = form->frameGeometry();
    for (QWidget* info : {static_cast<QWidget*>(form->PntInfo()), static_cast<QWidget*>(form->LineInfo())}) {
        ASSERT_TRUE(info);
        const QRect r = info->frameGeometry();
        EXPECT_EQ(r.topLeft(), PlaceBeside(main, r.size(), form->screen()->availableGeometry()));
        EXPECT_FALSE(r.intersects(main)) << r.x() << "," << r.y();
        EXPECT_EQ(r.top(), main.top());
    }
}

TEST_F(Editing, InformationWindowLayouts) {
    frmPntInfo point(form.get());
    EXPECT_EQ(point.size(), QSize(288, 266));
    EXPECT_EQ(point.minimumSize(), point.maximumSize());  // fixed border
    EXPECT_FALSE(point.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(point.Label1(0)->text(), "点号：");
    EXPECT_EQ(point.Label1(3)->text(), "颜色：");
    EXPECT_EQ(point.Label1(1)->geometry(), QRect(40, 72, 49, 41));
    EXPECT_EQ(point.Text1(2)->geometry(), QRect(120, 136, 161, 41));
    EXPECT_EQ(point.font().pointSizeF(), 18.0);
    EXPECT_EQ(point.Text1(0)->font().pointSizeF(), 18.0);

    frmLineInfo line(form.get());
    EXPECT_EQ(line.size(), QSize(310, 414));
    EXPECT_EQ(line.Label1(0)->text(), "点号：");
    EXPECT_EQ(line.Label1(4)->text(), "X2：");
    EXPECT_EQ(line.Label1(5)->text(), "Y2：");
    EXPECT_EQ(line.Label1(3)->text(), "颜色：");
    EXPECT_EQ(line.Label1(3)->geometry(), QRect(16, 352, 97, 41));
    EXPECT_EQ(line.Text1(3)->geometry(), QRect(128, 216, 161, 41));
    EXPECT_EQ(line.Text1(5)->geometry(), QRect(128, 352, 105, 41));
    EXPECT_EQ(line.Label2->geometry(), QRect(240, 352, 49, 41));
    EXPECT_EQ(line.Label2->text(), "");
    // Tab order runs through the value boxes by index.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(NextTabStop(line.Text1(i)), line.Text1(i + 1)) << i;
}

TEST_F(Editing, ClosingTheMainWindowClosesTheInformationWindows) {
    AddPointRecord(1, 0, 0);
    form->MenuItem("mnuShapeToAttrib")->trigger();
    QTest::mouseClick(form->Command[1], Qt::LeftButton);
    Click(0, 0);
    ASSERT_TRUE(form->PntInfo() && form->PntInfo()->isVisible());
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->PntInfo(), nullptr);
}

// A one-pixel line covers the same pixels whichever way it is drawn, so the
// tools that draw a line one way and erase it the other leave nothing behind.
class OnePixelLines : public Editing {
protected:
    QSet<QPoint> Pixels(const QColor& c) {
        QSet<QPoint> found;
        const QImage& img = canvas().Screen();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y) == c) found.insert({x, y});
        return found;
    }
    QPointF At(QPoint pixel) { return canvas().WorldAtPixel(pixel); }
    void MouseAt(QPoint pixel, int what) {
        if (what == 0) QTest::mousePress(&canvas(), Qt::LeftButton, {}, pixel);
        if (what == 1) QTest::mouseMove(&canvas(), pixel);
        if (what == 2) QTest::mouseRelease(&canvas(), Qt::LeftButton, {}, pixel);
    }
    // Every pixel shown in the line's colour belongs to the line as a repaint draws it now.
    void ExpectOnlyTheLineAsRepainted(const QSet<QPoint>& shown, const char* when) {
        form->Refresh();
        const QSet<QPoint> repainted = Pixels(kYellow);
        ASSERT_FALSE(repainted.isEmpty()) << when;
        int strays = 0;
        for (const QPoint& p : shown) strays += !repainted.contains(p);
        EXPECT_EQ(strays, 0) << when;
    }
};

TEST_F(OnePixelLines, MoveLineNodeDragAndPickLeaveNoStrayPixels) {
    // 100 x 50 pixels, drawn from sp to ep by the repaint.
    const QPoint sp(300, 300), ep(400, 250);
    auto l = AddLineRecord(1, At(sp).x(), At(sp).y(), At(ep).x(), At(ep).y(), 65535);
    form->Refresh();
    const QSet<QPoint> line = Pixels(kYellow);
    EXPECT_EQ(line.size(), 101);

    // The move-line press marks the line, drawn from ep to sp.
    QTest::mouseClick(form->Command[5], Qt::LeftButton);
    MouseAt({350, 275}, 0);
    ASSERT_TRUE(l->IsSelect);
    QSet<QPoint> shown = Pixels(kYellow);
    EXPECT_TRUE(line.contains(shown)) << shown.size() << " pixels shown for the picked line";

    // Each movement erases the line at its old place.
    for (int i = 1; i <= 4; ++i) MouseAt({350 + 7 * i, 275 + 3 * i}, 1);
    shown = Pixels(kYellow);
    int trail = 0;
    for (const QPoint& p : line) trail += shown.contains(p) && !line.contains(p + QPoint(28, 12));
    EXPECT_EQ(trail, 0) << "pixels of the old line left during the drag";
    MouseAt({350 + 28, 275 + 12}, 2);
    ExpectOnlyTheLineAsRepainted(shown, "move-line drag");

    // The node tool erases from the fixed node, the repaint drew from sp.
    QTest::mouseClick(form->Command[6], Qt::LeftButton);
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, canvas().WidgetPixelOf((l->sp.X + l->ep.X) / 2, (l->sp.Y + l->ep.Y) / 2));
    ASSERT_TRUE(form->nodeLineChosen);
    MouseAt(canvas().WidgetPixelOf(l->ep.X, l->ep.Y), 0);
    ASSERT_EQ(form->pickedNode, 2);
    const QPoint grabbed = canvas().WidgetPixelOf(l->ep.X, l->ep.Y);
    for (int i = 1; i <= 4; ++i) MouseAt(grabbed + QPoint(5 * i, 9 * i), 1);
    shown = Pixels(kYellow);
    MouseAt(grabbed + QPoint(20, 36), 2);
    ExpectOnlyTheLineAsRepainted(shown, "node drag");
}
