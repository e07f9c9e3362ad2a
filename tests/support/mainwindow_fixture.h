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

// A shown main window with scripted dialogs and recorded messages, driven at world positions.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCursor::setPos(-1000, -1000);  // a move to the cursor's own position would be dropped
        form = std::make_unique<frmmain>(frmmain::kDesignClientSize);
        form->CommonDialog1.reset(dialog = new ScriptedCommonDialog);
        form->messageBox.reset(messages = new RecordingMessageBox);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override { form.reset(); }

    Canvas& canvas() { return *form->canvas; }
    QPoint Px(double x, double y) { return canvas().PixelOf(x, y); }           // the screen's (device) pixel
    QPoint MousePx(double x, double y) { return canvas().WidgetPixelOf(x, y); }  // the area's own pixel
    QColor PixelAt(QPoint p) { return canvas().Screen().pixelColor(p); }
    QColor PixelAtWorld(double x, double y) { return PixelAt(Px(x, y)); }
    QColor Background() { return QColor(canvas().BackColor() & 0xFF, canvas().BackColor() >> 8 & 0xFF, canvas().BackColor() >> 16); }
    int Count(const QColor& c, QRect area = {}) {  // pixels of the colour, within `area` when given
        area = area.isNull() ? canvas().Screen().rect() : area.normalized().intersected(canvas().Screen().rect());
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) n += PixelAt({x, y}) == c;
        return n;
    }
    int CountInRow(int y, const QColor& c) { return Count(c, QRect(0, y, canvas().Screen().width(), 1)); }
    int CountInColumn(int x, const QColor& c) { return Count(c, QRect(x, 0, 1, canvas().Screen().height())); }

    std::shared_ptr<CPoint> AddPointRecord(float no, float x, float y) {
        auto p = std::make_shared<CPoint>(CPoint{no, x, y, false});
        form->pntArray.Add(p);
        return p;
    }
    std::shared_ptr<CLine> AddLineRecord(float id, float x1, float y1, float x2, float y2, float color) {
        auto l = std::make_shared<CLine>(CLine{id, {0, x1, y1, false}, {0, x2, y2, false}, false, color});
        form->lineArray.Add(l);
        return l;
    }

    // The tool buttons, menu items and toolbar buttons, clicked as a user would.
    void Tool(int command) { QTest::mouseClick(form->Command[std::size_t(command - 1)], Qt::LeftButton); }
    void Menu(const char* item) { form->MenuItem(item)->trigger(); }
    void ToolbarButton(int i) { QTest::mouseClick(form->findChild<QToolButton*>(QString("Toolbar1Button%1").arg(i)), Qt::LeftButton); }

    // The mouse at world positions; the tools get the world position of the pixel's centre, World().
    QPointF World(double x, double y) {
        const QPointF w = canvas().WorldAtPixel(MousePx(x, y));
        return {double(float(w.x())), double(float(w.y()))};
    }
    void Press(double x, double y) { QTest::mousePress(&canvas(), Qt::LeftButton, {}, MousePx(x, y)); }
    void Release(double x, double y) { QTest::mouseRelease(&canvas(), Qt::LeftButton, {}, MousePx(x, y)); }
    void Click(double x, double y) { QTest::mouseClick(&canvas(), Qt::LeftButton, {}, MousePx(x, y)); }
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

// What the window repaints: every pixel drawing changes must reach the window, not only the image.
class RepaintWatch : public QObject {
public:
    explicit RepaintWatch(Canvas& c) : canvas_(c), before_(c.Screen().copy()) { c.installEventFilter(this); }
    int Unshown() {  // changed pixels of the screen image the window has not repainted
        QCoreApplication::processEvents();
        int n = 0;
        for (int y = 0; y < before_.height(); ++y)
            for (int x = 0; x < before_.width(); ++x)
                n += canvas_.Screen().pixel(x, y) != before_.pixel(x, y) &&
                     !painted_.contains(QPoint(int(x / canvas_.Ratio()), int(y / canvas_.Ratio())));
        return n;
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) painted_ += static_cast<QPaintEvent*>(e)->region();
        return false;
    }

private:
    Canvas& canvas_;
    QImage before_;
    QRegion painted_;
};
