#include "app/logo.h"

#include <QPainter>
#include <QPainterPath>

namespace kolva {

QString productLongName()
{
    return QStringLiteral("Street Tree Risk Assessment and Inventory");
}

void paintKolvaLogo(QPainter& p, qreal s)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe8, 0xf3, 0xe0));
    p.drawEllipse(QRectF(0, 0, s, s));
    // trunk
    p.setBrush(QColor(0x7a, 0x4e, 0x2d));
    p.drawRect(QRectF(s * 0.45, s * 0.52, s * 0.10, s * 0.33));
    // crown
    p.setBrush(QColor(0x2e, 0x7d, 0x32));
    p.drawEllipse(QRectF(s * 0.22, s * 0.16, s * 0.56, s * 0.44));
    p.setBrush(QColor(0x43, 0xa0, 0x47));
    p.drawEllipse(QRectF(s * 0.30, s * 0.12, s * 0.32, s * 0.28));
    // kerb line
    p.setBrush(QColor(0x60, 0x60, 0x60));
    p.drawRect(QRectF(s * 0.18, s * 0.84, s * 0.64, s * 0.04));
    p.restore();
}

QPixmap kolvaLogo(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    paintKolvaLogo(p, size);
    return pixmap;
}

QPixmap kolvaRiskMark(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath shield;
    shield.moveTo(s * 0.5, s * 0.06);
    shield.lineTo(s * 0.88, s * 0.2);
    shield.cubicTo(s * 0.88, s * 0.6, s * 0.7, s * 0.82, s * 0.5, s * 0.95);
    shield.cubicTo(s * 0.3, s * 0.82, s * 0.12, s * 0.6, s * 0.12, s * 0.2);
    shield.closeSubpath();
    p.setPen(QPen(QColor(0x1b, 0x5e, 0x20), s * 0.04));
    p.setBrush(QColor(0xff, 0xc1, 0x07));
    p.drawPath(shield);
    p.setPen(QPen(QColor(0x1b, 0x5e, 0x20), s * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(s * 0.32, s * 0.5), QPointF(s * 0.46, s * 0.64), QPointF(s * 0.7, s * 0.36)}));
    return pixmap;
}

} // namespace kolva
