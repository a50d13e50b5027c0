// The settings window and "config.ini": defaults, the first save, save and restore, a refused
// write, and settings that survive a restart (a second window, a second process).
#include "TestSettingsDump.h"
#include "TestSettingsFakes.h"
#include "settings/UntIniUtilsObj.h"
#include "settingsui/UntSettings.h"
#include "settingsui/UntSettingsImages.h"
#include "util/UntText.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string repeat(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("config.ini")).toStdString();
    }
    TSettingsEnvironment environment(const std::string& configPath)
    {
        TSettingsEnvironment env;
        env.configPath = configPath;
        env.system = &system;
        env.prompts = &prompts;
        env.pickFolder = picker.function();
        return env;
    }
    std::string makeFolder(const char* name)
    {
        EXPECT_TRUE(QDir(dir.path()).mkpath(QString::fromLatin1(name)));
        return dir.filePath(QString::fromLatin1(name)).toStdString() + "/";
    }
    // Changes every kind of setting the file keeps.
    void changeEverything(TFrmSettings& settings)
    {
        settings.lstevents->topLevelItem(evDelete)->setCheckState(0, Qt::Unchecked);
        settings.lstevents->topLevelItem(evUpdateFile)->setCheckState(0, Qt::Unchecked);
        settings.cAutoCapture->setChecked(true);
        settings.cTray->setChecked(true);
        settings.cautoclean->setChecked(false);
        settings.cAutoExpand->setChecked(false);
        settings.addExtensions(".txt,exe;Tar.GZ");
        settings.restoreDirsFilters(makeFolder("Build") + "\r\n" + dir.path().toStdString() + "/gone/\r\n");
    }

    QTemporaryDir dir;
    std::string path;
    TFakeSystem system;
    TFakePrompts prompts;
    TFakePicker picker;
};

TEST_F(SettingsStore, MissingFileGivesDefaultsAndTheFirstHideWritesTheSevenKeysInOrder)
{
    TFrmSettings settings(environment(path));
    ASSERT_EQ(settings.eventRowCount(), kEventCount);
    for (int i = 0; i < kEventCount; ++i) {
        EXPECT_TRUE(settings.eventRowChecked(i)) << i;
        EXPECT_EQ(TFrmSettings::pictureOf(settings.lstevents->topLevelItem(i)), picEventOn);
    }
    EXPECT_FALSE(settings.autoCapture());
    EXPECT_FALSE(settings.tray());
    EXPECT_FALSE(settings.autoClean());
    EXPECT_TRUE(settings.autoExpand());
    EXPECT_EQ(settings.lstext->topLevelItemCount(), 0);
    EXPECT_EQ(settings.lstpath->topLevelItemCount(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path))) << "nothing is written before the first hide";

    settings.show();
    settings.hide();
    EXPECT_TRUE(prompts.errors.empty());

    const std::string expected = "[EVENTS]\r\nEVENTS=" + repeat("WQ0K", kEventCount) +
                                 "\r\n[GLOBAL]\r\nAUTOCAPTURE=N\r\nTRAY=N\r\nAUTOCLEAR=N\r\nAUTOEXPAND=Y\r\n"
                                 "[FILTERS]\r\nEXTENSIONS=\r\nDIRECTORIES=\r\n";
    std::string written = readFile(path);
    // Blank lines between sections are the INI layer's business, not the order of the keys.
    std::string compact;
    for (const std::string& line : splitLines(written)) {
        if (!isBlank(line))
            compact += line + "\r\n";
    }
    EXPECT_EQ(compact, expected);

    TIniUtilsObj ini(path);
    ini.setWorkingSection("EVENTS");
    EXPECT_EQ(ini.readString("EVENTS", "?"), repeat("WQ0K", kEventCount));
    ini.setWorkingSection("GLOBAL");
    EXPECT_EQ(ini.readString("AUTOEXPAND", "?"), "Y");
    ini.setWorkingSection("FILTERS");
    EXPECT_EQ(ini.readString("DIRECTORIES", "?"), "");
}

TEST_F(SettingsStore, AFileWithLinesNotUnderstoodIsSaidOnceWithItsNameAndCount)
{
    {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\x01garbage\n[GLOBAL]\nTRAY=Y\n\xFF\xFE\n");
    }
    TFrmSettings settings(environment(path));
    EXPECT_TRUE(settings.tray());
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_EQ(prompts.warnings[0].text.toStdString(),
              path + ": 2 lines could not be read; the settings not found there keep their defaults");
    settings.show();
    settings.hide(); // saving reads the file back: nothing said again
    EXPECT_EQ(prompts.warnings.size(), 1u);
}

TEST_F(SettingsStore, SavingAndRestoringChangesNothing)
{
    TFrmSettings settings(environment(path));
    changeEverything(settings);
    const std::string before = dumpSettings(settings);
    ASSERT_EQ(settings.lstext->topLevelItemCount(), 3);

    settings.show();
    settings.hide();
    EXPECT_EQ(dumpSettings(settings), before);
    settings.restoreSettings();
    settings.saveSettings();
    EXPECT_EQ(dumpSettings(settings), before) << "stored extensions already listed are not added twice";
    EXPECT_EQ(settings.extensionsText(), ".txt\r\n.exe\r\nTar.GZ\r\n");

    // The restored event rows carry the picture and colour of their state.
    const QTreeWidgetItem* deleteRow = settings.lstevents->topLevelItem(evDelete);
    EXPECT_EQ(TFrmSettings::pictureOf(deleteRow), picEventOff);
    EXPECT_EQ(deleteRow->foreground(0).color(), QColor(Qt::red));
    EXPECT_EQ(TFrmSettings::pictureOf(settings.lstevents->topLevelItem(evCreate)), picEventOn);
}

TEST_F(SettingsStore, HandEditedValuesReadAsTheFileSays)
{
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("EVENTS");
        ini.writeString("EVENTS", repeat("WQ0K", 3) + "Tg0K" + repeat("WQ0K", kEventCount - 4));
        ini.setWorkingSection("GLOBAL");
        ini.writeString("AUTOCAPTURE", "Y");
        ini.writeString("AUTOEXPAND", "y");
        ini.setWorkingSection("FILTERS");
        ini.writeString("EXTENSIONS", "LmV4ZQ0KLmJhdA0K"); // .exe CR LF .bat CR LF
        ini.flush();
    }
    TFrmSettings settings(environment(path));
    for (int i = 0; i < kEventCount; ++i)
        EXPECT_EQ(settings.eventRowChecked(i), i != evDelete) << i;
    EXPECT_TRUE(settings.autoCapture());
    EXPECT_FALSE(settings.autoExpand()) << "only a capital Y counts as set";
    EXPECT_EQ(settings.extensionsText(), ".exe\r\n.bat\r\n");

    // One event short: every event comes back selected.
    {
        TIniUtilsObj ini(path);
        ini.setWorkingSection("EVENTS");
        ini.writeString("EVENTS", repeat("Tg0K", kEventCount - 1));
        ini.flush();
    }
    settings.restoreSettings();
    for (int i = 0; i < kEventCount; ++i)
        EXPECT_TRUE(settings.eventRowChecked(i)) << i;
}

TEST_F(SettingsStore, ARefusedWriteIsReportedAfterHidingAndLosesNoListEntry)
{
    // A regular file where the folder should be: no process, root included, can write there.
    const std::string blocker = dir.filePath(QStringLiteral("blocker")).toStdString();
    std::ofstream(blocker) << "keep me";
    const std::string blockedPath = blocker + "/config.ini";

    TFrmSettings settings(environment(blockedPath));
    settings.addExtensions(".log");
    settings.restoreDirsFilters(makeFolder("Keep"));
    settings.show();
    settings.hide();

    ASSERT_EQ(prompts.errors.size(), 1u);
    EXPECT_EQ(prompts.errors[0].text, QString::fromStdString("Unable to write to " + blockedPath));
    EXPECT_EQ(prompts.errors[0].owner, nullptr);
    EXPECT_FALSE(settings.isVisible());
    EXPECT_EQ(settings.extensionsText(), ".log\r\n");
    EXPECT_EQ(settings.excludedFoldersText(), makeFolder("Keep") + "\r\n");
    EXPECT_EQ(readFile(blocker), "keep me");
}

#ifndef _WIN32
// Folder permissions refuse the write here; Windows has no such refusal for the folder's owner,
// and the blocked path above covers its refused write.
TEST_F(SettingsStore, ARefusedWriteLeavesTheStoredFileAsItWas)
{
    if (geteuid() == 0) {
        // File permissions do not stop root: this case runs again as an unprivileged user.
        QProcess process;
        process.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(77);
        });
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--gtest_filter=SettingsStore.ARefusedWriteLeavesTheStoredFileAsItWas")});
        ASSERT_TRUE(process.waitForFinished(60000));
        const std::string output = process.readAllStandardOutput().toStdString();
        if (process.exitCode() == 77)
            GTEST_SKIP() << "cannot run as an unprivileged user here";
        EXPECT_EQ(process.exitCode(), 0) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        return;
    }
    {
        TFrmSettings first(environment(path));
        changeEverything(first);
        first.show();
        first.hide();
    }
    const std::string stored = readFile(path);
    ASSERT_EQ(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner), true);

    TFrmSettings second(environment(path));
    const std::string storedView = dumpSettings(second);
    second.cTray->setChecked(false);
    second.show();
    second.hide();
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    ASSERT_EQ(prompts.errors.size(), 1u);
    EXPECT_EQ(readFile(path), stored);
    EXPECT_EQ(dumpSettings(second), storedView) << "the window shows what the file still holds";
}
#endif

TEST_F(SettingsStore, SettingsSurviveARestartInThisAndInANewProcess)
{
    std::string firstView;
    {
        system.drives = {{"/", "ext4", 100, 40}, {"/media/usb/", "vfat", 100, 90}};
        TFrmSettings first(environment(path));
        first.Tree->setCurrentItem(first.Tree->topLevelItem(1));
        first.treeClick();
        ASSERT_EQ(first.driveRowCount(), 2);
        first.ListDrives->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        changeEverything(first);
        first.show();
        first.hide();
        ASSERT_TRUE(prompts.errors.empty());
        firstView = dumpSettings(first);
    }

    TFrmSettings second(environment(path));
    EXPECT_EQ(dumpSettings(second), firstView);
    EXPECT_EQ(second.driveRowCount(), 0) << "the drive selection is not stored";
    second.Tree->setCurrentItem(second.Tree->topLevelItem(1));
    second.treeClick();
    ASSERT_EQ(second.driveRowCount(), 2);
    EXPECT_TRUE(second.driveRowChecked(1));

    QProcess process;
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--print-config"), QString::fromStdString(path)});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), firstView);
}

} // namespace
