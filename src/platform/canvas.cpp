#include "platform/canvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

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

uint32_t Opaque(uint32_t rgb) { return ToQColor(rgb).rgb(); }

// Pictures smaller than this are painted on one thread: starting threads
// would cost more than they save.
constexpr std::size_t kShapesPerExtraBand = 20000;

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
    ViewChanged();
}

void Canvas::SetDrawWidth(int width) {
    drawWidth_ = width < 1 ? 1 : width;
    if (disc_.Width() != drawWidth_) disc_ = raster::Disc(drawWidth_);
    ViewChanged();
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

void Canvas::SetMousePointer(Pointer pointer) {
    switch (pointer) {
    case Pointer::Default: setCursor(Qt::ArrowCursor); break;
    case Pointer::Cross: setCursor(Qt::CrossCursor); break;
    case Pointer::SizeAll: setCursor(Qt::SizeAllCursor); break;
    }
}

raster::Target Canvas::ScreenTarget() {
    // bits() detaches the screen from the kept picture before it is written.
    return raster::Target(reinterpret_cast<uint32_t*>(screen_.bits()), screen_.bytesPerLine() / 4, screen_.width(),
                          screen_.height());
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
    ViewChanged();
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

// ---- the whole picture ----

Canvas::BandPainter::BandPainter(const Canvas& canvas, const raster::Target& target)
    : canvas_(canvas), target_(target), pad_(canvas.disc_.Width()) {}

void Canvas::BandPainter::Dot(double x, double y, uint32_t rgb) {
    const QPoint pixel = canvas_.PixelOf(x, y);
    const raster::Disc& disc = canvas_.disc_;
    if (disc.Bottom(pixel.y()) < target_.bandTop || disc.Top(pixel.y()) >= target_.bandBottom) return;
    disc.Paint(target_, pixel.x(), pixel.y(), Opaque(rgb));
}

void Canvas::BandPainter::Line(double x1, double y1, double x2, double y2, uint32_t rgb) {
    const QPoint a = canvas_.PixelOf(x1, y1), b = canvas_.PixelOf(x2, y2);
    // Nothing of a line lies beyond its end pixels by more than the pen width.
    if (std::max(a.y(), b.y()) + pad_ < target_.bandTop || std::min(a.y(), b.y()) - pad_ >= target_.bandBottom) return;
    if (std::max(a.x(), b.x()) + pad_ < 0 || std::min(a.x(), b.x()) - pad_ >= target_.width) return;
    const uint32_t colour = Opaque(rgb);
    const raster::Disc& disc = canvas_.disc_;
    if (a == b) {  // a line without length still shows as a dot of the pen
        disc.Paint(target_, a.x(), a.y(), colour);
        return;
    }
    // Through the pixel centres, with a dot of the pen at each end, which
    // looks like a round cap; the same pixels in either direction.
    if (disc.Width() == 1)
        raster::ThinLine(target_, a.x() + 0.5, a.y() + 0.5, b.x() + 0.5, b.y() + 0.5, colour);
    else
        raster::WideLine(target_, a.x() + 0.5, a.y() + 0.5, b.x() + 0.5, b.y() + 0.5, disc.Width(), colour);
    disc.Paint(target_, a.x(), a.y(), colour);
    disc.Paint(target_, b.x(), b.y(), colour);
}

int Canvas::BandsFor(std::size_t shapes) const {
    if (repaintBands_ > 0) return std::min(repaintBands_, std::max(screen_.height(), 1));
    if (shapes < kShapesPerExtraBand) return 1;
    const unsigned cores = std::thread::hardware_concurrency();
    const int wanted = static_cast<int>(std::min<std::size_t>({cores == 0 ? 1 : cores, 16, shapes / kShapesPerExtraBand}));
    return std::clamp(std::min(wanted, screen_.height() / 16), 1, 16);
}

void Canvas::PaintBands(QImage& image, int bands, const Picture& picture) const {
    const raster::Target whole(reinterpret_cast<uint32_t*>(image.bits()), image.bytesPerLine() / 4, image.width(),
                               image.height());
    const uint32_t background = Opaque(backColor_);
    std::vector<uint64_t> writes(static_cast<std::size_t>(bands), 0);
    auto paintBand = [&](int band) {
        const int top = whole.height * band / bands, bottom = whole.height * (band + 1) / bands;
        raster::Target target = whole.Band(top, bottom);
        if (pixelWrites_) target.writes = &writes[static_cast<std::size_t>(band)];
        for (int y = top; y < bottom; ++y) std::fill_n(target.Row(y), target.width, background);
        BandPainter painter(*this, target);
        picture(painter);
    };
    std::vector<std::thread> threads;
    for (int band = 1; band < bands; ++band) threads.emplace_back(paintBand, band);
    paintBand(0);
    for (std::thread& t : threads) t.join();
    if (pixelWrites_)
        for (uint64_t n : writes) *pixelWrites_ += n;
}

void Canvas::PaintPicture(std::size_t shapes, const Picture& picture) {
    PaintBands(screen_, BandsFor(shapes), picture);
    update();
}

QImage Canvas::RenderPicture(const Picture& picture, int bands) const {
    QImage image(screen_.size(), QImage::Format_RGB32);
    PaintBands(image, std::clamp(bands, 1, std::max(image.height(), 1)), picture);
    return image;
}

void Canvas::ShowPicture(uint64_t stamp, std::size_t shapes, const Picture& picture) {
    if (keptValid_ && keptStamp_ == stamp && kept_.size() == screen_.size()) {
        screen_ = kept_;  // shared until the next drawing operation copies it
        update();
        emit PictureShown();
        return;
    }
    PaintPicture(shapes, picture);
    kept_ = screen_;
    keptStamp_ = stamp;
    keptValid_ = true;
    emit PictureShown();
}

// ---- single operations ----

// A few operations on the whole screen: dots and lines painted directly, the
// outlines of boxes and circles by a painter; the touched pixels are updated
// at the end.
class Canvas::Batch {
public:
    explicit Batch(Canvas& canvas)
        : canvas_(canvas), target_(canvas.ScreenTarget()), band_(canvas, target_),
          minX_(HUGE_VAL), minY_(HUGE_VAL), maxX_(-HUGE_VAL), maxY_(-HUGE_VAL) {}
    ~Batch() {
        if (painter_.isActive()) painter_.end();
        if (minX_ > maxX_) return;
        const QRect touched(QPoint(int(std::floor(minX_)), int(std::floor(minY_))),
                            QPoint(int(std::ceil(maxX_)), int(std::ceil(maxY_))));
        canvas_.update(touched.intersected(canvas_.rect()));
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    void PSet(double x, double y, uint32_t rgb) {
        const QPoint pixel = canvas_.PixelOf(x, y);
        band_.Dot(x, y, rgb);
        Touch(pixel.x(), pixel.y(), pixel.x() + 1, pixel.y() + 1, canvas_.drawWidth_);
    }
    void Line(double x1, double y1, double x2, double y2, uint32_t rgb) {
        const QPoint a = canvas_.PixelOf(x1, y1), b = canvas_.PixelOf(x2, y2);
        band_.Line(x1, y1, x2, y2, rgb);
        Touch(a.x(), a.y(), b.x() + 1, b.y() + 1, canvas_.drawWidth_ + 1.0);
    }
    void Box(double x1, double y1, double x2, double y2, uint32_t rgb) {
        const QPoint a = canvas_.PixelOf(x1, y1), b = canvas_.PixelOf(x2, y2);
        const double pad = canvas_.drawWidth_ + 1.0;
        const QRectF r = QRectF(QPointF(a) + QPointF(0.5, 0.5), QPointF(b) + QPointF(0.5, 0.5)).normalized();
        if (!r.adjusted(-pad, -pad, pad, pad).intersects(QRectF(canvas_.screen_.rect()))) return;
        QPainter& p = Painter();
        p.setPen(QPen(ToQColor(rgb), canvas_.drawWidth_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.drawRect(r);
        Touch(r.left(), r.top(), r.right(), r.bottom(), pad);
    }
    void Circle(double x, double y, double radius, uint32_t rgb) {
        const QPoint c = canvas_.PixelOf(x, y);
        const double r = std::min(std::fabs(radius / canvas_.unitsPerPixelX_), kFar);
        const QPointF centre = QPointF(c) + QPointF(0.5, 0.5);
        const double pad = r + canvas_.drawWidth_ + 1.0;
        if (!QRectF(centre.x() - pad, centre.y() - pad, 2 * pad, 2 * pad).intersects(QRectF(canvas_.screen_.rect())))
            return;
        QPainter& p = Painter();
        p.setPen(QPen(ToQColor(rgb), canvas_.drawWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawEllipse(centre, r, r);
        Touch(centre.x(), centre.y(), centre.x(), centre.y(), pad);
    }

private:
    QPainter& Painter() {
        if (!painter_.isActive()) {
            painter_.begin(&canvas_.screen_);
            painter_.setRenderHint(QPainter::Antialiasing, false);
            painter_.setBrush(Qt::NoBrush);
        }
        return painter_;
    }
    void Touch(double x1, double y1, double x2, double y2, double pad) {
        minX_ = std::min({minX_, x1 - pad, x2 - pad});
        maxX_ = std::max({maxX_, x1 + pad, x2 + pad});
        minY_ = std::min({minY_, y1 - pad, y2 - pad});
        maxY_ = std::max({maxY_, y1 + pad, y2 + pad});
    }

    Canvas& canvas_;
    raster::Target target_;
    BandPainter band_;
    QPainter painter_;
    double minX_, minY_, maxX_, maxY_;
};

void Canvas::PSet(double x, double y, uint32_t rgb) { Batch(*this).PSet(x, y, rgb); }
void Canvas::Line(double x1, double y1, double x2, double y2, uint32_t rgb) { Batch(*this).Line(x1, y1, x2, y2, rgb); }
void Canvas::Box(double x1, double y1, double x2, double y2, uint32_t rgb) { Batch(*this).Box(x1, y1, x2, y2, rgb); }
void Canvas::Circle(double x, double y, double radius, uint32_t rgb) { Batch(*this).Circle(x, y, radius, rgb); }
