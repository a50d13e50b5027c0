#include "widgets/UntPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A shared palette keeps the set coherent: dark outlines, saturated fills, one highlight colour.
const QColor kOutline(46, 52, 64);
const QColor kBlue(52, 120, 206);
const QColor kLightBlue(170, 205, 245);
const QColor kGreen(46, 160, 67);
const QColor kRed(214, 48, 49);
const QColor kYellow(240, 190, 50);
const QColor kGrey(120, 128, 140);
const QColor kLightGrey(180, 185, 192);
const QColor kPaper(250, 250, 252);

QPen outline(qreal width = 1.0)
{
    return QPen(kOutline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPen stroke(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawPlusGlyph(QPainter& p, const QPointF& c, qreal arm, const QPen& pen)
{
    p.setPen(pen);
    p.drawLine(c - QPointF(0, arm), c + QPointF(0, arm));
    p.drawLine(c - QPointF(arm, 0), c + QPointF(arm, 0));
}

void drawCrossGlyph(QPainter& p, const QPointF& c, qreal arm, const QPen& pen)
{
    p.setPen(pen);
    p.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
    p.drawLine(c + QPointF(arm, -arm), c + QPointF(-arm, arm));
}

// A filled, outlined disc; the caller draws its glyph in white on top.
void drawRoundSign(QPainter& p, const QColor& fill)
{
    p.setPen(outline());
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
}

void drawTextSign(QPainter& p, const QColor& fill, const QString& glyph)
{
    drawRoundSign(p, fill);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(11);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(1.5, 1.5, 13, 13.5), Qt::AlignCenter, glyph);
}

void drawInfo(QPainter& p)
{
    // Drawn rather than typed, so the sign does not depend on the desktop's font.
    drawRoundSign(p, kBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.9), 1.2, 1.2);
    p.drawRoundedRect(QRectF(7, 7, 2, 5.5), 0.5, 0.5);
}

void drawPlusSign(QPainter& p, const QColor& fill)
{
    drawRoundSign(p, fill);
    drawPlusGlyph(p, QPointF(8, 8), 3.5, stroke(Qt::white, 2.2));
}

void drawCrossSign(QPainter& p, const QColor& fill)
{
    drawRoundSign(p, fill);
    drawCrossGlyph(p, QPointF(8, 8), 2.6, stroke(Qt::white, 2.2));
}

// A page or a disk: an outlined rectangle with its top right corner cut off.
void drawCutCorner(QPainter& p, const QRectF& frame, const QColor& fill)
{
    const qreal cut = 2.5;
    p.setPen(outline());
    p.setBrush(fill);
    p.drawPolygon(QPolygonF({frame.topLeft(), frame.topRight() - QPointF(cut, 0), frame.topRight() + QPointF(0, cut),
                             frame.bottomRight(), frame.bottomLeft()}));
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
    p.setPen(outline());
    p.setBrush(kGrey);
    p.drawPath(teeth.united(body).subtracted(hole));
}

void drawFolderAt(QPainter& p, const QRectF& frame, const QColor& fill)
{
    // The tab sits on the top left; the body starts 1.5 below the frame's top.
    p.setPen(outline());
    p.setBrush(fill);
    QPainterPath path;
    path.moveTo(frame.topLeft());
    path.lineTo(frame.topLeft() + QPointF(4.5, 0));
    path.lineTo(frame.topLeft() + QPointF(6, 1.5));
    path.lineTo(frame.right(), frame.top() + 1.5);
    path.lineTo(frame.bottomRight());
    path.lineTo(frame.bottomLeft());
    path.closeSubpath();
    p.drawPath(path);
}

void drawFolders(QPainter& p)
{
    drawFolderAt(p, QRectF(3.5, 1.5, 11, 8), kYellow.darker(115));
    drawFolderAt(p, QRectF(1.5, 5.5, 11, 9), kYellow);
}

void drawDocument(QPainter& p)
{
    drawCutCorner(p, QRectF(3.5, 1.5, 9, 13), kPaper);
    p.setPen(QPen(kGrey, 1));
    for (qreal y = 6.5; y < 13; y += 2)
        p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
}

void drawClean(QPainter& p)
{
    // An eraser on its way across the page.
    p.save();
    p.setPen(outline());
    p.translate(8, 8);
    p.rotate(-40);
    p.setBrush(kPaper);
    p.drawRect(QRectF(-6.5, -3, 5, 6));
    p.setBrush(QColor(232, 110, 140));
    p.drawRect(QRectF(-1.5, -3, 8, 6));
    p.restore();
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

void drawStop(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(QColor(70, 78, 92));
    p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
}

void drawFloppy(QPainter& p)
{
    drawCutCorner(p, QRectF(1.5, 1.5, 13, 13), kBlue);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 6, 4.5));
    p.drawRect(QRectF(3.5, 9, 9, 5.5));
}

void drawExit(QPainter& p)
{
    // The power sign: an open ring and its bar.
    p.setPen(stroke(kRed, 2.2));
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

void drawDrive(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(kLightGrey);
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(11.8, 8.5), 1.2, 1.2);
}

void drawFilterAdd(QPainter& p)
{
    QPainterPath funnel;
    funnel.moveTo(1.5, 2.5);
    funnel.lineTo(12.5, 2.5);
    funnel.lineTo(8.5, 7.5);
    funnel.lineTo(8.5, 13);
    funnel.lineTo(5.5, 11.5);
    funnel.lineTo(5.5, 7.5);
    funnel.closeSubpath();
    p.setPen(outline());
    p.setBrush(kLightBlue);
    p.drawPath(funnel);
    // The plus sits on an outline of its own so it stays readable over the funnel.
    drawPlusGlyph(p, QPointF(12, 12), 3, stroke(kOutline, 3.6));
    drawPlusGlyph(p, QPointF(12, 12), 3, stroke(kGreen, 1.8));
}

void drawBars(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(kRed);
    p.drawRect(QRectF(1.5, 9.5, 3.5, 5));
    p.setBrush(kGreen);
    p.drawRect(QRectF(6.25, 5.5, 3.5, 9));
    p.setBrush(kBlue);
    p.drawRect(QRectF(11, 1.5, 3.5, 13));
}

void drawTick(QPainter& p)
{
    const QPolygonF tick({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)});
    p.setPen(stroke(kOutline, 4.2));
    p.drawPolyline(tick);
    p.setPen(stroke(kGreen, 2.4));
    p.drawPolyline(tick);
}

void drawSmallCross(QPainter& p)
{
    drawCrossGlyph(p, QPointF(8, 8), 3.5, stroke(kOutline, 4.2));
    drawCrossGlyph(p, QPointF(8, 8), 3.5, stroke(kRed, 2.4));
}

void drawShape(QPainter& p, TPictureShape shape)
{
    switch (shape) {
    case TPictureShape::tree:
        drawTree(p);
        break;
    case TPictureShape::list:
        drawList(p);
        break;
    case TPictureShape::gear:
        drawGear(p);
        break;
    case TPictureShape::help:
        drawTextSign(p, kBlue, QStringLiteral("?"));
        break;
    case TPictureShape::info:
        drawInfo(p);
        break;
    case TPictureShape::folder:
        drawFolderAt(p, QRectF(1.5, 3.5, 13, 10), kYellow);
        break;
    case TPictureShape::folders:
        drawFolders(p);
        break;
    case TPictureShape::document:
        drawDocument(p);
        break;
    case TPictureShape::clean:
        drawClean(p);
        break;
    case TPictureShape::resume:
        drawResume(p);
        break;
    case TPictureShape::pause:
        drawPause(p);
        break;
    case TPictureShape::record:
        drawRecord(p);
        break;
    case TPictureShape::stop:
        drawStop(p);
        break;
    case TPictureShape::floppy:
        drawFloppy(p);
        break;
    case TPictureShape::exit:
        drawExit(p);
        break;
    case TPictureShape::like:
        drawLike(p);
        break;
    case TPictureShape::drive:
        drawDrive(p);
        break;
    case TPictureShape::filterAdd:
        drawFilterAdd(p);
        break;
    case TPictureShape::add:
        drawPlusSign(p, kGreen);
        break;
    case TPictureShape::remove:
        drawCrossSign(p, kRed);
        break;
    case TPictureShape::addLocked:
        drawPlusSign(p, kLightGrey);
        break;
    case TPictureShape::removeLocked:
        drawCrossSign(p, kLightGrey);
        break;
    case TPictureShape::bars:
        drawBars(p);
        break;
    case TPictureShape::tick:
        drawTick(p);
        break;
    case TPictureShape::smallCross:
        drawSmallCross(p);
        break;
    }
}

template <class Draw> QPixmap render(int width, int scale, Draw draw)
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
    p.setPen(stroke(kOutline, 2.2));
    p.drawLine(QPointF(10.5, 10.5), QPointF(14.5, 14.5));
    p.setPen(outline(1.3));
    p.setBrush(QColor(170, 205, 245, 200));
    p.drawEllipse(QRectF(5, 5, 7, 7));
}

} // namespace

QIcon pictureIcon(TPictureShape shape)
{
    QIcon icon;
    for (int scale : {1, 2})
        icon.addPixmap(render(16, scale, [shape](QPainter& p) { drawShape(p, shape); }));
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
            drawShape(p, TPictureShape::help);
            p.setPen(Qt::NoPen);
            p.setBrush(kOutline);
            p.drawPolygon(QPolygonF({QPointF(19, 7), QPointF(25, 7), QPointF(22, 10.5)}));
        }));
    return icon;
}
