// The folder picker where the desktop has no shell picker: Qt's dialog.
#include "settingsui/UntBrowseFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(BrowseForFolder, OpensAtTheInitialFolderAndReturnsTheChoice)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto answer = [](bool accept, const QString& title, const QString& initial) {
        QTimer::singleShot(0, [=] {
            auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(picker, nullptr);
            EXPECT_EQ(picker->windowTitle(), title);
            EXPECT_EQ(picker->directory().absolutePath(), initial);
            EXPECT_TRUE(picker->testOption(QFileDialog::ShowDirsOnly));
            EXPECT_TRUE(picker->testOption(QFileDialog::ReadOnly)) << "no new folder";
            if (accept)
                QMetaObject::invokeMethod(picker, "accept");
            else
                picker->reject();
        });
    };
    answer(false, QStringLiteral("Pick"), dir.path());
    EXPECT_EQ(browseForFolder("Pick", dir.path().toStdString(), false), "");
    answer(true, QStringLiteral("Pick"), dir.path());
    EXPECT_EQ(browseForFolder("Pick", dir.path().toStdString(), false), dir.path().toStdString());
}

} // namespace
