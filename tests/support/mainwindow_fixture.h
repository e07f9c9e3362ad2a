#pragma once
#include <QCursor>
#include <QPaintEvent>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

#include "model/numtext.h"
#include "support/printers.h"
#include "view/frmmain.h"

// A shown, exposed main window with scripted dialogs and recorded messages,
// driven with the mouse at world positions.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCursor::setPos(-1000, -1000);  // a move to the cursor's own position would be dropped
        form = std::make_unique<frmmain>(ClientSize());
        form->CommonDialog1.reset(dialog = new ScriptedCommonDialog);
        form->messageBox.reset(messages = new RecordingMessageBox);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override { form.reset(); }
    virtual QSize ClientSize() const { return frmmain::kDesignClientSize; }

    Canvas& canvas() { return *form->canvas; }
    QPoint Px(double x, double y) { return canvas().PixelOf(x, y); }           // the screen's (device) pixel
    QPoint MousePx(double x, double y) { return canvas().WidgetPixelOf(x, y); }  // the area's own pixel
    QColor PixelAt(QPoint p) { return canvas().Screen().pixelColor(p); }
    QColor PixelAtWorld(double x, double y) { return PixelAt(Px(x, y)); }
    static QColor Packed(uint32_t rgb) { return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF); }
    QColor Background() { return Packed(canvas().BackColor()); }
    // Pixels of the colour on the screen, within `area` when it is given.
    int Count(const QColor& c, QRect area = {}) {
        const QImage& img = canvas().Screen();
        area = area.isNull() ? img.rect() : area.intersected(img.rect());
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) n += img.pixelColor(x, y) == c;
        return n;
    }
    int CountInRow(int y, const QColor& c) { return Count(c, QRect(0, y, canvas().Screen().width(), 1)); }
    int CountInColumn(int x, const QColor& c) { return Count(c, QRect(x, 0, 1, canvas().Screen().height())); }

    std::shared_ptr<CPoint> AddPointRecord(float no, float x, float y) {
        auto p = std::make_shared<CPoint>();
        p->pntNO = no, p->X = x, p->Y = y;
        form->pntArray.Add(p);
        return p;
    }
    std::shared_ptr<CLine> AddLineRecord(float id, float x1, float y1, float x2, float y2, float color) {
        auto l = std::make_shared<CLine>();
        l->ID = id, l->sp.X = x1, l->sp.Y = y1, l->ep.X = x2, l->ep.Y = y2, l->color = color;
        form->lineArray.Add(l);
        return l;
    }

    // The tool buttons, menu items and toolbar buttons, clicked as a user would.
    void Tool(int command) { QTest::mouseClick(form->Command[std::size_t(command - 1)], Qt::LeftButton); }
    void Menu(const char* item) { form->MenuItem(item)->trigger(); }
    void ToolbarButton(int index) {
        QTest::mouseClick(form->findChild<QToolButton*>(QStringLiteral("Toolbar1Button%1").arg(index)), Qt::LeftButton);
    }

    // The mouse on the drawing area, aimed at world positions. The tools get
    // the world position of the pixel's centre: World() tells which.
    QPointF World(double x, double y) {
        const QPointF w = canvas().WorldAtPixel(MousePx(x, y));
        return {double(float(w.x())), double(float(w.y()))};
    }
    void Press(double x, double y, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        QTest::mousePress(&canvas(), b, m, MousePx(x, y));
    }
    void Release(double x, double y, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        QTest::mouseRelease(&canvas(), b, m, MousePx(x, y));
    }
    void Click(double x, double y, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        Press(x, y, b, m);
        Release(x, y, b, m);
    }
    void MoveTo(double x, double y) { QTest::mouseMove(&canvas(), MousePx(x, y)); }

    // The widget that Tab moves to from `from`.
    static QWidget* NextTabStop(QWidget* from) {
        QWidget* w = from;
        do w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || from->isAncestorOf(w));
        return w;
    }

    std::unique_ptr<frmmain> form;
    ScriptedCommonDialog* dialog = nullptr;
    RecordingMessageBox* messages = nullptr;
};

// Watches what the window repaints of the drawing area: every pixel a
// drawing operation changed must reach the window, not only the screen image.
class RepaintWatch : public QObject {
public:
    explicit RepaintWatch(Canvas& canvas) : canvas_(canvas), before_(canvas.Screen().copy()) {
        canvas.installEventFilter(this);
    }
    // Changed pixels of the screen image that the window has not repainted.
    int Unshown() {
        QCoreApplication::processEvents();
        const QImage& now = canvas_.Screen();
        int n = 0;
        for (int y = 0; y < now.height(); ++y)
            for (int x = 0; x < now.width(); ++x)
                n += now.pixel(x, y) != before_.pixel(x, y) &&
                     !painted_.contains(QPoint(int(x / canvas_.Ratio()), int(y / canvas_.Ratio())));
        return n;
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) painted_ += static_cast<QPaintEvent*>(e)->region();
        return false;
    }

private:
    Canvas& canvas_;
    QImage before_;
    QRegion painted_;
};
