#pragma once
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/raster.h"

// The drawing area. It keeps a QImage as "the screen": every drawing operation
// paints into it at once and asks for an update of the touched pixels; the
// paint event only copies the image. Coordinates are world coordinates of the
// user scale; a world position maps to the pixel that contains it, and shapes
// are painted through that pixel's centre without antialiasing.
//
// The screen holds the device pixels of the window's screen: at a device
// pixel ratio of 2 it has twice the area's width and height, and shapes are
// painted at those pixels. The world window, the mouse positions and every
// geometry stay in the area's own (logical) pixels.
//
// The whole picture (every point and line of the drawing) is painted in bands
// of rows, one thread each, and kept: showing it again unchanged is a copy.
class Canvas : public QWidget {
    Q_OBJECT
public:
    enum class Pointer { Default, Cross, SizeAll };

    explicit Canvas(QSize designSize, QWidget* parent = nullptr);

    // The design client area's top-left corner becomes (x1, y1) and its
    // bottom-right corner (x2, y2). Other client sizes show the same scale
    // around the same centre, so a resize never stretches the drawing.
    void SetScale(double x1, double y1, double x2, double y2);

    // Continuous pixel position of a world position, and back.
    QPointF WorldToPixel(double x, double y) const;
    QPointF PixelToWorld(QPointF pixel) const;
    // The screen's (device) pixel that holds a world position.
    QPoint PixelOf(double x, double y) const;
    // The area's (logical) pixel that holds a world position, and the world
    // position of such a pixel's centre (what the mouse events report).
    QPoint WidgetPixelOf(double x, double y) const;
    QPointF WorldAtPixel(QPoint pixel) const;

    // Device pixels per logical pixel of the screen image.
    qreal Ratio() const { return ratio_; }

    // The pen width in logical pixels, and in the screen's pixels: a pen of
    // width N is N logical pixels wide, except that width 1 is always the
    // finest line, one pixel of the screen.
    int DrawWidth() const { return drawWidth_; }
    void SetDrawWidth(int width);
    int DevicePenWidth() const;
    uint32_t BackColor() const { return backColor_; }

    // Erase everything to the background colour.
    void Cls();

    // Single drawing operations with the current pen width, colours packed RGB.
    void PSet(double x, double y, uint32_t rgb);
    void Line(double x1, double y1, double x2, double y2, uint32_t rgb);
    void Box(double x1, double y1, double x2, double y2, uint32_t rgb);
    void Circle(double x, double y, double radius, uint32_t rgb);

    void SetMousePointer(Pointer pointer);

    const QImage& Screen() const { return screen_; }

    // The shapes of a picture in pixels: a dot is a line without length.
    struct Shape {
        int32_t x1, y1, x2, y2;
        uint32_t colour;  // as the screen holds it
    };
    // Takes the shapes of the whole picture, in drawing order.
    class ShapeList {
    public:
        void Dot(double x, double y, uint32_t rgb);
        void Line(double x1, double y1, double x2, double y2, uint32_t rgb);

    private:
        friend class Canvas;
        ShapeList(const Canvas& canvas, Shape* next, Shape* end) : canvas_(canvas), next_(next), end_(end) {}
        const Canvas& canvas_;
        Shape* next_;
        Shape* end_;  // shapes beyond the range asked for are dropped
    };
    // A picture of `shapes` shapes: paint(list, first, last) hands shapes
    // [first, last) to the list, in drawing order. It is called from several
    // threads at once, for different ranges.
    struct Picture {
        std::size_t shapes = 0;
        std::function<void(ShapeList&, std::size_t first, std::size_t last)> paint;
    };

    // The order a full repaint paints in: every shape from the first
    // (forward), or from the last shape down, each pixel once, skipping
    // shapes that later ones hide (top down). Both give the same pixels;
    // top down is far faster for dense pictures. Automatic: top down where
    // the shapes would cover the screen many times over.
    enum class Order { Automatic, Forward, TopDown };
    void SetPaintOrder(Order order) { order_ = order; }

    // Shows the picture. When `stamp` and the view (scale, pen width, size,
    // device pixel ratio) are those the kept picture was painted with, that
    // is copied to the screen; otherwise the picture is painted anew and kept.
    void ShowPicture(uint64_t stamp, const Picture& picture);
    // Erases the screen and paints the picture anew, keeping nothing.
    void PaintPicture(const Picture& picture);
    // The picture as a full repaint on `threads` threads in that order paints
    // it, on an image of its own (the screen stays as it is).
    QImage RenderPicture(const Picture& picture, int threads, Order order = Order::Forward) const;
    // Threads a full repaint uses; 0 lets the area choose: one per core for
    // large pictures, one for small ones.
    void SetRepaintThreads(int threads) { repaintThreads_ = threads; }
    // Adds the pixels that full repaints write to `counter` (null: stop).
    void CountPixelWrites(uint64_t* counter) { pixelWrites_ = counter; }

signals:
    // Button and shift state in the usual packed form (1 left, 2 right,
    // 4 middle; 1 shift, 2 ctrl, 4 alt), position in world coordinates.
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y);
    void MouseUp(int button, int shift, float x, float y);
    // The screen was resized and erased; its owner repaints it.
    void PaintRequest();
    // ShowPicture has just put the whole picture on the screen.
    void PictureShown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QSize sizeHint() const override { return designSize_; }

private:
    class Batch;
    static QPoint PixelUnder(const QMouseEvent* event);
    void NewScreen();
    void UpdateDevicePixels(const QRectF& pixels);
    raster::Target ScreenTarget();  // the whole screen, detached from any copy
    Shape ToPixels(double x1, double y1, double x2, double y2, uint32_t rgb) const;
    void PaintShape(const raster::Target& target, const Shape& shape) const;
    void PaintAll(QImage& image, int threads, Order order, const Picture& picture) const;
    int ThreadsFor(std::size_t shapes) const;
    void ViewChanged() { keptValid_ = false; }

    QSize designSize_;  // the client size read at load: the user scale is given against it
    QSize logical_;     // the area's size
    qreal ratio_ = 1;   // of the screen image
    QImage screen_;
    QImage kept_;  // the picture as the last full repaint left it
    bool keptValid_ = false;
    uint64_t keptStamp_ = 0;
    double centreX_ = 0, centreY_ = 0;  // world position of the client centre
    double unitsPerPixelX_ = 1, unitsPerPixelY_ = -1;
    int drawWidth_ = 1;
    raster::Disc disc_{1};
    uint32_t backColor_ = 0;  // black
    int repaintThreads_ = 0;
    Order order_ = Order::Automatic;
    uint64_t* pixelWrites_ = nullptr;
};
