// The shared icon list, as every view uses it; the platform's own rules are in test_icons_<platform>.cpp.
#include "widgets/UntIconRegistry.h"

#include "util/UntFunctions.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace {

std::string native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdString();
}

TEST(IconRegistry, OneExtensionOnePictureWhateverTheNameAroundIt)
{
    const int txt = getExtIconIndex(".txt");
    EXPECT_EQ(getExtIconIndex("report.TXT"), txt); // same extension, any case, same picture
    EXPECT_EQ(getExtIconIndex(native(QStringLiteral("/no/such/dir/notes.txt"))), txt);
    const TIconRegistry& registry = TIconRegistry::instance();
    EXPECT_FALSE(registry.icon(txt).isNull());
    EXPECT_FALSE(registry.icon(0).isNull());
    EXPECT_EQ(registry.icon(-1).cacheKey(), registry.icon(0).cacheKey()) << "outside the list: the generic picture";
    EXPECT_EQ(registry.icon(1 << 20).cacheKey(), registry.icon(0).cacheKey());
    EXPECT_FALSE(registry.typeName(".txt").isEmpty());
}

TEST(IconRegistry, PathIconsLookAtTheRealPath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = native(dir.path());
    const std::string sep(1, pathSeparator(kNativePathStyle));
    std::ofstream(folder + sep + "a.txt") << "x";

    EXPECT_EQ(getPathIconIndex(folder + sep + "missing.txt"), 0);
    EXPECT_EQ(getPathIconIndex(""), 0);
    EXPECT_EQ(getExtIconIndex(folder + sep + "missing.txt"), getExtIconIndex(".txt"));
    const int folderIcon = getPathIconIndex(folder);
    EXPECT_GT(folderIcon, 0);
    EXPECT_EQ(getPathIconIndex(folder + sep), folderIcon);
    const int driveIcon = getPathIconIndex(getSystemDriveRoot());
    EXPECT_GT(driveIcon, 0);
    EXPECT_NE(driveIcon, folderIcon);
    EXPECT_FALSE(TIconRegistry::instance().icon(folderIcon).isNull());
}

} // namespace
