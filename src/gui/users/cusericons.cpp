#include "cusericons.h"

#include <QPainter>
#include <QPainterPath>

namespace {
const QColor s_blue(0x2f, 0x6f, 0xb5);
const QColor s_lightBlue(0x8c, 0xb8, 0xe6);
const QColor s_gold(0xe0, 0xa1, 0x1b);
const QColor s_green(0x2e, 0x9d, 0x52);

// A head and shoulders in a 40 × 40 box.
void DrawPerson(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(s_lightBlue);
    QPainterPath body;
    body.moveTo(4, 38);
    body.cubicTo(4, 25, 10, 21, 17, 21);
    body.cubicTo(24, 21, 30, 25, 30, 38);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(s_blue);
    p.drawEllipse(QRectF(10, 5, 14, 14));
}

void DrawKey(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(s_gold, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawEllipse(QRectF(24, 19, 9, 9));
    p.drawLine(QPointF(31, 27), QPointF(38, 35));
    p.drawLine(QPointF(35, 32), QPointF(32.5, 34.5));
}

void DrawPlus(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(s_green);
    p.drawEllipse(QRectF(23, 22, 16, 16));
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(31, 25.5), QPointF(31, 34.5));
    p.drawLine(QPointF(26.5, 30), QPointF(35.5, 30));
}

void DrawCard(QPainter& p) {
    p.setPen(QPen(s_blue.darker(130), 1.2));
    p.setBrush(s_blue);
    p.drawRoundedRect(QRectF(2, 9, 36, 24), 3.5, 3.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1d, 0x3f, 0x6b));
    p.drawRect(QRectF(2.6, 14, 34.8, 4.5));
    p.setBrush(s_gold);
    p.drawRoundedRect(QRectF(7, 22, 8, 6), 1.2, 1.2);
    p.setBrush(s_lightBlue);
    p.drawRect(QRectF(19, 24, 14, 2));
}
} // namespace

QPixmap CUserIcons::Pixmap(EIcon eIcon, int nSize, qreal dRatio) {
    QPixmap pixmap(QSize(nSize, nSize) * dRatio);
    pixmap.setDevicePixelRatio(dRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(nSize / 40.0, nSize / 40.0);
    switch (eIcon) {
    case Login:
        DrawPerson(p);
        DrawKey(p);
        break;
    case NewUser:
        DrawPerson(p);
        DrawPlus(p);
        break;
    case Accounts:
        DrawCard(p);
        break;
    }
    return pixmap;
}
