#include "widgets/UntGlassToolButton.h"

#include "widgets/UntGlassControl.h"
#include "widgets/UntGlassPaint.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace {

// Upper and lower halves of the face, each a two-colour gradient, and the outline: the same
// build as the tool bar itself, a shade or two darker the deeper the state.
struct TFaceColors {
    QColor upper1, upper2, lower1, lower2, border;
};

TFaceColors faceColors(TGlassButtonFace face)
{
    switch (face) {
    case TGlassButtonFace::gbfHover:
        return {{255, 255, 255}, {236, 244, 252}, {221, 235, 250}, {231, 241, 252}, {146, 172, 204}};
    case TGlassButtonFace::gbfPressed:
        return {{214, 227, 242}, {200, 217, 238}, {185, 205, 230}, {196, 213, 235}, {115, 140, 172}};
    case TGlassButtonFace::gbfChecked:
        return {{232, 240, 250}, {215, 228, 245}, {200, 218, 240}, {210, 225, 243}, {130, 155, 188}};
    default:
        return {{253, 254, 255}, {242, 246, 251}, {232, 238, 246}, {238, 243, 249}, {160, 175, 195}};
    }
}

void drawFace(QPainter& painter, const QRectF& rect, TGlassButtonFace face)
{
    if (face == TGlassButtonFace::gbfNone) {
        return;
    }
    const TFaceColors c = faceColors(face);
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0.0, c.upper1);
    gradient.setColorAt(0.499, c.upper2);
    gradient.setColorAt(0.5, c.lower1);
    gradient.setColorAt(1.0, c.lower2);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(c.border);
    painter.setBrush(gradient);
    painter.drawRoundedRect(outline, 3, 3);
    // A soft inner highlight gives the face its glass edge.
    painter.setPen(QColor(255, 255, 255, face == TGlassButtonFace::gbfPressed ? 60 : 150));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(outline.adjusted(1, 1, -1, -1), 2, 2);
    painter.restore();
}

} // namespace

TGlassToolButton::TGlassToolButton(QWidget* parent) : QToolButton(parent)
{
    applyGlassFont(this, platformMajorVersion());
    setAutoRaise(true);
}

QString TGlassToolButton::version() const
{
    return glassVersion();
}

void TGlassToolButton::setFramed(bool value)
{
    fFramed = value;
    update();
}

TGlassButtonFace TGlassToolButton::face() const
{
    if (isEnabled()) {
        if (isDown()) {
            return TGlassButtonFace::gbfPressed;
        }
        if (isChecked()) {
            return TGlassButtonFace::gbfChecked;
        }
        if (fHovered) {
            return TGlassButtonFace::gbfHover;
        }
    }
    return fFramed ? TGlassButtonFace::gbfNormal : TGlassButtonFace::gbfNone;
}

void TGlassToolButton::enterEvent(QEnterEvent* event)
{
    fHovered = true;
    update();
    QToolButton::enterEvent(event);
}

void TGlassToolButton::leaveEvent(QEvent* event)
{
    fHovered = false;
    update();
    QToolButton::leaveEvent(event);
}

void TGlassToolButton::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    drawFace(painter, QRectF(rect()), face());
    // Only the icon and the text come from the style; the face above replaces its bevel.
    painter.drawControl(QStyle::CE_ToolButtonLabel, option);
}
