#include "widgets/UntGlassBars.h"

#include "widgets/UntGlassPaint.h"

#include <QEvent>
#include <QLayout>

TGlassEdgeBar::TGlassEdgeBar(QWidget* parent, Qt::Edge edge, int height) : TGlassControl(parent), fEdge(edge)
{
    setInvalidateOnMouseEvents(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(300, height);
    followParent();
    align();
}

bool TGlassEdgeBar::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange) {
        followParent();
        align();
    }
    return TGlassControl::event(event);
}

bool TGlassEdgeBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == fWatched && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
        align();
    }
    return TGlassControl::eventFilter(watched, event);
}

void TGlassEdgeBar::followParent()
{
    if (fWatched != nullptr) {
        fWatched->removeEventFilter(this);
    }
    fWatched = parentWidget();
    if (fWatched != nullptr) {
        fWatched->installEventFilter(this);
    }
}

void TGlassEdgeBar::align()
{
    // A layout places the bar itself; only a parent without one leaves the edge to the bar.
    if (fWatched == nullptr || fWatched->layout() != nullptr) {
        return;
    }
    const int y = fEdge == Qt::TopEdge ? 0 : fWatched->height() - height();
    setGeometry(0, y, fWatched->width(), height());
}

TGlassToolBar::TGlassToolBar(QWidget* parent) : TGlassEdgeBar(parent, Qt::TopEdge, 31) {}

void TGlassToolBar::setShowTopBorder(bool value)
{
    fShowTopBorder = value;
    repaint();
}

QImage TGlassToolBar::renderImage(qreal devicePixelRatio) const
{
    QImage image = newWidgetImage(*this, devicePixelRatio);
    if (image.isNull()) {
        return image;
    }
    const int w = image.width();
    const int h = image.height();
    fillGradient(image, qRgb(250, 252, 253), qRgb(230, 240, 250), true, QRect(0, 0, w, h / 2));
    fillGradient(image, qRgb(220, 230, 244), qRgb(221, 233, 247), true, QRect(0, h / 2, w, h - h / 2));
    fillRow(image, h - 3, 0, w - 1, qRgb(228, 239, 251));
    fillRow(image, h - 2, 0, w - 1, qRgb(205, 218, 234));
    fillRow(image, h - 1, 0, w - 1, qRgb(160, 175, 195));
    fillColumn(image, 0, 0, h - 4, qRgb(228, 239, 251));
    fillColumn(image, w - 1, 0, h - 4, qRgb(228, 239, 251));
    if (fShowTopBorder) {
        fillRow(image, 0, 0, w - 1, qRgb(205, 218, 234));
    }
    return image;
}

void TGlassToolBar::paintEvent(QPaintEvent* /*event*/)
{
    paintImage(renderImage(devicePixelRatioF()));
}

TGlassInformationBar::TGlassInformationBar(QWidget* parent) : TGlassEdgeBar(parent, Qt::BottomEdge, 53) {}

QImage TGlassInformationBar::renderImage(qreal devicePixelRatio) const
{
    QImage image = newWidgetImage(*this, devicePixelRatio);
    if (image.isNull()) {
        return image;
    }
    const int w = image.width();
    image.fill(qRgb(241, 245, 251));
    // The top edge darkens towards the border above the bar.
    const QRgb rows[] = {qRgb(204, 217, 234), qRgb(217, 227, 240), qRgb(232, 238, 247), qRgb(237, 242, 249),
                         qRgb(240, 244, 250)};
    for (int y = 4; y >= 0; --y) {
        fillRow(image, y, 0, w - 1, rows[y]);
    }
    return image;
}

void TGlassInformationBar::paintEvent(QPaintEvent* /*event*/)
{
    paintImage(renderImage(devicePixelRatioF()));
}
