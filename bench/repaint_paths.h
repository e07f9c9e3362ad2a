#pragma once
// Two other ways to paint the main window's whole drawing, for comparison
// with its own repaint; each paints into an image of the drawing area's size.
//
// PlainQPainter: the same pixels with nothing but QPainter: aliased, a
// cosmetic pen, flat-capped drawLines per run of one colour, and a disc
// rendered once per width and colour stamped at every point and line end.
//
// FormerRepaint: the repaint as it was before the kept picture and the bands:
// one thread, a disc tested pixel by pixel, one-pixel lines by a Bresenham
// walk from start to end, wider lines clipped and handed to QPainter.
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "model/numtext.h"
#include "view/frmmain.h"

namespace repaint_paths {

inline QColor Colour(uint32_t rgb) { return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF); }
const uint32_t kPointRgb = Rgb(255, 0, 244);

// ---- plain QPainter ----

class PlainQPainter {
public:
    void Paint(const frmmain& form, QImage& image) {
        const Canvas& canvas = *form.canvas;
        const int w = canvas.DrawWidth();
        image.fill(Colour(canvas.BackColor()));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);

        ends_.clear();
        for (const auto& pt : form.pntArray) ends_.push_back(canvas.PixelOf(pt->X, pt->Y));
        Stamp(p, w, kPointRgb);

        std::size_t i = 0;
        const auto& lines = form.lineArray;
        const std::size_t count = std::size_t(lines.Count());
        auto it = lines.begin();
        while (i < count) {
            const uint32_t rgb = ColorToRgb((*it)->color);
            run_.clear();
            for (; i < count && ColorToRgb((*it)->color) == rgb; ++i, ++it) {
                const QPoint a = canvas.PixelOf((*it)->sp.X, (*it)->sp.Y), b = canvas.PixelOf((*it)->ep.X, (*it)->ep.Y);
                ends_.push_back(a);
                ends_.push_back(b);
                // Both directions give the same pixels; this one is the editor's.
                const bool swap = a.y() > b.y() || (a.y() == b.y() && a.x() > b.x());
                if (a != b) run_.emplace_back(QPointF(swap ? b : a) + QPointF(0.5, 0.5), QPointF(swap ? a : b) + QPointF(0.5, 0.5));
            }
            QPen pen(Colour(rgb), w, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
            pen.setCosmetic(true);
            p.setPen(pen);
            p.drawLines(run_.data(), int(run_.size()));
            Stamp(p, w, rgb);
        }
    }

private:
    // The discs at `ends_`: a one-pixel pen's are its points, wider ones a
    // pre-rendered disc drawn at each place (the fastest of drawImage,
    // drawPixmap and a drawRects of the disc's rows, measured here).
    void Stamp(QPainter& p, int w, uint32_t rgb) {
        if (w == 1) {
            QPen pen(Colour(rgb), 1);
            pen.setCosmetic(true);
            p.setPen(pen);
            p.drawPoints(ends_.data(), int(ends_.size()));
        } else {
            const QImage& disc = Disc(w, rgb);
            const int first = -(w - 1) / 2;
            for (const QPoint& e : ends_) p.drawImage(e + QPoint(first, first), disc);
        }
        ends_.clear();
    }
    // The pen's disc on a transparent square, made once per width and colour.
    const QImage& Disc(int w, uint32_t rgb) {
        if (discWidth_ != w || discRgb_ != rgb || disc_.isNull()) {
            disc_ = QImage(w, w, QImage::Format_ARGB32_Premultiplied);
            disc_.fill(Qt::transparent);
            const double r2 = w * w / 4.0, mid = w / 2.0;
            for (int j = 0; j < w; ++j)
                for (int k = 0; k < w; ++k) {
                    const double dx = k + 0.5 - mid, dy = j + 0.5 - mid;
                    if (dx * dx + dy * dy <= r2) disc_.setPixelColor(k, j, Colour(rgb));
                }
            discWidth_ = w;
            discRgb_ = rgb;
        }
        return disc_;
    }

    std::vector<QLineF> run_;
    std::vector<QPoint> ends_;
    QImage disc_;
    int discWidth_ = 0;
    uint32_t discRgb_ = 0;
};

// ---- the former repaint ----

class FormerRepaint {
public:
    void Paint(const frmmain& form, QImage& image) {
        canvas_ = form.canvas;
        image_ = &image;
        w_ = canvas_->DrawWidth();
        image.fill(Colour(canvas_->BackColor()));
        for (const auto& p : form.pntArray) PSet(p->X, p->Y, kPointRgb);
        for (const auto& l : form.lineArray) Line(l->sp.X, l->sp.Y, l->ep.X, l->ep.Y, ColorToRgb(l->color));
        FlushLines();
        if (painter_.isActive()) painter_.end();
    }

private:
    void StampDot(QPoint centre, uint32_t rgb) {
        const int first = -(w_ - 1) / 2;
        const double r2 = w_ * w_ / 4.0, mid = w_ / 2.0;
        const QRgb colour = Colour(rgb).rgb();
        for (int j = 0; j < w_; ++j) {
            const int y = centre.y() + first + j;
            if (y < 0 || y >= image_->height()) continue;
            auto* row = reinterpret_cast<QRgb*>(image_->scanLine(y));
            const double dy = j + 0.5 - mid;
            for (int i = 0; i < w_; ++i) {
                const int x = centre.x() + first + i;
                if (x < 0 || x >= image_->width()) continue;
                const double dx = i + 0.5 - mid;
                if (dx * dx + dy * dy <= r2) row[x] = colour;
            }
        }
    }
    void PSet(double x, double y, uint32_t rgb) {
        const QPoint pixel = canvas_->PixelOf(x, y);
        if (pixel.x() < -w_ || pixel.y() < -w_ || pixel.x() > image_->width() + w_ || pixel.y() > image_->height() + w_)
            return;
        FlushLines();
        StampDot(pixel, rgb);
    }
    static bool ClipSegment(double& x1, double& y1, double& x2, double& y2, double left, double top, double right,
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
    void PlotThinLine(QPoint a, QPoint b, uint32_t rgb) {
        const unsigned width = unsigned(image_->width()), height = unsigned(image_->height());
        uchar* const bits = image_->bits();
        const qsizetype stride = image_->bytesPerLine();
        const QRgb colour = Colour(rgb).rgb();
        int x = a.x(), y = a.y();
        const int dx = std::abs(b.x() - x), sx = x < b.x() ? 1 : -1;
        const int dy = -std::abs(b.y() - y), sy = y < b.y() ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            if (unsigned(x) < width && unsigned(y) < height) reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
            if (x == b.x() && y == b.y()) break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }
    void Line(double x1, double y1, double x2, double y2, uint32_t rgb) {
        const QPoint a = canvas_->PixelOf(x1, y1), b = canvas_->PixelOf(x2, y2);
        if (a == b) {
            PSet(x1, y1, rgb);
            return;
        }
        double ax = a.x() + 0.5, ay = a.y() + 0.5, bx = b.x() + 0.5, by = b.y() + 0.5;
        const double pad = w_ + 2.0;
        if (!ClipSegment(ax, ay, bx, by, -pad, -pad, image_->width() + pad, image_->height() + pad)) return;
        if (w_ == 1) {
            FlushLines();
            PlotThinLine(QPoint(int(std::floor(ax)), int(std::floor(ay))), QPoint(int(std::floor(bx)), int(std::floor(by))),
                         rgb);
            return;
        }
        if (rgb != lineRgb_) FlushLines();
        lineRgb_ = rgb;
        lines_.emplace_back(ax, ay, bx, by);
    }
    void FlushLines() {
        if (lines_.empty()) return;
        if (!painter_.isActive()) {
            painter_.begin(image_);
            painter_.setRenderHint(QPainter::Antialiasing, false);
        }
        painter_.setPen(QPen(Colour(lineRgb_), w_, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
        painter_.drawLines(lines_.data(), int(lines_.size()));
        for (const QLineF& l : lines_) {
            StampDot(QPoint(int(std::floor(l.x1())), int(std::floor(l.y1()))), lineRgb_);
            StampDot(QPoint(int(std::floor(l.x2())), int(std::floor(l.y2()))), lineRgb_);
        }
        lines_.clear();
    }

    const Canvas* canvas_ = nullptr;
    QImage* image_ = nullptr;
    QPainter painter_;
    std::vector<QLineF> lines_;
    uint32_t lineRgb_ = 0;
    int w_ = 1;
};

// Pixels in which two images differ.
inline long long Differences(const QImage& a, const QImage& b) {
    if (a == b) return 0;
    long long n = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) n += ra[x] != rb[x];
    }
    return n;
}

}  // namespace repaint_paths
