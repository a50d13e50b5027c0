#include "util/UntText.h"

#include <gtest/gtest.h>

TEST(TextFolding, FoldsOnlyAsciiLetters)
{
    EXPECT_EQ(foldCase("c:\\temp\\a-z_09"), "C:\\TEMP\\A-Z_09");
    EXPECT_EQ(foldCase("\xC3\xA9"), "\xC3\xA9"); // é stays é, never É
    EXPECT_TRUE(sameText("abc", "ABC"));
    EXPECT_FALSE(sameText("\xC3\x89", "\xC3\xA9")); // É against é
    EXPECT_FALSE(sameText("abc", "abcd"));

    // Search for an already folded word: anywhere, any ASCII case, other bytes exactly.
    EXPECT_TRUE(containsFolded("/home/Ann/notes.txt", "ANN/NO"));
    EXPECT_TRUE(containsFolded("aaab", "AAB")) << "a false start is not the end";
    EXPECT_TRUE(containsFolded("x", ""));
    EXPECT_FALSE(containsFolded("an", "ANN"));
    EXPECT_FALSE(containsFolded("/\xC3\xA9t\xC3\xA9", "\xC3\x89T"));
}

TEST(TextTrimming, RemovesControlsAndBlanksAtBothEnds)
{
    EXPECT_EQ(trimmed(" \t\r\nx y\x01 "), "x y");
    EXPECT_TRUE(isBlank(" \t\x1f"));
    EXPECT_FALSE(isBlank(" . "));
}

TEST(TextLines, EveryBreakEndsALineAndAFinalBreakAddsNone)
{
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb\n\n"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(splitLines("\r\n"), (std::vector<std::string>{""}));
    EXPECT_TRUE(splitLines("").empty());
}

TEST(TextPaths, SplitsAtTheStyleSeparator)
{
    using V = std::vector<std::string_view>;
    EXPECT_EQ(splitPath("C:\\Docs\\a.txt", TPathStyle::Windows), (V{"C:", "Docs", "a.txt"}));
    EXPECT_EQ(splitPath("C:\\Docs\\", TPathStyle::Windows), (V{"C:", "Docs"}));
    EXPECT_EQ(splitPath("\\\\server\\share", TPathStyle::Windows), (V{"", "", "server", "share"}));
    EXPECT_EQ(splitPath("/home//a.txt", TPathStyle::Posix), (V{"", "home", "", "a.txt"}));
    EXPECT_EQ(splitPath("/home/a\\b", TPathStyle::Posix), (V{"", "home", "a\\b"}));
}

TEST(TextPaths, FileFolderAndExtensionFollowTheStyle)
{
    EXPECT_EQ(fileNamePart("C:\\dir\\file.txt", TPathStyle::Windows), "file.txt");
    EXPECT_EQ(fileNamePart("C:file.txt", TPathStyle::Windows), "file.txt");
    EXPECT_EQ(fileNamePart("E:\\", TPathStyle::Windows), "");
    EXPECT_EQ(folderPart("C:\\dir\\file.txt", TPathStyle::Windows), "C:\\dir\\");
    EXPECT_EQ(folderPart("file.txt", TPathStyle::Windows), "");
    EXPECT_EQ(fileNamePart("/a:b/c.txt", TPathStyle::Posix), "c.txt");
    EXPECT_EQ(fileNamePart("a:b", TPathStyle::Posix), "a:b");

    EXPECT_EQ(extensionPart("C:\\a.b\\file.TXT", TPathStyle::Windows), ".TXT");
    EXPECT_EQ(extensionPart("C:\\a.b\\file", TPathStyle::Windows), "");
    EXPECT_EQ(extensionPart("C:\\a.b:c", TPathStyle::Windows), "");
    EXPECT_EQ(extensionPart("/a.b/file", TPathStyle::Posix), "");
    EXPECT_EQ(extensionPart("/a/b.c:d", TPathStyle::Posix), ".c:d");
    EXPECT_EQ(extensionPart("", TPathStyle::Posix), "");
}

TEST(TextPaths, UnderAFolderMeansTheFolderOrBelowAWholeName)
{
    constexpr auto posix = TPathStyle::Posix;
    EXPECT_TRUE(isUnder("/x/y", "/x", posix));
    EXPECT_TRUE(isUnder("/x", "/x", posix));
    EXPECT_TRUE(isUnder("/x/y", "/x/", posix));
    EXPECT_TRUE(isUnder("/anything", "/", posix));
    EXPECT_FALSE(isUnder("/xy", "/x", posix));
    EXPECT_FALSE(isUnder("/", "/x", posix));
    EXPECT_FALSE(isUnder("/x", "", posix));
    EXPECT_FALSE(isUnder("/X/y", "/x", posix));
    EXPECT_FALSE(isUnder("/x\\y", "/x", posix));

    constexpr auto windows = TPathStyle::Windows;
    EXPECT_TRUE(isUnder("C:\\Docs\\a.txt", "c:\\docs", windows));
    EXPECT_TRUE(isUnder("C:\\Docs\\a.txt", "C:\\", windows));
    EXPECT_FALSE(isUnder("C:\\Docsy\\a.txt", "C:\\Docs", windows));
    EXPECT_FALSE(isUnder("C:/Docs/a.txt", "C:\\Docs", windows));
    // Only a-z fold, as everywhere else.
    EXPECT_FALSE(isUnder("C:\\\xC3\x89t\xC3\xA9\\a", "C:\\\xC3\xA9t\xC3\xA9", windows));
}

TEST(TextLines, AListTextEndsEveryEntryWithCrLfAndSplitsBack)
{
    EXPECT_EQ(entriesToListText({}), "");
    const std::vector<std::string> entries = {".txt", "", "C:\\A b\\", "\xC3\xA9t\xC3\xA9"};
    EXPECT_EQ(entriesToListText(entries), ".txt\r\n\r\nC:\\A b\\\r\n\xC3\xA9t\xC3\xA9\r\n");
    EXPECT_EQ(splitLines(entriesToListText(entries)), entries);
}
