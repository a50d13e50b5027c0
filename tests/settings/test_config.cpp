#include "settings/Base64.h"
#include "settings/UntConfigPath.h"
#include "settings/UntConfigStore.h"
#include "settings/UntIniUtilsObj.h"
#include "tests/util/TestTempFolder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// 100 KB of random bytes is read as the defaults, and the programs can say how much was not read.
TEST(ConfigStore, AFileOfRandomBytesGivesTheDefaultsAndItsUnreadLines)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    std::mt19937 random(7);
    std::string bytes(100 * 1000, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    writeBytes(path, bytes);
    TSettingsData data;
    std::size_t unread = 0;
    restoreSettings(path, data, &unread);
    EXPECT_EQ(data, TSettingsData{});
    EXPECT_GT(unread, 100u); // about one line break in 128 bytes, each kind counted
    EXPECT_EQ(unreadSettingsText(path, unread),
              path + ": " + std::to_string(unread) +
                  " lines could not be read; the settings not found there keep their defaults");
    EXPECT_EQ(unreadSettingsText("c.ini", 1),
              "c.ini: 1 line could not be read; the settings not found there keep their defaults");
}

using TList = std::vector<std::string>;

std::string repeat(const std::string& group, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += group;
    return out;
}

// Starts from the opposite of every default, so a restored default is visible.
TSettingsData nonDefaultData()
{
    TSettingsData data;
    data.events.fill(false);
    data.cAutoCapture = true;
    data.cTray = true;
    data.cautoclean = true;
    data.cAutoExpand = false;
    data.extensions = {".keep"};
    data.folders = {"/kept/"};
    return data;
}

const std::string kDefaultFile = "[EVENTS]\r\nEVENTS=" + repeat("WQ0K", 19) +
                                 "\r\n\r\n[GLOBAL]\r\nAUTOCAPTURE=N\r\nTRAY=N\r\nAUTOCLEAR=N\r\nAUTOEXPAND=Y\r\n"
                                 "\r\n[FILTERS]\r\nEXTENSIONS=\r\nDIRECTORIES=\r\n";

} // namespace

TEST(ConfigStore, MissingFileGivesDefaultsAndSavingWritesTheSevenKeysInOrder)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    TSettingsData data;
    data.events.fill(false);
    data.cAutoExpand = false;
    EXPECT_TRUE(restoreSettings(path, data).empty());
    EXPECT_EQ(data, TSettingsData{});
    EXPECT_FALSE(pathExists(path));

    saveSettings(path, data);
    EXPECT_EQ(readBytes(path), kDefaultFile);
    EXPECT_EQ(data, TSettingsData{});
}

TEST(ConfigStore, EventFlagsReadByPosition)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    auto restoreEvents = [&](const std::string& value) {
        writeBytes(path, "[EVENTS]\r\nEVENTS=" + value + "\r\n");
        TSettingsData data = nonDefaultData();
        restoreSettings(path, data);
        return data.events;
    };
    const auto all = TSettingsData::allEventsSelected();

    EXPECT_EQ(restoreEvents(repeat("Tg0K", 18)), all); // one line short
    EXPECT_EQ(restoreEvents(""), all);
    EXPECT_EQ(restoreEvents(textToBase64(" \r\n\t\r\n")), all);
    EXPECT_EQ(restoreEvents("!!!!"), all);

    auto fourthOff = all;
    fourthOff[3] = false;
    EXPECT_EQ(restoreEvents(repeat("WQ0K", 3) + "Tg0K" + repeat("WQ0K", 15)), fourthOff);
    // Lines beyond the catalogue are ignored; a line that is not exactly "Y" is off.
    EXPECT_EQ(restoreEvents(repeat("WQ0K", 3) + "Tg0K" + repeat("WQ0K", 15) + "Tg0K"), fourthOff);
    std::array<bool, kEventCount> none{};
    EXPECT_EQ(restoreEvents(textToBase64(repeat("y\r\n", 19))), none);
    // Lone LF breaks count as well.
    EXPECT_EQ(restoreEvents(textToBase64(repeat("Y\n", 3) + "N\n" + repeat("Y\n", 15))), fourthOff);
}

TEST(ConfigStore, OptionsAreSetOnlyByACapitalY)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    writeBytes(path, "[GLOBAL]\r\nAUTOCAPTURE=Y\r\nAUTOEXPAND=y\r\nTRAY=Yes\r\n");
    TSettingsData data = nonDefaultData();
    restoreSettings(path, data);
    EXPECT_TRUE(data.cAutoCapture);
    EXPECT_FALSE(data.cTray);
    EXPECT_FALSE(data.cautoclean); // missing: "N"
    EXPECT_FALSE(data.cAutoExpand);

    writeBytes(path, "[GLOBAL]\r\nAUTOEXPAND=\r\n"); // present but empty: not set
    data = nonDefaultData();
    restoreSettings(path, data);
    EXPECT_FALSE(data.cAutoExpand);

    writeBytes(path, "[global]\r\nautoexpand=Y\r\n");
    data = nonDefaultData();
    restoreSettings(path, data);
    EXPECT_TRUE(data.cAutoExpand);
}

TEST(ConfigStore, StoredFoldersReplaceTheRowsOneForOne)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    writeBytes(path, "[FILTERS]\r\nDIRECTORIES=" + textToBase64("C:\\Temp\\\r\nD:\\Build\\\r\n") + "\r\n");
    TSettingsData data = nonDefaultData();
    restoreSettings(path, data);
    EXPECT_EQ(data.folders, (TList{"C:\\Temp\\", "D:\\Build\\"}));

    writeBytes(path, "[FILTERS]\r\nDIRECTORIES=" + textToBase64(" /a/ \r\n/b/\n/b/\r/c/") + "\r\n");
    restoreSettings(path, data);
    EXPECT_EQ(data.folders, (TList{" /a/ ", "/b/", "/b/", "/c/"}));

    // Blank or undecodable values keep the rows.
    for (const char* value : {"", "   ", "***"}) {
        writeBytes(path, std::string("[FILTERS]\r\nDIRECTORIES=") + value + "\r\n");
        data.folders = {"/kept/"};
        restoreSettings(path, data);
        EXPECT_EQ(data.folders, TList{"/kept/"}) << value;
    }
}

TEST(ConfigStore, StoredExtensionsAreMergedIntoTheList)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    writeBytes(path, "[FILTERS]\r\nEXTENSIONS=" + textToBase64(".exe\r\n.bat\r\n") + "\r\n");

    TSettingsData empty;
    EXPECT_EQ(restoreSettings(path, empty), (TList{".exe", ".bat"}));
    EXPECT_EQ(empty.extensions, (TList{".exe", ".bat"}));
    EXPECT_TRUE(restoreSettings(path, empty).empty()); // a second load adds nothing
    EXPECT_EQ(empty.extensions, (TList{".exe", ".bat"}));

    TSettingsData holding;
    holding.extensions = {".EXE"};
    EXPECT_EQ(restoreSettings(path, holding), TList{".bat"});
    EXPECT_EQ(holding.extensions, (TList{".EXE", ".bat"}));

    writeBytes(path, "[FILTERS]\r\nEXTENSIONS=\r\n");
    EXPECT_TRUE(restoreSettings(path, holding).empty());
    EXPECT_EQ(holding.extensions, (TList{".EXE", ".bat"}));
}

TEST(ConfigStore, SavingAndRestoringChangesNothing)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    TSettingsData data;
    data.events[0] = false;
    data.events[18] = false;
    data.cTray = true;
    data.cAutoExpand = false;
    data.extensions = {".txt", "tar.gz", "*.LOG"};
    data.folders = {"/home/u/b/", "/home/u/a/", "/t\xC3\xA9l\xC3\xA9/ space /", "/home/u/a/"};
    const TSettingsData saved = data;

    EXPECT_TRUE(saveSettings(path, data).empty());
    EXPECT_EQ(data, saved);

    TSettingsData fresh;
    EXPECT_EQ(restoreSettings(path, fresh), saved.extensions);
    EXPECT_EQ(fresh, saved);

    // A second save over the existing file gives the same bytes.
    const std::string first = readBytes(path);
    saveSettings(path, fresh);
    EXPECT_EQ(readBytes(path), first);
}

TEST(ConfigStore, GarbageFileLoadsAsDefaults)
{
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    std::string garbage;
    for (int i = 0; i < 70000; ++i)
        garbage.push_back(static_cast<char>(i * 7919 % 251));
    writeBytes(path, garbage + "\n[FILTERS]\nEXTENSIONS=%%%\nDIRECTORIES=\x01\x02\n[EVENTS]\nEVENTS=W Q 0\n");
    TSettingsData data = nonDefaultData();
    EXPECT_TRUE(restoreSettings(path, data).empty());
    EXPECT_EQ(data.events, TSettingsData::allEventsSelected());
    EXPECT_EQ(data.extensions, TList{".keep"});
    EXPECT_EQ(data.folders, TList{"/kept/"});
}

TEST(ConfigStore, ARefusedSaveRestoresWhatTheFileHoldsAndPassesTheErrorOn)
{
    TTestTempFolder folder;
    writeBytes(folder.path("plain"), "x");
    const std::string path = folder.path("plain") +
                             std::string(1, static_cast<char>(std::filesystem::path::preferred_separator)) +
                             "config.ini";
    TSettingsData data = nonDefaultData();
    try {
        saveSettings(path, data);
        FAIL() << "no error";
    } catch (const TIniWriteError& e) {
        EXPECT_STREQ(e.what(), ("Unable to write to " + path).c_str());
    }
    // Nothing is stored there: events and options are the defaults again, the lists stay.
    EXPECT_EQ(data.events, TSettingsData::allEventsSelected());
    EXPECT_FALSE(data.cAutoCapture);
    EXPECT_TRUE(data.cAutoExpand);
    EXPECT_EQ(data.extensions, TList{".keep"});
    EXPECT_EQ(data.folders, TList{"/kept/"});
}

TEST(ConfigStore, ARefusedSaveOfAReadOnlyFileShowsTheStoredState)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root may write read-only files; the refusal cannot be observed";
    TTestTempFolder folder;
    const std::string path = folder.path("config.ini");
    TSettingsData stored;
    stored.cTray = true;
    stored.folders = {"/stored/"};
    stored.extensions = {".st"};
    saveSettings(path, stored);
    const std::string bytes = readBytes(path);
    std::filesystem::permissions(nativePath(path), std::filesystem::perms::owner_read);

    TSettingsData data = nonDefaultData();
    EXPECT_THROW(saveSettings(path, data), TIniWriteError);
    EXPECT_EQ(readBytes(path), bytes);
    EXPECT_TRUE(data.cTray);
    EXPECT_FALSE(data.cAutoCapture);
    EXPECT_EQ(data.events, TSettingsData::allEventsSelected());
    EXPECT_EQ(data.folders, TList{"/stored/"});
    EXPECT_EQ(data.extensions, (TList{".keep", ".st"}));
}

TEST(ConfigPath, IsConfigIniNextToTheRunningProgram)
{
    const std::string folder = executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(configFilePath(), folder + "config.ini");
#ifdef _WIN32
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(pathExists(folder + "settings_tests.exe"));
#else
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(pathExists(folder + "settings_tests"));
#endif
}
