#include "events/UntEvents.h"
#include "pipeline/UntEventFilters.h"

#include <gtest/gtest.h>

namespace {

// The same cases run in both path styles: write them in Windows form, convert for POSIX.
struct StyleCase {
    TPathStyle style;
    std::string sep;
};

class FolderFilter : public testing::TestWithParam<StyleCase> {
protected:
    std::string p(std::string windowsPath) const
    {
        if (GetParam().style == TPathStyle::Posix) {
            for (auto& c : windowsPath)
                if (c == '\\')
                    c = '/';
            if (windowsPath.rfind("C:", 0) == 0 || windowsPath.rfind("c:", 0) == 0 || windowsPath.rfind("E:", 0) == 0)
                windowsPath = "/" + windowsPath.substr(0, 1) + windowsPath.substr(2);
        }
        return windowsPath;
    }
    TEventFilters filters{GetParam().style};
};

TEST_P(FolderFilter, ExcludedFolderRemovesItselfAndBelowOnly)
{
    filters.setDirFilters(p("C:\\TEMP\\") + "\r\n");
    EXPECT_TRUE(filters.isExcluded(p("c:\\temp"))); // the folder itself, separator added
    EXPECT_TRUE(filters.isExcluded(p("C:\\Temp\\a.txt")));
    EXPECT_FALSE(filters.isExcluded(p("C:\\Temp2\\a.txt")));
    EXPECT_FALSE(filters.isExcluded(p("C:\\TEM"))); // shorter than the entry
    EXPECT_FALSE(filters.isExcluded(""));
}

TEST_P(FolderFilter, EntryWithoutFinalSeparatorIsAPlainPrefix)
{
    filters.setDirFilters(p("C:\\Temp") + "\r\n");
    EXPECT_TRUE(filters.isExcluded(p("C:\\Temp2\\a.txt")));
    EXPECT_TRUE(filters.isExcluded(p("C:\\temp")));
}

TEST_P(FolderFilter, RootPathGetsNoSecondSeparator)
{
    filters.setDirFilters(p("E:\\") + "\r\n");
    EXPECT_TRUE(filters.isExcluded(p("E:\\")));
    filters.setDirFilters(p("E:\\\\") + "\r\n");
    EXPECT_FALSE(filters.isExcluded(p("E:\\")));
}

TEST_P(FolderFilter, FoldingIsAsciiOnly)
{
    filters.setDirFilters(p("C:\\\xC3\x89t\xC3\xA9\\") + "\r\n");        // "Été"
    EXPECT_FALSE(filters.isExcluded(p("C:\\\xC3\xA9t\xC3\xA9\\a.txt"))); // "été"
    EXPECT_TRUE(filters.isExcluded(p("c:\\\xC3\x89T\xC3\xA9\\a.txt")));
}

TEST_P(FolderFilter, OnlyTheOldPathOfARenameCounts)
{
    filters.setDirFilters(p("C:\\Temp\\") + "\r\n");
    EXPECT_FALSE(filters.passes(TItemObj(p("C:\\Temp\\a.txt"), p("C:\\Out\\a.txt"), evRenameFile)));
    EXPECT_TRUE(filters.passes(TItemObj(p("C:\\Out\\a.txt"), p("C:\\Temp\\a.txt"), evRenameFile)));
}

TEST_P(FolderFilter, EmptyEntryMatchesEverythingAndEmptyTextNothing)
{
    filters.setDirFilters(p("C:\\X\\") + "\r\n\r\n");
    ASSERT_EQ(filters.dirFilters().size(), 2u);
    EXPECT_TRUE(filters.isExcluded(p("C:\\Anything")));
    EXPECT_TRUE(filters.isExcluded(""));
    filters.setDirFilters("");
    EXPECT_TRUE(filters.dirFilters().empty());
    EXPECT_FALSE(filters.isExcluded(p("C:\\Anything")));
}

TEST_P(FolderFilter, ExtensionListKeepsOnlyFileKindsWithAListedExtension)
{
    filters.setExtFilters(".TXT\r\n");
    EXPECT_TRUE(filters.passes(TItemObj(p("C:\\d.x\\a.txt"), "", evCreate)));
    EXPECT_FALSE(filters.passes(TItemObj(p("C:\\d\\a.doc"), "", evCreate)));
    EXPECT_TRUE(filters.passes(TItemObj(p("C:\\d\\a.doc"), p("C:\\d\\a.txt"), evRenameFile)));
    EXPECT_FALSE(filters.passes(TItemObj(p("C:\\d.txt\\file"), "", evUpdateFile))); // no extension
    EXPECT_FALSE(filters.passes(TItemObj(p("C:\\d\\a.doc"), "", evDelete)));
    for (int kind : {int(evMkDir), int(evRenameFolder), int(evAttributes), int(evDriveAdd), int(evMediaRemoved), 42})
        EXPECT_TRUE(filters.passes(TItemObj(p("C:\\d\\a.doc"), "", kind))) << kind;
}

TEST_P(FolderFilter, ExtensionEntriesAreKeptAsWritten)
{
    filters.setExtFilters("*.exe\r\n.Txt\r\n");
    EXPECT_EQ(filters.extFilters(), (std::vector<std::string>{"*.exe", ".Txt"}));
    EXPECT_FALSE(filters.passes(TItemObj(p("C:\\a.exe"), "", evCreate))); // "*.exe" never equals ".exe"
    EXPECT_TRUE(filters.passes(TItemObj(p("C:\\a.TXT"), "", evCreate)));
}

TEST_P(FolderFilter, EmptyExtensionEntryKeepsEventsWithAnEmptySecondPath)
{
    filters.setExtFilters(".exe\r\n\r\n");
    EXPECT_TRUE(filters.passes(TItemObj(p("C:\\a.doc"), "", evCreate)));
    EXPECT_FALSE(filters.passes(TItemObj(p("C:\\a.doc"), p("C:\\b.doc"), evRenameFile)));
    filters.setExtFilters("");
    EXPECT_TRUE(filters.passes(TItemObj(p("C:\\a.doc"), p("C:\\b.doc"), evRenameFile)));
}

TEST_P(FolderFilter, FolderTestRunsBeforeTheExtensionList)
{
    filters.setDirFilters(p("C:\\Temp\\") + "\r\n");
    filters.setExtFilters(".txt\r\n");
    EXPECT_FALSE(filters.passes(TItemObj(p("C:\\Temp\\a.txt"), "", evCreate)));
    EXPECT_TRUE(filters.passes(TItemObj(p("C:\\Docs\\a.txt"), "", evCreate)));
    EXPECT_TRUE(filters.passes(TItemObj(p("C:\\Docs"), "", evMkDir)));
}

INSTANTIATE_TEST_SUITE_P(BothStyles, FolderFilter,
                         testing::Values(StyleCase{TPathStyle::Windows, "\\"}, StyleCase{TPathStyle::Posix, "/"}),
                         [](const auto& info) {
                             return info.param.style == TPathStyle::Windows ? "Windows" : "Posix";
                         });

TEST(FilterKinds, TreeAndFileKindsFollowTheCatalogue)
{
    std::vector<int> tree, file;
    for (int n = -1; n <= kEventCount; ++n) {
        if (isTreeEvent(n))
            tree.push_back(n);
        if (isFileEvent(n))
            file.push_back(n);
    }
    EXPECT_EQ(tree, (std::vector<int>{2, 3, 9, 12, 13, 14, 16, 18}));
    EXPECT_EQ(file, (std::vector<int>{2, 3, 13, 18}));
}

} // namespace
