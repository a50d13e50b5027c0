// The settings window's controls: page tree, drives page, event list, record mode, folder and
// extension lists.
#include "TestSettingsFakes.h"
#include "settingsui/UntSettings.h"
#include "settingsui/UntSettingsImages.h"
#include "util/UntFunctions.h"
#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassPanel.h"
#include "widgets/UntGlassProgressBar.h"
#include "widgets/UntGlassToolButton.h"
#include "widgets/UntIconRegistry.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// What a user's double click delivers: press, release, double click, release.
void doubleClick(QWidget* widget, QPoint where)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, where);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, where);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, where);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, where);
}

class SettingsWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TSettingsEnvironment env;
        env.configPath = dir.filePath(QStringLiteral("config.ini")).toStdString();
        env.system = &system;
        env.prompts = &prompts;
        env.pickFolder = picker.function();
        env.showAbout = [this] { ++aboutShown; };
        settings = std::make_unique<TFrmSettings>(std::move(env));
    }
    void click(QTreeWidgetItem* node)
    {
        settings->Tree->setCurrentItem(node);
        settings->treeClick();
    }
    QTreeWidgetItem* node(int top, int child = -1) const
    {
        QTreeWidgetItem* item = settings->Tree->topLevelItem(top);
        return child < 0 ? item : item->child(child);
    }
    TGlassProgressBar* barOf(int row) const
    {
        QWidget* cell = settings->ListDrives->itemWidget(settings->ListDrives->topLevelItem(row), 2);
        return cell ? cell->findChild<TGlassProgressBar*>() : nullptr;
    }
    int liveBars() const
    {
        int count = 0;
        for (const TGlassProgressBar* bar : settings->ListDrives->findChildren<TGlassProgressBar*>())
            count += bar->isVisibleTo(settings->ListDrives) ? 1 : 0;
        return count;
    }
    std::string folder(const char* name)
    {
        EXPECT_TRUE(QDir(dir.path()).mkpath(QString::fromLatin1(name)));
        return dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    QTemporaryDir dir;
    TFakeSystem system;
    TFakePrompts prompts;
    TFakePicker picker;
    int aboutShown = 0;
    std::unique_ptr<TFrmSettings> settings;
};

TEST_F(SettingsWindow, PageTreeNodesPicturesAndClicks)
{
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(settings->size(), QSize(627, 329));
    ASSERT_EQ(settings->Tree->topLevelItemCount(), 4);
    const std::vector<std::pair<QTreeWidgetItem*, std::pair<const char*, int>>> nodes = {
        {node(0), {"General Settings", picGeneral}}, {node(1), {"Drives to Monitor", picDrive}},
        {node(2), {"Filters Manager", picFilters}},  {node(2, 0), {"Extension and Folders", picFolders}},
        {node(2, 1), {"Events Filters", picEvents}}, {node(3), {"About", picAbout}},
    };
    for (const auto& [item, expected] : nodes) {
        EXPECT_EQ(item->text(0), QString::fromLatin1(expected.first));
        EXPECT_EQ(TFrmSettings::pictureOf(item), expected.second);
    }
    EXPECT_TRUE(node(2)->isExpanded());

    settings->show();
    // The general page is in front at first.
    QWidget* inFront = settings->childAt(300, 100);
    EXPECT_TRUE(inFront == settings->P1 || settings->P1->isAncestorOf(inFront));
    click(node(2, 1));
    EXPECT_TRUE(settings->P4->isVisible());
    EXPECT_FALSE(settings->P1->isVisible());
    click(node(2));
    EXPECT_TRUE(settings->P4->isVisible()) << "the group node leaves the page in place";
    click(node(3));
    EXPECT_EQ(aboutShown, 1);
    EXPECT_TRUE(settings->P4->isVisible()) << "About leaves the page in place";
    click(node(3));
    EXPECT_EQ(aboutShown, 2) << "clicking the selected node runs it again";
    click(node(2, 0));
    EXPECT_TRUE(settings->P3->isVisible());
    EXPECT_FALSE(settings->P4->isVisible());
    settings->hide();
}

TEST_F(SettingsWindow, DrivesPageIsRebuiltEachTimeWithUsageBarsAndNoLeftovers)
{
    system.drives = {{"/", "ext4", 1000, 50},            // 95 per cent used
                     {"/media/usb/", "vfat", 1000, 900}, // 10
                     {"/media/ninety/", "xfs", 1000, 100},
                     {"/media/almost/", "xfs", 1000, 101}, // 89.9 truncates to 89
                     {"/media/nomedia/", "NTFS", 0, 0}};
    EXPECT_EQ(settings->driveRowCount(), 0) << "empty until the page is opened";
    click(node(1));
    EXPECT_TRUE(settings->p2->isVisibleTo(settings.get()));
    ASSERT_EQ(settings->driveRowCount(), 5);
    const std::vector<std::pair<int, bool>> bars = {{95, true}, {10, false}, {90, true}, {89, false}, {0, false}};
    for (int row = 0; row < 5; ++row) {
        const QTreeWidgetItem* item = settings->ListDrives->topLevelItem(row);
        EXPECT_EQ(item->text(0).toStdString(), system.drives[static_cast<std::size_t>(row)].root);
        EXPECT_EQ(item->text(1).toStdString(), system.drives[static_cast<std::size_t>(row)].fileSystem);
        EXPECT_TRUE(settings->driveRowChecked(row));
        const TGlassProgressBar* bar = barOf(row);
        ASSERT_NE(bar, nullptr) << row;
        EXPECT_EQ(bar->max(), 100);
        EXPECT_EQ(bar->position(), bars[static_cast<std::size_t>(row)].first) << row;
        EXPECT_EQ(bar->color() == QColor(Qt::red), bars[static_cast<std::size_t>(row)].second) << row;
    }

    settings->ListDrives->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(settings->driveRowChecked(1));
    click(node(0));
    system.drives.erase(system.drives.begin() + 2, system.drives.end());
    click(node(1));
    ASSERT_EQ(settings->driveRowCount(), 2);
    EXPECT_TRUE(settings->driveRowChecked(1)) << "rebuilding checks every drive again";
    EXPECT_EQ(liveBars(), 2) << "no bar stays visible over a row that is gone";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(settings->ListDrives->findChildren<TGlassProgressBar*>().size(), 2);

    settings->setRecordMode(true);
    click(node(1));
    EXPECT_EQ(settings->driveRowCount(), 2) << "the page is rebuilt even while recording";
}

TEST_F(SettingsWindow, DoubleClickTogglesAnEventWithItsPictureAndColour)
{
    ASSERT_EQ(settings->eventRowCount(), kEventCount);
    for (int i = 0; i < kEventCount; ++i)
        EXPECT_EQ(settings->lstevents->topLevelItem(i)->text(0).toStdString(),
                  eventNames()[static_cast<std::size_t>(i)]);
    settings->show();
    click(node(2, 1));
    QTreeWidget* list = settings->lstevents;
    QTreeWidgetItem* create = list->topLevelItem(evCreate);
    const QPoint where = list->visualItemRect(create).center();

    doubleClick(list->viewport(), where);
    EXPECT_FALSE(settings->eventRowChecked(evCreate));
    EXPECT_EQ(TFrmSettings::pictureOf(create), picEventOff);
    EXPECT_EQ(create->icon(0).cacheKey(), settingsPicture(picEventOff).cacheKey());
    EXPECT_EQ(create->foreground(0).color(), QColor(Qt::red));
    EXPECT_TRUE(settings->eventRowChecked(evDelete));

    doubleClick(list->viewport(), where);
    EXPECT_TRUE(settings->eventRowChecked(evCreate));
    EXPECT_EQ(create->icon(0).cacheKey(), settingsPicture(picEventOn).cacheKey());
    EXPECT_EQ(create->foreground(0).color(), QColor(Qt::black));

    // A check box changed by code follows the same rule.
    list->topLevelItem(evDelete)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(TFrmSettings::pictureOf(list->topLevelItem(evDelete)), picEventOff);
    settings->hide();
}

TEST_F(SettingsWindow, RecordModeLocksTheListsAndMakesRoomForTheNotices)
{
    const std::vector<QWidget*> notices = {settings->ImgRec1,   settings->labelrec1, settings->ImgRec2,
                                           settings->labelREC2, settings->ImgREC3,   settings->labelREC3};
    const std::vector<QWidget*> locked = {settings->ListDrives, settings->lstpath,    settings->lstext,
                                          settings->lstevents,  settings->tbAddPath,  settings->tbDelPath,
                                          settings->tbAddExt,   settings->tbDeleteExt};
    const auto expectPictures = [&](int add, int remove) {
        EXPECT_EQ(TFrmSettings::pictureOf(settings->tbAddPath), add);
        EXPECT_EQ(TFrmSettings::pictureOf(settings->tbDelPath), remove);
        EXPECT_EQ(TFrmSettings::pictureOf(settings->tbAddExt), add);
        EXPECT_EQ(TFrmSettings::pictureOf(settings->tbDeleteExt), remove);
        EXPECT_EQ(settings->tbAddExt->icon().cacheKey(), settingsPicture(add).cacheKey());
    };
    expectPictures(picAdd, picRemove);
    for (QWidget* notice : notices)
        EXPECT_TRUE(notice->isHidden());

    settings->setRecordMode(true);
    for (QWidget* widget : locked)
        EXPECT_FALSE(widget->isEnabled()) << widget->objectName().toStdString();
    for (QWidget* notice : notices)
        EXPECT_FALSE(notice->isHidden());
    EXPECT_EQ(settings->ListDrives->height(), 266);
    EXPECT_EQ(settings->lstevents->height(), 266);
    EXPECT_EQ(settings->lstpath->height(), 115);
    expectPictures(picAddLocked, picRemoveLocked);
    for (QCheckBox* option : {settings->cAutoCapture, settings->cTray, settings->cautoclean, settings->cAutoExpand})
        EXPECT_TRUE(option->isEnabled());
    EXPECT_EQ(settings->labelREC2->text(), QStringLiteral("You can't change filters while recording."));

    settings->setRecordMode(false);
    for (QWidget* widget : locked)
        EXPECT_TRUE(widget->isEnabled());
    for (QWidget* notice : notices)
        EXPECT_TRUE(notice->isHidden());
    EXPECT_EQ(settings->ListDrives->height(), 284);
    EXPECT_EQ(settings->lstevents->height(), 284);
    EXPECT_EQ(settings->lstpath->height(), 133);
    expectPictures(picAdd, picRemove);
}

TEST_F(SettingsWindow, AddingFoldersThroughThePicker)
{
    // The picker answers in the system's own form.
    const std::string root = getSystemDriveRoot();
    const std::string sep(1, pathSeparator(kNativePathStyle));
    system.systemRoot = root;
    const std::string temp = QDir::toNativeSeparators(QString::fromStdString(folder("Temp"))).toStdString();
    picker.answers = {
        temp, QString::fromStdString(temp).toUpper().toStdString(), root, "  ", temp + sep, temp + "\nsecond", ""};
    for (int i = 0; i < 7; ++i)
        settings->tbAddPathClick();

    ASSERT_EQ(picker.calls.size(), 7u);
    EXPECT_EQ(picker.calls[0].title, "Select path to exclude from capture");
    EXPECT_EQ(picker.calls[0].initial, root);
    EXPECT_FALSE(picker.calls[0].allowNewFolder);
    EXPECT_EQ(settings->excludedFoldersText(), temp + sep + "\r\n" + root + "\r\n")
        << "a final separator is added once; a folder in another case, a cancel and a name that the stored "
           "list could not hold add nothing";
    EXPECT_EQ(settings->lstpath->topLevelItem(0)->icon(0).cacheKey(),
              TIconRegistry::instance().icon(getPathIconIndex(temp + sep)).cacheKey());
    EXPECT_TRUE(prompts.errors.empty() && prompts.questions.empty()) << "nothing is said";
}

TEST_F(SettingsWindow, FolderRowsTurnRedWhileTheirFolderIsMissing)
{
    const std::string gone = folder("Gone") + "/";
    settings->restoreDirsFilters(folder("Here") + "/\r\n" + gone + "\r\n" + gone + "\r\n");
    ASSERT_EQ(settings->lstpath->topLevelItemCount(), 3) << "restored rows come back as stored, duplicates too";
    EXPECT_EQ(settings->lstpath->topLevelItem(1)->foreground(0).color(), QColor(Qt::black));

    settings->show();
    EXPECT_TRUE(settings->isRefreshTimerActive());
    ASSERT_TRUE(QDir(QString::fromStdString(gone)).removeRecursively());
    settings->timerTimer();
    EXPECT_EQ(settings->lstpath->topLevelItem(0)->foreground(0).color(), QColor(Qt::black));
    EXPECT_EQ(settings->lstpath->topLevelItem(1)->foreground(0).color(), QColor(Qt::red));
    EXPECT_EQ(settings->lstpath->topLevelItemCount(), 3) << "a missing folder stays listed";
    settings->hide();
    EXPECT_FALSE(settings->isRefreshTimerActive());
}

TEST_F(SettingsWindow, RemovingRowsAsksFirstAndNeedsASelection)
{
    settings->restoreDirsFilters("/a/\r\n/b/\r\n/c/\r\n");
    settings->deleteListItems(settings->lstpath);
    ASSERT_EQ(prompts.errors.size(), 1u);
    EXPECT_EQ(prompts.errors[0].title, QStringLiteral("No Selected Items"));
    EXPECT_EQ(prompts.errors[0].text, QStringLiteral("You must at least select one item to use this!"));
    EXPECT_EQ(prompts.errors[0].owner, settings.get());
    EXPECT_TRUE(prompts.questions.empty());

    settings->lstpath->topLevelItem(0)->setSelected(true);
    settings->lstpath->topLevelItem(2)->setSelected(true);
    prompts.answer = false;
    settings->tbDelPath->click();
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].title, QStringLiteral("Remove extensions"));
    EXPECT_EQ(prompts.questions[0].text, QStringLiteral("You are about to remove extensions filter(s), Are you sure?"));
    EXPECT_EQ(settings->excludedFoldersText(), "/a/\r\n/b/\r\n/c/\r\n");

    prompts.answer = true;
    settings->deleteListItems(settings->lstpath);
    EXPECT_EQ(settings->excludedFoldersText(), "/b/\r\n");

    settings->addExtensions(".exe,.bat");
    settings->lstext->topLevelItem(0)->setSelected(true);
    settings->tbDeleteExt->click();
    EXPECT_EQ(settings->extensionsText(), ".bat\r\n");
}

TEST_F(SettingsWindow, ExtensionRowsCarryTypeNameAndIcon)
{
    settings->addExtensions("txt tar.gz;.TXT,*.png");
    ASSERT_EQ(settings->extensionsText(), ".txt\r\ntar.gz\r\n*.png\r\n");
    const QTreeWidgetItem* txt = settings->lstext->topLevelItem(0);
    EXPECT_EQ(txt->text(1), TIconRegistry::instance().typeName(".txt"));
    EXPECT_FALSE(txt->text(1).isEmpty());
    EXPECT_EQ(txt->icon(0).cacheKey(), TIconRegistry::instance().icon(getExtIconIndex(".txt")).cacheKey());
    EXPECT_EQ(settings->lstext->topLevelItem(1)->text(1), TIconRegistry::instance().typeName(".gz"));
}

} // namespace
