// The drawing area at the screen's own pixels. These tests hold at every
// device pixel ratio; CTest runs them at 1 and, with QT_SCALE_FACTOR=2, at 2.
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <cmath>

#include "editing/mousetools.h"
#include "support/mainwindow_fixture.h"

class HiDpi : public MainWindowTest {
protected:
    // Runs of the colour along row y (across) or column x (down) of the screen.
    std::vector<int> Runs(int at, bool across, const QColor& c) {
        std::vector<int> runs{0};
        const QImage& img = canvas().Screen();
        for (int i = 0; i < (across ? img.width() : img.height()); ++i)
            if (PixelAt(across ? QPoint(i, at) : QPoint(at, i)) == c) ++runs.back();
            else if (runs.back() > 0) runs.push_back(0);
        if (runs.back() == 0) runs.pop_back();
        return runs;
    }
};

TEST_F(HiDpi, TheScreenHasTheDevicePixelsAndPensScaleButOnePixelStaysOne) {
    const qreal ratio = canvas().Ratio();
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2") {
        ASSERT_EQ(ratio, 2.0);
    }
    EXPECT_EQ(canvas().size(), QSize(938, 577));
    EXPECT_EQ(canvas().Screen().size(), QSize(int(std::ceil(938 * ratio)), int(std::ceil(577 * ratio))));
    EXPECT_EQ(MousePx(0, 0), QPoint(469, 288));
    EXPECT_EQ(Px(0, 0), QPoint(int(469 * ratio), int(288.5 * ratio)));
    AddLineRecord(1, -60, 30, 60, 30, 65535);
    AddLineRecord(2, -100, -80, -100, 80, 255);
    AddPointRecord(1, 80, -50);
    const QColor yellow(255, 255, 0), red(255, 0, 0), dot(255, 0, 244);
    for (int width : {1, 3}) {
        form->Combo1->setCurrentIndex(width - 1);
        form->Combo1_Click();
        const int wide = width == 1 ? 1 : int(std::lround(width * ratio));
        EXPECT_EQ(Runs(Px(0, 30).x(), false, yellow), std::vector<int>{wide});
        EXPECT_EQ(Runs(Px(-100, 0).y(), true, red), std::vector<int>{wide});
        EXPECT_EQ(Runs(Px(80, -50).y(), true, dot), std::vector<int>{wide});  // a disc as wide as the pen
        EXPECT_EQ(Runs(Px(80, -50).x(), false, dot), std::vector<int>{wide});
    }
}

// A point added at a pixel is drawn at that pixel, shows the coordinates of
// its centre, and a pick there picks it. The pointer may stand on half
// pixels: it means the area's pixel that contains it.
TEST_F(HiDpi, APointAddedAtAPixelIsDrawnThereAndPickedThere) {
    Tool(1);
    for (const QPointF at : {QPointF(300, 200), QPointF(200.5, 150.5), QPointF(200.75, 150.25)}) {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, canvas().mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(&canvas(), &event);
        }
        const CPoint& p = *form->pntArray.Item(form->pntArray.Count());
        const QPointF pixel = canvas().WorldToPixel(p.X, p.Y);
        EXPECT_NEAR(pixel.x(), std::floor(at.x()) + 0.5, 1e-3);
        EXPECT_NEAR(pixel.y(), std::floor(at.y()) + 0.5, 1e-3);
        EXPECT_EQ(form->PanelText(4), QString::fromStdString(CoordinateText(p.X, p.Y)));
        const QPointF shown = (QPointF(Px(p.X, p.Y)) + QPointF(0.5, 0.5)) / canvas().Ratio();  // the dot's centre
        EXPECT_TRUE(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1).contains(shown));
    }
    Tool(2);
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, {300, 200});
    EXPECT_EQ(form->pickedPoint, form->pntArray.Item(1));
    const CPoint& p = *form->pntArray.Item(1);
    EXPECT_EQ(PixelAt(Px(p.X - 1, p.Y + 1)), QColor(0, 0, 244));  // the pick's square
}

// A window moved to a screen of another ratio paints its drawing anew at
// that screen's pixels. Needs the two screens of tests/support/two_screens.json.
TEST_F(HiDpi, MovingToAScreenOfAnotherRatioPaintsAtItsPixels) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
        GTEST_SKIP() << "needs two screens of different ratios";
    AddLineRecord(1, -60, 30, 60, 30, 65535);
    form->Refresh();
    QScreen* other = screens[0] == form->screen() ? screens[1] : screens[0];
    form->windowHandle()->setScreen(other);
    form->move(other->geometry().topLeft() + QPoint(20, 20));
    QTRY_COMPARE(canvas().devicePixelRatioF(), other->devicePixelRatio());
    canvas().repaint();
    EXPECT_EQ(canvas().Ratio(), other->devicePixelRatio());
    EXPECT_EQ(canvas().Screen().width(), int(std::ceil(938 * canvas().Ratio())));
    EXPECT_EQ(canvas().Screen(), form->RenderDrawing(1));
    EXPECT_EQ(PixelAtWorld(0, 30), QColor(255, 255, 0));
}
