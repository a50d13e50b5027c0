#include "widgets/UntGlassPanel.h"

#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QTest>

namespace {

using B = TGlassPanelBorder;
using S = TGlassPanelStyle;

QImage plainImage(QSize size, QRgb colour, qreal dpr = 1)
{
    QImage image(size * dpr, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(colour);
    return image;
}

const QRgb kWhite = qRgb(255, 255, 255);

// A parent whose left 30 pixels are green and the rest blue.
class TSplitParent : public QWidget {
protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        QPainter painter(this);
        painter.fillRect(QRect(0, 0, 30, height()), QColor(0, 200, 0));
        painter.fillRect(QRect(30, 0, width() - 30, height()), QColor(0, 0, 200));
    }
};

TEST(GlassPanel, NewPanelProperties)
{
    TGlassPanel panel;
    EXPECT_EQ(panel.outerBorderColor(), QColor(142, 156, 173));
    EXPECT_EQ(panel.innerBorderColor(), QColor(255, 255, 255));
    EXPECT_EQ(panel.innerBorders(), allGlassBorders());
    EXPECT_EQ(panel.outerBorders(), allGlassBorders());
    EXPECT_TRUE(panel.rounded());
    EXPECT_EQ(panel.opacity(), 255);
    EXPECT_EQ(panel.style(), S::wpsWinCalc);
    EXPECT_EQ(panel.fillStyle(), TGlassPanelFillStyle::pfsGradient);
    EXPECT_TRUE(panel.verticalGradient());
    EXPECT_EQ(panel.colorA(), QColor(237, 243, 252));
    EXPECT_EQ(panel.colorB(), QColor(255, 255, 255));
    EXPECT_EQ(panel.colorC(), QColor(0, 0, 0));
    EXPECT_EQ(panel.colorD(), QColor(0, 0, 0));
    EXPECT_TRUE(panel.caption().isEmpty());
    EXPECT_EQ(panel.size(), QSize(350, 75));
    EXPECT_FALSE(panel.invalidateOnMouseEvents());
    EXPECT_EQ(panel.version(), QStringLiteral("1.0.2.0"));
}

TEST(GlassPanel, NewPanelPicture)
{
    TGlassPanel panel;
    const QImage image = panel.renderImage(plainImage(panel.size(), kWhite));
    ASSERT_EQ(image.size(), QSize(350, 75));
    // Outer lines.
    EXPECT_EQ(pixelAt(image, 10, 0), rgbText(142, 156, 173));
    EXPECT_EQ(pixelAt(image, 0, 10), rgbText(142, 156, 173));
    EXPECT_EQ(pixelAt(image, 349, 10), rgbText(142, 156, 173));
    EXPECT_EQ(pixelAt(image, 10, 74), rgbText(142, 156, 173));
    // Inner lines.
    EXPECT_EQ(pixelAt(image, 10, 1), rgbText(255, 255, 255));
    EXPECT_EQ(pixelAt(image, 1, 10), rgbText(255, 255, 255));
    EXPECT_EQ(pixelAt(image, 348, 10), rgbText(255, 255, 255));
    EXPECT_EQ(pixelAt(image, 10, 73), rgbText(255, 255, 255));
    // The gradient inside: row 2 of 0..74 is still the start colour, row 37 half way (blue 253.5
    // rounds to the even 254), row 72 white.
    EXPECT_EQ(pixelAt(image, 10, 2), rgbText(237, 243, 252));
    EXPECT_EQ(pixelAt(image, 10, 37), rgbText(246, 249, 254));
    EXPECT_EQ(pixelAt(image, 10, 72), rgbText(255, 255, 255));
    // Softened corners over white.
    for (const QPoint p : {QPoint(0, 0), QPoint(349, 0), QPoint(0, 74), QPoint(349, 74)}) {
        EXPECT_EQ(pixelAt(image, p.x(), p.y()), rgbText(244, 245, 247)) << p.x() << "," << p.y();
    }
    for (const QPoint p : {QPoint(0, 1), QPoint(1, 0), QPoint(348, 0), QPoint(349, 73)}) {
        EXPECT_EQ(pixelAt(image, p.x(), p.y()), rgbText(169, 179, 192)) << p.x() << "," << p.y();
    }
    for (const QPoint p : {QPoint(1, 1), QPoint(348, 1), QPoint(1, 73), QPoint(348, 73)}) {
        EXPECT_EQ(pixelAt(image, p.x(), p.y()), rgbText(213, 218, 224)) << p.x() << "," << p.y();
    }
    EXPECT_EQ(pixelAt(image, 2, 1), rgbText(255, 255, 255));
}

TEST(GlassPanel, GradientEndsWithoutBorders)
{
    TGlassPanel panel;
    panel.setInnerBorders({});
    panel.setOuterBorders({});
    panel.setRounded(false);
    const QImage image = panel.renderImage(plainImage(panel.size(), kWhite));
    EXPECT_EQ(pixelAt(image, 0, 0), rgbText(237, 243, 252));
    EXPECT_EQ(pixelAt(image, 349, 74), rgbText(255, 255, 255));
    panel.setVerticalGradient(false);
    const QImage across = panel.renderImage(plainImage(panel.size(), kWhite));
    EXPECT_EQ(pixelAt(across, 0, 74), rgbText(237, 243, 252));
    EXPECT_EQ(pixelAt(across, 349, 0), rgbText(255, 255, 255));
}

TEST(GlassPanel, BlackCornerOverWhiteBecomesLightGrey)
{
    TGlassPanel panel;
    panel.resize(20, 10);
    panel.setOuterBorders({});
    panel.setInnerBorders({});
    panel.setFillStyle(TGlassPanelFillStyle::pfsSolid);
    panel.setColorA(Qt::black);
    const QImage image = panel.renderImage(plainImage(panel.size(), kWhite));
    EXPECT_EQ(pixelAt(image, 0, 0), rgbText(230, 230, 230));
    EXPECT_EQ(pixelAt(image, 19, 9), rgbText(230, 230, 230));
    EXPECT_EQ(pixelAt(image, 0, 1), rgbText(60, 60, 60));
    // (1, 1) keeps 130/255 of black and takes 125/255 of its softened neighbour 60.
    EXPECT_EQ(pixelAt(image, 1, 1), rgbText(29, 29, 29));
    EXPECT_EQ(pixelAt(image, 2, 2), rgbText(0, 0, 0));
    panel.setRounded(false);
    EXPECT_EQ(pixelAt(panel.renderImage(plainImage(panel.size(), kWhite)), 0, 0), rgbText(0, 0, 0));
}

TEST(GlassPanel, StylePresets)
{
    TGlassPanel panel;
    panel.setStyle(S::wpsNavy);
    EXPECT_EQ(panel.fillStyle(), TGlassPanelFillStyle::pfsDoubleGradient);
    EXPECT_EQ(panel.colorA(), QColor(106, 125, 151));
    EXPECT_EQ(panel.colorD(), QColor(11, 42, 85));
    EXPECT_EQ(panel.innerBorders(), TGlassPanelBorders());
    EXPECT_EQ(panel.outerBorders(), TGlassPanelBorders());
    EXPECT_EQ(panel.outerBorderColor(), QColor(142, 156, 173)); // navy leaves border colours

    panel.setColorA(QColor(1, 2, 3));
    EXPECT_EQ(panel.style(), S::wpsCustom);
    EXPECT_EQ(panel.colorA(), QColor(1, 2, 3));
    EXPECT_EQ(panel.colorB(), QColor(38, 66, 104));
    EXPECT_EQ(panel.colorC(), QColor(16, 46, 88));
    EXPECT_EQ(panel.colorD(), QColor(11, 42, 85));
    EXPECT_EQ(panel.fillStyle(), TGlassPanelFillStyle::pfsDoubleGradient);

    panel.setVerticalGradient(false);
    panel.setStyle(S::wpsCustom); // changes nothing but the style
    EXPECT_EQ(panel.colorA(), QColor(1, 2, 3));
    EXPECT_EQ(panel.colorB(), QColor(38, 66, 104));
    EXPECT_FALSE(panel.verticalGradient());

    panel.setStyle(S::wpsBlue); // inner none, outer kept (still none), vertical again
    EXPECT_TRUE(panel.verticalGradient());
    EXPECT_EQ(panel.fillStyle(), TGlassPanelFillStyle::pfsGradient);
    EXPECT_EQ(panel.colorC(), QColor(16, 46, 88)); // blue leaves C and D
    EXPECT_EQ(panel.innerBorderColor(), QColor(224, 224, 224));

    panel.setOuterBorders(allGlassBorders());
    panel.setInnerBorders(allGlassBorders());
    panel.setStyle(S::wpsSilver);
    EXPECT_EQ(panel.innerBorders(), TGlassPanelBorders());
    EXPECT_EQ(panel.outerBorders(), allGlassBorders());
    EXPECT_EQ(panel.outerBorderColor(), QColor(92, 99, 104));

    panel.setInnerBorders(TGlassPanelBorders(B::wpbTop));
    panel.setStyle(S::wpsLightBlack);
    EXPECT_EQ(panel.innerBorders(), TGlassPanelBorders(B::wpbTop));
    EXPECT_EQ(panel.colorC(), QColor(23, 24, 24));
    EXPECT_EQ(panel.outerBorderColor(), QColor(0, 0, 0));
    panel.setStyle(S::wpsGreen);
    EXPECT_EQ(panel.colorB(), QColor(64, 178, 59));
    EXPECT_EQ(panel.innerBorderColor(), QColor(205, 227, 204));
    panel.setStyle(S::wpsBlack);
    EXPECT_EQ(panel.colorC(), QColor(0, 0, 0));
    EXPECT_EQ(panel.outerBorderColor(), QColor(67, 67, 67));
    panel.setStyle(S::wpsDarkGrey);
    EXPECT_EQ(panel.colorA(), QColor(28, 35, 45));
    EXPECT_EQ(panel.innerBorderColor(), QColor(73, 79, 87));
    panel.setStyle(S::wpsWinCalc);
    EXPECT_EQ(panel.colorA(), QColor(237, 243, 252));
    EXPECT_EQ(panel.style(), S::wpsWinCalc);

    for (auto set : {+[](TGlassPanel& p) { p.setColorB(Qt::red); }, +[](TGlassPanel& p) { p.setColorC(Qt::red); },
                     +[](TGlassPanel& p) { p.setColorD(Qt::red); },
                     +[](TGlassPanel& p) { p.setFillStyle(TGlassPanelFillStyle::pfsSolid); }}) {
        panel.setStyle(S::wpsGreen);
        set(panel);
        EXPECT_EQ(panel.style(), S::wpsCustom);
    }
}

TEST(GlassPanel, DoubleGradientSplitsAtIntegerHalf)
{
    TGlassPanel panel;
    panel.resize(40, 37);
    panel.setOuterBorders({});
    panel.setInnerBorders({});
    panel.setRounded(false);
    panel.setFillStyle(TGlassPanelFillStyle::pfsDoubleGradient);
    panel.setColorA(QColor(255, 0, 0));
    panel.setColorB(QColor(0, 255, 0));
    panel.setColorC(QColor(0, 0, 255));
    panel.setColorD(QColor(255, 255, 0));
    const QImage image = panel.renderImage(plainImage(panel.size(), kWhite));
    EXPECT_EQ(pixelAt(image, 5, 0), rgbText(255, 0, 0));
    EXPECT_EQ(pixelAt(image, 5, 17), rgbText(0, 255, 0));
    EXPECT_EQ(pixelAt(image, 5, 18), rgbText(0, 0, 255));
    EXPECT_EQ(pixelAt(image, 5, 36), rgbText(255, 255, 0));

    panel.resize(41, 10);
    panel.setVerticalGradient(false);
    const QImage across = panel.renderImage(plainImage(panel.size(), kWhite));
    EXPECT_EQ(pixelAt(across, 0, 5), rgbText(255, 0, 0));
    EXPECT_EQ(pixelAt(across, 19, 5), rgbText(0, 255, 0));
    EXPECT_EQ(pixelAt(across, 20, 5), rgbText(0, 0, 255));
    EXPECT_EQ(pixelAt(across, 40, 5), rgbText(255, 255, 0));
}

TEST(GlassPanel, BackgroundComesFromTheParentBeneath)
{
    TSplitParent parent;
    parent.resize(100, 60);
    auto* panel = new TGlassPanel(&parent);
    panel->setGeometry(10, 10, 50, 30);
    const QImage beneath = panel->backgroundImage(1);
    ASSERT_EQ(beneath.size(), QSize(50, 30));
    EXPECT_EQ(pixelAt(beneath, 19, 5), rgbText(0, 200, 0));
    EXPECT_EQ(pixelAt(beneath, 20, 5), rgbText(0, 0, 200));
    const QImage twice = panel->backgroundImage(2);
    ASSERT_EQ(twice.size(), QSize(100, 60));
    EXPECT_EQ(pixelAt(twice, 39, 5), rgbText(0, 200, 0));
    EXPECT_EQ(pixelAt(twice, 40, 5), rgbText(0, 0, 200));

    // Corners and opacity blend with the real background.
    panel->setOpacity(0);
    const QImage clear = panel->renderImage(1);
    EXPECT_EQ(clear, beneath);
    panel->setOpacity(128);
    panel->setFillStyle(TGlassPanelFillStyle::pfsSolid);
    panel->setColorA(QColor(255, 0, 0));
    const QImage half = panel->renderImage(1);
    EXPECT_EQ(pixelAt(half, 30, 15), rgbText(128, 0, 100));  // red over blue 200
    EXPECT_EQ(pixelAt(half, 5, 15), rgbText(128, 100, 0));   // red over green 200
    EXPECT_EQ(pixelAt(half, 30, 0), rgbText(71, 78, 186));   // outer line (142, 156, 173)
    EXPECT_EQ(pixelAt(half, 30, 1), rgbText(128, 128, 228)); // inner white line

    TGlassPanel orphan;
    orphan.resize(8, 8);
    QPalette pal = orphan.palette();
    pal.setColor(orphan.backgroundRole(), QColor(10, 20, 30));
    orphan.setPalette(pal);
    EXPECT_EQ(pixelAt(orphan.backgroundImage(1), 3, 3), rgbText(10, 20, 30));
}

TEST(GlassPanel, NestedPanelBlendsWithThePanelBeneath)
{
    TSplitParent parent;
    parent.resize(100, 60);
    auto* outer = new TGlassPanel(&parent);
    outer->setGeometry(0, 0, 100, 60);
    outer->setFillStyle(TGlassPanelFillStyle::pfsSolid);
    outer->setColorA(QColor(255, 0, 0));
    auto* inner = new TGlassPanel(outer);
    inner->setGeometry(20, 20, 30, 20);
    inner->setOpacity(0);
    const QImage outerPicture = outer->renderImage(1);
    const QImage innerPicture = inner->renderImage(1);
    ASSERT_EQ(innerPicture.size(), QSize(30, 20));
    for (const QPoint p : {QPoint(0, 0), QPoint(15, 10), QPoint(29, 19)}) {
        EXPECT_EQ(pixelAt(innerPicture, p.x(), p.y()), pixelAt(outerPicture, p.x() + 20, p.y() + 20));
    }
    // The outer panel's own corner blends with the parent's green beneath it.
    EXPECT_EQ(pixelAt(outerPicture, 0, 0), rgbText(14, 196, 17));
}

TEST(GlassPanel, PaintShowsThePictureAndCaption)
{
    TSplitParent parent;
    parent.resize(200, 80);
    auto* panel = new TGlassPanel(&parent);
    panel->setGeometry(0, 0, 200, 60);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    const QImage expected = panel->renderImage(1);
    const QImage shown = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), expected.size());
    EXPECT_EQ(pixelAt(shown, 0, 0), pixelAt(expected, 0, 0));
    EXPECT_EQ(pixelAt(shown, 100, 30), pixelAt(expected, 100, 30));

    TPaintCounter paints(panel);
    QApplication::processEvents();
    const int before = paints.count();
    panel->setOpacity(200);
    EXPECT_EQ(paints.count(), before + 1); // repaints at once

    panel->setCaption(QStringLiteral("A caption much too long to fit in the panel, so it ends in dots"));
    const QImage captioned = panel->renderImage(1);
    panel->setCaption(QString());
    const QImage plain = panel->renderImage(1);
    int changed = 0;
    for (int x = 0; x < 200; ++x) {
        changed += captioned.pixel(x, 30) != plain.pixel(x, 30) || captioned.pixel(x, 28) != plain.pixel(x, 28);
    }
    EXPECT_GT(changed, 10);
    // One line, vertically centred: the rows near the edges stay untouched.
    for (int x = 0; x < 200; ++x) {
        ASSERT_EQ(captioned.pixel(x, 3), plain.pixel(x, 3));
        ASSERT_EQ(captioned.pixel(x, 56), plain.pixel(x, 56));
    }
}

TEST(GlassPanel, DevicePixelRatioTwo)
{
    TGlassPanel panel;
    panel.resize(30, 20);
    const QImage image = panel.renderImage(plainImage(panel.size(), kWhite, 2));
    ASSERT_EQ(image.size(), QSize(60, 40));
    EXPECT_EQ(image.devicePixelRatio(), 2.0);
    // One-pixel lines and corners in device pixels.
    EXPECT_EQ(pixelAt(image, 30, 0), rgbText(142, 156, 173));
    EXPECT_EQ(pixelAt(image, 30, 1), rgbText(255, 255, 255));
    EXPECT_EQ(pixelAt(image, 59, 39), rgbText(244, 245, 247));
    EXPECT_EQ(pixelAt(image, 58, 38), rgbText(213, 218, 224));
    // Row 2 of 0..39: 18 * 2 / 39 = 0.92 -> 1, 12 * 2 / 39 = 0.62 -> 1, 3 * 2 / 39 -> 0.
    EXPECT_EQ(pixelAt(image, 30, 2), rgbText(238, 244, 252));
}

TEST(GlassPanel, TinyPanelsDoNotFail)
{
    TGlassPanel panel;
    for (const QSize size : {QSize(1, 1), QSize(2, 1), QSize(1, 3), QSize(3, 3)}) {
        panel.resize(size);
        const QImage image = panel.renderImage(plainImage(size, kWhite));
        EXPECT_EQ(image.size(), size);
    }
    panel.resize(0, 5);
    EXPECT_TRUE(panel.renderImage(1).isNull());
}

} // namespace
