#include "widgets/UntGlassControl.h"

#include "widgets/UntGlassPaint.h"

#include <QEnterEvent>
#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <QOperatingSystemVersion>
#include <QPainter>

int platformMajorVersion()
{
    return QOperatingSystemVersion::current().majorVersion();
}

void applyGlassFont(QWidget* widget, int majorVersion)
{
    // The set's own font only exists on Windows; elsewhere the desktop's font is the better choice.
    if (QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows && majorVersion > 5) {
        QFont font(QStringLiteral("Segoe UI"));
        font.setPointSize(9);
        widget->setFont(font);
    }
}

TGlassControl::TGlassControl(QWidget* parent) : QWidget(parent), fWindowsVersion(platformMajorVersion())
{
    applyGlassFont(this, fWindowsVersion);
}

QString TGlassControl::version() const
{
    return glassVersion();
}

void TGlassControl::setCaption(const QString& value)
{
    if (value != fCaption) {
        fCaption = value;
        update();
    }
}

void TGlassControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        fLeftButtonPressed = true;
    }
    update();
    QWidget::mousePressEvent(event);
}

void TGlassControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        fLeftButtonPressed = false;
    }
    update();
    QWidget::mouseReleaseEvent(event);
}

void TGlassControl::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void TGlassControl::focusOutEvent(QFocusEvent* event)
{
    fLeftButtonPressed = false;
    update();
    QWidget::focusOutEvent(event);
}

void TGlassControl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        fLeftButtonPressed = false;
        update();
    }
    QWidget::changeEvent(event);
}

void TGlassControl::enterEvent(QEnterEvent* event)
{
    if (fInvalidateOnMouseEvents) {
        update();
    }
    QWidget::enterEvent(event);
    emit mouseEnter();
}

void TGlassControl::leaveEvent(QEvent* event)
{
    if (fInvalidateOnMouseEvents) {
        update();
    }
    QWidget::leaveEvent(event);
    emit mouseLeave();
}

void TGlassControl::paintImage(const QImage& image)
{
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), image);
}

TGlassTransparentControl::TGlassTransparentControl(QWidget* parent) : TGlassControl(parent) {}

QImage TGlassTransparentControl::backgroundImage(qreal devicePixelRatio) const
{
    QImage image = newWidgetImage(*this, devicePixelRatio);
    if (image.isNull()) {
        return image;
    }
    image.fill(palette().color(backgroundRole()).rgb());
    QWidget* parent = parentWidget();
    if (parent == nullptr) {
        return image;
    }
    // The parent erases and paints itself, shifted by our position and clipped to its own area;
    // its other children are left out, which also keeps this control from drawing itself.
    const QRect area = geometry().intersected(parent->rect());
    if (!area.isEmpty()) {
        parent->render(&image, area.topLeft() - pos(), QRegion(area), QWidget::DrawWindowBackground);
    }
    return image;
}
