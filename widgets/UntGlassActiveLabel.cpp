#include "widgets/UntGlassActiveLabel.h"

#include "widgets/UntGlassControl.h"
#include "widgets/UntGlassPaint.h"

#include <QEnterEvent>
#include <QMouseEvent>

TGlassActiveLabel::TGlassActiveLabel(QWidget* parent) : TGlassActiveLabel(QString(), parent) {}

TGlassActiveLabel::TGlassActiveLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    applyGlassFont(this, platformMajorVersion());
    applyState();
}

QString TGlassActiveLabel::version() const
{
    return glassVersion();
}

// A new colour or cursor shows at once, not only after the next entry or exit.
void TGlassActiveLabel::setMouseInColor(const QColor& value)
{
    fMouseInColor = value;
    applyState();
}

void TGlassActiveLabel::setMouseOutColor(const QColor& value)
{
    fMouseOutColor = value;
    applyState();
}

void TGlassActiveLabel::setMouseInCursor(const QCursor& value)
{
    fMouseInCursor = value;
    applyState();
}

void TGlassActiveLabel::setMouseOutCursor(const QCursor& value)
{
    fMouseOutCursor = value;
    applyState();
}

void TGlassActiveLabel::applyState()
{
    QPalette pal = palette();
    const QColor color = fMouseIn ? fMouseInColor : fMouseOutColor;
    pal.setColor(QPalette::Active, QPalette::WindowText, color);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, color);
    setPalette(pal);
    QFont f = font();
    f.setUnderline(fMouseIn);
    setFont(f);
    setCursor(fMouseIn ? fMouseInCursor : fMouseOutCursor);
}

void TGlassActiveLabel::enterEvent(QEnterEvent* event)
{
    fMouseIn = true;
    applyState();
    QLabel::enterEvent(event);
    emit mouseEnter();
}

void TGlassActiveLabel::leaveEvent(QEvent* event)
{
    fMouseIn = false;
    applyState();
    QLabel::leaveEvent(event);
    emit mouseLeave();
}

void TGlassActiveLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        fPressed = true;
    }
    QLabel::mousePressEvent(event);
}

void TGlassActiveLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = fPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        fPressed = false;
    }
    QLabel::mouseReleaseEvent(event);
    if (click) {
        emit clicked();
    }
}
