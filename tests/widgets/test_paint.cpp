#include "widgets/UntGlassPaint.h"

#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);

TEST(GlassPaint, RoundingHelpers)
{
    EXPECT_EQ(roundHalfEven(5, 2), 2);
    EXPECT_EQ(roundHalfEven(7, 2), 4);
    EXPECT_EQ(roundHalfEven(-5, 2), -2);
    EXPECT_EQ(roundHalfEven(-7, 2), -4);
    EXPECT_EQ(roundHalfEven(10, 3), 3);
    EXPECT_EQ(roundHalfEven(11, 3), 4);
    EXPECT_EQ(roundHalfEven(-11, 3), -4);
    EXPECT_EQ(floorDiv(-7, 2), -4);
    EXPECT_EQ(floorDiv(7, 2), 3);
    EXPECT_EQ(floorDiv(-8, 2), -4);
}

TEST(GlassPaint, VersionText)
{
    EXPECT_EQ(glassVersion(), QStringLiteral("1.0.2.0"));
}

TEST(GlassPaint, BlendColorsUsesWeightsAndFloor)
{
    // 5 % is weight 13, 50 % 128, 60 % 154, 80 % 205; the channel is floored, also downwards.
    EXPECT_EQ(rgbText(blendColors(kBlack, kWhite, 5)), rgbText(242, 242, 242));
    EXPECT_EQ(rgbText(blendColors(kWhite, kBlack, 60)), rgbText(153, 153, 153));
    EXPECT_EQ(rgbText(blendColors(kWhite, kBlack, 80)), rgbText(204, 204, 204));
    EXPECT_EQ(rgbText(blendColors(kWhite, qRgb(0xC0, 0xC0, 0xC0), 50)), rgbText(223, 223, 223));
    EXPECT_EQ(rgbText(blendColors(kBlack, kWhite, 0)), rgbText(255, 255, 255));
    EXPECT_EQ(rgbText(blendColors(qRgb(10, 20, 30), qRgb(40, 50, 60), 100)), rgbText(10, 20, 30));
}

TEST(GlassPaint, FillColoursOfLimeAndRed)
{
    const TGlassColors lime = fillColors(qRgb(0, 255, 0));
    EXPECT_EQ(rgbText(lime.light1), rgbText(242, 255, 242));
    EXPECT_EQ(rgbText(lime.light2), rgbText(127, 255, 127));
    EXPECT_EQ(rgbText(lime.dark1), rgbText(0, 153, 0));
    EXPECT_EQ(rgbText(lime.dark2), rgbText(0, 204, 0));
    EXPECT_EQ(rgbText(lime.edge1), rgbText(0, 127, 0));
    EXPECT_EQ(rgbText(lime.edge2), rgbText(127, 255, 127));
    const TGlassColors red = fillColors(qRgb(255, 0, 0));
    EXPECT_EQ(rgbText(red.light1), rgbText(255, 242, 242));
    EXPECT_EQ(rgbText(red.light2), rgbText(255, 127, 127));
    EXPECT_EQ(rgbText(red.dark1), rgbText(153, 0, 0));
    EXPECT_EQ(rgbText(red.dark2), rgbText(204, 0, 0));
    EXPECT_EQ(rgbText(red.edge1), rgbText(127, 0, 0));
    EXPECT_EQ(rgbText(red.edge2), rgbText(255, 127, 127));
}

TEST(GlassPaint, MixPixelWeightsTheSecondColourAndRounds)
{
    EXPECT_EQ(rgbText(mixPixel(kBlack, kWhite, 230)), rgbText(230, 230, 230));
    EXPECT_EQ(rgbText(mixPixel(kBlack, kWhite, 0)), rgbText(0, 0, 0));
    EXPECT_EQ(rgbText(mixPixel(kBlack, kWhite, 255)), rgbText(255, 255, 255));
    // Red 128 / 255 = 0.502 -> 1, green 384 / 255 = 1.506 -> 2, blue (128 + 254) / 255 = 1.498 -> 1.
    EXPECT_EQ(rgbText(mixPixel(qRgb(0, 0, 2), qRgb(1, 3, 1), 128)), rgbText(1, 2, 1));
    EXPECT_EQ(rgbText(mixPixel(qRgb(0, 0, 0), qRgb(3, 3, 3), 85)), rgbText(1, 1, 1));
}

TEST(GlassPaint, FillGradientReachesBothEnds)
{
    QImage image(5, 11, QImage::Format_RGB32);
    image.fill(kBlack);
    fillGradient(image, qRgb(0, 100, 200), qRgb(10, 200, 100), true, QRect(0, 0, 5, 11));
    EXPECT_EQ(pixelAt(image, 2, 0), rgbText(0, 100, 200));
    EXPECT_EQ(pixelAt(image, 2, 10), rgbText(10, 200, 100));
    // Row 5 of 0..10 is the middle; row 1 is 1/10 of the way (1, 110, 190).
    EXPECT_EQ(pixelAt(image, 4, 5), rgbText(5, 150, 150));
    EXPECT_EQ(pixelAt(image, 0, 1), rgbText(1, 110, 190));

    QImage across(9, 2, QImage::Format_RGB32);
    across.fill(kBlack);
    fillGradient(across, kWhite, qRgb(255, 0, 0), false, QRect(1, 0, 5, 2));
    EXPECT_EQ(pixelAt(across, 0, 0), rgbText(0, 0, 0));
    EXPECT_EQ(pixelAt(across, 1, 1), rgbText(255, 255, 255));
    // Half way: -255 * 2 / 4 = -127.5 rounds to the even -128.
    EXPECT_EQ(pixelAt(across, 3, 0), rgbText(255, 127, 127));
    EXPECT_EQ(pixelAt(across, 5, 0), rgbText(255, 0, 0));
    EXPECT_EQ(pixelAt(across, 6, 0), rgbText(0, 0, 0));
}

TEST(GlassPaint, GlassBarSkipsTooSmallAreasAndClips)
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(kBlack);
    drawGlassBar(image, {1, 1, 2, 9}, TGPBOrientation::gpbHorizontal, trackColors()); // width 0
    drawGlassBar(image, {1, 1, 9, 3}, TGPBOrientation::gpbHorizontal, trackColors()); // height 1
    EXPECT_EQ(pixelAt(image, 1, 1), rgbText(0, 0, 0));
    // Far larger than the image: only the image's pixels change, nothing is written outside.
    drawGlassBar(image, {-50, -50, 400, 400}, TGPBOrientation::gpbVertical, trackColors());
    drawMarqueeBand(image, {-50, -50, 400, 400}, kWhite, TGPBOrientation::gpbHorizontal, 30, 255);
    EXPECT_NE(pixelAt(image, 5, 5), rgbText(0, 0, 0));
}

TEST(GlassPaint, OtherImageFormatsAreConvertedNotOverrun)
{
    QImage image(6, 4, QImage::Format_RGB888);
    image.fill(Qt::black);
    fillRow(image, 1, 0, 5, qRgb(1, 2, 3));
    EXPECT_EQ(image.depth(), 32);
    EXPECT_EQ(pixelAt(image, 5, 1), rgbText(1, 2, 3));
    EXPECT_EQ(pixelAt(image, 5, 2), rgbText(0, 0, 0));
}

TEST(GlassPaint, VerticalGlassBarIsTheTurnedConstruction)
{
    // A bar 12 wide (w = 10, split at trunc(10 / 2.5) = 4) and 8 high (h = 6).
    QImage image(12, 8, QImage::Format_RGB32);
    image.fill(kBlack);
    drawGlassBar(image, {1, 1, 12, 8}, TGPBOrientation::gpbVertical, fillColors(qRgb(0, 255, 0)));
    // Column 0 of the bar, row 0: light1 moved by floor(1/8) towards edge1 (0, 127, 0).
    EXPECT_EQ(pixelAt(image, 1, 1), rgbText(211, 239, 211));
    // Column 5 (dark: 153 + 51 * 5 / 10 = 178), row 1: half way to edge1 + 128 * 1 / 25 -> e (5, 132, 5).
    EXPECT_EQ(pixelAt(image, 6, 2), rgbText(2, 155, 2));
    // Mirrored rows: row 5 equals row 0, row 4 equals row 1.
    for (int x = 1; x <= 10; ++x) {
        EXPECT_EQ(pixelAt(image, x, 6), pixelAt(image, x, 1)) << x;
        EXPECT_EQ(pixelAt(image, x, 5), pixelAt(image, x, 2)) << x;
    }
    EXPECT_EQ(pixelAt(image, 11, 3), rgbText(0, 0, 0));
    EXPECT_EQ(pixelAt(image, 5, 7), rgbText(0, 0, 0));
}

} // namespace
