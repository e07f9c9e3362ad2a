// The drawing area at the screen's own pixels. These tests hold at every
// device pixel ratio; CTest runs them (and the main window's) at 1 and, with
// QT_SCALE_FACTOR=2, at 2; the size of the screen and the pens are checked there.
#include <QApplication>
#include <QScreen>
#include <QWindow>
#include <cmath>

#include "support/mainwindow_fixture.h"

using HiDpi = MainWindowTest;

// A point added at a pixel is drawn at that pixel, at its centre. The
// pointer may stand on half pixels: it means the area's pixel that holds it.
TEST_F(HiDpi, APointAddedAtAPixelIsDrawnThere) {
    Tool(1);
    for (const QPointF at : {QPointF(300, 200), QPointF(200.5, 150.5), QPointF(200.75, 150.25)}) {
        QMouseEvent press(QEvent::MouseButtonPress, at, canvas().mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, at, canvas().mapToGlobal(at), Qt::LeftButton, {}, {});
        QApplication::sendEvent(&canvas(), &press);
        QApplication::sendEvent(&canvas(), &release);
        const CPoint& p = *form->pntArray.Item(form->pntArray.Count());
        const QPointF centre(std::floor(at.x()) + 0.5, std::floor(at.y()) + 0.5), shown = canvas().WorldToPixel(p.X, p.Y);
        EXPECT_TRUE(std::abs(shown.x() - centre.x()) < 1e-3 && std::abs(shown.y() - centre.y()) < 1e-3) << at.x();
        const QPointF dot = (QPointF(Px(p.X, p.Y)) + QPointF(0.5, 0.5)) / canvas().Ratio();  // the dot's centre
        EXPECT_TRUE(QRectF(centre - QPointF(0.5, 0.5), QSizeF(1, 1)).contains(dot));
    }
}

// A window moved to a screen of another ratio paints its drawing anew at
// that screen's pixels. Needs the two screens of tests/support/two_screens.json.
TEST_F(HiDpi, MovingToAScreenOfAnotherRatioPaintsAtItsPixels) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
        GTEST_SKIP() << "needs two screens of different ratios";
    AddLineRecord(1, -60, 30, 60, 30, 65535);
    QScreen* other = screens[0] == form->screen() ? screens[1] : screens[0];
    form->windowHandle()->setScreen(other);
    form->move(other->geometry().topLeft() + QPoint(20, 20));
    QTRY_COMPARE(canvas().devicePixelRatioF(), other->devicePixelRatio());
    canvas().repaint();
    EXPECT_EQ(canvas().Ratio(), other->devicePixelRatio());
    EXPECT_EQ(canvas().Screen().width(), int(std::ceil(938 * canvas().Ratio())));
    EXPECT_TRUE(canvas().Screen() == form->RenderDrawing(1) && PixelAtWorld(0, 30) == QColor(255, 255, 0));
}
