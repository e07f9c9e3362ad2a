#include "platform/canvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <algorithm>
#include <cmath>

#include "platform/raster.h"

namespace {

QColor ToQColor(uint32_t rgb) { return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF); }

// Pixel positions far outside the screen are clamped before they become
// integers; shapes out there are skipped or clipped anyway.
constexpr double kFar = 1e8;
double ClampFar(double v) { return std::isnan(v) ? kFar : std::clamp(v, -kFar, kFar); }

int VbButtons(Qt::MouseButtons buttons) {
    int b = 0;
    if (buttons & Qt::LeftButton) b |= 1;
    if (buttons & Qt::RightButton) b |= 2;
    if (buttons & Qt::MiddleButton) b |= 4;
    return b;
}

int VbShift(Qt::KeyboardModifiers modifiers) {
    int s = 0;
    if (modifiers & Qt::ShiftModifier) s |= 1;
    if (modifiers & Qt::ControlModifier) s |= 2;
    if (modifiers & Qt::AltModifier) s |= 4;
    return s;
}

// Liang-Barsky: clips the segment to the rectangle, false when nothing is left.
bool ClipSegment(double& x1, double& y1, double& x2, double& y2, double left, double top, double right,
                 double bottom) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = x2 - x1, dy = y2 - y1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - left, right - x1, y1 - top, bottom - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
        } else {
            const double t = q[i] / p[i];
            if (p[i] < 0.0) t0 = std::max(t0, t);
            else t1 = std::min(t1, t);
            if (t0 > t1) return false;
        }
    }
    const double nx1 = x1 + t0 * dx, ny1 = y1 + t0 * dy;
    x2 = x1 + t1 * dx;
    y2 = y1 + t1 * dy;
    x1 = nx1;
    y1 = ny1;
    return true;
}

}  // namespace

Canvas::Canvas(QSize designSize, QWidget* parent)
    : QWidget(parent), designSize_(designSize), screen_(designSize, QImage::Format_RGB32) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    screen_.fill(ToQColor(backColor_));
    SetScale(0, 0, designSize.width(), designSize.height());
}

void Canvas::SetScale(double x1, double y1, double x2, double y2) {
    centreX_ = (x1 + x2) / 2.0;
    centreY_ = (y1 + y2) / 2.0;
    unitsPerPixelX_ = (x2 - x1) / designSize_.width();
    unitsPerPixelY_ = (y2 - y1) / designSize_.height();
}

QPointF Canvas::WorldToPixel(double x, double y) const {
    return {(x - centreX_) / unitsPerPixelX_ + screen_.width() / 2.0,
            (y - centreY_) / unitsPerPixelY_ + screen_.height() / 2.0};
}

QPointF Canvas::PixelToWorld(QPointF pixel) const {
    return {centreX_ + (pixel.x() - screen_.width() / 2.0) * unitsPerPixelX_,
            centreY_ + (pixel.y() - screen_.height() / 2.0) * unitsPerPixelY_};
}

QPoint Canvas::PixelOf(double x, double y) const {
    const QPointF p = WorldToPixel(x, y);
    return {static_cast<int>(std::floor(ClampFar(p.x()))), static_cast<int>(std::floor(ClampFar(p.y())))};
}

QPointF Canvas::WorldAtPixel(QPoint pixel) const { return PixelToWorld(QPointF(pixel) + QPointF(0.5, 0.5)); }

void Canvas::Cls() {
    screen_.fill(ToQColor(backColor_));
    update();
}

void Canvas::PSet(double x, double y, uint32_t rgb) { Batch(*this).PSet(x, y, rgb); }
void Canvas::Line(double x1, double y1, double x2, double y2, uint32_t rgb) { Batch(*this).Line(x1, y1, x2, y2, rgb); }
void Canvas::Box(double x1, double y1, double x2, double y2, uint32_t rgb) { Batch(*this).Box(x1, y1, x2, y2, rgb); }
void Canvas::Circle(double x, double y, double radius, uint32_t rgb) { Batch(*this).Circle(x, y, radius, rgb); }

void Canvas::SetMousePointer(Pointer pointer) {
    switch (pointer) {
    case Pointer::Default: setCursor(Qt::ArrowCursor); break;
    case Pointer::Cross: setCursor(Qt::CrossCursor); break;
    case Pointer::SizeAll: setCursor(Qt::SizeAllCursor); break;
    }
}

// A dot is a disc as wide as the pen, centred on its pixel.
void Canvas::StampDot(QPoint centre, uint32_t rgb) {
    const int w = drawWidth_;
    const int first = -(w - 1) / 2;
    const double r2 = w * w / 4.0;
    const double mid = w / 2.0;
    const QRgb colour = ToQColor(rgb).rgb();
    const int width = screen_.width(), height = screen_.height();
    for (int j = 0; j < w; ++j) {
        const int y = centre.y() + first + j;
        if (y < 0 || y >= height) continue;
        auto* row = reinterpret_cast<QRgb*>(screen_.scanLine(y));
        const double dy = j + 0.5 - mid;
        for (int i = 0; i < w; ++i) {
            const int x = centre.x() + first + i;
            if (x < 0 || x >= width) continue;
            const double dx = i + 0.5 - mid;
            if (dx * dx + dy * dy <= r2) row[x] = colour;
        }
    }
}

void Canvas::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.drawImage(event->rect(), screen_, event->rect());
}

void Canvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (size() == screen_.size() || size().isEmpty()) return;
    screen_ = QImage(size(), QImage::Format_RGB32);
    screen_.fill(ToQColor(backColor_));
    emit PaintRequest();
}

void Canvas::mousePressEvent(QMouseEvent* event) {
    const QPointF w = WorldAtPixel(event->position().toPoint());
    emit MouseDown(VbButtons(event->button()), VbShift(event->modifiers()), float(w.x()), float(w.y()));
}

void Canvas::mouseMoveEvent(QMouseEvent* event) {
    const QPointF w = WorldAtPixel(event->position().toPoint());
    emit MouseMove(VbButtons(event->buttons()), VbShift(event->modifiers()), float(w.x()), float(w.y()));
}

void Canvas::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF w = WorldAtPixel(event->position().toPoint());
    emit MouseUp(VbButtons(event->button()), VbShift(event->modifiers()), float(w.x()), float(w.y()));
}

// ---- Batch ----

Canvas::Batch::Batch(Canvas& canvas)
    : canvas_(canvas), minX_(HUGE_VAL), minY_(HUGE_VAL), maxX_(-HUGE_VAL), maxY_(-HUGE_VAL) {
    // Detach the screen from any copy now, before pixels are written directly
    // and before a painter holds on to its buffer.
    canvas_.screen_.bits();
}

Canvas::Batch::~Batch() {
    FlushLines();
    if (painter_.isActive()) painter_.end();
    if (minX_ > maxX_) return;
    const QRect touched(QPoint(int(std::floor(minX_)), int(std::floor(minY_))),
                        QPoint(int(std::ceil(maxX_)), int(std::ceil(maxY_))));
    canvas_.update(touched.intersected(canvas_.rect()));
}

QPainter& Canvas::Batch::Painter() {
    if (!painter_.isActive()) {
        painter_.begin(&canvas_.screen_);
        painter_.setRenderHint(QPainter::Antialiasing, false);
        painter_.setBrush(Qt::NoBrush);
    }
    return painter_;
}

void Canvas::Batch::Touch(double x1, double y1, double x2, double y2, double pad) {
    minX_ = std::min({minX_, x1 - pad, x2 - pad});
    maxX_ = std::max({maxX_, x1 + pad, x2 + pad});
    minY_ = std::min({minY_, y1 - pad, y2 - pad});
    maxY_ = std::max({maxY_, y1 + pad, y2 + pad});
}

// Wide lines: flat-capped strokes in one painter call, then a disc of the pen
// at each end, which looks like a round cap and costs far less to paint.
void Canvas::Batch::FlushLines() {
    if (lines_.empty()) return;
    QPainter& p = Painter();
    p.setPen(QPen(ToQColor(lineRgb_), canvas_.drawWidth_, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawLines(lines_.data(), int(lines_.size()));
    for (const QLineF& l : lines_) {
        canvas_.StampDot(QPoint(int(std::floor(l.x1())), int(std::floor(l.y1()))), lineRgb_);
        canvas_.StampDot(QPoint(int(std::floor(l.x2())), int(std::floor(l.y2()))), lineRgb_);
    }
    lines_.clear();
}

void Canvas::Batch::PSet(double x, double y, uint32_t rgb) {
    const QPoint pixel = canvas_.PixelOf(x, y);
    const int w = canvas_.drawWidth_;
    if (pixel.x() < -w || pixel.y() < -w || pixel.x() > canvas_.screen_.width() + w ||
        pixel.y() > canvas_.screen_.height() + w)
        return;
    FlushLines();  // keep the drawing order
    canvas_.StampDot(pixel, rgb);
    Touch(pixel.x(), pixel.y(), pixel.x() + 1, pixel.y() + 1, w);
}

void Canvas::Batch::Line(double x1, double y1, double x2, double y2, uint32_t rgb) {
    const QPoint a = canvas_.PixelOf(x1, y1), b = canvas_.PixelOf(x2, y2);
    if (a == b) {  // a line without length still shows as a dot of the pen
        PSet(x1, y1, rgb);
        return;
    }
    if (canvas_.drawWidth_ == 1) {
        // Through the pixel centres, both end pixels included; the same
        // pixels in either direction, so drawing a line again in the
        // background colour erases all of it.
        FlushLines();
        QImage& img = canvas_.screen_;
        const raster::Target target(reinterpret_cast<uint32_t*>(img.bits()), img.bytesPerLine() / 4, img.width(),
                                    img.height());
        const uint32_t colour = ToQColor(rgb).rgb();
        raster::ThinLine(target, a.x() + 0.5, a.y() + 0.5, b.x() + 0.5, b.y() + 0.5, colour);
        for (const QPoint end : {a, b})
            if (img.rect().contains(end)) target.Row(end.y())[end.x()] = colour;
        Touch(a.x(), a.y(), b.x() + 1, b.y() + 1, 1);
        return;
    }
    double ax = a.x() + 0.5, ay = a.y() + 0.5, bx = b.x() + 0.5, by = b.y() + 0.5;
    const double pad = canvas_.drawWidth_ + 2.0;
    if (!ClipSegment(ax, ay, bx, by, -pad, -pad, canvas_.screen_.width() + pad, canvas_.screen_.height() + pad))
        return;
    Touch(ax, ay, bx, by, canvas_.drawWidth_ + 1.0);
    if (rgb != lineRgb_) FlushLines();
    lineRgb_ = rgb;
    lines_.emplace_back(ax, ay, bx, by);
}

void Canvas::Batch::Box(double x1, double y1, double x2, double y2, uint32_t rgb) {
    const QPoint a = canvas_.PixelOf(x1, y1), b = canvas_.PixelOf(x2, y2);
    const double pad = canvas_.drawWidth_ + 1.0;
    const QRectF r = QRectF(QPointF(a) + QPointF(0.5, 0.5), QPointF(b) + QPointF(0.5, 0.5)).normalized();
    if (!r.adjusted(-pad, -pad, pad, pad).intersects(QRectF(canvas_.screen_.rect()))) return;
    FlushLines();
    QPainter& p = Painter();
    p.setPen(QPen(ToQColor(rgb), canvas_.drawWidth_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(r);
    Touch(r.left(), r.top(), r.right(), r.bottom(), pad);
}

void Canvas::Batch::Circle(double x, double y, double radius, uint32_t rgb) {
    const QPoint c = canvas_.PixelOf(x, y);
    const double r = std::min(std::fabs(radius / canvas_.unitsPerPixelX_), kFar);
    const QPointF centre = QPointF(c) + QPointF(0.5, 0.5);
    const double pad = r + canvas_.drawWidth_ + 1.0;
    if (!QRectF(centre.x() - pad, centre.y() - pad, 2 * pad, 2 * pad).intersects(QRectF(canvas_.screen_.rect())))
        return;
    FlushLines();
    QPainter& p = Painter();
    p.setPen(QPen(ToQColor(rgb), canvas_.drawWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawEllipse(centre, r, r);
    Touch(centre.x(), centre.y(), centre.x(), centre.y(), pad);
}
