#include "tests/util/TestTempFolder.h"
#include "util/UntPathKind.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/mount.h>
#endif

namespace {

TEST(PathKind, FilesFoldersDrivesAndWhatIsNotThere)
{
    TTestTempFolder folder;
    writeBytes(folder.path("a.txt"), "x");
    std::filesystem::create_directories(nativePath(folder.path("sub")));
    const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));

    EXPECT_EQ(lookupPathKind(folder.path("a.txt")), TPathKind::File);
    EXPECT_EQ(lookupPathKind(folder.path("a.txt") + sep), TPathKind::File) << "a folder node's path form";
    EXPECT_EQ(lookupPathKind(folder.path("sub")), TPathKind::Folder);
    EXPECT_EQ(lookupPathKind(folder.path("sub") + sep), TPathKind::Folder);
    EXPECT_EQ(lookupPathKind(folder.path("missing.txt")), TPathKind::Missing);
    EXPECT_EQ(lookupPathKind(""), TPathKind::Missing);
#ifdef _WIN32
    EXPECT_EQ(lookupPathKind("C:\\"), TPathKind::Drive);
#else
    EXPECT_EQ(lookupPathKind("/"), TPathKind::Drive);
#endif
}

TEST(PathKind, AnswersAreKeptForTwoGenerations)
{
    TPathAnswers answers(4);
    EXPECT_FALSE(answers.find(pathKey("/a")));
    answers.store(pathKey("/a"), 7);
    answers.store(pathKey("/a"), 8);
    EXPECT_EQ(answers.find(pathKey("/a")), 8) << "a new answer replaces the old";
    EXPECT_NE(pathKey("/a"), pathKey("/a/")) << "the key is the path as given";

    // Four answers fill a generation; the next one starts another, the one after that drops the first.
    for (int i = 0; i < 4; ++i)
        answers.store(pathKey("/f" + std::to_string(i)), i);
    EXPECT_EQ(answers.find(pathKey("/a")), 8);
    for (int i = 4; i < 8; ++i)
        answers.store(pathKey("/f" + std::to_string(i)), i);
    EXPECT_FALSE(answers.find(pathKey("/a")));
    EXPECT_EQ(answers.find(pathKey("/f7")), 7);
    EXPECT_EQ(answers.find(pathKey("/f4")), 4);
}

#ifndef _WIN32
// A filesystem mounted on a folder makes that folder a drive, told without the mount table.
TEST(PathKind, AMountPointIsADrive)
{
    if (!runningAsRoot())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    TTestTempFolder folder;
    const std::string point = folder.path("mnt");
    std::filesystem::create_directories(nativePath(point));
    ASSERT_EQ(lookupPathKind(point), TPathKind::Folder);
    if (mount("fm-test", point.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    EXPECT_EQ(lookupPathKind(point), TPathKind::Drive);
    EXPECT_EQ(lookupPathKind(point + "/"), TPathKind::Drive);
    ASSERT_EQ(umount(point.c_str()), 0);
    EXPECT_EQ(lookupPathKind(point), TPathKind::Folder);
}
#endif

} // namespace
