#include "widgets/UntGlassPaint.h"

#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

constexpr std::uint32_t kVersionNumber = 0x01000200;

int channel(QRgb c, int index)
{
    switch (index) {
    case 0:
        return qRed(c);
    case 1:
        return qGreen(c);
    default:
        return qBlue(c);
    }
}

int clampChannel(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, 255));
}

// a + (b - a) * num / den per channel, "/" truncating towards zero.
QRgb lerpTrunc(QRgb a, QRgb b, int num, int den)
{
    int out[3];
    for (int i = 0; i < 3; ++i) {
        const int ca = channel(a, i);
        out[i] = clampChannel(ca + (channel(b, i) - ca) * num / den);
    }
    return qRgb(out[0], out[1], out[2]);
}

// One channel of a glass pixel moved towards the edge colour.
int glassStep(int p, int e, int step)
{
    switch (step) {
    case 8:
        return clampChannel(p + floorDiv(e - p, 8));
    case 4:
        return clampChannel(p + floorDiv(e - p, 4));
    default:
        return clampChannel(p + (e - p) / 2);
    }
}

QRgb glassPixel(QRgb p, QRgb e, int step)
{
    return qRgb(glassStep(qRed(p), qRed(e), step), glassStep(qGreen(p), qGreen(e), step),
                glassStep(qBlue(p), qBlue(e), step));
}

// The pixel loops address 32-bit scan lines directly; anything else is converted first.
void ensure32(QImage& image)
{
    if (!image.isNull() && image.depth() != 32) {
        image.convertTo(QImage::Format_RGB32);
    }
}

void putPixel(QImage& image, int x, int y, QRgb c)
{
    if (insideImage(image, x, y)) {
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = c;
    }
}

QRgb edgeColor(const TGlassColors& colors, int i)
{
    return i < 25 ? lerpTrunc(colors.edge1, colors.edge2, i, 25) : colors.edge2;
}

// pixel moved towards c: c + floor((pixel - c) * weight / 256) per channel.
QRgb bandPixel(QRgb pixel, QRgb c, int weight)
{
    int out[3];
    for (int i = 0; i < 3; ++i) {
        const int cc = channel(c, i);
        out[i] = clampChannel(cc + floorDiv(std::int64_t{channel(pixel, i) - cc} * weight, 256));
    }
    return qRgb(out[0], out[1], out[2]);
}

} // namespace

QString glassVersion()
{
    QStringList parts;
    for (int shift = 24; shift >= 0; shift -= 8) {
        parts << QString::number((kVersionNumber >> shift) & 0xFF);
    }
    return parts.join(QLatin1Char('.'));
}

std::int64_t floorDiv(std::int64_t num, std::int64_t den)
{
    std::int64_t q = num / den;
    if ((num % den != 0) && ((num < 0) != (den < 0))) {
        --q;
    }
    return q;
}

std::int64_t roundHalfEven(std::int64_t num, std::int64_t den)
{
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const std::int64_t q = floorDiv(num, den);
    const std::int64_t rem2 = 2 * (num - q * den); // twice the remainder, 0 <= rem2 < 2 * den
    if (rem2 > den || (rem2 == den && (q % 2 != 0))) {
        return q + 1;
    }
    return q;
}

QRgb blendColors(QRgb a, QRgb b, int percent)
{
    const auto w = roundHalfEven(std::int64_t{std::clamp(percent, 0, 100)} * 256, 100);
    int out[3];
    for (int i = 0; i < 3; ++i) {
        const int cb = channel(b, i);
        out[i] = clampChannel(cb + floorDiv((channel(a, i) - cb) * w, 256));
    }
    return qRgb(out[0], out[1], out[2]);
}

QRgb mixPixel(QRgb a, QRgb b, int w)
{
    w = std::clamp(w, 0, 255);
    int out[3];
    for (int i = 0; i < 3; ++i) {
        out[i] = clampChannel(roundHalfEven(channel(b, i) * w + channel(a, i) * (255 - w), 255));
    }
    return qRgb(out[0], out[1], out[2]);
}

void fillGradient(QImage& image, QRgb start, QRgb end, bool vertical, const QRect& rect)
{
    ensure32(image);
    const QRect area = rect.intersected(image.rect());
    if (area.isEmpty()) {
        return;
    }
    const int n = vertical ? rect.height() : rect.width();
    auto colourAt = [&](int i) {
        if (n < 2) {
            return start;
        }
        int out[3];
        for (int c = 0; c < 3; ++c) {
            const int s = channel(start, c);
            out[c] = clampChannel(s + roundHalfEven(std::int64_t{channel(end, c) - s} * i, n - 1));
        }
        return qRgb(out[0], out[1], out[2]);
    };
    if (vertical) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            fillRow(image, y, area.left(), area.right(), colourAt(y - rect.top()));
        }
    } else {
        for (int x = area.left(); x <= area.right(); ++x) {
            fillColumn(image, x, area.top(), area.bottom(), colourAt(x - rect.left()));
        }
    }
}

TGlassColors trackColors()
{
    return {qRgb(253, 253, 253), qRgb(218, 218, 218), qRgb(160, 160, 160),
            qRgb(213, 213, 213), qRgb(200, 200, 200), qRgb(253, 253, 253)};
}

TGlassColors fillColors(QRgb c)
{
    const QRgb white = qRgb(255, 255, 255);
    const QRgb black = qRgb(0, 0, 0);
    return {blendColors(c, white, 5),  blendColors(c, white, 50), blendColors(c, black, 60),
            blendColors(c, black, 80), blendColors(c, black, 50), blendColors(c, white, 50)};
}

void drawGlassBar(QImage& image, const TGlassRect& r, TGPBOrientation orientation, const TGlassColors& colors)
{
    ensure32(image);
    const int w = r.right - r.left - 1;
    const int h = r.bottom - r.top - 1;
    if (w < 1 || h < 2) {
        return;
    }
    if (orientation == TGPBOrientation::gpbHorizontal) {
        const int k = h * 4 / 9; // trunc(h / 2.25)
        std::vector<QRgb> profile(static_cast<std::size_t>(h));
        for (int y = 0; y < h; ++y) {
            profile[y] =
                y < k ? lerpTrunc(colors.light1, colors.light2, y, k) : lerpTrunc(colors.dark1, colors.dark2, y, h);
        }
        for (int x = 0; x < (w + 1) / 2; ++x) {
            const QRgb e = edgeColor(colors, x);
            const int mirror = w - 1 - x;
            for (int y = 0; y < h; ++y) {
                const int step = x == 0 ? 8 : (y < k || y == h - 1) ? 4 : 2;
                const QRgb p = glassPixel(profile[y], e, step);
                putPixel(image, r.left + x, r.top + y, p);
                if (x < mirror) {
                    putPixel(image, r.left + mirror, r.top + y, p);
                }
            }
        }
        return;
    }
    const int k = w * 2 / 5; // trunc(w / 2.5)
    std::vector<QRgb> profile(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) {
        profile[x] =
            x < k ? lerpTrunc(colors.light1, colors.light2, x, k) : lerpTrunc(colors.dark1, colors.dark2, x, w);
    }
    for (int y = 0; y < (h + 1) / 2; ++y) {
        const QRgb e = edgeColor(colors, y);
        const int mirror = h - 1 - y;
        for (int x = 0; x < w; ++x) {
            const int step = y == 0 ? 8 : (x < k || x == w - 1) ? 4 : 2;
            const QRgb p = glassPixel(profile[x], e, step);
            putPixel(image, r.left + x, r.top + y, p);
            if (y < mirror) {
                putPixel(image, r.left + x, r.top + mirror, p);
            }
        }
    }
}

void drawMarqueeBand(QImage& image, const TGlassRect& r, QRgb c, TGPBOrientation orientation, int fade, int size)
{
    ensure32(image);
    if (r.right - r.left < 2 || r.bottom - r.top < 3) {
        return;
    }
    const bool horizontal = orientation == TGPBOrientation::gpbHorizontal;
    const int length = horizontal ? image.width() : image.height();
    // Band and fade lengths, truncated; exact integer arithmetic instead of floating point.
    const int n = static_cast<int>(std::int64_t{length} * std::max(size, 0) / 100);
    const int f = static_cast<int>(std::int64_t{n} * std::max(fade, 0) / 100);
    if (n <= 0) {
        return;
    }
    std::vector<int> weights(static_cast<std::size_t>(n), 0);
    for (int i = 0; i <= n - 1 - f; ++i) {
        if (i < f) {
            const int weight = 159 * (f - i) / f + 95;
            weights[i] = weight;
            weights[n - 1 - i] = weight;
        } else {
            weights[i] = 96;
        }
    }
    const int start = horizontal ? r.left : r.top;
    for (int i = 0; i < n; ++i) {
        const int pos = start + i;
        if (pos < 0 || pos >= length) {
            continue;
        }
        if (horizontal) {
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                line[pos] = bandPixel(line[pos], c, weights[i]);
            }
        } else {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(pos));
            for (int x = 0; x < image.width(); ++x) {
                line[x] = bandPixel(line[x], c, weights[i]);
            }
        }
    }
}

void fillRow(QImage& image, int y, int x0, int x1, QRgb c)
{
    ensure32(image);
    if (y < 0 || y >= image.height()) {
        return;
    }
    x0 = std::max(x0, 0);
    x1 = std::min(x1, image.width() - 1);
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = x0; x <= x1; ++x) {
        line[x] = c;
    }
}

void fillColumn(QImage& image, int x, int y0, int y1, QRgb c)
{
    ensure32(image);
    if (x < 0 || x >= image.width()) {
        return;
    }
    y0 = std::max(y0, 0);
    y1 = std::min(y1, image.height() - 1);
    for (int y = y0; y <= y1; ++y) {
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = c;
    }
}

QImage newWidgetImage(const QWidget& widget, qreal devicePixelRatio)
{
    const int w = qRound(widget.width() * devicePixelRatio);
    const int h = qRound(widget.height() * devicePixelRatio);
    if (w <= 0 || h <= 0) {
        return {};
    }
    QImage image(w, h, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}
