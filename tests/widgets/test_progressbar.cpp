#include "widgets/UntGlassProgressBar.h"

#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

namespace {

// The main window's batch bar: lime, 9 pixels high, rounded, no text.
std::unique_ptr<TGlassProgressBar> limeBar(int width = 60)
{
    auto bar = std::make_unique<TGlassProgressBar>();
    bar->resize(width, 9);
    return bar;
}

TEST(GlassProgressBar, Defaults)
{
    TGlassProgressBar bar;
    EXPECT_FALSE(bar.marquee());
    EXPECT_EQ(bar.marqueeSize(), 40);
    EXPECT_EQ(bar.marqueeFade(), 30);
    EXPECT_EQ(bar.marqueeSpeed(), 25);
    EXPECT_EQ(bar.max(), 100);
    EXPECT_EQ(bar.min(), 0);
    EXPECT_FALSE(bar.altMode());
    EXPECT_EQ(bar.orientation(), TGPBOrientation::gpbHorizontal);
    EXPECT_FALSE(bar.percentage());
    EXPECT_EQ(bar.position(), 0);
    EXPECT_TRUE(bar.posTextPrefix().isEmpty());
    EXPECT_TRUE(bar.posTextSuffix().isEmpty());
    EXPECT_FALSE(bar.showPosText());
    EXPECT_TRUE(bar.rounded());
    EXPECT_FALSE(bar.specialMode());
    EXPECT_EQ(bar.color(), QColor(0, 255, 0));
    EXPECT_EQ(bar.size(), QSize(150, 17));
    EXPECT_EQ(bar.marqueePhase(), 0);
    EXPECT_EQ(bar.version(), QStringLiteral("1.0.2.0"));
    auto* timer = bar.findChild<QTimer*>(QStringLiteral("marqueeTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->interval(), 25);
}

TEST(GlassProgressBar, FrameAndRoundedTop)
{
    auto bar = limeBar();
    const QImage image = bar->renderImage(1);
    ASSERT_EQ(image.size(), QSize(60, 9));
    EXPECT_EQ(pixelAt(image, 0, 4), rgbText(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(pixelAt(image, 59, 4), rgbText(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(pixelAt(image, 30, 8), rgbText(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(pixelAt(image, 1, 0), rgbText(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(pixelAt(image, 58, 0), rgbText(0xC0, 0xC0, 0xC0));
    for (const QPoint p : {QPoint(0, 0), QPoint(59, 0), QPoint(0, 8), QPoint(59, 8)}) {
        EXPECT_EQ(pixelAt(image, p.x(), p.y()), rgbText(223, 223, 223));
    }
    bar->setRounded(false);
    const QImage square = bar->renderImage(1);
    EXPECT_EQ(pixelAt(square, 0, 0), rgbText(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(pixelAt(square, 30, 0), rgbText(0xA0, 0xA0, 0xA0));
}

TEST(GlassProgressBar, LimeFillOfNinePixelBar)
{
    auto bar = limeBar();
    bar->setPosition(100);
    const QImage image = bar->renderImage(1);
    // Glass rows 1 to 7 (h = 7), split after row 3 of the image (k = 3); column 31 is past the ramp.
    EXPECT_EQ(pixelAt(image, 31, 1), rgbText(213, 255, 213)); // light1 a quarter towards edge2
    EXPECT_EQ(pixelAt(image, 31, 3), rgbText(156, 255, 156)); // last light row
    EXPECT_EQ(pixelAt(image, 31, 4), rgbText(63, 214, 63));   // first dark row, half way
    EXPECT_EQ(pixelAt(image, 31, 5), rgbText(63, 218, 63));
    EXPECT_EQ(pixelAt(image, 31, 7), rgbText(31, 210, 31)); // last row takes a quarter
    EXPECT_EQ(pixelAt(image, 31, 8), rgbText(0xA0, 0xA0, 0xA0));
    // Column 0 of the bar leans an eighth towards edge1; the last column mirrors it.
    EXPECT_EQ(pixelAt(image, 1, 5), rgbText(0, 175, 0));
    EXPECT_EQ(pixelAt(image, 58, 5), rgbText(0, 175, 0));
    // Ramp column 12: edge (60, 188, 60); (188 - 189) / 2 truncates to 0, not -1.
    EXPECT_EQ(pixelAt(image, 13, 6), rgbText(30, 189, 30));
    for (int x = 1; x <= 58; ++x) {
        for (int y = 1; y <= 7; ++y) {
            ASSERT_EQ(pixelAt(image, x, y), pixelAt(image, 59 - x, y)) << x << "," << y;
        }
    }
}

TEST(GlassProgressBar, RedFillAndTrack)
{
    auto bar = limeBar();
    bar->setColor(QColor(255, 0, 0));
    bar->setPosition(100);
    const QImage red = bar->renderImage(1);
    EXPECT_EQ(pixelAt(red, 31, 1), rgbText(255, 213, 213));
    EXPECT_EQ(pixelAt(red, 31, 5), rgbText(218, 63, 63)); // dark 182 half way to edge2
    bar->setPosition(0);
    const QImage track = bar->renderImage(1);
    EXPECT_EQ(pixelAt(track, 31, 1), rgbText(253, 253, 253));
    EXPECT_EQ(pixelAt(track, 31, 5), rgbText(221, 221, 221));
    EXPECT_EQ(pixelAt(track, 1, 5), rgbText(191, 191, 191));
}

TEST(GlassProgressBar, FillLengthFollowsPosition)
{
    auto bar = limeBar(101);
    const QImage empty = bar->renderImage(1);
    bar->setPosition(50);
    const QImage half = bar->renderImage(1);
    // R.right = nearest(101 * 0.5) = 50 (50.5, halves to even): the fill covers columns 1 to 48.
    EXPECT_NE(pixelAt(half, 48, 5), pixelAt(empty, 48, 5));
    EXPECT_EQ(pixelAt(half, 49, 5), pixelAt(empty, 49, 5));
    bar->setPosition(100);
    const QImage full = bar->renderImage(1);
    for (int x = 0; x < 101; ++x) {
        EXPECT_EQ(pixelAt(full, x, 0), pixelAt(empty, x, 0));
        EXPECT_EQ(pixelAt(full, x, 8), pixelAt(empty, x, 8));
    }
    EXPECT_EQ(pixelAt(full, 0, 5), pixelAt(empty, 0, 5));
    EXPECT_EQ(pixelAt(full, 100, 5), pixelAt(empty, 100, 5));
    EXPECT_NE(pixelAt(full, 99, 5), pixelAt(empty, 99, 5));
}

TEST(GlassProgressBar, EmptyRangeGivesNoFillAndZeroPercent)
{
    auto bar = limeBar();
    const QImage track = bar->renderImage(1);
    bar->setPosition(60);
    bar->setPercentage(true);
    EXPECT_EQ(bar->posText(), QStringLiteral("60%"));
    bar->setMin(100); // Min = Max; Position is not re-clamped
    EXPECT_EQ(bar->position(), 60);
    EXPECT_EQ(bar->posText(), QStringLiteral("0%"));
    EXPECT_EQ(bar->renderImage(1), track);
    bar->setPercentage(false);
    EXPECT_EQ(bar->posText(), QStringLiteral("60"));
}

TEST(GlassProgressBar, PercentageRoundsAndTextIsDrawn)
{
    auto bar = limeBar(120);
    bar->resize(120, 20);
    bar->setMax(3);
    bar->setPosition(2);
    bar->setPercentage(true);
    EXPECT_EQ(bar->posText(), QStringLiteral("67%"));
    const QImage plain = bar->renderImage(1);
    bar->setPosTextPrefix(QStringLiteral("Used "));
    bar->setPosTextSuffix(QStringLiteral("!"));
    EXPECT_EQ(plain, bar->renderImage(1)); // the text only shows with showPosText
    bar->setShowPosText(true);
    const QImage text = bar->renderImage(1);
    int changed = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 120; ++x) {
            changed += text.pixel(x, y) != plain.pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(changed, 20);
    // Centred: nothing changes in the outer columns.
    for (int y = 0; y < 20; ++y) {
        EXPECT_EQ(text.pixel(2, y), plain.pixel(2, y));
        EXPECT_EQ(text.pixel(117, y), plain.pixel(117, y));
    }
}

TEST(GlassProgressBar, OutOfRangePositionAfterRangeChangeIsSafe)
{
    auto bar = limeBar();
    bar->setPosition(100);
    bar->setMax(50); // Position stays 100, beyond the range
    bar->setPercentage(true);
    EXPECT_EQ(bar->posText(), QStringLiteral("200%"));
    const QImage image = bar->renderImage(1);
    EXPECT_EQ(pixelAt(image, 59, 4), rgbText(0xA0, 0xA0, 0xA0));
    bar->setMin(-2147483647 - 1);
    bar->setMax(2147483647);
    EXPECT_FALSE(bar->renderImage(1).isNull());
}

class GlassProgressBarShown : public ::testing::Test {
protected:
    void SetUp() override
    {
        bar.resize(60, 9);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
        QApplication::processEvents();
    }

    TGlassProgressBar bar;
    TPaintCounter paints{&bar};
};

TEST_F(GlassProgressBarShown, PositionIsClampedAndUnchangedValueDoesNotRedraw)
{
    int before = paints.count();
    bar.setPosition(150);
    EXPECT_EQ(bar.position(), 100);
    EXPECT_EQ(paints.count(), before + 1); // redrawn at once
    before = paints.count();
    bar.setPosition(100);
    QApplication::processEvents();
    EXPECT_EQ(paints.count(), before);
    bar.setPosition(-7);
    EXPECT_EQ(bar.position(), 0);
    bar.addPosition(30);
    bar.addPosition(2147483647);
    EXPECT_EQ(bar.position(), 100);
    bar.addPosition(-2147483647 - 1);
    EXPECT_EQ(bar.position(), 0);
    before = paints.count();
    bar.setMax(100);
    bar.setRounded(true);
    bar.setPosTextPrefix(QString());
    QApplication::processEvents();
    EXPECT_EQ(paints.count(), before); // unchanged values
    bar.setMax(200);
    EXPECT_EQ(paints.count(), before + 1);
}

TEST_F(GlassProgressBarShown, RedrawRules)
{
    int before = paints.count();
    bar.setAltMode(true); // invalidates only
    EXPECT_EQ(paints.count(), before);
    QApplication::processEvents();
    EXPECT_GT(paints.count(), before);
    before = paints.count();
    bar.setOrientation(TGPBOrientation::gpbHorizontal); // at once, even unchanged
    bar.setMarqueeFade(30);
    bar.setMarqueeSize(40);
    EXPECT_EQ(paints.count(), before + 3);
    before = paints.count();
    bar.setMarqueeSpeed(50); // no redraw
    QApplication::processEvents();
    EXPECT_EQ(paints.count(), before);
    auto* timer = bar.findChild<QTimer*>(QStringLiteral("marqueeTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 50);
    EXPECT_FALSE(timer->isActive());
    bar.setMarquee(true);
    EXPECT_EQ(paints.count(), before + 1);
    EXPECT_TRUE(timer->isActive());
    bar.setMarqueeSpeed(0); // a zero interval stops the sweep instead of spinning
    EXPECT_FALSE(timer->isActive());
    bar.setMarqueeSpeed(10);
    EXPECT_TRUE(timer->isActive());
    bar.setMarquee(false);
    EXPECT_FALSE(timer->isActive());
    before = paints.count();
    bar.setFont(QFont(QStringLiteral("DejaVu Sans"), 15));
    QApplication::processEvents();
    EXPECT_GT(paints.count(), before);
}

TEST_F(GlassProgressBarShown, MarqueePhaseRunsToSizePlusHundredAndRestarts)
{
    bar.setMarqueeSpeed(0); // the steps below are driven by hand, not by the timer
    bar.setMarquee(true);
    for (int i = 1; i <= 140; ++i) {
        bar.marqueeStep();
        ASSERT_EQ(bar.marqueePhase(), i);
    }
    const int before = paints.count();
    bar.marqueeStep();
    EXPECT_EQ(bar.marqueePhase(), 1);
    EXPECT_EQ(paints.count(), before); // the tick invalidates
    QApplication::processEvents();
    EXPECT_GT(paints.count(), before);
    bar.setMarquee(false);
    EXPECT_EQ(bar.marqueePhase(), 1); // kept while the marquee is off
}

TEST(GlassProgressBar, MarqueeBandShape)
{
    TGlassProgressBar bar; // 150 x 17
    const QImage track = bar.renderImage(1);
    bar.setMarquee(true);
    for (int i = 0; i < 70; ++i) {
        bar.marqueeStep();
    }
    const QImage band = bar.renderImage(1);
    // R.right = 105, R.left = 105 - 60 = 45; n = 60 positions, fade f = 18.
    const QRgb c = qRgb(0, 255, 0);
    auto expected = [&](int x, int y, int weight) {
        const QRgb p = track.pixel(x, y);
        auto ch = [&](int pc, int cc) { return cc + static_cast<int>(floorDiv((pc - cc) * weight, 256)); };
        return rgbText(ch(qRed(p), qRed(c)), ch(qGreen(p), qGreen(c)), ch(qBlue(p), qBlue(c)));
    };
    for (int y = 0; y < 17; ++y) {
        EXPECT_EQ(pixelAt(band, 44, y), pixelAt(track, 44, y));
        EXPECT_EQ(pixelAt(band, 105, y), pixelAt(track, 105, y));
        EXPECT_EQ(pixelAt(band, 45, y), expected(45, y, 254));
        EXPECT_EQ(pixelAt(band, 104, y), expected(104, y, 254));
        EXPECT_EQ(pixelAt(band, 54, y), expected(54, y, 174)); // i = 9: trunc(159 * 9 / 18) + 95
        EXPECT_EQ(pixelAt(band, 95, y), expected(95, y, 174)); // its mirror n - 1 - 9
        EXPECT_EQ(pixelAt(band, 75, y), expected(75, y, 96));
    }
}

TEST(GlassProgressBar, MarqueeBandEntersAtLeftAndLeavesAtRight)
{
    TGlassProgressBar bar;
    const QImage track = bar.renderImage(1);
    bar.setMarquee(true);
    bar.marqueeStep(); // phase 1: R.right = 2, only columns 0 and 1 may change
    QImage image = bar.renderImage(1);
    EXPECT_NE(pixelAt(image, 1, 5), pixelAt(track, 1, 5));
    EXPECT_EQ(pixelAt(image, 2, 5), pixelAt(track, 2, 5));
    for (int i = 1; i < 140; ++i) {
        bar.marqueeStep();
    }
    ASSERT_EQ(bar.marqueePhase(), 140); // R.left = 210 - 60 = 150: off the bar
    EXPECT_EQ(bar.renderImage(1), track);
}

TEST(GlassProgressBar, VerticalAndSpecialModes)
{
    auto bar = std::make_unique<TGlassProgressBar>();
    bar->resize(12, 40);
    bar->setOrientation(TGPBOrientation::gpbVertical);
    const QImage empty = bar->renderImage(1);
    bar->setPosition(50);
    const QImage half = bar->renderImage(1);
    // t = 40 - 20 = 20: the fill covers rows 20 to 38 from the bottom up.
    EXPECT_EQ(pixelAt(half, 5, 19), pixelAt(empty, 5, 19));
    EXPECT_NE(pixelAt(half, 5, 21), pixelAt(empty, 5, 21));
    EXPECT_NE(pixelAt(half, 5, 38), pixelAt(empty, 5, 38));

    auto special = limeBar();
    special->setSpecialMode(true);
    const QImage image = special->renderImage(1);
    // The track starts on the left frame column and covers the bottom frame row.
    EXPECT_NE(pixelAt(image, 0, 4), rgbText(0xA0, 0xA0, 0xA0));
    EXPECT_NE(pixelAt(image, 30, 8), rgbText(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(pixelAt(image, 59, 4), rgbText(0xA0, 0xA0, 0xA0));

    auto alt = limeBar();
    alt->setAltMode(true);
    const QImage noTrack = alt->renderImage(1);
    EXPECT_EQ(pixelAt(noTrack, 30, 4), rgbText(alt->palette().color(QPalette::Base).rgb()));
}

TEST(GlassProgressBar, DevicePixelRatioTwo)
{
    auto bar = limeBar();
    bar->setPosition(100);
    const QImage image = bar->renderImage(2);
    ASSERT_EQ(image.size(), QSize(120, 18));
    EXPECT_EQ(image.devicePixelRatio(), 2.0);
    // Rules in device pixels: a 1-pixel frame, glass rows 1 to 16 split after 7 (trunc(16 / 2.25)).
    EXPECT_EQ(pixelAt(image, 0, 9), rgbText(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(pixelAt(image, 60, 17), rgbText(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(pixelAt(image, 119, 0), rgbText(223, 223, 223));
    EXPECT_EQ(pixelAt(image, 60, 7), rgbText(139, 255, 139));
    EXPECT_EQ(pixelAt(image, 60, 8), rgbText(63, 215, 63));
    EXPECT_EQ(pixelAt(image, 1, 1), pixelAt(image, 118, 1));
}

} // namespace
