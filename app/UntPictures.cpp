#include "app/UntPictures.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// A shared palette keeps the set coherent: dark outlines, saturated fills, one highlight colour.
const QColor kOutline(46, 52, 64);
const QColor kBlue(52, 120, 206);
const QColor kLightBlue(170, 205, 245);
const QColor kGreen(46, 160, 67);
const QColor kRed(214, 48, 49);
const QColor kYellow(240, 190, 50);
const QColor kGrey(120, 128, 140);
const QColor kPaper(250, 250, 252);

QPen outline(qreal width = 1.0)
{
    return QPen(kOutline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawTree(QPainter& p)
{
    p.setPen(outline());
    p.drawLine(QPointF(4, 5), QPointF(4, 12.5));
    p.drawLine(QPointF(4, 8.5), QPointF(8, 8.5));
    p.drawLine(QPointF(4, 12.5), QPointF(8, 12.5));
    p.setBrush(kYellow);
    p.drawRect(QRectF(1.5, 1.5, 6, 4));
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(8.5, 6.5, 6, 4));
    p.drawRect(QRectF(8.5, 10.5, 6, 4));
}

void drawList(QPainter& p)
{
    for (int i = 0; i < 3; ++i) {
        const qreal y = 3.5 + i * 4.5;
        p.setPen(outline());
        p.setBrush(kBlue);
        p.drawRect(QRectF(1.5, y - 1.5, 3, 3));
        p.setPen(QPen(kOutline, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(7, y), QPointF(14.5, y));
    }
}

void drawGear(QPainter& p)
{
    const QPointF c(8, 8);
    QPainterPath teeth;
    for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(8, 8);
        t.rotate(i * 45.0);
        teeth.addPolygon(t.map(QPolygonF(QRectF(-1.6, -7.3, 3.2, 3.5))));
    }
    QPainterPath body;
    body.addEllipse(c, 5.2, 5.2);
    QPainterPath hole;
    hole.addEllipse(c, 2.0, 2.0);
    const QPainterPath shape = teeth.united(body).subtracted(hole);
    p.setPen(outline());
    p.setBrush(kGrey);
    p.drawPath(shape);
}

void drawRoundSign(QPainter& p, const QColor& fill, const QString& glyph)
{
    p.setPen(outline());
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(11);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(1.5, 1.5, 13, 13.5), Qt::AlignCenter, glyph);
}

void drawFolder(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(kYellow);
    QPainterPath path;
    path.moveTo(1.5, 3.5);
    path.lineTo(6, 3.5);
    path.lineTo(7.5, 5);
    path.lineTo(14.5, 5);
    path.lineTo(14.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
}

void drawClean(QPainter& p)
{
    // An eraser on its way across the page.
    p.setPen(outline());
    p.translate(8, 8);
    p.rotate(-40);
    p.setBrush(kPaper);
    p.drawRect(QRectF(-6.5, -3, 5, 6));
    p.setBrush(QColor(232, 110, 140));
    p.drawRect(QRectF(-1.5, -3, 8, 6));
    p.resetTransform();
    p.setPen(QPen(kGrey, 1, Qt::DotLine));
    p.drawLine(QPointF(1, 14.5), QPointF(8, 14.5));
}

void drawResume(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(13.5, 8), QPointF(4, 14)}));
}

void drawPause(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(3.5, 2.5, 3.5, 11), 1, 1);
    p.drawRoundedRect(QRectF(9, 2.5, 3.5, 11), 1, 1);
}

void drawRecord(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(kRed);
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawEllipse(QRectF(5, 4.5, 3.5, 2.5));
}

void drawSave(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(kBlue);
    QPainterPath disk;
    disk.moveTo(1.5, 1.5);
    disk.lineTo(12, 1.5);
    disk.lineTo(14.5, 4);
    disk.lineTo(14.5, 14.5);
    disk.lineTo(1.5, 14.5);
    disk.closeSubpath();
    p.drawPath(disk);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 6, 4.5));
    p.drawRect(QRectF(3.5, 9, 9, 5.5));
}

void drawDocument(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(kPaper);
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(10, 1.5);
    page.lineTo(12.5, 4);
    page.lineTo(12.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    p.drawPath(page);
    p.setPen(QPen(kGrey, 1));
    for (qreal y = 6.5; y < 13; y += 2)
        p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
}

void drawStop(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(QColor(70, 78, 92));
    p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
}

void drawExit(QPainter& p)
{
    // The power sign: an open ring and its bar.
    p.setPen(QPen(kRed, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 3, 11, 11), 125 * 16, 290 * 16);
    p.drawLine(QPointF(8, 1.8), QPointF(8, 7.5));
}

void drawLike(QPainter& p)
{
    QPainterPath heart;
    heart.moveTo(8, 14);
    heart.cubicTo(1, 9, 0.5, 4.5, 3.5, 2.8);
    heart.cubicTo(5.5, 1.7, 7.3, 2.8, 8, 4.5);
    heart.cubicTo(8.7, 2.8, 10.5, 1.7, 12.5, 2.8);
    heart.cubicTo(15.5, 4.5, 15, 9, 8, 14);
    p.setPen(outline());
    p.setBrush(kRed);
    p.drawPath(heart);
}

void drawPicture(QPainter& p, int index)
{
    switch (index) {
    case picTree: drawTree(p); break;
    case picList: drawList(p); break;
    case picSettings: drawGear(p); break;
    case picHelp: drawRoundSign(p, kBlue, QStringLiteral("?")); break;
    case picFolder: drawFolder(p); break;
    case picClean: drawClean(p); break;
    case picResume: drawResume(p); break;
    case picPause: drawPause(p); break;
    case picRecord: drawRecord(p); break;
    case picSave: drawSave(p); break;
    case picDocument: drawDocument(p); break;
    case picStop: drawStop(p); break;
    case picExit: drawExit(p); break;
    case picAbout: drawRoundSign(p, kBlue, QStringLiteral("i")); break;
    case picLike: drawLike(p); break;
    default: break;
    }
}

template <class Draw>
QPixmap render(int width, int scale, Draw draw)
{
    QPixmap pixmap(width * scale, 16 * scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    draw(p);
    return pixmap;
}

void drawProgram(QPainter& p)
{
    // A page under a magnifying glass: files being watched.
    drawDocument(p);
    p.setPen(QPen(kOutline, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.5, 10.5), QPointF(14.5, 14.5));
    p.setPen(outline(1.3));
    p.setBrush(QColor(170, 205, 245, 200));
    p.drawEllipse(QRectF(5, 5, 7, 7));
}

} // namespace

QIcon img16(int index)
{
    if (index < 0 || index >= kPictureCount)
        return {};
    QIcon icon;
    for (int scale : {1, 2})
        icon.addPixmap(render(16, scale, [index](QPainter& p) { drawPicture(p, index); }));
    return icon;
}

QIcon programIcon()
{
    QIcon icon;
    for (int scale : {1, 2, 4})
        icon.addPixmap(render(16, scale, drawProgram));
    return icon;
}

QIcon helpMenuIcon()
{
    QIcon icon;
    for (int scale : {1, 2})
        icon.addPixmap(render(26, scale, [](QPainter& p) {
            drawPicture(p, picHelp);
            p.setPen(Qt::NoPen);
            p.setBrush(kOutline);
            p.drawPolygon(QPolygonF({QPointF(19, 7), QPointF(25, 7), QPointF(22, 10.5)}));
        }));
    return icon;
}
