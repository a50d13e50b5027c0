#include "settings/UntIniUtilsObj.h"
#include "tests/util/TestTempFolder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <random>

namespace {

std::size_t entriesIn(const TTestTempFolder& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder.root()), {}));
}

void expectWriteError(TIniUtilsObj& ini, const std::string& path)
{
    try {
        ini.flush();
        ADD_FAILURE() << "flush() did not throw for " << path;
    } catch (const TIniWriteError& e) {
        EXPECT_STREQ(e.what(), ("Unable to write to " + path).c_str());
        EXPECT_EQ(e.getPath(), path);
    }
}

} // namespace

TEST(IniUtils, MissingFileGivesDefaultsAndIsNotCreatedByReading)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    {
        TIniUtilsObj ini(path);
        EXPECT_EQ(ini.getWorkingSection(), "DEFAULT");
        ini.setWorkingSection("GLOBAL");
        EXPECT_EQ(ini.readString("TRAY", "N"), "N");
        EXPECT_EQ(ini.readInteger("COUNT", 7), 7);
        EXPECT_TRUE(ini.readBool("FLAG", true));
        EXPECT_FALSE(ini.hasPendingWrites());
    }
    EXPECT_FALSE(pathExists(path));
}

TEST(IniUtils, KeepsSectionsAndKeysInTheOrderWritten)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("EVENTS");
        ini.writeString("EVENTS", "WQ0K");
        ini.setWorkingSection("GLOBAL");
        ini.writeString("B", "2");
        ini.writeString("A", "1");
        ini.setWorkingSection("EVENTS");
        ini.writeString("Z", "last");
        ini.setWorkingSection("GLOBAL");
        ini.writeString("B", "replaced");
        ini.flush();
    }
    EXPECT_EQ(readBytes(path), "[EVENTS]\r\nEVENTS=WQ0K\r\nZ=last\r\n\r\n[GLOBAL]\r\nB=replaced\r\nA=1\r\n");
    EXPECT_EQ(entriesIn(folder), 1u); // no temporary file left behind

    TIniUtilsObj again(path);
    again.setWorkingSection("global");
    EXPECT_EQ(again.readString("b", ""), "replaced");
    EXPECT_EQ(again.readString("Missing", "dflt"), "dflt");
    again.setWorkingSection("OTHER");
    EXPECT_EQ(again.readString("A", "none"), "none");
}

TEST(IniUtils, LooksUpWithoutRegardToCaseAndKeepsTheStoredSpelling)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    writeBytes(path, "[events]\nEvents = abc \n[Events]\nEVENTS=second\n");
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("EVENTS");
        EXPECT_EQ(ini.readString("EVENTS", ""), "abc"); // the first match, trimmed
        ini.writeString("EVENTS", "new");
    }
    EXPECT_EQ(readBytes(path), "[events]\r\nEvents=new\r\n[Events]\r\nEVENTS=second\r\n");
}

TEST(IniUtils, ValuesOfAnyLengthAndShapeRoundTrip)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    std::string big(100 * 1024, 'A');
    for (std::size_t i = 0; i < big.size(); i += 7)
        big[i] = static_cast<char>('a' + i % 26);
    const std::vector<std::string> values = {big, "", " padded ", "\"quoted\"", "a=b=c", "; not a comment", "\""};
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("FILTERS");
        for (std::size_t i = 0; i < values.size(); ++i)
            ini.writeString("K" + std::to_string(i), values[i]);
    }
    TIniUtilsObj ini(path);
    ini.setWorkingSection("FILTERS");
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(ini.readString("K" + std::to_string(i), "missing"), values[i]) << i;
}

TEST(IniUtils, RewritingKeepsEverythingItDoesNotChange)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    const std::string original = "\xEF\xBB\xBF; written by hand\r\n"
                                 "orphan=before any section\r\n"
                                 "[OTHER]\r\n"
                                 "  Spaced  =  kept as typed  \r\n"
                                 "# another comment\r\n"
                                 "garbage line without equals\r\n"
                                 "\r\n"
                                 "[GLOBAL]\r\n"
                                 "TRAY=Y\r\n"
                                 "UNKNOWN=1\r\n"
                                 "; trailing comment of GLOBAL\r\n"
                                 "\r\n"
                                 "[LAST]\r\n"
                                 "x=1";
    writeBytes(path, original);
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("GLOBAL");
        EXPECT_EQ(ini.readString("TRAY", ""), "Y");
        ini.writeString("TRAY", "N");
        ini.writeString("AUTOEXPAND", "Y");
        ini.setWorkingSection("FILTERS");
        ini.writeString("EXTENSIONS", "");
        ini.setWorkingSection("DEFAULT");
        EXPECT_EQ(ini.readString("orphan", "not in a section"), "not in a section");
    }
    EXPECT_EQ(readBytes(path), "\xEF\xBB\xBF; written by hand\r\n"
                               "orphan=before any section\r\n"
                               "[OTHER]\r\n"
                               "  Spaced  =  kept as typed  \r\n"
                               "# another comment\r\n"
                               "garbage line without equals\r\n"
                               "\r\n"
                               "[GLOBAL]\r\n"
                               "TRAY=N\r\n"
                               "UNKNOWN=1\r\n"
                               "AUTOEXPAND=Y\r\n"
                               "; trailing comment of GLOBAL\r\n"
                               "\r\n"
                               "[LAST]\r\n"
                               "x=1\r\n"
                               "\r\n"
                               "[FILTERS]\r\n"
                               "EXTENSIONS=\r\n");
}

TEST(IniUtils, GarbageBinaryAndHugeFilesLoadWithoutHarm)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    std::mt19937 random(42);
    std::string garbage(256 * 1024, '\0');
    std::string expected;
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        const char c = static_cast<char>(random());
        garbage[i] = i % 1000 == 999 ? '\n' : (c == '\r' || c == '\n' ? 'x' : c);
        expected += garbage[i] == '\n' ? std::string("\r\n") : std::string(1, garbage[i]);
    }
    writeBytes(path, garbage + "\n[GLOBAL]\nTRAY=Y\n");
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("GLOBAL");
        EXPECT_EQ(ini.readString("TRAY", "N"), "Y");
        ini.writeString("TRAY", "N");
    }
    EXPECT_EQ(readBytes(path), expected + "\r\n[GLOBAL]\r\nTRAY=N\r\n");

    // One line of 16 MiB without a line break, NUL bytes in a value.
    writeBytes(path, "[A]\r\nK=" + std::string(16u << 20, 'x'));
    TIniUtilsObj huge(path);
    huge.setWorkingSection("A");
    EXPECT_EQ(huge.readString("K", "").size(), 16u << 20);

    writeBytes(path, std::string("[A]\nK=a\0b\n", 10));
    TIniUtilsObj withNul(path);
    withNul.setWorkingSection("A");
    EXPECT_EQ(withNul.readString("K", ""), std::string("a\0b", 3));
}

// Lines that are neither blank, a comment, a section nor a key with a plain name are counted as
// not understood; they stay in the file, and the keys around them are still found.
TEST(IniUtils, LinesNotUnderstoodAreCountedAndKept)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    const std::string text = "garbage\r\n[GLOBAL]\r\n\x01\x02=3\r\nTRAY=Y\r\n; note\r\n# note\r\n\r\n"
                             "[\xFF]\r\nK\xC3\xA9=1\r\n[broken\r\n=empty name\r\n";
    writeBytes(path, text);
    TIniUtilsObj ini(path);
    EXPECT_EQ(ini.getUnreadLineCount(), 6u);
    ini.setWorkingSection("GLOBAL");
    EXPECT_EQ(ini.readString("TRAY", "N"), "Y");
    ini.writeString("AUTOCLEAR", "N");
    ini.flush();
    EXPECT_EQ(readBytes(path).substr(0, 30), text.substr(0, 30));

    writeBytes(path, "[GLOBAL]\r\nTRAY=Y\r\n");
    EXPECT_EQ(TIniUtilsObj(path).getUnreadLineCount(), 0u);
}

TEST(IniUtils, IntegersAndBooleans)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    writeBytes(path, "[N]\nbad=12x\nspace= 5 \nbig=99999999999\ntwo=2\nzero=0\nword=yes\nneg=-3\n");
    TIniUtilsObj ini(path);
    ini.setWorkingSection("N");
    EXPECT_EQ(ini.readInteger("bad", -1), -1);
    EXPECT_EQ(ini.readInteger("space", -1), 5);
    EXPECT_EQ(ini.readInteger("big", -1), -1);
    EXPECT_EQ(ini.readInteger("neg", 0), -3);
    EXPECT_TRUE(ini.readBool("two", false));
    EXPECT_FALSE(ini.readBool("zero", true));
    EXPECT_TRUE(ini.readBool("word", true));
    EXPECT_FALSE(ini.readBool("word", false));

    ini.writeInteger("written", -42);
    ini.writeBool("on", true);
    ini.writeBool("off", false);
    EXPECT_EQ(ini.readString("written", ""), "-42");
    EXPECT_EQ(ini.readInteger("written", 0), -42);
    EXPECT_EQ(ini.readString("on", ""), "1");
    EXPECT_EQ(ini.readString("off", ""), "0");
}

TEST(IniUtils, RefusesNamesAndValuesTheFileCannotHold)
{
    TTestTempFolder folder;
    TIniUtilsObj ini(folder.path("config.ini"));
    ini.setWorkingSection("S");
    EXPECT_THROW(ini.writeString("", "v"), std::invalid_argument);
    EXPECT_THROW(ini.writeString("a=b", "v"), std::invalid_argument);
    EXPECT_THROW(ini.writeString(" k", "v"), std::invalid_argument);
    EXPECT_THROW(ini.writeString(";k", "v"), std::invalid_argument);
    EXPECT_THROW(ini.writeString("[k]", "v"), std::invalid_argument);
    EXPECT_THROW(ini.writeString("k", "two\r\nlines"), std::invalid_argument);
    ini.setWorkingSection("a]b");
    EXPECT_THROW(ini.writeString("k", "v"), std::invalid_argument);
    EXPECT_FALSE(ini.hasPendingWrites());
}

TEST(IniUtils, RefusedWritesRaiseTheErrorAndLeaveTheFileAlone)
{
    TTestTempFolder folder;
    // A parent that is a regular file: no user, not even root, can create anything below it.
    writeBytes(folder.path("plain"), "x");
    const std::string below = folder.path("plain") +
                              std::string(1, static_cast<char>(std::filesystem::path::preferred_separator)) +
                              "config.ini";
    {
        TIniUtilsObj ini(below);
        ini.setWorkingSection("GLOBAL");
        ini.writeString("TRAY", "Y");
        expectWriteError(ini, below);
        EXPECT_TRUE(ini.hasPendingWrites());
    } // the destructor neither retries nor throws

    // A folder where the file should be.
    const std::string folderPath = folder.path("config.ini");
    std::filesystem::create_directory(nativePath(folderPath));
    {
        TIniUtilsObj ini(folderPath);
        ini.setWorkingSection("GLOBAL");
        EXPECT_EQ(ini.readString("TRAY", "N"), "N");
        ini.writeString("TRAY", "Y");
        expectWriteError(ini, folderPath);
    }
    EXPECT_TRUE(std::filesystem::is_directory(nativePath(folderPath)));
    EXPECT_EQ(entriesIn(folder), 2u);
}

TEST(IniUtils, ReadOnlyFileIsNotReplaced)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root may write read-only files; the refusal cannot be observed";
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    writeBytes(path, "[GLOBAL]\r\nTRAY=Y\r\n");
    std::filesystem::permissions(nativePath(path),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("GLOBAL");
        ini.writeString("TRAY", "N");
        expectWriteError(ini, path);
    }
    EXPECT_EQ(readBytes(path), "[GLOBAL]\r\nTRAY=Y\r\n");
    EXPECT_EQ(entriesIn(folder), 1u);
}

#ifdef _WIN32
TEST(IniUtils, AFileThatCannotBeReadIsNotReplaced)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    writeBytes(path, "[OTHER]\r\nkept=1\r\n");
    const HANDLE held =
        CreateFileW(nativePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("OTHER");
        EXPECT_EQ(ini.readString("kept", "default"), "default");
        ini.writeString("new", "1");
        expectWriteError(ini, path);
    }
    CloseHandle(held);
    EXPECT_EQ(readBytes(path), "[OTHER]\r\nkept=1\r\n");
}
#else
TEST(IniUtils, AFileThatCannotBeReadIsNotReplaced)
{
    TTestTempFolder folder;
    const std::string fifo = folder.path("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        TIniUtilsObj ini(fifo); // must not wait for a writer
        ini.setWorkingSection("A");
        ini.writeString("k", "v");
        expectWriteError(ini, fifo);
    }
    EXPECT_TRUE(std::filesystem::is_fifo(nativePath(fifo)));

    if (runningAsRoot())
        GTEST_SKIP() << "root reads files without read permission; the unreadable file cannot be made";
    const std::string path = folder.path("config.ini");
    writeBytes(path, "[OTHER]\r\nkept=1\r\n");
    std::filesystem::permissions(nativePath(path), std::filesystem::perms::owner_write);
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("OTHER");
        EXPECT_EQ(ini.readString("kept", "default"), "default");
        ini.writeString("new", "1");
        expectWriteError(ini, path);
    }
    std::filesystem::permissions(nativePath(path), std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(readBytes(path), "[OTHER]\r\nkept=1\r\n");
}

TEST(IniUtils, ReadOnlyFolderIsNotWritten)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root may write into read-only folders; the refusal cannot be observed";
    TTestTempFolder folder;
    const std::string sub = folder.path("locked");
    std::filesystem::create_directory(nativePath(sub));
    const std::string path = sub + "/config.ini";
    writeBytes(path, "[GLOBAL]\r\nTRAY=Y\r\n");
    std::filesystem::permissions(nativePath(sub),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    TIniUtilsObj ini(path);
    ini.setWorkingSection("GLOBAL");
    ini.writeString("TRAY", "N");
    expectWriteError(ini, path);
    EXPECT_EQ(readBytes(path), "[GLOBAL]\r\nTRAY=Y\r\n");
}

TEST(IniUtils, ReplacingKeepsPermissionsAndFollowsLinks)
{
    TTestTempFolder folder;
    const std::string real = folder.path("real.ini");
    const std::string link = folder.path("config.ini");
    writeBytes(real, "[A]\r\nk=1\r\n");
    std::filesystem::permissions(nativePath(real), std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::owner_write |
                                                       std::filesystem::perms::group_read);
    std::filesystem::create_symlink("real.ini", nativePath(link));
    {
        TIniUtilsObj ini(link);
        ini.setWorkingSection("A");
        ini.writeString("k", "2");
    }
    EXPECT_TRUE(std::filesystem::is_symlink(nativePath(link)));
    EXPECT_EQ(readBytes(real), "[A]\r\nk=2\r\n");
    EXPECT_EQ(std::filesystem::status(nativePath(real)).permissions(), std::filesystem::perms::owner_read |
                                                                           std::filesystem::perms::owner_write |
                                                                           std::filesystem::perms::group_read);
}
#endif
