#include "view/toolicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor kInk(40, 40, 40);
const QColor kPoint(255, 0, 244);
const QColor kLine(200, 160, 0);
const QColor kRed(210, 30, 30);

void Dot(QPainter& p, QPointF at) {
    p.setPen(Qt::NoPen);
    p.setBrush(kPoint);
    p.drawEllipse(at, 3.5, 3.5);
    p.setBrush(Qt::NoBrush);
}

void Segment(QPainter& p) {
    p.setPen(QPen(kLine, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 19), QPointF(17, 6));
}

void Plus(QPainter& p, QPointF at) {
    p.setPen(QPen(kInk, 2));
    p.drawLine(at + QPointF(-3.5, 0), at + QPointF(3.5, 0));
    p.drawLine(at + QPointF(0, -3.5), at + QPointF(0, 3.5));
}

void Cross(QPainter& p, QPointF at) {
    p.setPen(QPen(kRed, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(at + QPointF(-3.5, -3.5), at + QPointF(3.5, 3.5));
    p.drawLine(at + QPointF(-3.5, 3.5), at + QPointF(3.5, -3.5));
}

void Arrow(QPainter& p, QPointF tip) {
    QPainterPath path(tip);
    path.lineTo(tip + QPointF(0, 10));
    path.lineTo(tip + QPointF(2.6, 7.6));
    path.lineTo(tip + QPointF(4.8, 11.5));
    path.lineTo(tip + QPointF(6.4, 10.6));
    path.lineTo(tip + QPointF(4.3, 6.8));
    path.lineTo(tip + QPointF(7.5, 6.8));
    path.closeSubpath();
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(kInk);
    p.drawPath(path);
    p.setBrush(Qt::NoBrush);
}

void MoveArrows(QPainter& p, QPointF c) {
    p.setPen(QPen(kInk, 1.6));
    p.drawLine(c + QPointF(-5, 0), c + QPointF(5, 0));
    p.drawLine(c + QPointF(0, -5), c + QPointF(0, 5));
    p.setBrush(kInk);
    for (QPointF d : {QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)}) {
        const QPointF tip = c + d * 6.5, side(-d.y(), d.x());
        p.drawPolygon(QPolygonF({tip, tip - d * 2.8 + side * 2.2, tip - d * 2.8 - side * 2.2}));
    }
    p.setBrush(Qt::NoBrush);
}

void Magnifier(QPainter& p, bool plus) {
    p.setPen(QPen(kInk, 2));
    p.drawEllipse(QPointF(10, 10), 6, 6);
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(20, 20));
    p.setPen(QPen(kInk, 1.8));
    p.drawLine(QPointF(7, 10), QPointF(13, 10));
    if (plus) p.drawLine(QPointF(10, 7), QPointF(10, 13));
}

}  // namespace

QIcon ToolIcon(int index) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 1: Dot(p, {9, 12}); Plus(p, {18, 6}); break;
    case 2: Dot(p, {8, 8}); Arrow(p, {11, 10}); break;
    case 3: Dot(p, {7, 7}); MoveArrows(p, {15, 15}); break;
    case 4: Segment(p); Plus(p, {18, 17}); break;
    case 5: Segment(p); Arrow(p, {11, 10}); break;
    case 6: Segment(p); MoveArrows(p, {16, 16}); break;
    case 7:
        Segment(p);
        p.setPen(QPen(kRed, 1.5));
        p.drawRect(QRectF(1.5, 16, 5, 5));
        p.drawRect(QRectF(14.5, 3, 5, 5));
        break;
    case 8: Segment(p); Cross(p, {18, 17}); break;
    case 9: Dot(p, {9, 12}); Cross(p, {18, 17}); break;
    case 10: {
        const QColor swatches[] = {QColor(255, 255, 0), QColor(255, 0, 0), QColor(0, 170, 0), QColor(0, 90, 255)};
        for (int i = 0; i < 4; ++i) {
            p.setPen(QPen(kInk, 1));
            p.setBrush(swatches[i]);
            p.drawRect(QRectF(2.5 + (i % 2) * 10, 2.5 + (i / 2) * 10, 8, 8));
        }
        break;
    }
    case 12: Magnifier(p, false); break;
    case 13: Magnifier(p, true); break;
    default: break;
    }
    return QIcon(pixmap);
}
