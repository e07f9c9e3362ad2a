// The mouse tools in the real window: pixels, status texts, "图形到属性" windows, deleting.
#include <QApplication>
#include <QLineEdit>
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
    void PutSentinel() { canvas().PSet(-150, 90, Rgb(0, 255, 255)); }  // a mark only a full repaint removes
    QString Panels() { return form->PanelText(2) + '|' + form->PanelText(3) + '|' + form->PanelText(4); }
    QString Shown(InfoWindow* info) {  // the title and values of a visible information window
        QStringList s{info && info->isVisible() ? info->windowTitle() : "none"};
        for (auto* box : s[0] == "none" ? QList<QLineEdit*>() : info->findChildren<QLineEdit*>()) s << box->text();
        return s.join(' ');
    }
    QSet<QPoint> Yellow() {
        QSet<QPoint> found;
        for (int y = 0; y < canvas().Screen().height(); ++y)
            for (int x = 0; x < canvas().Screen().width(); ++x)
                if (PixelAt({x, y}) == kYellow) found.insert({x, y});
        return found;
    }
    // The line's pixels shown during a drag lie on the line a repaint draws at its end: no trail.
    bool NoTrail(const QSet<QPoint>& shown) { return form->Refresh(), Yellow().contains(shown); }
};

// Any button adds a point; the pointer, also between pixels (a ratio of 2),
// means the centre of the area's pixel that holds it.
TEST_F(Editing, PointsAreAddedWithAnyButtonPickedDeletedAndDragged) {
    Tool(1);
    const QPointF between = QPointF(MousePx(-50, 20)) + QPointF(0.75, 0.25);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, between, canvas().mapToGlobal(between), Qt::RightButton,
                      type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, Qt::ShiftModifier);
        QApplication::sendEvent(&canvas(), &e);
    }
    Click(-49.4, 20);
    EXPECT_TRUE(form->pntArray.Item(1)->X == float(World(-50, 20).x()) && form->pntArray.Item(1)->Y == float(World(-50, 20).y()));
    const QPointF at = World(-49.4, 20);
    EXPECT_EQ(Panels(), "当前添加的点信息：|点的ID号：2|" + QString::fromStdString(CoordinateText(at.x(), at.y())));
    ASSERT_EQ(Count(kPointColour), 2);
    Menu("mnuShapeToAttrib");
    Tool(2);
    Click(-49.7, 20);  // both within reach: the first is picked
    const CPoint first = *form->pntArray.Item(1);
    EXPECT_EQ(Panels(), "被选中点的信息：|点的ID号：1|" + QString::fromStdString(CoordinateText(first.X, first.Y)));
    EXPECT_EQ(Shown(form->PntInfo()), QString::fromStdString("点信息 1 " + N(first.X) + " " + N(first.Y) + " 15990784"));
    EXPECT_TRUE(PixelAt(Px(first.X - 1, first.Y + 1)) == kPickBlue && PixelAt(Px(first.X + 1, first.Y - 1)) == kPickBlue);
    Click(60, 60);  // a miss: the square and the window go, the pick stays
    EXPECT_TRUE(Panels() == "没有点被选中|  |  " && Count(kPickBlue) == 0 && Shown(form->PntInfo()) == "none");
    ToolbarButton(9);
    ToolbarButton(9);  // the second finds nothing left to delete
    ASSERT_EQ(form->pntArray.Count(), 1);
    EXPECT_TRUE(form->pntArray.Item(1)->pntNO == 2 && Count(kPointColour) == 1 && messages->shown.isEmpty());

    auto p = form->pntArray.Item(1);
    Tool(3);
    Press(p->X, p->Y);
    PutSentinel();
    RepaintWatch watch(canvas());
    MoveTo(20, 10);
    MoveTo(30, 15);
    EXPECT_TRUE(PixelAt(Px(p->X - 1, p->Y + 1)) == kPickBlue &&
                Count(kPickBlue) == Count(kPickBlue, QRect(Px(p->X - 1, p->Y + 1), Px(p->X + 1, p->Y - 1))));
    EXPECT_EQ(PixelAt(Px(at.x(), at.y())), kPointColour);  // the starting dot stays until a repaint
    Release(50, 50);
    EXPECT_TRUE(p->X == float(World(30, 15).x()) && p->Y == float(World(30, 15).y()));
    EXPECT_TRUE(PixelAt(Px(p->X, p->Y)) == kBlue && Count(kCyan) == 1 && watch.Unshown() == 0);
    EXPECT_EQ(Shown(form->PntInfo()), QString::fromStdString("点信息 2 " + N(at.x()) + " " + N(at.y()) + " 15990784"));
    form->Refresh();
    EXPECT_TRUE(PixelAt(Px(p->X, p->Y)) == kPointColour && Count(kPointColour) == 1);
    Menu("mnuDelePoint");  // the pick tool is off
    EXPECT_EQ(messages->shown, QStringList{"请先拾取要删除的点，然后再能删除"});
}

// A one-pixel line has the same pixels drawn either way: drawn one way and erased the other, no trail.
TEST_F(Editing, LinesAreAddedWithARubberBandMovedAndTheirNodesDraggedWithoutTrail) {
    Tool(4);
    Click(-60, -30);
    RepaintWatch watch(canvas());
    MoveTo(-20, 10);
    MoveTo(40, 30);  // B
    EXPECT_EQ(Count(kGreen), Count(kGreen, QRect(Px(-60, 30), Px(40, -30))));  // the earlier band is gone
    EXPECT_TRUE(PixelAtWorld(-10, 0) == kGreen && watch.Unshown() == 0);
    Click(40, -60);  // C, without moving there first: the line ends at B
    auto l = form->lineArray.Item(1);
    EXPECT_TRUE(l->ep.X == float(World(40, 30).x()) && l->ep.Y == float(World(40, 30).y()));
    EXPECT_TRUE(Count(kGreen) == 0 && PixelAtWorld(-10, 0) == kYellow && PixelAtWorld(40, -50) == Background());

    const QPointF sp = canvas().WorldAtPixel({300, 300}), ep = canvas().WorldAtPixel({400, 250});
    form->lineArray.Clear();
    l = AddLineRecord(7, sp.x(), sp.y(), ep.x(), ep.y(), 65535);
    form->move(400, 30);  // room for an information window on the left only, on this screen
    Menu("mnuShapeToAttrib");
    Tool(6);  // refreshes: 100 x 50 pixels
    const QSet<QPoint> line = Yellow();
    EXPECT_EQ(line.size(), 101);
    QTest::mousePress(&canvas(), Qt::LeftButton, {}, {350, 275});
    EXPECT_TRUE(line.contains(Yellow()));  // the picked line, drawn from ep to sp
    frmLineInfo* info = form->LineInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(Shown(info), QString::fromStdString("线信息 7 " + N(l->sp.X) + " " + N(l->sp.Y) + " " + N(l->ep.X) + " " + N(l->ep.Y) + " 65535"));
    const QRect main = form->frameGeometry(), r = info->frameGeometry();
    EXPECT_TRUE(r.topLeft() == PlaceBeside(main, r.size(), form->screen()->availableGeometry()) && r.right() < main.left());
    EXPECT_EQ(info->grab().toImage().pixelColor(info->Label2->geometry().center()), kYellow);  // the line's colour
    PutSentinel();
    for (int i = 1; i <= 4; ++i) QTest::mouseMove(&canvas(), {350 + 7 * i, 275 + 3 * i});
    EXPECT_TRUE(PixelAt(Px(l->ep.X - 1, l->ep.Y - 1)) == kBlue && PixelAt(Px(l->sp.X + 1, l->sp.Y + 1)) == kBlue &&
                Count(kCyan) == 1);
    QSet<QPoint> shown = Yellow();
    QTest::mouseRelease(&canvas(), Qt::LeftButton, {}, {378, 287});
    const QPointF d = canvas().WorldAtPixel({378, 287}) - canvas().WorldAtPixel({350, 275});
    EXPECT_NEAR(l->sp.X, sp.x() + d.x(), 1e-4);
    EXPECT_NEAR(l->ep.Y, ep.y() + d.y(), 1e-4);
    EXPECT_TRUE(PixelAt(Px(l->ep.X - 1, l->ep.Y - 1)) == kRed && PixelAt(Px(l->sp.X + 1, l->sp.Y + 1)) == kRed);
    EXPECT_TRUE(NoTrail(shown));
    ToolbarButton(8);  // the move-line tool does not let delete a line
    EXPECT_EQ(messages->shown, QStringList{"请先拾取要删除的线，然后再能删除"});
    Menu("mnuShapeToAttrib");

    Tool(7);
    Click((l->sp.X + l->ep.X) / 2, (l->sp.Y + l->ep.Y) / 2);
    EXPECT_TRUE(PixelAt(Px(l->ep.X - 1, l->ep.Y - 1)) == kRed && PixelAt(Px(l->sp.X + 1, l->sp.Y + 1)) == kRed);
    EXPECT_EQ(Shown(info), "none");
    MoveTo(l->ep.X + 0.3, l->ep.Y);
    EXPECT_EQ(canvas().cursor().shape(), Qt::SizeAllCursor);
    MoveTo(0, 0);
    EXPECT_EQ(canvas().cursor().shape(), Qt::ArrowCursor);
    const QPoint grabbed = MousePx(l->ep.X, l->ep.Y);
    QTest::mousePress(&canvas(), Qt::LeftButton, {}, grabbed);
    for (int i = 1; i <= 4; ++i) QTest::mouseMove(&canvas(), grabbed + QPoint(5 * i, 9 * i));
    EXPECT_EQ(PixelAt(Px(l->sp.X + 1, l->sp.Y + 1)), kRed);  // the fixed node's square is redrawn
    shown = Yellow();
    QTest::mouseRelease(&canvas(), Qt::LeftButton, {}, grabbed + QPoint(20, 36));
    EXPECT_TRUE(NoTrail(shown) && canvas().cursor().shape() == Qt::ArrowCursor);
    Press(l->sp.X, l->sp.Y);  // still chosen: a press at the other node grabs it at once
    MoveTo(-30, 0);
    Release(-45, -5);  // and it takes the release position
    EXPECT_TRUE(l->sp.X == float(World(-45, -5).x()) && l->sp.Y == float(World(-45, -5).y()));
    Tool(5);
    Click((l->sp.X + l->ep.X) / 2, (l->sp.Y + l->ep.Y) / 2);  // the query is off: a pick shows nothing
    EXPECT_TRUE(Shown(info) == "none" && !form->MenuItem("mnuShapeToAttrib")->isChecked());
    Menu("mnuShapeToAttrib");
    Click((l->sp.X + l->ep.X) / 2, (l->sp.Y + l->ep.Y) / 2);
    EXPECT_TRUE(Shown(info).startsWith("线信息 7 ") && form->MenuItem("mnuShapeToAttrib")->isChecked());
    Menu("mnuDeleLine");
    EXPECT_TRUE(form->lineArray.Empty() && Count(kYellow) == 0);
    form->close();  // closes the information window too
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->LineInfo(), nullptr);
}
