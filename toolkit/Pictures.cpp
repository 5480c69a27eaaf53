#include "toolkit/Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <functional>

namespace {

// A transparent square of the given size painted by draw, antialiased.
QPixmap Paint(int size, const std::function<void(QPainter&)>& draw) {
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    draw(g);
    return p;
}

QIcon Icon16(const std::function<void(QPainter&)>& draw) {
    return QIcon(Paint(16, draw));
}

QPen Thick(const QColor& c, qreal w = 3.0) {
    QPen pen(c, w);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QIcon Arrow(bool left) {
    return Icon16([left](QPainter& g) {
        QPolygonF tri;
        if (left)
            tri << QPointF(4, 8) << QPointF(12, 2) << QPointF(12, 14);
        else
            tri << QPointF(12, 8) << QPointF(4, 2) << QPointF(4, 14);
        g.setPen(QPen(QColor(0, 0, 128), 1));
        g.setBrush(QColor(40, 80, 200));
        g.drawPolygon(tri);
    });
}

}  // namespace

namespace Pictures {

QIcon Add() {
    return Icon16([](QPainter& g) {
        g.setPen(Thick(QColor(0, 140, 0)));
        g.drawLine(QPointF(8, 3), QPointF(8, 13));
        g.drawLine(QPointF(3, 8), QPointF(13, 8));
    });
}

QIcon Remove() {
    return Icon16([](QPainter& g) {
        g.setPen(Thick(QColor(200, 0, 0)));
        g.drawLine(QPointF(3, 8), QPointF(13, 8));
    });
}

QIcon Previous() {
    return Arrow(true);
}
QIcon Next() {
    return Arrow(false);
}

QIcon Ok() {
    return Icon16([](QPainter& g) {
        g.setPen(Thick(QColor(0, 140, 0)));
        g.drawPolyline(QPolygonF() << QPointF(3, 9) << QPointF(7, 13) << QPointF(13, 3));
    });
}

QIcon Cancel() {
    return Icon16([](QPainter& g) {
        g.setPen(Thick(QColor(200, 0, 0)));
        g.drawLine(QPointF(4, 4), QPointF(12, 12));
        g.drawLine(QPointF(12, 4), QPointF(4, 12));
    });
}

QIcon Help() {
    return Icon16([](QPainter& g) {
        QFont f = g.font();
        f.setBold(true);
        f.setPixelSize(14);
        g.setFont(f);
        g.setPen(QColor(0, 0, 160));
        g.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, "?");
    });
}

QIcon Properties() {
    return Icon16([](QPainter& g) {
        g.setPen(QPen(QColor(80, 80, 80), 1));
        g.setBrush(QColor(250, 250, 235));
        g.drawRect(QRectF(3, 1.5, 10, 13));
        g.setPen(QPen(QColor(0, 0, 160), 1));
        for (int y = 5; y <= 11; y += 3) g.drawLine(QPointF(5, y), QPointF(11, y));
    });
}

QPixmap Emblem(int which) {
    return Paint(32, [which](QPainter& g) {
        if (which == 0) {  // a joystick: base, stick, red knob
            g.setPen(QPen(Qt::black, 1));
            g.setBrush(QColor(60, 60, 60));
            g.drawRoundedRect(QRectF(4, 22, 24, 8), 3, 3);
            g.setPen(Thick(QColor(30, 30, 30), 3));
            g.drawLine(QPointF(16, 24), QPointF(16, 10));
            g.setPen(QPen(QColor(120, 0, 0), 1));
            g.setBrush(QColor(220, 20, 20));
            g.drawEllipse(QPointF(16, 8), 6, 6);
            g.setBrush(QColor(240, 200, 0));
            g.drawEllipse(QPointF(24, 24), 2, 2);
        } else {  // a cartridge with a label
            QPainterPath body;
            body.addRoundedRect(QRectF(5, 3, 22, 26), 3, 3);
            g.setPen(QPen(Qt::black, 1));
            g.setBrush(QColor(110, 110, 120));
            g.drawPath(body);
            g.setBrush(QColor(250, 210, 60));
            g.drawRect(QRectF(9, 7, 14, 11));
            g.setPen(QPen(QColor(60, 60, 70), 1));
            for (int x = 9; x <= 23; x += 2) g.drawLine(QPointF(x, 24), QPointF(x, 28));
        }
    });
}

}  // namespace Pictures
