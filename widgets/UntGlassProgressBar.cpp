#include "widgets/UntGlassProgressBar.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

int clampByte(int value)
{
    return std::clamp(value, 0, 255);
}

} // namespace

TGlassProgressBar::TGlassProgressBar(QWidget* parent) : QWidget(parent), fTimer(new QTimer(this))
{
    fTimer->setObjectName(QStringLiteral("marqueeTimer"));
    fTimer->setInterval(fMarqueeSpeed);
    connect(fTimer, &QTimer::timeout, this, &TGlassProgressBar::marqueeStep);
    // Every pixel is painted, so nothing beneath needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(150, 17);
}

void TGlassProgressBar::setMax(int value)
{
    if (value != fMax) {
        fMax = value;
        repaint();
    }
}

void TGlassProgressBar::setMin(int value)
{
    if (value != fMin) {
        fMin = value;
        repaint();
    }
}

void TGlassProgressBar::setPercentage(bool value)
{
    if (value != fPercentage) {
        fPercentage = value;
        repaint();
    }
}

void TGlassProgressBar::setShowPosText(bool value)
{
    if (value != fShowPosText) {
        fShowPosText = value;
        repaint();
    }
}

void TGlassProgressBar::setRounded(bool value)
{
    if (value != fRounded) {
        fRounded = value;
        repaint();
    }
}

void TGlassProgressBar::setSpecialMode(bool value)
{
    if (value != fSpecialMode) {
        fSpecialMode = value;
        repaint();
    }
}

void TGlassProgressBar::setPosTextPrefix(const QString& value)
{
    if (value != fPosTextPrefix) {
        fPosTextPrefix = value;
        repaint();
    }
}

void TGlassProgressBar::setPosTextSuffix(const QString& value)
{
    if (value != fPosTextSuffix) {
        fPosTextSuffix = value;
        repaint();
    }
}

void TGlassProgressBar::setColor(const QColor& value)
{
    const QRgb rgb = value.rgb() | 0xFF000000u;
    if (rgb != fColor) {
        fColor = rgb;
        repaint();
    }
}

void TGlassProgressBar::setPosition(int value)
{
    if (value == fPosition) {
        return;
    }
    if (value > fMax) {
        value = fMax;
    } else if (value < fMin) {
        value = fMin;
    }
    fPosition = value;
    repaint();
}

void TGlassProgressBar::addPosition(int delta)
{
    // Summed wide so that a large delta saturates instead of overflowing.
    const std::int64_t sum = std::int64_t{fPosition} + delta;
    setPosition(static_cast<int>(
        std::clamp<std::int64_t>(sum, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
}

void TGlassProgressBar::setAltMode(bool value)
{
    fAltMode = value;
    update();
}

void TGlassProgressBar::setOrientation(TGPBOrientation value)
{
    fOrientation = value;
    repaint();
}

void TGlassProgressBar::setMarqueeFade(int value)
{
    fMarqueeFade = clampByte(value);
    repaint();
}

void TGlassProgressBar::setMarqueeSize(int value)
{
    fMarqueeSize = clampByte(value);
    repaint();
}

void TGlassProgressBar::setMarquee(bool value)
{
    fMarquee = value;
    updateTimer();
    repaint();
}

void TGlassProgressBar::setMarqueeSpeed(int value)
{
    fMarqueeSpeed = clampByte(value);
    fTimer->setInterval(fMarqueeSpeed);
    updateTimer();
}

void TGlassProgressBar::updateTimer()
{
    // An interval of 0 would fire on every pass of the event loop; like a disabled timer it stops.
    if (fMarquee && fMarqueeSpeed > 0) {
        fTimer->start();
    } else {
        fTimer->stop();
    }
}

void TGlassProgressBar::marqueeStep()
{
    if (fMarqueeP >= fMarqueeSize + 100) {
        fMarqueeP = 0;
    }
    update();
    ++fMarqueeP;
}

void TGlassProgressBar::share(std::int64_t& num, std::int64_t& den) const
{
    if (fMarquee) {
        num = fMarqueeP;
        den = 100;
    } else if (fMin == fMax) {
        num = 0;
        den = 0;
    } else {
        num = std::int64_t{fPosition} - fMin;
        den = std::int64_t{fMax} - fMin;
    }
}

QString TGlassProgressBar::posText() const
{
    if (!fPercentage) {
        return QString::number(fPosition);
    }
    std::int64_t num = 0;
    std::int64_t den = 0;
    share(num, den);
    const std::int64_t percent = den == 0 ? 0 : roundHalfEven(num * 100, den);
    return QString::number(percent) + QLatin1Char('%');
}

QImage TGlassProgressBar::renderImage(qreal devicePixelRatio) const
{
    QImage image = newWidgetImage(*this, devicePixelRatio);
    if (image.isNull()) {
        return image;
    }
    const int w = image.width();
    const int h = image.height();

    // Frame.
    image.fill(palette().color(QPalette::Base).rgb());
    const QRgb frame = qRgb(0xA0, 0xA0, 0xA0);
    fillRow(image, 0, 0, w - 1, frame);
    fillRow(image, h - 1, 0, w - 1, frame);
    fillColumn(image, 0, 0, h - 1, frame);
    fillColumn(image, w - 1, 0, h - 1, frame);
    if (fRounded) {
        const QRgb light = qRgb(0xC0, 0xC0, 0xC0);
        fillRow(image, 0, 1, w - 2, light);
        const QRgb corner = blendColors(qRgb(255, 255, 255), light, 50);
        for (const QPoint p : {QPoint(0, 0), QPoint(0, h - 1), QPoint(w - 1, 0), QPoint(w - 1, h - 1)}) {
            image.setPixel(p, corner);
        }
    }

    // Track.
    TGlassRect r = fSpecialMode ? TGlassRect{0, 1, w, h + 1} : TGlassRect{1, 1, w, h};
    if (!fAltMode) {
        drawGlassBar(image, r, fOrientation, trackColors());
    }

    // The filled (or band) part.
    std::int64_t num = 0;
    std::int64_t den = 0;
    share(num, den);
    const auto scaled = [&](int length) { return den == 0 ? 0 : static_cast<int>(roundHalfEven(length * num, den)); };
    const bool horizontal = fOrientation == TGPBOrientation::gpbHorizontal;
    if (fMarquee) {
        if (horizontal) {
            r.right = scaled(w);
            r.left = r.right - static_cast<int>(roundHalfEven(std::int64_t{w} * fMarqueeSize, 100));
        } else {
            r.top = h - scaled(h);
            r.bottom = r.top + static_cast<int>(roundHalfEven(std::int64_t{h} * fMarqueeSize, 100));
        }
    } else if (horizontal) {
        // A position left beyond a narrowed range fills the track, never the frame.
        r.right = std::min(scaled(w), w);
    } else {
        const int t = r.bottom - scaled(h);
        r.top = t > 1 ? t : 1;
    }
    if (r.right > 0) {
        if (fMarquee) {
            drawMarqueeBand(image, r, fColor, fOrientation, fMarqueeFade, fMarqueeSize);
        } else {
            drawGlassBar(image, r, fOrientation, fillColors(fColor));
        }
    }

    if (fShowPosText) {
        const QString text = fPosTextPrefix + posText() + fPosTextSuffix;
        QPainter painter(&image);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        const QFontMetrics metrics(font());
        const int x = (width() - metrics.horizontalAdvance(text)) / 2;
        const int y = (height() - metrics.height()) / 2;
        painter.drawText(QPoint(x, y + metrics.ascent()), text);
    }
    return image;
}

void TGlassProgressBar::paintEvent(QPaintEvent* /*event*/)
{
    // Built off screen and copied in one piece, so the bar never flickers.
    const QImage image = renderImage(devicePixelRatioF());
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), image);
}

void TGlassProgressBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        update();
    }
    QWidget::changeEvent(event);
}
