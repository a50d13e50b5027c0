#include "settings/UntSettingsImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>
#include <functional>

namespace {

QIcon draw(const std::function<void(QPainter&)>& paint)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    painter.end();
    return QIcon(pixmap);
}

QIcon plus(const QColor& fill, const QColor& edge)
{
    return draw([&](QPainter& p) {
        p.setPen(edge);
        p.setBrush(fill);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
        p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
    });
}

QIcon cross(const QColor& fill, const QColor& edge)
{
    return draw([&](QPainter& p) {
        p.setPen(edge);
        p.setBrush(fill);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    });
}

QIcon gear()
{
    return draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 100, 115));
        p.translate(8, 8);
        for (int i = 0; i < 8; ++i) {
            p.drawRect(QRectF(-1.5, -7.5, 3, 4));
            p.rotate(45);
        }
        p.drawEllipse(QPointF(0, 0), 5, 5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(0, 0), 2, 2);
    });
}

QIcon drive()
{
    return draw([](QPainter& p) {
        p.setPen(QColor(80, 85, 95));
        p.setBrush(QColor(200, 205, 215));
        p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 200, 60));
        p.drawEllipse(QPointF(12, 8.5), 1.2, 1.2);
    });
}

QIcon funnel()
{
    return draw([](QPainter& p) {
        QPainterPath path;
        path.moveTo(1, 2);
        path.lineTo(13, 2);
        path.lineTo(8.5, 8);
        path.lineTo(8.5, 14);
        path.lineTo(5.5, 12);
        path.lineTo(5.5, 8);
        path.closeSubpath();
        p.setPen(QColor(60, 90, 150));
        p.setBrush(QColor(120, 160, 230));
        p.drawPath(path);
        p.setPen(QPen(QColor(20, 150, 40), 2));
        p.drawLine(QPointF(12.5, 9), QPointF(12.5, 15));
        p.drawLine(QPointF(9.5, 12), QPointF(15.5, 12));
    });
}

QIcon info()
{
    return draw([](QPainter& p) {
        p.setPen(QColor(30, 80, 170));
        p.setBrush(QColor(60, 120, 220));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 4.8), 1.2, 1.2);
        p.drawRect(QRectF(7, 7, 2, 5.5));
    });
}

QIcon floppy()
{
    return draw([](QPainter& p) {
        p.setPen(QColor(30, 40, 80));
        p.setBrush(QColor(50, 80, 160));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 2, 8, 5));
        p.setBrush(QColor(180, 180, 190));
        p.drawRect(QRectF(4.5, 10, 7, 4.5));
    });
}

QIcon folders()
{
    return draw([](QPainter& p) {
        p.setPen(QColor(170, 130, 30));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(3.5, 2.5, 11, 8));
        p.setBrush(QColor(250, 215, 110));
        p.drawRect(QRectF(1.5, 5.5, 11, 8));
    });
}

QIcon bars()
{
    return draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 60, 60));
        p.drawRect(QRectF(1, 9, 3.5, 6));
        p.setBrush(QColor(60, 170, 60));
        p.drawRect(QRectF(6, 4, 3.5, 11));
        p.setBrush(QColor(60, 110, 220));
        p.drawRect(QRectF(11, 1, 3.5, 14));
    });
}

QIcon tick()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(20, 160, 40), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    });
}

QIcon smallCross()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(210, 30, 30), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    });
}

const std::array<QIcon, kSettingsPictureCount>& pictures()
{
    static const std::array<QIcon, kSettingsPictureCount> list = {
        gear(),
        drive(),
        funnel(),
        info(),
        plus(QColor(40, 170, 60), QColor(20, 110, 30)),
        cross(QColor(215, 40, 40), QColor(140, 20, 20)),
        plus(QColor(175, 175, 175), QColor(130, 130, 130)),
        cross(QColor(175, 175, 175), QColor(130, 130, 130)),
        floppy(),
        folders(),
        bars(),
        tick(),
        smallCross(),
    };
    return list;
}

} // namespace

QIcon settingsPicture(int index)
{
    if (index < 0 || index >= kSettingsPictureCount)
        return {};
    return pictures()[static_cast<std::size_t>(index)];
}

QIcon recordingPicture()
{
    static const QIcon dot = draw([](QPainter& p) {
        p.setPen(QColor(150, 0, 0));
        p.setBrush(QColor(230, 20, 20));
        p.drawEllipse(QRectF(3.5, 3.5, 9, 9));
    });
    return dot;
}
