#pragma once
// Pixel arithmetic shared by the self-drawn glass widgets. Everything works on QImage pixels
// (device pixels) so that each picture is exact and can be checked pixel by pixel. Images should
// be 32-bit (QImage::Format_RGB32); any other format is converted to it first.

#include <QImage>
#include <QRgb>
#include <QString>

#include <cstdint>

class QWidget;

// Orientation of the glass bars.
enum class TGPBOrientation { gpbHorizontal, gpbVertical };

// A rectangle given by its edges, as the bar rules use them: the painted size is derived from
// right - left and bottom - top, never from an inclusive right edge.
struct TGlassRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The six colours of a glass bar: light1/light2 shade the upper part, dark1/dark2 the lower,
// edge1/edge2 are the ramp the columns lean towards near the ends.
struct TGlassColors {
    QRgb light1 = 0;
    QRgb light2 = 0;
    QRgb dark1 = 0;
    QRgb dark2 = 0;
    QRgb edge1 = 0;
    QRgb edge2 = 0;
};

// Version text of every control of the set: the number 0x01000200 as four bytes, most
// significant first, joined by ".".
QString glassVersion();

// Nearest integer to num / den (den != 0), halves to the even integer.
std::int64_t roundHalfEven(std::int64_t num, std::int64_t den);

// Floor of num / den (den != 0), also for negative values.
std::int64_t floorDiv(std::int64_t num, std::int64_t den);

// p per cent (0 to 100) of a mixed into b: weight w = nearest(p * 2.56), each channel
// b + floor((a - b) * w / 256).
QRgb blendColors(QRgb a, QRgb b, int percent);

// w / 255 of b mixed into a (w 0 to 255), each channel rounded to nearest, halves to even.
QRgb mixPixel(QRgb a, QRgb b, int w);

// Linear two-colour gradient over rect (clipped to the image): the start colour on the first
// row (vertical) or column, the end colour on the last; between them channel =
// start + nearest((end - start) * i / (n - 1)), halves to even, i the row or column within
// rect and n its height or width.
void fillGradient(QImage& image, QRgb start, QRgb end, bool vertical, const QRect& rect);

// Colour sets of a glass bar: the grey track and the fill derived from colour c.
TGlassColors trackColors();
TGlassColors fillColors(QRgb c);

// The shaded glass bar of (r.right - r.left - 1) x (r.bottom - r.top - 1) pixels at
// (r.left, r.top); nothing when the width is below 1 or the height below 2. Clipped to the image.
void drawGlassBar(QImage& image, const TGlassRect& r, TGPBOrientation orientation, const TGlassColors& colors);

// The soft-edged marquee band at r over the image's full height (horizontal) or width.
void drawMarqueeBand(QImage& image, const TGlassRect& r, QRgb c, TGPBOrientation orientation, int fade, int size);

// Pixel access that ignores positions outside the image.
inline bool insideImage(const QImage& image, int x, int y)
{
    return x >= 0 && y >= 0 && x < image.width() && y < image.height();
}
void fillRow(QImage& image, int y, int x0, int x1, QRgb c);    // x0..x1 inclusive
void fillColumn(QImage& image, int x, int y0, int y1, QRgb c); // y0..y1 inclusive

// A 32-bit picture of the widget's size in device pixels at this ratio; a null image when the
// widget has no area.
QImage newWidgetImage(const QWidget& widget, qreal devicePixelRatio);
