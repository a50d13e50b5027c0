// The extension dialog and the list-view helpers.
#include "TestSettingsFakes.h"
#include "settingsui/UntAddExtension.h"
#include "settingsui/UntListViewText.h"
#include "settingsui/UntSettings.h"
#include "settingsui/UntSettingsImages.h"
#include "widgets/UntGlassPanel.h"
#include "widgets/UntGlassToolButton.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class ExtensionDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TSettingsEnvironment env;
        env.configPath = dir.filePath(QStringLiteral("config.ini")).toStdString();
        env.system = &system;
        env.prompts = &prompts;
        settings = std::make_unique<TFrmSettings>(std::move(env));
        dialog = settings->extensionDialog();
        ASSERT_NE(dialog, nullptr);
    }
    void type(const QString& text, Qt::Key key)
    {
        dialog->show();
        QTest::keyClicks(dialog->edtext, text);
        QTest::keyClick(dialog->edtext, key);
    }

    QTemporaryDir dir;
    TFakeSystem system;
    TFakePrompts prompts;
    std::unique_ptr<TFrmSettings> settings;
    TFrmAddExtension* dialog = nullptr;
};

TEST_F(ExtensionDialog, LooksAsDesigned)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Extension Filter"));
    EXPECT_EQ(dialog->size(), QSize(308, 126));
    EXPECT_EQ(dialog->GlassToolButton1->text(), QStringLiteral("&Add"));
    EXPECT_EQ(dialog->GlassToolButton2->text(), QStringLiteral("&Cancel"));
    EXPECT_EQ(dialog->GlassToolButton1->icon().cacheKey(), settingsPicture(picAdd).cacheKey());
    EXPECT_EQ(dialog->GlassToolButton2->icon().cacheKey(), settingsPicture(picRemove).cacheKey());
}

TEST_F(ExtensionDialog, EnterAddsTheExampleInOrderAndCloses)
{
    type(QStringLiteral(".exe,.bat,.com,.scr,.pif"), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings->extensionsText(), ".exe\r\n.bat\r\n.com\r\n.scr\r\n.pif\r\n");

    type(QStringLiteral("exe BAT;cmd"), Qt::Key_Enter);
    EXPECT_EQ(settings->extensionsText(), ".exe\r\n.bat\r\n.com\r\n.scr\r\n.pif\r\n.cmd\r\n")
        << "known extensions in another case are not added again";

    type(QStringLiteral(" , ;"), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible()) << "a text without entries closes the dialog all the same";
    EXPECT_EQ(settings->lstext->topLevelItemCount(), 6);
}

TEST_F(ExtensionDialog, EscapeAndCancelAddNothing)
{
    type(QStringLiteral(".log"), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    dialog->show();
    QTest::keyClicks(dialog->edtext, QStringLiteral(".log"));
    dialog->GlassToolButton2->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings->lstext->topLevelItemCount(), 0);

    dialog->show();
    QTest::keyClicks(dialog->edtext, QStringLiteral("log"));
    dialog->GlassToolButton1->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings->extensionsText(), ".log\r\n");
}

TEST_F(ExtensionDialog, ReopeningShowsAnEmptyFocusedEdit)
{
    dialog->show();
    QTest::keyClicks(dialog->edtext, QStringLiteral(".tmp"));
    dialog->hide();
    dialog->show();
    EXPECT_TRUE(dialog->edtext->text().isEmpty());
    EXPECT_EQ(dialog->focusWidget(), dialog->edtext);
    dialog->hide();
}

TEST_F(ExtensionDialog, TheAddButtonOfTheFiltersPageOpensItModally)
{
    QTimer::singleShot(0, dialog, [this] {
        EXPECT_EQ(QApplication::activeModalWidget(), dialog);
        QTest::keyClicks(dialog->edtext, QStringLiteral("ini"));
        QTest::keyClick(dialog->edtext, Qt::Key_Return);
    });
    settings->tbAddExt->click();
    EXPECT_EQ(settings->extensionsText(), ".ini\r\n");
}

TEST(ExtensionDialogPlace, FlatPanelCentredOnTheMainWindowWhereverTheSettingsAre)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TFakeSystem system;
    TFakePrompts prompts;
    TSettingsEnvironment env;
    env.configPath = dir.filePath(QStringLiteral("config.ini")).toStdString();
    env.system = &system;
    env.prompts = &prompts;
    QWidget mainWindow;
    mainWindow.setGeometry(40, 60, 635, 351);
    TFrmSettings settings(std::move(env), &mainWindow);
    settings.move(500, 400);
    TFrmAddExtension* dialog = settings.extensionDialog();

    dialog->show();
    // Within the few pixels by which the two windows' frames may differ.
    const QPoint offset = dialog->frameGeometry().center() - mainWindow.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 8) << offset.x() << ", " << offset.y();
    dialog->hide();

    // No border lines: the left and top edges show the fill, as the pixels just inside them do.
    ASSERT_EQ(dialog->pCore->geometry(), dialog->rect());
    QImage background(dialog->size(), QImage::Format_RGB32);
    background.fill(Qt::black);
    const QImage image = dialog->pCore->renderImage(background);
    const int h = image.height();
    EXPECT_EQ(image.pixel(0, h / 2), image.pixel(5, h / 2));
    EXPECT_EQ(image.pixel(1, h / 2), image.pixel(5, h / 2));
    EXPECT_EQ(image.pixel(image.width() / 2, 0), image.pixel(image.width() / 2 + 5, 0));
    EXPECT_EQ(QColor(image.pixel(5, 0)), QColor(237, 243, 252)) << "the gradient starts at the very top";
}

TEST(ListViewText, CaptionsAndMembership)
{
    QTreeWidget list;
    list.setColumnCount(2);
    EXPECT_EQ(listCaptionsToText(list), "");
    EXPECT_FALSE(isInListView(".exe", list));
    for (const char* caption : {".exe", ".bat", "\xC3\xA9t\xC3\xA9"}) {
        auto* row = new QTreeWidgetItem(&list);
        row->setText(0, QString::fromUtf8(caption));
        row->setText(1, QStringLiteral("second"));
    }
    EXPECT_EQ(listCaptionsToText(list), ".exe\r\n.bat\r\n\xC3\xA9t\xC3\xA9\r\n");
    EXPECT_TRUE(isInListView(".EXE", list));
    EXPECT_TRUE(isInListView(".Bat", list));
    EXPECT_TRUE(isInListView("\xC3\xA9T\xC3\xA9", list));
    EXPECT_FALSE(isInListView("\xC3\x89T\xC3\x89", list)) << "only a to z are folded";
    EXPECT_FALSE(isInListView("second", list)) << "only captions count";
    EXPECT_FALSE(isInListView(".ex", list));
}

} // namespace
