#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassBars.h"
#include "widgets/UntGlassToolButton.h"

#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QTest>

namespace {

void sendEnter(QWidget* widget)
{
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(widget, &enter);
}

void sendLeave(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

TEST(GlassToolBar, NewBar)
{
    TGlassToolBar bar;
    EXPECT_FALSE(bar.showTopBorder());
    EXPECT_EQ(bar.size(), QSize(300, 31));
    EXPECT_FALSE(bar.invalidateOnMouseEvents());
    EXPECT_EQ(bar.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(bar.version(), QStringLiteral("1.0.2.0"));
}

TEST(GlassToolBar, RowsOfA31PixelBar)
{
    TGlassToolBar bar;
    bar.resize(100, 31);
    const QImage image = bar.renderImage(1);
    ASSERT_EQ(image.size(), QSize(100, 31));
    EXPECT_EQ(pixelAt(image, 50, 0), rgbText(250, 252, 253));
    EXPECT_EQ(pixelAt(image, 50, 14), rgbText(230, 240, 250));
    EXPECT_EQ(pixelAt(image, 50, 15), rgbText(220, 230, 244));
    // Row 27 is 12/15 of the lower gradient (rows 15 to 30).
    EXPECT_EQ(pixelAt(image, 50, 27), rgbText(221, 232, 246));
    EXPECT_EQ(pixelAt(image, 50, 28), rgbText(228, 239, 251));
    EXPECT_EQ(pixelAt(image, 50, 29), rgbText(205, 218, 234));
    EXPECT_EQ(pixelAt(image, 50, 30), rgbText(160, 175, 195));
    for (int y = 0; y <= 27; ++y) {
        EXPECT_EQ(pixelAt(image, 0, y), rgbText(228, 239, 251)) << y;
        EXPECT_EQ(pixelAt(image, 99, y), rgbText(228, 239, 251)) << y;
    }
    EXPECT_EQ(pixelAt(image, 0, 29), rgbText(205, 218, 234));
    EXPECT_EQ(pixelAt(image, 1, 0), rgbText(250, 252, 253)); // no top border on a new bar

    bar.setShowTopBorder(true);
    const QImage bordered = bar.renderImage(1);
    EXPECT_EQ(pixelAt(bordered, 0, 0), rgbText(205, 218, 234));
    EXPECT_EQ(pixelAt(bordered, 50, 0), rgbText(205, 218, 234));
    EXPECT_EQ(pixelAt(bordered, 50, 1), pixelAt(image, 50, 1));
}

TEST(GlassToolBar, DevicePixelRatioTwo)
{
    TGlassToolBar bar;
    bar.resize(40, 31);
    const QImage image = bar.renderImage(2);
    ASSERT_EQ(image.size(), QSize(80, 62));
    EXPECT_EQ(pixelAt(image, 40, 30), rgbText(230, 240, 250));
    EXPECT_EQ(pixelAt(image, 40, 31), rgbText(220, 230, 244));
    EXPECT_EQ(pixelAt(image, 40, 61), rgbText(160, 175, 195));
    EXPECT_EQ(pixelAt(image, 79, 58), rgbText(228, 239, 251));
    EXPECT_EQ(pixelAt(image, 79, 59), rgbText(228, 239, 251));
    EXPECT_EQ(pixelAt(image, 79, 60), rgbText(205, 218, 234));
}

TEST(GlassToolBar, BarsKeepToTheirEdgeOfAParentWithoutLayout)
{
    QWidget parent;
    parent.resize(400, 200);
    auto* toolBar = new TGlassToolBar(&parent);
    auto* infoBar = new TGlassInformationBar(&parent);
    EXPECT_EQ(toolBar->geometry(), QRect(0, 0, 400, 31));
    EXPECT_EQ(infoBar->geometry(), QRect(0, 147, 400, 53));
    parent.show(); // a hidden widget gets its resize events when shown
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    parent.resize(520, 300);
    EXPECT_EQ(toolBar->geometry(), QRect(0, 0, 520, 31));
    EXPECT_EQ(infoBar->geometry(), QRect(0, 247, 520, 53));

    QWidget other;
    other.resize(90, 90);
    infoBar->setParent(&other);
    EXPECT_EQ(infoBar->geometry(), QRect(0, 37, 90, 53));
    parent.resize(600, 300);
    EXPECT_EQ(infoBar->geometry(), QRect(0, 37, 90, 53)); // no longer follows the old parent
    infoBar->setParent(nullptr);
    delete infoBar;
}

TEST(GlassToolBar, TopBorderRepaintsAtOnce)
{
    TGlassToolBar bar;
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    TPaintCounter paints(&bar);
    QApplication::processEvents();
    const int before = paints.count();
    bar.setShowTopBorder(true);
    EXPECT_EQ(paints.count(), before + 1);
    sendEnter(&bar); // bars do not repaint on mouse entry
    QApplication::processEvents();
    EXPECT_EQ(paints.count(), before + 1);
}

TEST(GlassInformationBar, FiveTopRows)
{
    TGlassInformationBar bar;
    EXPECT_EQ(bar.size(), QSize(300, 53));
    EXPECT_FALSE(bar.invalidateOnMouseEvents());
    const QImage image = bar.renderImage(1);
    const std::string rows[] = {rgbText(204, 217, 234), rgbText(217, 227, 240), rgbText(232, 238, 247),
                                rgbText(237, 242, 249), rgbText(240, 244, 250)};
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(pixelAt(image, 0, y), rows[y]);
        EXPECT_EQ(pixelAt(image, 150, y), rows[y]);
        EXPECT_EQ(pixelAt(image, 299, y), rows[y]);
    }
    EXPECT_EQ(pixelAt(image, 0, 5), rgbText(241, 245, 251));
    EXPECT_EQ(pixelAt(image, 299, 52), rgbText(241, 245, 251));
    const QImage twice = bar.renderImage(2);
    EXPECT_EQ(twice.size(), QSize(600, 106));
    EXPECT_EQ(pixelAt(twice, 599, 4), rows[4]);
    EXPECT_EQ(pixelAt(twice, 599, 5), rgbText(241, 245, 251));
}

TEST(GlassControl, PressFocusEnabledAndMouseSignals)
{
    TGlassControl control;
    control.resize(50, 20);
    EXPECT_TRUE(control.invalidateOnMouseEvents());
    EXPECT_EQ(control.version(), QStringLiteral("1.0.2.0"));
    control.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    TPaintCounter paints(&control);
    QApplication::processEvents();

    QTest::mousePress(&control, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(control.leftButtonPressed());
    QTest::mouseRelease(&control, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(control.leftButtonPressed());
    QTest::mousePress(&control, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_FALSE(control.leftButtonPressed());
    QTest::mouseRelease(&control, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mousePress(&control, Qt::LeftButton, {}, QPoint(5, 5));
    control.setEnabled(false);
    EXPECT_FALSE(control.leftButtonPressed());
    control.setEnabled(true);

    int entered = 0;
    int left = 0;
    QObject::connect(&control, &TGlassControl::mouseEnter, [&] { ++entered; });
    QObject::connect(&control, &TGlassControl::mouseLeave, [&] { ++left; });
    int before = paints.count();
    sendEnter(&control);
    QApplication::processEvents();
    EXPECT_EQ(entered, 1);
    EXPECT_GT(paints.count(), before);
    control.setInvalidateOnMouseEvents(false);
    before = paints.count();
    sendLeave(&control);
    QApplication::processEvents();
    EXPECT_EQ(left, 1);
    EXPECT_EQ(paints.count(), before);

    before = paints.count();
    control.setCaption(QStringLiteral("text"));
    QApplication::processEvents();
    EXPECT_GT(paints.count(), before);
    EXPECT_EQ(control.caption(), QStringLiteral("text"));
}

// The longest horizontal run of one colour in an image.
int longestRun(const QImage& image, QRgb colour)
{
    int best = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? run + 1 : 0;
            best = std::max(best, run);
        }
    }
    return best;
}

TEST(GlassActiveLabel, HoverColoursUnderlineAndCursor)
{
    TGlassActiveLabel label(QStringLiteral("Hover over this long label text"));
    EXPECT_EQ(label.version(), QStringLiteral("1.0.2.0"));
    EXPECT_EQ(label.mouseInColor(), QColor(7, 74, 229));
    EXPECT_EQ(label.mouseOutColor(), QColor(21, 28, 85));
    EXPECT_EQ(label.mouseInCursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(label.mouseOutCursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(label.mouseIn());
    EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);
    label.adjustSize();
    label.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
    sendLeave(&label); // wherever the platform's cursor happens to be

    const QRgb in = qRgb(7, 74, 229);
    const QRgb out = qRgb(21, 28, 85);
    EXPECT_FALSE(label.mouseIn());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(out));
    EXPECT_FALSE(label.font().underline());
    EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);
    const QImage normal = label.grab().toImage();
    const int textWidth = label.width();

    bool stateAppliedBeforeSignal = false;
    QObject::connect(&label, &TGlassActiveLabel::mouseEnter, [&] {
        stateAppliedBeforeSignal = label.font().underline() && label.cursor().shape() == Qt::PointingHandCursor;
    });
    sendEnter(&label);
    EXPECT_TRUE(stateAppliedBeforeSignal);
    EXPECT_TRUE(label.mouseIn());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(in));
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
    const QImage hovered = label.grab().toImage();
    // The underline is a long run in the hover colour; before, no such run in either colour.
    EXPECT_GT(longestRun(hovered, in), textWidth / 2);
    EXPECT_LT(longestRun(normal, out), textWidth / 2);
    EXPECT_EQ(longestRun(hovered, out), 0);

    bool leftSignal = false;
    QObject::connect(&label, &TGlassActiveLabel::mouseLeave, [&] { leftSignal = !label.font().underline(); });
    sendLeave(&label);
    EXPECT_TRUE(leftSignal);
    EXPECT_FALSE(label.mouseIn());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(out));
    EXPECT_FALSE(label.font().underline());
    EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(label.grab().toImage(), normal);

    label.setMouseOutColor(QColor(200, 0, 0)); // shows at once
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(200, 0, 0));
}

TEST(GlassActiveLabel, ClickIsAPressAndReleaseOnTheLabel)
{
    TGlassActiveLabel label(QStringLiteral("www.example.org"));
    label.adjustSize();
    int clicks = 0;
    QObject::connect(&label, &TGlassActiveLabel::clicked, [&] { ++clicks; });
    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(&label, Qt::RightButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicks, 1);
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(label.width() + 20, 3)); // dragged off
    EXPECT_EQ(clicks, 1);
}

TEST(GlassToolButton, FacesFollowTheState)
{
    TGlassToolButton button;
    button.setText(QStringLiteral("Record"));
    button.resize(60, 26);
    EXPECT_EQ(button.version(), QStringLiteral("1.0.2.0"));
    EXPECT_EQ(button.face(), TGlassButtonFace::gbfNone);
    const QImage flat = button.grab().toImage();
    sendEnter(&button);
    EXPECT_TRUE(button.hovered());
    EXPECT_EQ(button.face(), TGlassButtonFace::gbfHover);
    const QImage hover = button.grab().toImage();
    EXPECT_NE(flat, hover);
    button.setDown(true);
    EXPECT_EQ(button.face(), TGlassButtonFace::gbfPressed);
    EXPECT_NE(button.grab().toImage(), hover);
    button.setDown(false);
    sendLeave(&button);
    EXPECT_EQ(button.face(), TGlassButtonFace::gbfNone);
    button.setCheckable(true);
    button.setChecked(true);
    EXPECT_EQ(button.face(), TGlassButtonFace::gbfChecked);
    button.setChecked(false);
    button.setFramed(true);
    EXPECT_EQ(button.face(), TGlassButtonFace::gbfNormal);
    button.setEnabled(false);
    sendEnter(&button);
    EXPECT_EQ(button.face(), TGlassButtonFace::gbfNormal);
}

} // namespace
