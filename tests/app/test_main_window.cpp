#include "AppTestSupport.h"
#include "app/UntAbout.h"
#include "events/UntEvents.h"
#include "settings/UntConfigPath.h"
#include "tests/TestDeadline.h"
#include "tests/util/TestTempFolder.h"
#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassBars.h"
#include "widgets/UntGlassPanel.h"
#include "widgets/UntGlassProgressBar.h"
#include "widgets/UntGlassToolButton.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

TEST(MainWindow, DesignLayoutAndInitialState)
{
    Window w;
    const auto& c = w.c();
    EXPECT_EQ(w.frm->windowTitle().toStdString(), "Velmora Windows Files Monitor v1.1 - TESTHOST");
    EXPECT_EQ(w.frm->size(), QSize(635, 351));

    EXPECT_EQ(c.ToolBar->geometry(), QRect(0, 0, 635, 31));
    EXPECT_EQ(c.pTop->geometry(), QRect(4, 35, 627, 37));
    EXPECT_EQ(c.Tree->geometry(), QRect(4, 76, 627, 271));
    EXPECT_EQ(c.List->geometry(), c.Tree->geometry());
    EXPECT_EQ(c.P->geometry(), QRect(4, 338, 627, 9));
    EXPECT_EQ(c.tbTree->x(), 4);
    EXPECT_EQ(c.tbList->x(), 89);
    EXPECT_EQ(c.tbClean->x(), 174);
    EXPECT_EQ(c.tbsave->x(), 209);
    EXPECT_EQ(c.tbRecord->x(), 4);
    EXPECT_EQ(c.tbPause->x(), 97);
    EXPECT_EQ(c.tbhelp->x(), 588);
    EXPECT_EQ(c.tbsettings->x(), 557);

    // With the progress bar showing, the views end 4 pixels above it.
    w.frm->batchStart(10);
    EXPECT_EQ(c.Tree->geometry(), QRect(4, 76, 627, 258));
    EXPECT_EQ(c.List->geometry(), QRect(4, 76, 627, 258));
    EXPECT_EQ(c.P->y(), 338);
    EXPECT_EQ(c.P->max(), 10);
    w.frm->batchEnd(false);
    EXPECT_TRUE(c.P->isHidden());
    EXPECT_EQ(c.P->position(), 0);
    EXPECT_EQ(c.Tree->height(), 271);

    EXPECT_FALSE(c.tbTree->isEnabled());
    EXPECT_TRUE(c.tbList->isEnabled());
    EXPECT_FALSE(c.Tree->isHidden());
    EXPECT_TRUE(c.List->isHidden());
    EXPECT_TRUE(c.tbPause->isHidden());
    EXPECT_EQ(w.frm->recordPicture(), 8);
    EXPECT_EQ(c.tbRecord->text().toStdString(), "Record");
    EXPECT_EQ(w.frm->status().toStdString(), "idle.");
    EXPECT_EQ(c.Tree->indentation(), 19);
    EXPECT_TRUE(c.List->showGrid());
    EXPECT_EQ(c.List->columnWidth(0), 120);
    EXPECT_EQ(c.List->columnWidth(1), 120);
    EXPECT_EQ(c.List->columnWidth(2), 100);
    EXPECT_EQ(c.List->columnWidth(3), 255);

    QStringList menu;
    for (QAction* action : c.PopAbout->actions())
        menu << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(menu.join(QLatin1Char('|')).toStdString(), "Like us !|About|-|Exit Program");
}

TEST(MainWindow, StatusStaysRightAlignedInThePanel)
{
    Window w;
    const auto rightGap = [&] { return w.c().pTop->width() - (w.c().lMater->x() + w.c().lMater->width()); };
    EXPECT_EQ(rightGap(), 8);
    const int idleWidth = w.c().lMater->width();
    w.record();
    EXPECT_EQ(w.frm->status().toStdString(), "Live Capture.");
    EXPECT_GT(w.c().lMater->width(), idleWidth);
    EXPECT_EQ(rightGap(), 8);
    w.frm->show();
    w.frm->resize(900, 500);
    EXPECT_EQ(w.c().pTop->width(), 892);
    EXPECT_EQ(rightGap(), 8);
    EXPECT_EQ(w.c().tbhelp->x(), 900 - 43 - 4);
    EXPECT_EQ(w.c().Tree->height(), 500 - 31 - 37 - 12);
}

// Folders that could not be watched are said as such, never as lost events; lost events apart.
TEST(MainWindow, StatusSaysFoldersNotWatchedAndLostEventsApart)
{
    Window w;
    w.record();
    // How it captures, said once beside the status, clear of the buttons and of the status.
    EXPECT_FALSE(w.c().lInfo->isHidden());
    EXPECT_EQ(w.c().lInfo->text().toStdString(), "fake: for the tests");
    EXPECT_GE(w.c().lInfo->x(), w.c().tbsave->x() + w.c().tbsave->width());
    EXPECT_LE(w.c().lInfo->x() + w.c().lInfo->width(), w.c().lMater->x());
    w.capture.backend->notWatched = 1;
    w.capture.backend->note("inotify refused a watch on /x/secret: Permission denied");
    w.deliver(creates("/x/", 1)); // a batch end refreshes the status
    EXPECT_EQ(w.frm->status().toStdString(), "Live Capture. (1 folder not watched)");
    const QString tip = w.c().lMater->toolTip();
    EXPECT_TRUE(tip.contains(QStringLiteral("fake: for the tests"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("/x/secret: Permission denied"))) << tip.toStdString();

    w.capture.backend->lost = 12;
    for (int i = 0; i < 7; ++i)
        w.capture.backend->note("inotify refused a watch on /x/f" + std::to_string(i) + ": Permission denied");
    w.deliver(creates("/x/", 1));
    EXPECT_EQ(w.frm->status().toStdString(), "Live Capture. (1 folder not watched) (events lost)");
    EXPECT_EQ(w.c().lMater->toolTip().toStdString(), "Capture: fake\n"
                                                     "fake: for the tests\n"
                                                     "1 folder not watched\n"
                                                     "events lost in 12 queue overflows\n"
                                                     "inotify refused a watch on /x/secret: Permission denied\n"
                                                     "inotify refused a watch on /x/f0: Permission denied\n"
                                                     "inotify refused a watch on /x/f1: Permission denied\n"
                                                     "inotify refused a watch on /x/f2: Permission denied\n"
                                                     "inotify refused a watch on /x/f3: Permission denied\n"
                                                     "and 3 more like these");
    EXPECT_EQ(w.c().pTop->width() - (w.c().lMater->x() + w.c().lMater->width()), 8);
    EXPECT_LE(w.c().lInfo->x() + w.c().lInfo->width(), w.c().lMater->x()); // the longer status keeps its room
    w.stop();
    EXPECT_TRUE(w.c().lInfo->isHidden());
}

TEST(MainWindow, RecordStopAndTheButtonsThatShowIt)
{
    Window w;
    w.record();
    EXPECT_TRUE(w.settings.recordMode);
    EXPECT_FALSE(w.c().tbPause->isHidden());
    EXPECT_EQ(w.c().tbRecord->text().toStdString(), "Stop");
    EXPECT_EQ(w.frm->pausePicture(), 7);

    // Record is ignored while a monitor thread exists: a second start makes no second monitor.
    TShellMonitor* first = w.frm->shellMonitor();
    w.frm->startCapture();
    EXPECT_EQ(w.frm->shellMonitor(), first);
    EXPECT_EQ(w.capture.recordings, 1);

    // Stop: "idle." at once, the button changes only when the monitor thread has ended.
    w.c().tbRecord->click();
    EXPECT_EQ(w.frm->status().toStdString(), "idle.");
    EXPECT_EQ(w.frm->recordPicture(), 11);
    EXPECT_FALSE(w.settings.recordMode);
    ASSERT_TRUE(waitFor([&] { return w.frm->recordPicture() == 8; }));
    EXPECT_TRUE(w.c().tbPause->isHidden());
    EXPECT_EQ(w.c().tbRecord->text().toStdString(), "Record");
    ASSERT_TRUE(waitFor([&] { return !w.frm->shellMonitor()->isRunning(); }));

    w.record();
    EXPECT_EQ(w.capture.recordings, 2);
}

TEST(MainWindow, StopKeepsOrCleansTheViews)
{
    for (bool clean : {false, true}) {
        Window w;
        w.settings.cautoclean = clean;
        w.record();
        w.deliver(creates("/data/", 3));
        ASSERT_EQ(w.frm->eventList().rowCount(), 3u);
        w.stop();
        if (clean) {
            EXPECT_EQ(printTreeModel(w.frm->treeModel()), "");
            EXPECT_EQ(printListModel(w.frm->listModel()), "");
        } else {
            EXPECT_EQ(printTreeModel(w.frm->treeModel()), testTree("/\n  data\n    f0.txt\n    f1.txt\n    f2.txt\n"));
            EXPECT_EQ(w.frm->listModel().rowCount(), 3);
        }
    }
}

TEST(MainWindow, PauseHoldsEventsBackAndResumeDeliversThemAsOneBatchInOrder)
{
    // The model checks walk both models on every change, which bounds the size here.
    constexpr int kHeld = 700;
    Window w;
    w.record();
    w.c().tbPause->click();
    EXPECT_EQ(w.frm->pausePicture(), 6);
    EXPECT_EQ(w.c().tbPause->text().toStdString(), "Resume");

    // Two appends: a worker that ignored the pause could deliver them as two batches.
    w.capture.backend->add(creates("/p/", kHeld / 2));
    QCoreApplication::processEvents();
    std::vector<TItemObj> rest = creates("/p/", kHeld);
    rest.erase(rest.begin(), rest.begin() + kHeld / 2);
    w.capture.backend->add(std::move(rest));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.frm->eventList().rowCount(), 0u);

    QSignalSpy inserted(&w.frm->listModel(), &QAbstractItemModel::rowsInserted);
    w.c().tbPause->click();
    EXPECT_EQ(w.frm->pausePicture(), 7);
    ASSERT_TRUE(waitFor([&] { return w.frm->eventList().rowCount() == kHeld && w.c().P->isHidden(); }));
    EXPECT_EQ(w.c().P->max(), kHeld) << "one batch of all held events";
    EXPECT_LT(inserted.count(), kHeld) << "rows are inserted per chunk, not one by one";
    bool inOrder = true;
    for (int i = 0; i < kHeld; ++i)
        inOrder =
            inOrder && w.frm->eventList().getFrom(static_cast<std::size_t>(i)) == "f" + std::to_string(i) + ".txt";
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(w.frm->eventTree().nodeCount(), kHeld + 2u);
}

TEST(MainWindow, CleanAndViewSwitchKeepContentsApart)
{
    Window w;
    w.record();
    w.deliver({{"/a/b.txt", "", evCreate}});
    const std::string tree = printTreeModel(w.frm->treeModel());
    w.c().tbList->click();
    EXPECT_FALSE(w.c().tbList->isEnabled());
    EXPECT_TRUE(w.c().tbTree->isEnabled());
    EXPECT_TRUE(w.c().Tree->isHidden());
    EXPECT_FALSE(w.c().List->isHidden());
    w.c().tbTree->click();
    EXPECT_FALSE(w.c().tbTree->isEnabled());
    EXPECT_TRUE(w.c().tbList->isEnabled());
    EXPECT_EQ(printTreeModel(w.frm->treeModel()), tree);
    EXPECT_EQ(w.frm->listModel().rowCount(), 1);

    w.c().tbClean->click();
    EXPECT_EQ(w.frm->listModel().rowCount(), 0);
    EXPECT_EQ(w.frm->treeModel().rowCount(), 0);
    // Recording goes on after a clean.
    w.deliver({{"/a/c.txt", "", evCreate}});
    EXPECT_EQ(printTreeModel(w.frm->treeModel()), testTree("/\n  a\n    c.txt\n"));
}

// The save button exports both views, with the window's caption on the first line.
TEST(MainWindow, SaveButtonExportsBothViews)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("report.txt"));
    QString success;
    Window w([&](TMainServices& s) { s.exportUi = [&] { return std::make_unique<TSaveTo>(&target, &success); }; });
    w.record();
    w.deliver({{"/a/b.txt", "", evCreate}});
    QSignalSpy done(&w.frm->exporter(), &TReportExporter::finished);
    w.c().tbsave->click();
    ASSERT_TRUE(waitFor([&] { return done.count() == 1; }));
    QFile report(target);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("Generated by Velmora Windows Files Monitor v1.1 - TESTHOST\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Exported tree contents ( 3 events)")));
    EXPECT_TRUE(text.contains(QStringLiteral("-- -->b.txt\r\n")));
    EXPECT_TRUE(text.contains(QString::fromStdString("b.txt\t-\tCreate\t" + testPath("/a/") + "\t\r\n")));
    EXPECT_TRUE(success.endsWith(target));
}

TEST(MainWindow, AutoExpandAfterABatchOnlyWhenAsked)
{
    for (bool expand : {false, true}) {
        Window w;
        w.settings.cAutoExpand = expand;
        w.record();
        w.deliver({{"/deep/er/file.txt", "", evCreate}});
        const QModelIndex root = w.frm->treeModel().index(0, 0);
        EXPECT_EQ(root.data(kRowExpanderRole).toInt(), expand ? rxOpen : rxClosed);
    }
}

TEST(MainWindow, AutoCaptureOnTheFirstShowOnlyAndTheTrayRoundTrip)
{
    Window w;
    w.settings.cAutoCapture = true;
    w.settings.cTray = true;
    w.frm->show();
    ASSERT_TRUE(waitFor([&] { return w.frm->recordPicture() == 11; }));
    EXPECT_EQ(w.capture.recordings, 1);

    w.frm->close();
    EXPECT_TRUE(w.frm->isHidden());
    EXPECT_TRUE(w.frm->isTrayVisible());
    EXPECT_EQ(w.frm->balloonTitle().toStdString(), "Working in background");
    EXPECT_EQ(w.frm->balloonText().toStdString(),
              "VelmoraWare Windows File Monitor is still running in background. Click on this icon to restore "
              "application.");
    EXPECT_EQ(w.ended->count(), 0);
    EXPECT_TRUE(w.frm->shellMonitor()->isRunning()) << "recording goes on in the background";

    w.stop();
    emit w.c().Tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(w.frm->isHidden());
    EXPECT_FALSE(w.frm->isTrayVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(w.frm->recordPicture(), 8) << "restoring never starts a second recording";
    EXPECT_EQ(w.capture.recordings, 1);
}

TEST(MainWindow, WithoutAutoCaptureShowingStartsNothing)
{
    Window w;
    w.frm->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.frm->shellMonitor(), nullptr);
    EXPECT_EQ(w.capture.recordings, 0);
}

TEST(MainWindow, ClosingWithoutTrayEndsTheProgramWhileRecording)
{
    Window w;
    w.frm->show();
    w.record();
    w.frm->close();
    ASSERT_EQ(w.ended->count(), 1);
    EXPECT_EQ(w.ended->front().front().toInt(), 0);
    EXPECT_FALSE(w.frm->shellMonitor()->isRunning());
    EXPECT_FALSE(w.frm->isTrayVisible());
}

TEST(MainWindow, ExitProgramAsksAndEndsWithCodeZeroOnlyOnYes)
{
    bool answer = false;
    QString askedTitle;
    Window w([&](TMainServices& s) {
        s.confirmExit = [&](QWidget*, const QString& title) {
            askedTitle = title;
            return answer;
        };
    });
    w.settings.cTray = true;
    w.record();
    w.c().ExitProgram1->trigger();
    EXPECT_EQ(askedTitle, w.frm->windowTitle());
    EXPECT_EQ(w.ended->count(), 0);
    EXPECT_TRUE(w.frm->shellMonitor()->isRunning());

    answer = true;
    w.c().ExitProgram1->trigger();
    ASSERT_EQ(w.ended->count(), 1);
    EXPECT_EQ(w.ended->front().front().toInt(), 0);
    EXPECT_FALSE(w.frm->shellMonitor()->isRunning());
    // Nothing records after the end, not even when asked.
    w.c().tbRecord->click();
    EXPECT_FALSE(w.frm->shellMonitor()->isRunning());
}

TEST(MainWindow, QuittingInTheMiddleOfALargeBatchNeitherHangsNorCrashes)
{
    for (bool destroyOnly : {false, true}) {
        Window w;
        w.frm->show();
        w.record();
        w.capture.backend->add(creates("/big/", 60000));
        ASSERT_TRUE(waitFor([&] { return !w.c().P->isHidden() && w.frm->eventList().rowCount() > 0; }));
        if (destroyOnly) {
            w.check.reset();
            // The destructor closes the hand-offs, then joins: it does not wait for the batch.
            EXPECT_LT(elapsedOf([&] { w.frm.reset(); }), std::chrono::seconds(5));
        } else {
            EXPECT_LT(elapsedOf([&] { w.frm->close(); }), std::chrono::seconds(5));
            EXPECT_EQ(w.ended->count(), 1);
            EXPECT_FALSE(w.frm->shellMonitor()->isRunning());
            EXPECT_LT(w.frm->eventList().rowCount(), 60000u);
        }
    }
}

TEST(MainWindow, SettingsAreShownModallyAndTheHelpMenuOpensTheMakersPage)
{
    std::vector<std::string> opened;
    Window w([&](TMainServices& s) { s.openAddress = [&](const std::string& a) { opened.push_back(a); }; });
    w.c().tbsettings->click();
    EXPECT_EQ(w.settings.modalShows, 1);
    w.c().Likeus1->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_NE(opened.front().find("facebook"), std::string::npos);
}

// The buttons never take the focus: every one of them has a key, told in its tool tip, that works
// wherever the focus is in the window, and does nothing while its button is hidden or disabled.
TEST(MainWindow, EveryButtonHasAKeyToldInItsToolTip)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("keys.txt"));
    Window w([&](TMainServices& s) { s.exportUi = [&] { return std::make_unique<TSaveTo>(&target); }; });
    const auto& c = w.c();
    w.frm->show();
    w.frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.frm.get()));
    const auto key = [&](int k, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : w.frm.get(), static_cast<Qt::Key>(k), modifiers);
    };
    const auto tip = [](const QWidget* button) { return button->toolTip().toStdString(); };

    EXPECT_EQ(tip(c.tbRecord), "Record (Ctrl+R)");
    EXPECT_EQ(tip(c.tbClean), "Clean (Ctrl+L)");
    EXPECT_EQ(tip(c.tbsave), "Save (Ctrl+S)");
    EXPECT_EQ(tip(c.tbTree), "Tree (Ctrl+1)");
    EXPECT_EQ(tip(c.tbList), "List (Ctrl+2)");
    EXPECT_EQ(tip(c.tbsettings), "Settings (Ctrl+,)");
    EXPECT_EQ(tip(c.tbhelp), "Help (F1)");

    key(Qt::Key_P); // Pause is hidden while idle
    key(Qt::Key_R);
    ASSERT_TRUE(waitFor([&] { return w.frm->recordPicture() == 11 && w.capture.backend; }));
    ASSERT_TRUE(waitFor([&] { return w.frm->shellMonitor()->getState() == TMonitorState::Recording; }));
    EXPECT_EQ(w.capture.recordings, 1);
    EXPECT_EQ(tip(c.tbRecord), "Stop (Ctrl+R)");
    EXPECT_EQ(tip(c.tbPause), "Pause (Ctrl+P)");
    key(Qt::Key_P);
    EXPECT_EQ(w.frm->pausePicture(), 6);
    EXPECT_EQ(tip(c.tbPause), "Resume (Ctrl+P)");
    key(Qt::Key_P);
    EXPECT_EQ(w.frm->pausePicture(), 7);
    w.deliver({{"/k/a.txt", "", evCreate}, {"/k/b.txt", "", evDelete}});

    c.Tree->setFocus(); // the keys work from the views too
    key(Qt::Key_1);     // the tree is shown already
    EXPECT_FALSE(c.Tree->isHidden());
    key(Qt::Key_2);
    EXPECT_TRUE(c.Tree->isHidden());
    EXPECT_FALSE(c.List->isHidden());
    c.List->setFocus();
    key(Qt::Key_1);
    EXPECT_FALSE(c.Tree->isHidden());

    QSignalSpy saved(&w.frm->exporter(), &TReportExporter::finished);
    key(Qt::Key_S);
    ASSERT_TRUE(waitFor([&] { return saved.count() == 1; }));
    EXPECT_NE(readBytes(target.toStdString()).find("b.txt\t-\tDelete\t"), std::string::npos);

    key(Qt::Key_L);
    EXPECT_EQ(w.frm->listModel().rowCount(), 0);
    EXPECT_EQ(w.frm->treeModel().rowCount(), 0);

    key(Qt::Key_Comma);
    EXPECT_EQ(w.settings.modalShows, 1);

    key(Qt::Key_F1, Qt::NoModifier);
    ASSERT_TRUE(waitFor([&] { return c.PopAbout->isVisible(); }));
    EXPECT_EQ(c.PopAbout->y(), c.tbhelp->mapToGlobal(QPoint(0, c.tbhelp->height())).y()) << "under its button";
    c.PopAbout->hide();

    key(Qt::Key_R);
    ASSERT_TRUE(waitFor([&] { return w.frm->recordPicture() == 8; }));
    EXPECT_EQ(w.frm->status().toStdString(), "idle.");
    EXPECT_EQ(tip(c.tbRecord), "Record (Ctrl+R)");
}

TEST(AboutBox, CaptionSizeAndItsFourAddresses)
{
    std::vector<std::string> opened;
    TFrmAbout about(nullptr, [&](const std::string& a) { opened.push_back(a); });
    EXPECT_EQ(about.windowTitle().toStdString(), "About");
    EXPECT_EQ(about.size(), QSize(297, 128));
    QTest::mouseClick(about.linkLabel(), Qt::LeftButton);
    about.facebookButton()->click();
    about.twitterButton()->click();
    about.googlePlusButton()->click();
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], about.linkLabel()->text().toStdString());
    EXPECT_NE(opened[1].find("facebook"), std::string::npos);
    EXPECT_NE(opened[2].find("twitter"), std::string::npos);
    EXPECT_NE(opened[3].find("plus.google"), std::string::npos);
}

TEST(AboutBox, NamesTheSettingsFileInUse)
{
    // A long path is shortened in the middle to fit the box, and whole in the tool tip.
    const QString path = QStringLiteral("/home/u/.config/filesmonitor/config.ini");
    TFrmAbout given(
        nullptr, [](const std::string&) {}, path.toStdString());
    const QLabel* label = given.settingsFileLabel();
    EXPECT_TRUE(label->text().startsWith(QStringLiteral("Settings: /"))) << label->text().toStdString();
    EXPECT_TRUE(label->text().endsWith(QStringLiteral("config.ini"))) << label->text().toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    EXPECT_LE(label->geometry().right(), given.width());
    EXPECT_EQ(label->toolTip(), path);
    TFrmAbout own(nullptr, [](const std::string&) {});
    EXPECT_EQ(own.settingsFileLabel()->toolTip().toStdString(), configFilePath());
}

TEST(AboutBox, ItsPanelFillsTheWindowWithTheGradientFromLeftToRight)
{
    TFrmAbout about(nullptr, [](const std::string&) {});
    ASSERT_EQ(about.panel()->geometry(), about.rect());
    QImage background(about.size(), QImage::Format_RGB32);
    background.fill(Qt::black);
    const QImage image = about.panel()->renderImage(background);
    const int w = image.width();
    const int h = image.height();
    // Inside the border lines: the start colour on the left, white on the right, the same colour
    // down each column.
    EXPECT_EQ(QColor(image.pixel(2, h / 2)), QColor(237, 243, 252));
    EXPECT_EQ(QColor(image.pixel(w - 3, h / 2)), QColor(Qt::white));
    EXPECT_EQ(image.pixel(w / 2, 2), image.pixel(w / 2, h - 3));
    EXPECT_NE(image.pixel(w / 4, h / 2), image.pixel(3 * w / 4, h / 2));
    EXPECT_EQ(QColor(image.pixel(0, h / 2)), QColor(142, 156, 173)) << "the border lines are the panels' own";
}

} // namespace
