#include "platform/canvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <algorithm>
#include <atomic>
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

// Packed red + 256 green + 65536 blue as the screen's opaque pixel.
uint32_t Opaque(uint32_t rgb) {
    return 0xFF000000u | ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

// Pictures smaller than this are painted on one thread: starting threads
// costs more than they save.
constexpr std::size_t kShapesPerExtraThread = 20000;
// A picture whose shapes would paint the screen this many times over is
// painted top down: most of them are hidden, and skipping them pays for
// keeping track of what is painted.
constexpr double kCoversForTopDown = 30;

}  // namespace

Canvas::Canvas(QSize designSize, QWidget* parent)
    : QWidget(parent), designSize_(designSize), logical_(designSize) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    NewScreen();
    SetScale(0, 0, designSize.width(), designSize.height());
}

int Canvas::DevicePenWidth() const {
    // One pixel is the finest line the screen can show, at every ratio.
    if (drawWidth_ == 1) return 1;
    return std::max(1, static_cast<int>(std::lround(drawWidth_ * ratio_)));
}

// A screen of device pixels for the area's size at the window's ratio.
void Canvas::NewScreen() {
    ratio_ = devicePixelRatioF();
    screen_ = QImage(static_cast<int>(std::ceil(logical_.width() * ratio_)),
                     static_cast<int>(std::ceil(logical_.height() * ratio_)), QImage::Format_RGB32);
    screen_.fill(ToQColor(backColor_));
    if (disc_.Width() != DevicePenWidth()) disc_ = raster::Disc(DevicePenWidth());
    ViewChanged();
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
    if (disc_.Width() != DevicePenWidth()) disc_ = raster::Disc(DevicePenWidth());
    ViewChanged();
}

QPointF Canvas::WorldToPixel(double x, double y) const {
    return {(x - centreX_) / unitsPerPixelX_ + logical_.width() / 2.0,
            (y - centreY_) / unitsPerPixelY_ + logical_.height() / 2.0};
}

QPointF Canvas::PixelToWorld(QPointF pixel) const {
    return {centreX_ + (pixel.x() - logical_.width() / 2.0) * unitsPerPixelX_,
            centreY_ + (pixel.y() - logical_.height() / 2.0) * unitsPerPixelY_};
}

QPoint Canvas::PixelOf(double x, double y) const {
    const QPointF p = WorldToPixel(x, y) * ratio_;
    return {static_cast<int>(std::floor(ClampFar(p.x()))), static_cast<int>(std::floor(ClampFar(p.y())))};
}

QPoint Canvas::WidgetPixelOf(double x, double y) const {
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
    // Shown on a screen of another ratio now (moved, or the ratio changed):
    // painted anew at its pixels before it is shown.
    if (devicePixelRatioF() != ratio_) {
        NewScreen();
        emit PaintRequest();
    }
    const QRect r = event->rect();
    QPainter p(this);
    p.drawImage(QRectF(r), screen_, QRectF(r.x() * ratio_, r.y() * ratio_, r.width() * ratio_, r.height() * ratio_));
}

void Canvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (size().isEmpty() || (size() == logical_ && devicePixelRatioF() == ratio_)) return;
    logical_ = size();
    NewScreen();
    emit PaintRequest();
}

void Canvas::UpdateDevicePixels(const QRectF& pixels) {
    const QRectF r(pixels.topLeft() / ratio_, pixels.bottomRight() / ratio_);
    update(r.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(rect()));
}

// The area's pixel under the pointer. At a ratio of 2 the pointer also
// stands on half pixels; the pixel that contains it is meant, not the
// nearest pixel corner.
QPoint Canvas::PixelUnder(const QMouseEvent* event) {
    const QPointF p = event->position();
    return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

void Canvas::mousePressEvent(QMouseEvent* event) {
    const QPointF w = WorldAtPixel(PixelUnder(event));
    emit MouseDown(VbButtons(event->button()), VbShift(event->modifiers()), float(w.x()), float(w.y()));
}

void Canvas::mouseMoveEvent(QMouseEvent* event) {
    const QPointF w = WorldAtPixel(PixelUnder(event));
    emit MouseMove(VbButtons(event->buttons()), VbShift(event->modifiers()), float(w.x()), float(w.y()));
}

void Canvas::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF w = WorldAtPixel(PixelUnder(event));
    emit MouseUp(VbButtons(event->button()), VbShift(event->modifiers()), float(w.x()), float(w.y()));
}

// ---- the whole picture ----

Canvas::Shape Canvas::ToPixels(double x1, double y1, double x2, double y2, uint32_t rgb) const {
    const QPoint a = PixelOf(x1, y1), b = PixelOf(x2, y2);
    return {a.x(), a.y(), b.x(), b.y(), Opaque(rgb)};
}

void Canvas::ShapeList::Dot(double x, double y, uint32_t rgb) {
    if (next_ < end_) *next_++ = canvas_.ToPixels(x, y, x, y, rgb);
}

void Canvas::ShapeList::Line(double x1, double y1, double x2, double y2, uint32_t rgb) {
    if (next_ < end_) *next_++ = canvas_.ToPixels(x1, y1, x2, y2, rgb);
}

void Canvas::PaintShape(const raster::Target& target, const Shape& s) const {
    // Nothing of a shape lies beyond its end pixels by more than the pen width.
    const int pad = disc_.Width();
    if (std::max(s.y1, s.y2) + pad < target.bandTop || std::min(s.y1, s.y2) - pad >= target.bandBottom) return;
    if (std::max(s.x1, s.x2) + pad < 0 || std::min(s.x1, s.x2) - pad >= target.width) return;
    if (s.x1 == s.x2 && s.y1 == s.y2) {  // a dot, or a line without length: a dot of the pen
        disc_.Paint(target, s.x1, s.y1, s.colour);
        return;
    }
    // Through the pixel centres, with a dot of the pen at each end, which
    // looks like a round cap; the same pixels in either direction.
    if (disc_.Width() == 1)
        raster::ThinLine(target, s.x1 + 0.5, s.y1 + 0.5, s.x2 + 0.5, s.y2 + 0.5, s.colour);
    else
        raster::WideLine(target, s.x1 + 0.5, s.y1 + 0.5, s.x2 + 0.5, s.y2 + 0.5, disc_.Width(), s.colour);
    disc_.Paint(target, s.x1, s.y1, s.colour);
    disc_.Paint(target, s.x2, s.y2, s.colour);
}

int Canvas::ThreadsFor(std::size_t shapes) const {
    if (repaintThreads_ > 0) return repaintThreads_;
    if (shapes < kShapesPerExtraThread) return 1;
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp<std::size_t>(std::min<std::size_t>(cores, shapes / kShapesPerExtraThread), 1, 16));
}

// Two passes on `threads` threads: each maps a share of the shapes to pixels,
// then each paints one band of rows with every shape that reaches it, in
// drawing order or top down.
void Canvas::PaintAll(QImage& image, int threads, Order order, const Picture& picture) const {
    const raster::Target whole(reinterpret_cast<uint32_t*>(image.bits()), image.bytesPerLine() / 4, image.width(),
                               image.height());
    const std::size_t count = picture.shapes;
    const std::unique_ptr<Shape[]> shapes(new Shape[count]);
    const int bands = std::clamp(threads, 1, std::max(whole.height, 1));
    threads = std::clamp(threads, 1, bands);
    std::vector<uint64_t> writes(static_cast<std::size_t>(bands), 0);
    const uint32_t background = Opaque(backColor_);

    auto run = [threads](auto job) {
        std::vector<std::thread> workers;
        for (int t = 1; t < threads; ++t) workers.emplace_back(job, t);
        job(0);
        for (std::thread& w : workers) w.join();
    };
    // The pixels the shapes would paint, roughly: lines clipped to the
    // screen's size, pen width across.
    std::vector<double> area(static_cast<std::size_t>(threads), 0.0);
    const double longest = double(whole.width) + double(whole.height), pen = disc_.Width();
    run([&](int t) {
        const std::size_t first = count * std::size_t(t) / std::size_t(threads);
        const std::size_t last = count * std::size_t(t + 1) / std::size_t(threads);
        ShapeList list(*this, shapes.get() + first, shapes.get() + last);
        picture.paint(list, first, last);
        // A range painted short leaves nothing to paint at its end.
        constexpr int32_t kNowhere = -(1 << 30);
        for (Shape* s = list.next_; s < list.end_; ++s) *s = Shape{kNowhere, kNowhere, kNowhere, kNowhere, 0};
        if (order != Order::Automatic) return;
        double sum = 0;
        for (std::size_t i = first; i < last; ++i) {
            const Shape& s = shapes[i];
            const double length = std::max(std::abs(double(s.x2) - s.x1), std::abs(double(s.y2) - s.y1));
            sum += (std::min(length, longest) + pen) * pen;
        }
        area[static_cast<std::size_t>(t)] = sum;
    });
    bool topDown = order == Order::TopDown;
    if (order == Order::Automatic) {
        double total = 0;
        for (double a : area) total += a;
        topDown = total >= kCoversForTopDown * double(whole.width) * double(whole.height);
    }
    std::atomic<int> nextBand{0};
    run([&](int) {
        for (int band; (band = nextBand++) < bands;) {
            const int top = whole.height * band / bands, bottom = whole.height * (band + 1) / bands;
            raster::Target target = whole.Band(top, bottom);
            if (pixelWrites_) target.writes = &writes[static_cast<std::size_t>(band)];
            for (int y = top; y < bottom; ++y) std::fill_n(target.Row(y), target.width, background);
            if (!topDown) {
                for (std::size_t i = 0; i < count; ++i) PaintShape(target, shapes[i]);
                continue;
            }
            raster::Coverage coverage(target);
            target.cover = &coverage;
            const int pad = disc_.Width();
            for (std::size_t i = count; i-- > 0;) {
                const Shape& s = shapes[i];
                if (coverage.Covers(std::min(s.x1, s.x2) - pad, std::min(s.y1, s.y2) - pad, std::max(s.x1, s.x2) + pad,
                                    std::max(s.y1, s.y2) + pad))
                    continue;
                PaintShape(target, s);
            }
        }
    });
    if (pixelWrites_)
        for (uint64_t n : writes) *pixelWrites_ += n;
}

void Canvas::PaintPicture(const Picture& picture) {
    PaintAll(screen_, ThreadsFor(picture.shapes), order_, picture);
    update();
}

QImage Canvas::RenderPicture(const Picture& picture, int threads, Order order) const {
    QImage image(screen_.size(), QImage::Format_RGB32);
    PaintAll(image, threads, order == Order::Automatic ? order_ : order, picture);
    return image;
}

void Canvas::ShowPicture(uint64_t stamp, const Picture& picture) {
    if (keptValid_ && keptStamp_ == stamp && kept_.size() == screen_.size()) {
        screen_ = kept_;  // shared until the next drawing operation copies it
        update();
        emit PictureShown();
        return;
    }
    PaintPicture(picture);
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
        : canvas_(canvas), target_(canvas.ScreenTarget()), minX_(HUGE_VAL), minY_(HUGE_VAL), maxX_(-HUGE_VAL), maxY_(-HUGE_VAL) {}
    ~Batch() {
        if (painter_.isActive()) painter_.end();
        if (minX_ > maxX_) return;
        const QRectF screen(canvas_.screen_.rect());
        canvas_.UpdateDevicePixels(QRectF(QPointF(minX_, minY_), QPointF(maxX_, maxY_)).intersected(screen));
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    void PSet(double x, double y, uint32_t rgb) { Paint(canvas_.ToPixels(x, y, x, y, rgb)); }
    void Line(double x1, double y1, double x2, double y2, uint32_t rgb) { Paint(canvas_.ToPixels(x1, y1, x2, y2, rgb)); }
    void Box(double x1, double y1, double x2, double y2, uint32_t rgb) {
        const QPoint a = canvas_.PixelOf(x1, y1), b = canvas_.PixelOf(x2, y2);
        const int penWidth = canvas_.disc_.Width();
        const double pad = penWidth + 1.0;
        const QRectF r = QRectF(QPointF(a) + QPointF(0.5, 0.5), QPointF(b) + QPointF(0.5, 0.5)).normalized();
        if (!r.adjusted(-pad, -pad, pad, pad).intersects(QRectF(canvas_.screen_.rect()))) return;
        QPainter& p = Painter();
        p.setPen(QPen(ToQColor(rgb), penWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.drawRect(r);
        Touch(r.left(), r.top(), r.right(), r.bottom(), pad);
    }
    void Circle(double x, double y, double radius, uint32_t rgb) {
        const QPoint c = canvas_.PixelOf(x, y);
        const double r = std::min(std::fabs(radius / canvas_.unitsPerPixelX_ * canvas_.ratio_), kFar);
        const QPointF centre = QPointF(c) + QPointF(0.5, 0.5);
        const int penWidth = canvas_.disc_.Width();
        const double pad = r + penWidth + 1.0;
        if (!QRectF(centre.x() - pad, centre.y() - pad, 2 * pad, 2 * pad).intersects(QRectF(canvas_.screen_.rect())))
            return;
        QPainter& p = Painter();
        p.setPen(QPen(ToQColor(rgb), penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawEllipse(centre, r, r);
        Touch(centre.x(), centre.y(), centre.x(), centre.y(), pad);
    }

private:
    void Paint(const Shape& shape) {
        canvas_.PaintShape(target_, shape);
        Touch(shape.x1, shape.y1, shape.x2 + 1.0, shape.y2 + 1.0, canvas_.disc_.Width() + 1.0);
    }
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
    QPainter painter_;
    double minX_, minY_, maxX_, maxY_;
};

void Canvas::PSet(double x, double y, uint32_t rgb) { Batch(*this).PSet(x, y, rgb); }
void Canvas::Line(double x1, double y1, double x2, double y2, uint32_t rgb) { Batch(*this).Line(x1, y1, x2, y2, rgb); }
void Canvas::Box(double x1, double y1, double x2, double y2, uint32_t rgb) { Batch(*this).Box(x1, y1, x2, y2, rgb); }
void Canvas::Circle(double x, double y, double radius, uint32_t rgb) { Batch(*this).Circle(x, y, radius, rgb); }
