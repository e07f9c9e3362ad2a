#pragma once
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QWidget>
#include <cstdint>
#include <vector>

// The drawing area. It keeps a QImage as "the screen": every drawing operation
// paints into it at once and asks for an update of the touched pixels; the
// paint event only copies the image. Coordinates are world coordinates of the
// user scale; a world position maps to the pixel that contains it, and shapes
// are painted through that pixel's centre without antialiasing.
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
    // The pixel that holds a world position, and the world position of a
    // pixel's centre (what the mouse events report).
    QPoint PixelOf(double x, double y) const;
    QPointF WorldAtPixel(QPoint pixel) const;

    int DrawWidth() const { return drawWidth_; }
    void SetDrawWidth(int width) { drawWidth_ = width < 1 ? 1 : width; }
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

    // Many operations in a row (a full repaint): lines of one colour are
    // handed to the painter together; drawing order is kept.
    class Batch {
    public:
        explicit Batch(Canvas& canvas);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

        void PSet(double x, double y, uint32_t rgb);
        void Line(double x1, double y1, double x2, double y2, uint32_t rgb);
        void Box(double x1, double y1, double x2, double y2, uint32_t rgb);
        void Circle(double x, double y, double radius, uint32_t rgb);

    private:
        void FlushLines();
        void Touch(double x1, double y1, double x2, double y2, double pad);
        QPainter& Painter();

        Canvas& canvas_;
        QPainter painter_;
        std::vector<QLineF> lines_;  // wide lines waiting for one painter call
        uint32_t lineRgb_ = 0;
        double minX_, minY_, maxX_, maxY_;
    };

signals:
    // Button and shift state in the usual packed form (1 left, 2 right,
    // 4 middle; 1 shift, 2 ctrl, 4 alt), position in world coordinates.
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y);
    void MouseUp(int button, int shift, float x, float y);
    // The screen was resized and erased; its owner repaints it.
    void PaintRequest();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QSize sizeHint() const override { return designSize_; }

private:
    void StampDot(QPoint centre, uint32_t rgb);

    QSize designSize_;  // the client size read at load: the user scale is given against it
    QImage screen_;
    double centreX_ = 0, centreY_ = 0;   // world position of the client centre
    double unitsPerPixelX_ = 1, unitsPerPixelY_ = -1;
    int drawWidth_ = 1;
    uint32_t backColor_ = 0;  // black
};
