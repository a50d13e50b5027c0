#pragma once
// The self-drawn container of the windows: solid, gradient or two-part gradient fill, inner and
// outer border lines, corners softened into what lies beneath, a centred caption and a constant
// opacity over the parent's background.

#include "widgets/UntGlassControl.h"

#include <QColor>
#include <QFlags>
#include <QImage>

enum class TGlassPanelStyle {
    wpsNavy,
    wpsDarkGrey,
    wpsBlue,
    wpsBlack,
    wpsLightBlack,
    wpsSilver,
    wpsWinCalc,
    wpsGreen,
    wpsCustom
};

enum class TGlassPanelFillStyle { pfsSolid, pfsGradient, pfsDoubleGradient };

enum class TGlassPanelBorder { wpbLeft = 1, wpbTop = 2, wpbRight = 4, wpbBottom = 8 };
Q_DECLARE_FLAGS(TGlassPanelBorders, TGlassPanelBorder)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGlassPanelBorders)

inline constexpr TGlassPanelBorders allGlassBorders()
{
    return TGlassPanelBorders(TGlassPanelBorder::wpbLeft) | TGlassPanelBorder::wpbTop | TGlassPanelBorder::wpbRight |
           TGlassPanelBorder::wpbBottom;
}

class TGlassPanel : public TGlassTransparentControl {
    Q_OBJECT

public:
    explicit TGlassPanel(QWidget* parent = nullptr);

    QColor outerBorderColor() const { return QColor(fOuterBorderColor); }
    void setOuterBorderColor(const QColor& value);
    QColor innerBorderColor() const { return QColor(fInnerBorderColor); }
    void setInnerBorderColor(const QColor& value);
    TGlassPanelBorders innerBorders() const { return fInnerBorders; }
    void setInnerBorders(TGlassPanelBorders value);
    TGlassPanelBorders outerBorders() const { return fOuterBorders; }
    void setOuterBorders(TGlassPanelBorders value);
    bool rounded() const { return fRounded; }
    void setRounded(bool value);
    int opacity() const { return fOpacity; }
    void setOpacity(int value); // 0 (only the background) to 255 (opaque)
    bool verticalGradient() const { return fVerticalGradient; }
    void setVerticalGradient(bool value);

    // Applies the style's colour preset; wpsCustom changes nothing but the style.
    TGlassPanelStyle style() const { return fStyle; }
    void setStyle(TGlassPanelStyle value);

    // Setting a fill colour or the fill style by hand turns the style into wpsCustom.
    TGlassPanelFillStyle fillStyle() const { return fFillStyle; }
    void setFillStyle(TGlassPanelFillStyle value);
    QColor colorA() const { return QColor(fColorA); }
    void setColorA(const QColor& value);
    QColor colorB() const { return QColor(fColorB); }
    void setColorB(const QColor& value);
    QColor colorC() const { return QColor(fColorC); }
    void setColorC(const QColor& value);
    QColor colorD() const { return QColor(fColorD); }
    void setColorD(const QColor& value);

    // The picture over the given background (the pixels beneath the panel at the same device
    // pixel ratio); every pixel rule works in device pixels.
    QImage renderImage(const QImage& background) const;
    // The picture over what the parent shows beneath the panel.
    QImage renderImage(qreal devicePixelRatio) const { return renderImage(backgroundImage(devicePixelRatio)); }

    QSize sizeHint() const override { return {350, 75}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void drawFill(QImage& image) const;
    void drawBorders(QImage& image) const;
    void drawCaption(QImage& image) const;
    void makeCustom();

    QRgb fOuterBorderColor = qRgb(142, 156, 173);
    QRgb fInnerBorderColor = qRgb(255, 255, 255);
    TGlassPanelBorders fInnerBorders = allGlassBorders();
    TGlassPanelBorders fOuterBorders = allGlassBorders();
    bool fRounded = true;
    int fOpacity = 255;
    TGlassPanelStyle fStyle = TGlassPanelStyle::wpsWinCalc;
    TGlassPanelFillStyle fFillStyle = TGlassPanelFillStyle::pfsGradient;
    bool fVerticalGradient = true;
    QRgb fColorA = qRgb(237, 243, 252);
    QRgb fColorB = qRgb(255, 255, 255);
    QRgb fColorC = qRgb(0, 0, 0);
    QRgb fColorD = qRgb(0, 0, 0);
};

// Softens the four corners of a picture into the background beneath it (same size).
void softenCorners(QImage& image, const QImage& background);
