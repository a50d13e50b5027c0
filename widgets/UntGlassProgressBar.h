#pragma once
// A light-weight self-drawn progress bar: frame, grey glass track and coloured glass fill, with
// an optional sweeping marquee band and a centred position text.

#include "widgets/UntGlassPaint.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

class QTimer;

class TGlassProgressBar : public QWidget {
    Q_OBJECT

public:
    explicit TGlassProgressBar(QWidget* parent = nullptr);

    // Properties whose setters redraw at once when the value changes.
    int max() const { return fMax; }
    void setMax(int value);
    int min() const { return fMin; }
    void setMin(int value);
    bool percentage() const { return fPercentage; }
    void setPercentage(bool value);
    bool showPosText() const { return fShowPosText; }
    void setShowPosText(bool value);
    bool rounded() const { return fRounded; }
    void setRounded(bool value);
    bool specialMode() const { return fSpecialMode; }
    void setSpecialMode(bool value);
    QString posTextPrefix() const { return fPosTextPrefix; }
    void setPosTextPrefix(const QString& value);
    QString posTextSuffix() const { return fPosTextSuffix; }
    void setPosTextSuffix(const QString& value);
    QColor color() const { return QColor(fColor); }
    void setColor(const QColor& value);

    // Kept within min() to max() when set; an unchanged value does not redraw.
    int position() const { return fPosition; }
    void setPosition(int value);
    void addPosition(int delta);

    // Invalidates (the picture follows at the next paint).
    bool altMode() const { return fAltMode; }
    void setAltMode(bool value);

    // Redraw at once even when unchanged.
    TGPBOrientation orientation() const { return fOrientation; }
    void setOrientation(TGPBOrientation value);
    int marqueeFade() const { return fMarqueeFade; }
    void setMarqueeFade(int value); // per cent, 0 to 255
    int marqueeSize() const { return fMarqueeSize; }
    void setMarqueeSize(int value); // per cent, 0 to 255

    // The marquee sweeps a band across the bar on the control's timer.
    bool marquee() const { return fMarquee; }
    void setMarquee(bool value);
    int marqueeSpeed() const { return fMarqueeSpeed; }
    void setMarqueeSpeed(int value); // milliseconds, 0 to 255; 0 stops the sweep
    int marqueePhase() const { return fMarqueeP; }

    // The text of the bar before prefix and suffix: "42%" with percentage(), else the position.
    QString posText() const;
    QString version() const { return glassVersion(); }

    // The whole picture at the given device pixel ratio; every pixel rule works in device pixels.
    QImage renderImage(qreal devicePixelRatio) const;

    QSize sizeHint() const override { return {150, 17}; }

public slots:
    // One step of the sweep; the timer calls it every marqueeSpeed() milliseconds.
    void marqueeStep();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateTimer();
    // Share of the range as num / den (den 0 when the range is empty).
    void share(std::int64_t& num, std::int64_t& den) const;

    QTimer* fTimer;
    int fMarqueeP = 0;
    bool fMarquee = false;
    int fMarqueeSize = 40;
    int fMarqueeFade = 30;
    int fMarqueeSpeed = 25;
    int fMax = 100;
    int fMin = 0;
    bool fAltMode = false;
    TGPBOrientation fOrientation = TGPBOrientation::gpbHorizontal;
    bool fPercentage = false;
    int fPosition = 0;
    QString fPosTextPrefix;
    QString fPosTextSuffix;
    bool fShowPosText = false;
    bool fRounded = true;
    bool fSpecialMode = false;
    QRgb fColor = qRgb(0, 255, 0);
};
