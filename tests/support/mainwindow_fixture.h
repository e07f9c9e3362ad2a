#pragma once
#include <QColor>
#include <QCursor>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "model/numtext.h"
#include "support/printers.h"
#include "view/frmmain.h"

// A shown, exposed main window with scripted dialogs and recorded messages.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCursor::setPos(-1000, -1000);  // a move to the cursor's own position would be dropped
        form = std::make_unique<frmmain>(ClientSize());
        dialog = new ScriptedCommonDialog;
        form->CommonDialog1.reset(dialog);
        messages = new RecordingMessageBox;
        form->messageBox.reset(messages);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override { form.reset(); }

    virtual QSize ClientSize() const { return frmmain::kDesignClientSize; }

    Canvas& canvas() { return *form->canvas; }
    // The screen's pixel of a world position (device pixels at a ratio of 2).
    QPoint Px(double x, double y) { return canvas().PixelOf(x, y); }
    // Where the mouse goes for a world position (the area's own pixels).
    QPoint MousePx(double x, double y) { return canvas().WidgetPixelOf(x, y); }
    QColor PixelAt(QPoint p) { return canvas().Screen().pixelColor(p); }
    QColor PixelAtWorld(double x, double y) { return PixelAt(Px(x, y)); }
    // Whether the pixel of a world position or one of its eight neighbours
    // has the colour: a one-pixel line through a position may pass beside
    // its pixel.
    bool NearWorld(double x, double y, const QColor& c) {
        const QPoint centre = Px(x, y);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (canvas().Screen().rect().contains(centre + QPoint(dx, dy)) && PixelAt(centre + QPoint(dx, dy)) == c)
                    return true;
        return false;
    }

    static QColor Packed(uint32_t rgb) { return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF); }
    QColor Background() { return Packed(canvas().BackColor()); }

    std::shared_ptr<CPoint> AddPointRecord(float no, float x, float y) {
        auto p = std::make_shared<CPoint>();
        p->pntNO = no;
        p->X = x;
        p->Y = y;
        form->pntArray.Add(p);
        return p;
    }
    std::shared_ptr<CLine> AddLineRecord(float id, float x1, float y1, float x2, float y2, float color) {
        auto l = std::make_shared<CLine>();
        l->ID = id;
        l->sp.X = x1;
        l->sp.Y = y1;
        l->ep.X = x2;
        l->ep.Y = y2;
        l->color = color;
        form->lineArray.Add(l);
        return l;
    }

    // The mouse on the drawing area, aimed at world positions. The tools get
    // the world position of the pixel's centre: World() tells which.
    QPointF World(double x, double y) {
        const QPointF w = canvas().WorldAtPixel(MousePx(x, y));
        return {double(float(w.x())), double(float(w.y()))};
    }
    void Press(double x, double y, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(&canvas(), button, mods, MousePx(x, y));
    }
    void Release(double x, double y, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseRelease(&canvas(), button, mods, MousePx(x, y));
    }
    void Click(double x, double y, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
        Press(x, y, button, mods);
        Release(x, y, button, mods);
    }
    void MoveTo(double x, double y) { QTest::mouseMove(&canvas(), MousePx(x, y)); }

    // The widget that Tab moves to from `w`.
    static QWidget* NextTabStop(QWidget* from) {
        QWidget* w = from;
        do w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || from->isAncestorOf(w));
        return w;
    }

    // Pixels of the given colour in one row or column of the screen.
    int CountInRow(int y, const QColor& c) {
        int n = 0;
        for (int x = 0; x < canvas().Screen().width(); ++x) n += PixelAt({x, y}) == c;
        return n;
    }
    int CountInImage(const QColor& c) {
        int n = 0;
        const QImage& img = canvas().Screen();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += img.pixelColor(x, y) == c;
        return n;
    }
    int CountInColumn(int x, const QColor& c) {
        int n = 0;
        for (int y = 0; y < canvas().Screen().height(); ++y) n += PixelAt({x, y}) == c;
        return n;
    }

    std::unique_ptr<frmmain> form;
    ScriptedCommonDialog* dialog = nullptr;
    RecordingMessageBox* messages = nullptr;
};
