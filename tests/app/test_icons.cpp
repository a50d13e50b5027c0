#include "widgets/UntIconRegistry.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(IconRegistry, ExtensionIconsNeedNoFileAndShareIndexes)
{
    const int txt = getExtIconIndex(".txt");
    EXPECT_GT(txt, 0);
    EXPECT_EQ(getExtIconIndex("report.TXT"), txt); // same extension, any case, same picture
    EXPECT_EQ(getExtIconIndex("/no/such/dir/notes.txt"), txt);
    EXPECT_NE(getExtIconIndex("photo.png"), txt);
    EXPECT_EQ(getExtIconIndex("no-extension"), 0);
    EXPECT_EQ(getExtIconIndex(".no-such-extension-xyz"), 0);
    EXPECT_GT(getExtIconIndex("/"), 0); // a drive root gets the drive picture
    EXPECT_FALSE(TIconRegistry::instance().icon(txt).isNull());
    EXPECT_FALSE(TIconRegistry::instance().icon(0).isNull());
    EXPECT_FALSE(TIconRegistry::instance().typeName(".txt").isEmpty());
    EXPECT_TRUE(TIconRegistry::instance().typeName("none").isEmpty());
}

TEST(IconRegistry, PathIconsLookAtTheRealPath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    std::ofstream(folder + "/a.txt") << "x";

    EXPECT_EQ(getPathIconIndex(folder + "/missing.txt"), 0);
    EXPECT_EQ(getExtIconIndex(folder + "/missing.txt"), getExtIconIndex(".txt"));
    const int folderIcon = getPathIconIndex(folder);
    EXPECT_GT(folderIcon, 0);
    EXPECT_EQ(getPathIconIndex(folder + "/"), folderIcon);
    EXPECT_EQ(getPathIconIndex(folder + "/a.txt"), getExtIconIndex(".txt"));
    EXPECT_EQ(getPathIconIndex("/"), getExtIconIndex("/"));
    EXPECT_NE(getPathIconIndex("/"), folderIcon);
}

} // namespace
