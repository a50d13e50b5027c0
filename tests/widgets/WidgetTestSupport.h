#pragma once
// Small helpers of the widget tests: readable pixel comparisons and a paint counter.

#include <QEvent>
#include <QImage>
#include <QObject>
#include <QRgb>
#include <QWidget>

#include <string>

// "(r, g, b)" of a colour, so that failures show the channels.
inline std::string rgbText(int r, int g, int b)
{
    return "(" + std::to_string(r) + ", " + std::to_string(g) + ", " + std::to_string(b) + ")";
}

inline std::string rgbText(QRgb c)
{
    return rgbText(qRed(c), qGreen(c), qBlue(c));
}

inline std::string pixelAt(const QImage& image, int x, int y)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) {
        return "outside";
    }
    return rgbText(image.pixel(x, y));
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count() const { return fCount; }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++fCount;
        }
        return false;
    }

private:
    int fCount = 0;
};
