#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <cmath>

#include "editing/mousetools.h"
#include "support/mainwindow_fixture.h"

// The drawing area at the screen's own pixels. These tests hold at every
// device pixel ratio; CTest runs them at 1 and, with QT_SCALE_FACTOR=2, at 2.
class HiDpi : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ratio = canvas().Ratio();
        if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2") {
            ASSERT_EQ(ratio, 2.0);
        }
    }
    void PenWidth(int width) {
        form->Combo1->setCurrentIndex(width - 1);
        form->Combo1_Click();
    }
    // Runs of the colour along one row of the screen.
    std::vector<int> RunsInRow(int y, const QColor& c) {
        std::vector<int> runs;
        int run = 0;
        for (int x = 0; x <= canvas().Screen().width(); ++x) {
            if (x < canvas().Screen().width() && PixelAt({x, y}) == c) ++run;
            else if (run > 0) runs.push_back(std::exchange(run, 0));
        }
        return runs;
    }
    std::vector<int> RunsInColumn(int x, const QColor& c) {
        std::vector<int> runs;
        int run = 0;
        for (int y = 0; y <= canvas().Screen().height(); ++y) {
            if (y < canvas().Screen().height() && PixelAt({x, y}) == c) ++run;
            else if (run > 0) runs.push_back(std::exchange(run, 0));
        }
        return runs;
    }
    qreal ratio = 1;
};

TEST_F(HiDpi, TheScreenHasTheDevicePixelsAndTheViewStaysInWorldUnits) {
    EXPECT_EQ(canvas().size(), QSize(938, 577));
    EXPECT_EQ(canvas().Screen().size(), QSize(int(std::ceil(938 * ratio)), int(std::ceil(577 * ratio))));
    EXPECT_DOUBLE_EQ(form->viewRight, 100.0 * 938 / 577);
    EXPECT_EQ(form->viewTop, 100);
    // The origin lies at the centre of the area in its own pixels and in the screen's.
    EXPECT_EQ(canvas().WidgetPixelOf(0, 0), QPoint(469, 288));
    EXPECT_EQ(Px(0, 0), QPoint(int(469 * ratio), int(288.5 * ratio)));
    ASSERT_TRUE(form->NarrowView());
    EXPECT_EQ(form->viewTop, 90);
    EXPECT_EQ(canvas().WidgetPixelOf(0, 0), QPoint(469, 288));
}

TEST_F(HiDpi, OnePixelLinesAreOneDevicePixelWiderPensScaleWithTheRatio) {
    AddLineRecord(1, -60, 30, 60, 30, 65535);   // flat
    AddLineRecord(2, -100, -80, -100, 80, 255);  // upright
    AddPointRecord(1, 80, -50);
    form->Refresh();
    const QColor yellow(255, 255, 0), red(255, 0, 0), dot(255, 0, 244);
    EXPECT_EQ(RunsInColumn(Px(0, 30).x(), yellow), std::vector<int>{1});
    EXPECT_EQ(RunsInRow(Px(-100, 0).y(), red), std::vector<int>{1});
    EXPECT_EQ(RunsInRow(Px(80, -50).y(), dot), std::vector<int>{1});

    PenWidth(3);
    const int wide = int(std::lround(3 * ratio));
    EXPECT_EQ(canvas().DevicePenWidth(), wide);
    EXPECT_EQ(RunsInColumn(Px(0, 30).x(), yellow), std::vector<int>{wide});
    EXPECT_EQ(RunsInRow(Px(-100, 0).y(), red), std::vector<int>{wide});
    EXPECT_EQ(RunsInRow(Px(80, -50).y(), dot), std::vector<int>{wide});  // a disc as wide as the pen
    EXPECT_EQ(RunsInColumn(Px(80, -50).x(), dot), std::vector<int>{wide});
}

TEST_F(HiDpi, APickAtAPointsPixelPicksItAndTheStatusShowsTheSameCoordinates) {
    QTest::mouseClick(form->Command[0], Qt::LeftButton);  // add points
    const QPoint at(300, 200);
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, at);
    ASSERT_EQ(form->pntArray.Count(), 1);
    const CPoint& p = *form->pntArray.Item(1);
    // The world position of the mouse's pixel centre, as at a ratio of 1.
    const double unitsPerPixel = (form->viewRight - form->viewLeft) / 938.0;
    EXPECT_EQ(p.X, float(form->viewLeft + 300.5 * unitsPerPixel));
    EXPECT_EQ(p.Y, float(100 - 200.5 * 200.0 / 577));
    EXPECT_EQ(form->PanelText(4), QString::fromStdString(CoordinateText(p.X, p.Y)));
    // Its dot is drawn where the mouse was, within half a logical pixel.
    const QPointF shown = QPointF(Px(p.X, p.Y)) / ratio;
    EXPECT_LE(std::abs(shown.x() - (at.x() + 0.5)), 0.5);
    EXPECT_LE(std::abs(shown.y() - (at.y() + 0.5)), 0.5);

    // A pick at the dot's pixel picks the point.
    QTest::mouseClick(form->Command[1], Qt::LeftButton);
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, MousePx(p.X, p.Y));
    EXPECT_EQ(form->pickedPoint, form->pntArray.Item(1));
    EXPECT_EQ(form->PanelText(2), "被选中点的信息：");
    // The pick's square, 1 world unit around the point, at the screen's pixels.
    EXPECT_EQ(PixelAt(Px(p.X - 1, p.Y + 1)), QColor(0, 0, 244));
}

// The pointer may stand on half pixels (a device pixel at a ratio of 2): it
// means the area's pixel that contains it, whose centre lies within half a
// pixel.
TEST_F(HiDpi, PointerPositionsBetweenPixelsMapIntoThePixelTheyLieIn) {
    QTest::mouseClick(form->Command[0], Qt::LeftButton);  // add points
    for (const QPointF at : {QPointF(200.5, 150.5), QPointF(200.0, 150.0), QPointF(200.75, 150.25)}) {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, canvas().mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(&canvas(), &event);
        }
        const CPoint& p = *form->pntArray.Item(form->pntArray.Count());
        const QPointF pixel = canvas().WorldToPixel(p.X, p.Y);
        EXPECT_NEAR(pixel.x(), 200.5, 1e-3) << at.x();
        EXPECT_NEAR(pixel.y(), 150.5, 1e-3) << at.y();
    }
}

// A window moved to a screen of another ratio paints its drawing anew at
// that screen's pixels; nothing else changes. Needs the two screens of
// tests/support/two_screens.json (a ratio of 1 and one of 2).
TEST_F(HiDpi, MovingToAScreenOfAnotherRatioPaintsAtItsPixels) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
        GTEST_SKIP() << "needs two screens of different ratios";
    AddLineRecord(1, -60, 30, 60, 30, 65535);
    form->Refresh();
    QScreen* other = screens[0] == form->screen() ? screens[1] : screens[0];
    const qreal before = canvas().Ratio();
    const double left = form->viewLeft;
    form->windowHandle()->setScreen(other);
    form->move(other->geometry().topLeft() + QPoint(20, 20));
    QTRY_COMPARE(canvas().devicePixelRatioF(), other->devicePixelRatio());
    canvas().repaint();
    EXPECT_NE(canvas().Ratio(), before);
    EXPECT_EQ(canvas().Ratio(), other->devicePixelRatio());
    EXPECT_EQ(canvas().Screen().width(), int(std::ceil(938 * canvas().Ratio())));
    EXPECT_EQ(canvas().Screen(), form->RenderDrawing(1));
    EXPECT_EQ(PixelAtWorld(0, 30), QColor(255, 255, 0));
    EXPECT_EQ(form->viewLeft, left);
    EXPECT_EQ(form->lineArray.Count(), 1);
}
