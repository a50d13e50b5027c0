#include "widgets/UntGlassPanel.h"

#include "widgets/UntGlassPaint.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <array>
#include <optional>

namespace {

struct TPanelPreset {
    TGlassPanelFillStyle fill;
    QRgb colorA;
    QRgb colorB;
    std::optional<QRgb> colorC;
    std::optional<QRgb> colorD;
    std::optional<QRgb> outer;
    std::optional<QRgb> inner;
    bool clearInner;
    bool clearOuter;
};

constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kWhite = 0xFFFFFFFFu;

// Presets in the order of TGlassPanelStyle, wpsCustom excluded.
const std::array<TPanelPreset, 8>& panelPresets()
{
    using F = TGlassPanelFillStyle;
    static const std::array<TPanelPreset, 8> presets{{
        {F::pfsDoubleGradient, qRgb(106, 125, 151), qRgb(38, 66, 104), qRgb(16, 46, 88), qRgb(11, 42, 85), std::nullopt,
         std::nullopt, true, true},
        {F::pfsGradient, qRgb(28, 35, 45), qRgb(14, 21, 32), std::nullopt, std::nullopt, qRgb(8, 12, 18),
         qRgb(73, 79, 87), false, false},
        {F::pfsGradient, qRgb(5, 140, 245), qRgb(1, 93, 230), std::nullopt, std::nullopt, qRgb(224, 224, 224),
         qRgb(224, 224, 224), true, false},
        {F::pfsDoubleGradient, qRgb(99, 99, 99), qRgb(32, 32, 32), kBlack, kBlack, qRgb(67, 67, 67), qRgb(38, 38, 38),
         true, true},
        {F::pfsDoubleGradient, qRgb(84, 85, 86), qRgb(44, 45, 45), qRgb(23, 24, 24), qRgb(2, 3, 3), kBlack,
         qRgb(75, 75, 75), false, false},
        {F::pfsGradient, qRgb(239, 246, 249), qRgb(189, 197, 201), std::nullopt, std::nullopt, qRgb(92, 99, 104),
         qRgb(92, 99, 104), true, false},
        {F::pfsGradient, qRgb(237, 243, 252), kWhite, std::nullopt, std::nullopt, qRgb(142, 156, 173), kWhite, false,
         false},
        {F::pfsDoubleGradient, qRgb(159, 208, 155), qRgb(64, 178, 59), qRgb(33, 161, 26), qRgb(39, 170, 30),
         qRgb(17, 83, 14), qRgb(205, 227, 204), false, false},
    }};
    return presets;
}

QRgb opaque(const QColor& c)
{
    return c.rgb() | 0xFF000000u;
}

} // namespace

TGlassPanel::TGlassPanel(QWidget* parent) : TGlassTransparentControl(parent)
{
    setInvalidateOnMouseEvents(false);
    // The picture already holds what lies beneath, so Qt need not draw it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(350, 75);
}

void TGlassPanel::setOuterBorderColor(const QColor& value)
{
    fOuterBorderColor = opaque(value);
    repaint();
}

void TGlassPanel::setInnerBorderColor(const QColor& value)
{
    fInnerBorderColor = opaque(value);
    repaint();
}

void TGlassPanel::setInnerBorders(TGlassPanelBorders value)
{
    fInnerBorders = value;
    repaint();
}

void TGlassPanel::setOuterBorders(TGlassPanelBorders value)
{
    fOuterBorders = value;
    repaint();
}

void TGlassPanel::setRounded(bool value)
{
    fRounded = value;
    repaint();
}

void TGlassPanel::setOpacity(int value)
{
    fOpacity = std::clamp(value, 0, 255);
    repaint();
}

void TGlassPanel::setVerticalGradient(bool value)
{
    fVerticalGradient = value;
    repaint();
}

void TGlassPanel::setStyle(TGlassPanelStyle value)
{
    fStyle = value;
    const auto index = static_cast<std::size_t>(value);
    if (index < panelPresets().size()) {
        const TPanelPreset& p = panelPresets()[index];
        fFillStyle = p.fill;
        fColorA = p.colorA;
        fColorB = p.colorB;
        fColorC = p.colorC.value_or(fColorC);
        fColorD = p.colorD.value_or(fColorD);
        fOuterBorderColor = p.outer.value_or(fOuterBorderColor);
        fInnerBorderColor = p.inner.value_or(fInnerBorderColor);
        if (p.clearInner) {
            fInnerBorders = {};
        }
        if (p.clearOuter) {
            fOuterBorders = {};
        }
        fVerticalGradient = true;
    }
    repaint();
}

void TGlassPanel::makeCustom()
{
    fStyle = TGlassPanelStyle::wpsCustom;
    repaint();
}

void TGlassPanel::setFillStyle(TGlassPanelFillStyle value)
{
    fFillStyle = value;
    makeCustom();
}

void TGlassPanel::setColorA(const QColor& value)
{
    fColorA = opaque(value);
    makeCustom();
}

void TGlassPanel::setColorB(const QColor& value)
{
    fColorB = opaque(value);
    makeCustom();
}

void TGlassPanel::setColorC(const QColor& value)
{
    fColorC = opaque(value);
    makeCustom();
}

void TGlassPanel::setColorD(const QColor& value)
{
    fColorD = opaque(value);
    makeCustom();
}

void TGlassPanel::drawFill(QImage& image) const
{
    const int w = image.width();
    const int h = image.height();
    switch (fFillStyle) {
    case TGlassPanelFillStyle::pfsSolid:
        image.fill(fColorA);
        break;
    case TGlassPanelFillStyle::pfsGradient:
        fillGradient(image, fColorA, fColorB, fVerticalGradient, QRect(0, 0, w, h));
        break;
    case TGlassPanelFillStyle::pfsDoubleGradient:
        if (fVerticalGradient) {
            fillGradient(image, fColorA, fColorB, true, QRect(0, 0, w, h / 2));
            fillGradient(image, fColorC, fColorD, true, QRect(0, h / 2, w, h - h / 2));
        } else {
            fillGradient(image, fColorA, fColorB, false, QRect(0, 0, w / 2, h));
            fillGradient(image, fColorC, fColorD, false, QRect(w / 2, 0, w - w / 2, h));
        }
        break;
    }
}

void TGlassPanel::drawBorders(QImage& image) const
{
    const int w = image.width();
    const int h = image.height();
    using B = TGlassPanelBorder;
    // A line from p to q covers p and stops one pixel before q.
    const QRgb inner = fInnerBorderColor;
    if (fInnerBorders.testFlag(B::wpbLeft))
        fillColumn(image, 1, 1, h - 2, inner);
    if (fInnerBorders.testFlag(B::wpbTop))
        fillRow(image, 1, 1, w - 2, inner);
    if (fInnerBorders.testFlag(B::wpbRight))
        fillColumn(image, w - 2, 1, h - 2, inner);
    if (fInnerBorders.testFlag(B::wpbBottom))
        fillRow(image, h - 2, 1, w - 2, inner);
    const QRgb outer = fOuterBorderColor;
    if (fOuterBorders.testFlag(B::wpbLeft))
        fillColumn(image, 0, 0, h - 1, outer);
    if (fOuterBorders.testFlag(B::wpbTop))
        fillRow(image, 0, 0, w - 1, outer);
    if (fOuterBorders.testFlag(B::wpbRight))
        fillColumn(image, w - 1, 0, h - 1, outer);
    if (fOuterBorders.testFlag(B::wpbBottom))
        fillRow(image, h - 1, 0, w - 1, outer);
}

void TGlassPanel::drawCaption(QImage& image) const
{
    if (caption().isEmpty()) {
        return;
    }
    const qreal dpr = image.devicePixelRatio();
    const QRect client(0, 0, qRound(image.width() / dpr), qRound(image.height() / dpr));
    QPainter painter(&image);
    painter.setFont(font());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QString text = QFontMetrics(font()).elidedText(caption(), Qt::ElideRight, client.width());
    painter.drawText(client, Qt::AlignCenter | Qt::TextSingleLine, text);
}

QImage TGlassPanel::renderImage(const QImage& background) const
{
    if (background.isNull()) {
        return {};
    }
    QImage image(background.size(), QImage::Format_RGB32);
    image.setDevicePixelRatio(background.devicePixelRatio());
    const QImage beneath = background.convertToFormat(QImage::Format_RGB32);
    drawFill(image);
    drawBorders(image);
    if (fRounded) {
        softenCorners(image, beneath);
    }
    drawCaption(image);
    if (fOpacity < 255) {
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            const auto* under = reinterpret_cast<const QRgb*>(beneath.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                line[x] = mixPixel(under[x], line[x], fOpacity);
            }
        }
    }
    return image;
}

void TGlassPanel::paintEvent(QPaintEvent* /*event*/)
{
    paintImage(renderImage(devicePixelRatioF()));
}

void TGlassPanel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        update();
    }
    TGlassTransparentControl::changeEvent(event);
}

void softenCorners(QImage& image, const QImage& background)
{
    const int w = image.width();
    const int h = image.height();
    auto inside = [&](QPoint p) { return insideImage(image, p.x(), p.y()) && insideImage(background, p.x(), p.y()); };
    auto blendBackground = [&](QPoint p, int weight) {
        if (inside(p)) {
            image.setPixel(p, mixPixel(image.pixel(p), background.pixel(p), weight));
        }
    };
    struct TCorner {
        QPoint corner, edge1, edge2, inner, neighbour;
    };
    const TCorner corners[] = {
        {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 1}},
        {{w - 1, 0}, {w - 1, 1}, {w - 2, 0}, {w - 2, 1}, {w - 1, 1}},
        {{0, h - 1}, {0, h - 2}, {1, h - 1}, {1, h - 2}, {0, h - 2}},
        {{w - 1, h - 1}, {w - 1, h - 2}, {w - 2, h - 1}, {w - 2, h - 2}, {w - 1, h - 2}},
    };
    for (const TCorner& c : corners) {
        blendBackground(c.corner, 230);
        blendBackground(c.edge1, 60);
        blendBackground(c.edge2, 60);
        if (inside(c.inner) && inside(c.neighbour)) {
            image.setPixel(c.inner, mixPixel(image.pixel(c.neighbour), image.pixel(c.inner), 130));
        }
    }
}
