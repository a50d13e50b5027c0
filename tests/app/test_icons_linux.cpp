// The icon list of the icon theme: a picture for each known type, 0 for every unknown name.
#include "widgets/UntIconRegistry.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(IconRegistryTheme, KnownTypesHaveTheirOwnPicturesAndUnknownNamesTheGenericOne)
{
    const int txt = getExtIconIndex(".txt");
    EXPECT_GT(txt, 0);
    EXPECT_NE(getExtIconIndex("photo.png"), txt);
    EXPECT_EQ(getExtIconIndex("no-extension"), 0);
    EXPECT_EQ(getExtIconIndex(".no-such-extension-xyz"), 0);
    EXPECT_GT(getExtIconIndex("/"), 0); // a drive root gets the drive picture
    EXPECT_EQ(getPathIconIndex("/"), getExtIconIndex("/"));
    EXPECT_TRUE(TIconRegistry::instance().typeName("none").isEmpty());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string file = dir.path().toStdString() + "/a.txt";
    std::ofstream(file) << "x";
    EXPECT_EQ(getPathIconIndex(file), txt) << "a file's picture is its type's";
}

} // namespace
