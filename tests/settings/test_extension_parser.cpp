#include "settings/UntExtensionParser.h"
#include "settings/UntSettingsText.h"

#include <gtest/gtest.h>

using TList = std::vector<std::string>;

TEST(SettingsText, YesNoFlagsAreExactCapitals)
{
    EXPECT_EQ(boolToYN(true), "Y");
    EXPECT_EQ(boolToYN(false), "N");
    EXPECT_TRUE(ynToBool("Y"));
    for (const char* text : {"N", "", "y", "Yes", " Y", "Y "})
        EXPECT_FALSE(ynToBool(text)) << '"' << text << '"';
}

TEST(SettingsText, DotsAndListMembership)
{
    EXPECT_FALSE(hasDot("exe"));
    EXPECT_TRUE(hasDot("tar.gz"));
    EXPECT_TRUE(hasDot(".exe"));
    EXPECT_TRUE(hasDot("exe."));

    EXPECT_TRUE(isInStringList("c:\\", TList{"D:\\", "C:\\"}));
    EXPECT_TRUE(isInStringList("abc", TList{"ABC"}));
    EXPECT_FALSE(isInStringList("\xC3\xA9", TList{"\xC3\x89"})); // é is not É
    EXPECT_FALSE(isInStringList("abc", TList{}));
    EXPECT_FALSE(isInStringList("ab", TList{"abc"}));
}

TEST(ExtensionParser, CutsAtCommasSemicolonsAndBlanks)
{
    TList entries;
    EXPECT_EQ(addExtensions(".exe,.bat,.com,.scr,.pif", entries), (TList{".exe", ".bat", ".com", ".scr", ".pif"}));
    EXPECT_EQ(entries, (TList{".exe", ".bat", ".com", ".scr", ".pif"}));

    for (const char* typed : {"exe bat", "exe;bat", "exe, ,bat", "exe\r\nbat", "exe\nbat\r"}) {
        TList list;
        EXPECT_EQ(addExtensions(typed, list), (TList{".exe", ".bat"})) << typed;
        EXPECT_EQ(list, (TList{".exe", ".bat"})) << typed;
    }
}

TEST(ExtensionParser, SkipsDuplicatesWithoutRegardToCase)
{
    TList entries{".exe"};
    EXPECT_TRUE(addExtensions(".EXE", entries).empty());
    EXPECT_EQ(entries, TList{".exe"});

    TList fresh;
    EXPECT_EQ(addExtensions(".Txt,.TXT", fresh), TList{".Txt"});
    EXPECT_EQ(addExtensions("txt", fresh), TList{}); // becomes .txt, already there as .Txt

    TList stored{".EXE"};
    EXPECT_EQ(addExtensions(".exe,.bat,", stored), TList{".bat"});
    EXPECT_EQ(stored, (TList{".EXE", ".bat"}));
}

TEST(ExtensionParser, KeepsEntriesWithADotAnywhere)
{
    TList entries;
    EXPECT_EQ(addExtensions("*.exe tar.gz exe. .", entries), (TList{"*.exe", "tar.gz", "exe.", "."}));
}

TEST(ExtensionParser, BlankInputAddsNothingAndControlsStayInTheEntry)
{
    TList entries{".a"};
    for (const char* typed : {"", "   ", ",;, ;", "\t", "\r\n\r\n"})
        EXPECT_TRUE(addExtensions(typed, entries).empty()) << '"' << typed << '"';
    EXPECT_EQ(entries, TList{".a"});

    // Only blanks separate; a tab around a piece is part of it.
    EXPECT_EQ(addExtensions("\texe", entries), TList{".\texe"});
    EXPECT_EQ(addExtensions("\t.x", entries), TList{"\t.x"});
}

TEST(ExtensionParser, StoredListComesBackOnceAndExistingRowsStay)
{
    TList entries{".zip", ".ZIP2"};
    EXPECT_EQ(addExtensions(".exe,.bat,", entries), (TList{".exe", ".bat"}));
    EXPECT_TRUE(addExtensions(".exe,.bat,", entries).empty());
    EXPECT_EQ(entries, (TList{".zip", ".ZIP2", ".exe", ".bat"}));
}
