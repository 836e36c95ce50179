#include "monitor/qt/MonitorIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace velorin {

namespace {

QPixmap blank(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void drawMark(QPainter& p, const std::string& name, QRectF box)
{
    const qreal s = box.width();
    if (name == "Ok") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 170, 70));
        p.drawEllipse(box);
        p.setPen(QPen(Qt::white, s * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(box.left() + s * 0.27, box.top() + s * 0.52);
        tick.lineTo(box.left() + s * 0.44, box.top() + s * 0.69);
        tick.lineTo(box.left() + s * 0.74, box.top() + s * 0.34);
        p.drawPath(tick);
    } else if (name == "Cancel") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(210, 45, 45));
        p.drawEllipse(box);
        p.setPen(QPen(Qt::white, s * 0.12, Qt::SolidLine, Qt::RoundCap));
        const qreal a = s * 0.32, b = s * 0.68;
        p.drawLine(QPointF(box.left() + a, box.top() + a), QPointF(box.left() + b, box.top() + b));
        p.drawLine(QPointF(box.left() + b, box.top() + a), QPointF(box.left() + a, box.top() + b));
    }
}

} // namespace

QPixmap monitorIcon(const std::string& name, int size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    if (name == "zoomIn" || name == "zoomOut") {
        p.setPen(QPen(QColor(0, 122, 255), s * 0.09, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        const QRectF lens(s * 0.12, s * 0.12, s * 0.55, s * 0.55);
        p.drawEllipse(lens);
        p.drawLine(QPointF(s * 0.6, s * 0.6), QPointF(s * 0.88, s * 0.88));
        const QPointF c = lens.center();
        p.drawLine(QPointF(c.x() - s * 0.14, c.y()), QPointF(c.x() + s * 0.14, c.y()));
        if (name == "zoomIn")
            p.drawLine(QPointF(c.x(), c.y() - s * 0.14), QPointF(c.x(), c.y() + s * 0.14));
    } else {
        drawMark(p, name, QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84));
    }
    return pixmap;
}

QPixmap cloudIcon(const std::string& mark, int size)
{
    QPixmap pixmap = blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath cloud;
    cloud.addEllipse(QRectF(s * 0.05, s * 0.38, s * 0.38, s * 0.34));
    cloud.addEllipse(QRectF(s * 0.25, s * 0.2, s * 0.45, s * 0.45));
    cloud.addEllipse(QRectF(s * 0.52, s * 0.35, s * 0.4, s * 0.37));
    cloud.addRect(QRectF(s * 0.22, s * 0.5, s * 0.52, s * 0.22));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(160, 190, 230));
    p.drawPath(cloud.simplified());
    if (!mark.empty())
        drawMark(p, mark, QRectF(s * 0.5, s * 0.5, s * 0.48, s * 0.48));
    return pixmap;
}

} // namespace velorin
