#include "widgets/UntPictures.h"

#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

namespace {

const std::vector<TPictureShape> kAllShapes = {
    TPictureShape::tree,       TPictureShape::list,         TPictureShape::gear,    TPictureShape::help,
    TPictureShape::info,       TPictureShape::folder,       TPictureShape::folders, TPictureShape::document,
    TPictureShape::clean,      TPictureShape::resume,       TPictureShape::pause,   TPictureShape::record,
    TPictureShape::stop,       TPictureShape::floppy,       TPictureShape::exit,    TPictureShape::like,
    TPictureShape::drive,      TPictureShape::filterAdd,    TPictureShape::add,     TPictureShape::remove,
    TPictureShape::addLocked,  TPictureShape::removeLocked, TPictureShape::bars,    TPictureShape::tick,
    TPictureShape::smallCross,
};

QImage imageOf(const QIcon& icon, int size)
{
    return icon.pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
}

int opaquePixels(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        }
    }
    return count;
}

TEST(Pictures, EveryShapeHasBothSizesAndIsDistinct)
{
    std::set<QByteArray> seen;
    for (TPictureShape shape : kAllShapes) {
        const QIcon icon = pictureIcon(shape);
        const QList<QSize> sizes = icon.availableSizes();
        EXPECT_TRUE(sizes.contains(QSize(16, 16))) << static_cast<int>(shape);
        EXPECT_TRUE(sizes.contains(QSize(32, 32))) << static_cast<int>(shape);
        const QImage small = imageOf(icon, 16);
        ASSERT_EQ(small.size(), QSize(16, 16));
        EXPECT_GT(opaquePixels(small, small.rect()), 12) << static_cast<int>(shape);
        const QByteArray bytes(reinterpret_cast<const char*>(small.constBits()), static_cast<int>(small.sizeInBytes()));
        EXPECT_TRUE(seen.insert(bytes).second) << "shape " << static_cast<int>(shape) << " repeats another";
    }
}

// The box around a picture's visible pixels.
QRect inkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 100) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST(Pictures, LargeSizeIsTheSameDrawingScaled)
{
    // A drawing step that dropped the scale would leave part of the 32 x 32 picture at 16 x 16 size.
    for (TPictureShape shape : kAllShapes) {
        const QIcon icon = pictureIcon(shape);
        const QRect small = inkBox(imageOf(icon, 16));
        const QRect large = inkBox(imageOf(icon, 32));
        const QRect doubled(small.topLeft() * 2, small.size() * 2);
        EXPECT_LE(std::abs(large.left() - doubled.left()), 2) << static_cast<int>(shape);
        EXPECT_LE(std::abs(large.top() - doubled.top()), 2) << static_cast<int>(shape);
        EXPECT_LE(std::abs(large.right() - doubled.right()), 2) << static_cast<int>(shape);
        EXPECT_LE(std::abs(large.bottom() - doubled.bottom()), 2) << static_cast<int>(shape);
    }
}

TEST(Pictures, LockedSignsAreGreyVersionsOfTheLiveOnes)
{
    const QImage add = imageOf(pictureIcon(TPictureShape::add), 16);
    const QImage locked = imageOf(pictureIcon(TPictureShape::addLocked), 16);
    const QRgb live = add.pixel(4, 4);
    const QRgb grey = locked.pixel(4, 4);
    EXPECT_GT(qGreen(live), qRed(live) + 40) << pixelAt(add, 4, 4);
    EXPECT_LT(std::abs(qRed(grey) - qGreen(grey)), 16) << pixelAt(locked, 4, 4);
    // Same outline: the white plus sits in the same place in both.
    EXPECT_EQ(pixelAt(add, 8, 5), pixelAt(locked, 8, 5));
}

TEST(Pictures, ProgramAndHelpMenuIcons)
{
    EXPECT_TRUE(programIcon().availableSizes().contains(QSize(64, 64)));
    const QImage help = helpMenuIcon().pixmap(QSize(26, 16), 1.0).toImage();
    ASSERT_EQ(help.size(), QSize(26, 16));
    EXPECT_GT(opaquePixels(help, QRect(19, 6, 6, 4)), 4); // the drop-down arrow
}

} // namespace
