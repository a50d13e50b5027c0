// The main window's tools around its views: removals that keep what the user set up, the find
// bar, the Time and Process columns, "Follow newest", "idle." on Stop and the memory warning.
#include "AppTestSupport.h"
#include "app/UntFindBar.h"
#include "tests/util/TestTempFolder.h"
#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassPanel.h"
#include "widgets/UntTreeRowsView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace {

TNodeId nodeOf(const TFrmMain& frm, std::initializer_list<std::string_view> segments)
{
    TNodeId node = kNoNode;
    const std::string top = testTree("/\n");
    for (std::string_view s : segments)
        node = frm.eventTree().findChildNode(s == "/" ? std::string_view(top).substr(0, top.size() - 1) : s, node);
    return node;
}

std::string listRows(TFrmMain& frm)
{
    return printListModel(frm.listModel());
}

std::string exportTo(Window& w, const QString& path, QString& target)
{
    target = path;
    QSignalSpy done(&w.frm->exporter(), &TReportExporter::finished);
    w.c().tbsave->click();
    EXPECT_TRUE(waitFor([&] { return done.count() == 1; }));
    return readBytes(path.toStdString());
}

TEST(MainViews, RemovalsKeepOpenNodesSelectionAndTheTopRow)
{
    Window w;
    w.frm->show();
    w.record();
    std::vector<TItemObj> files;
    for (int d = 10; d < 70; ++d)
        for (int f = 0; f < 3; ++f)
            files.emplace_back("/data/d" + std::to_string(d) + "/f" + std::to_string(f) + ".txt", "", evCreate);
    w.deliver(files);
    auto& model = w.frm->treeModel();
    const auto index = [&](std::initializer_list<std::string_view> path) {
        return model.indexOf(nodeOf(*w.frm, path));
    };

    // The user closes one folder, selects two rows and scrolls to d40.
    ASSERT_TRUE(model.setData(index({"/", "data", "d20"}), rxClosed, kRowExpanderRole));
    const TNodeId picked1 = nodeOf(*w.frm, {"/", "data", "d30", "f1.txt"});
    const TNodeId picked2 = nodeOf(*w.frm, {"/", "data", "d60"});
    w.c().Tree->selectionModel()->select(model.indexOf(picked1), QItemSelectionModel::Select);
    w.c().Tree->selectionModel()->select(model.indexOf(picked2), QItemSelectionModel::Select);
    w.c().Tree->scrollTo(index({"/", "data", "d40"}), QAbstractItemView::PositionAtTop);
    const TNodeId top = TTreeItemModel::nodeOf(w.c().Tree->indexAt({1, 1}));
    ASSERT_EQ(top, nodeOf(*w.frm, {"/", "data", "d40"}));

    // One batch: branches removed above and below the rows shown, files deleted, one folder added.
    w.deliver({{"/data/d12/f0.txt", "", evDelete},
               {"/data/d12", "", evRmDir},
               {"/data/d33", "", evRmDir},
               {"/data/d55", "", evRmDir},
               {"/data/d41/f2.txt", "", evDelete},
               {"/data/d11/new.txt", "", evCreate}});

    EXPECT_EQ(TTreeItemModel::nodeOf(w.c().Tree->indexAt({1, 1})), top) << "the view stays on the same row";
    EXPECT_EQ(index({"/", "data", "d20"}).data(kRowExpanderRole).toInt(), rxClosed) << "closed stays closed";
    EXPECT_EQ(index({"/", "data", "d21"}).data(kRowExpanderRole).toInt(), rxOpen) << "open stays open";
    EXPECT_EQ(index({"/", "data", "d56"}).data(kRowExpanderRole).toInt(), rxOpen);
    QModelIndexList selected = w.c().Tree->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 2);
    std::set<TNodeId> selectedNodes;
    for (const QModelIndex& i : selected)
        selectedNodes.insert(TTreeItemModel::nodeOf(i));
    EXPECT_EQ(selectedNodes, (std::set<TNodeId>{picked1, picked2})) << "the same rows stay selected";
    EXPECT_EQ(w.c().Tree->indexAt({1, 1}).data().toString().toStdString(), "d40");
}

TEST(MainViews, FindFiltersBothViewsWhileEventsArriveAndEscapeBringsEverythingBack)
{
    QTemporaryDir dir;
    QString target;
    Window w([&](TMainServices& s) { s.exportUi = [&] { return std::make_unique<TSaveTo>(&target); }; });
    w.frm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.frm.get()));
    w.record();
    w.deliver({{"/home/ann/report.odt", "", evCreate},
               {"/home/ann/notes.txt", "", evCreate},
               {"/srv/report-2.txt", "", evCreate},
               {"/srv/x.log", "", evUpdateFile}});
    const QRect designViews = w.c().Tree->geometry();

    EXPECT_TRUE(w.c().FindBar->isHidden());
    EXPECT_EQ(w.c().Find1->shortcut(), QKeySequence(QKeySequence::Find));
    w.frm->activateWindow();
    QTest::keyClick(w.frm.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_FALSE(w.c().FindBar->isHidden()) << "Ctrl+F opens the find bar";
    EXPECT_TRUE(w.c().FindBar->edit()->hasFocus());
    EXPECT_EQ(w.c().FindBar->geometry().top(), designViews.top()) << "over the views, which make room";
    EXPECT_GT(w.c().Tree->geometry().top(), w.c().FindBar->geometry().bottom());

    QTest::keyClicks(w.c().FindBar->edit(), "REPORT");
    ASSERT_TRUE(waitFor([&] { return w.frm->eventViews().isFindDone(); }));
    EXPECT_EQ(listRows(*w.frm), "report.odt | - | Create | " + testPath("/home/ann/") +
                                    " [green]\n"
                                    "report-2.txt | - | Create | " +
                                    testPath("/srv/") + " [green]\n");
    EXPECT_EQ(printTreeModel(w.frm->treeModel()),
              testTree("/\n  home\n    ann\n      report.odt\n  srv\n    report-2.txt\n"));
    EXPECT_EQ(w.c().FindBar->countText().toStdString(), "2 of 4 events");

    // New events keep arriving into the find.
    w.deliver({{"/srv/report-3.txt", "", evCreate}, {"/srv/y.log", "", evCreate}});
    EXPECT_EQ(w.frm->listModel().rowCount(), 3);
    EXPECT_EQ(printTreeModel(w.frm->treeModel()),
              testTree("/\n  home\n    ann\n      report.odt\n  srv\n    report-2.txt\n    report-3.txt\n"));
    EXPECT_EQ(w.c().FindBar->countText().toStdString(), "3 of 6 events");

    // The export writes every event, found or not.
    const std::string report = exportTo(w, dir.filePath(QStringLiteral("r.txt")), target);
    EXPECT_NE(report.find("Exported list contents ( 6 events)"), std::string::npos);
    EXPECT_NE(report.find("y.log\t-\tCreate\t" + testPath("/srv/") + "\t"), std::string::npos);

    // A found row chosen, then Escape: every row is back, the chosen one current and in sight.
    w.c().tbList->click();
    w.c().List->setCurrentIndex(w.frm->listModel().index(1, 0));
    QTest::keyClick(w.c().FindBar->edit(), Qt::Key_Escape);
    EXPECT_TRUE(w.c().FindBar->isHidden());
    EXPECT_EQ(w.c().Tree->geometry(), designViews) << "the designed layout while the bar is closed";
    EXPECT_EQ(w.frm->listModel().rowCount(), 6);
    EXPECT_EQ(w.c().List->currentIndex().data().toString().toStdString(), "report-2.txt");
    EXPECT_TRUE(w.c().List->viewport()->rect().intersects(w.c().List->visualRect(w.c().List->currentIndex())));

    // Escape closes the bar from the views too.
    w.c().Find1->trigger();
    QTest::keyClicks(w.c().FindBar->edit(), "x.log");
    w.c().List->setFocus();
    QTest::keyClick(w.c().List, Qt::Key_Escape);
    EXPECT_TRUE(w.c().FindBar->isHidden());
    EXPECT_EQ(w.frm->listModel().rowCount(), 6);
}

TEST(MainViews, TimeAndProcessColumnsAreHiddenAtFirstShownFromTheHeaderSavedAndRestored)
{
    QTemporaryDir dir;
    QString target;
    Window w([&](TMainServices& s) { s.exportUi = [&] { return std::make_unique<TSaveTo>(&target); }; });
    EXPECT_TRUE(w.c().List->isColumnHidden(kTimeColumn));
    EXPECT_TRUE(w.c().List->isColumnHidden(kProcessColumn));
    EXPECT_EQ(w.c().List->horizontalHeader()->contextMenuPolicy(), Qt::CustomContextMenu);
    QStringList menu;
    for (QAction* action : w.c().PopColumns->actions())
        menu << action->text() + (action->isChecked() ? QStringLiteral("+") : QStringLiteral("-"));
    EXPECT_EQ(menu.join(QLatin1Char(',')).toStdString(), "Time-,Process-");
    // The keyboard's menu key on the list opens its context menu, which holds the same columns.
    w.frm->show();
    w.c().tbList->click();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, {4, 4}, w.c().List->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(w.c().List, &menuKey);
    ASSERT_TRUE(waitFor([&] { return w.c().PopViews->isVisible(); }));
    EXPECT_TRUE(w.c().PopViews->actions().contains(w.c().PopColumns->menuAction()));
    EXPECT_TRUE(w.c().PopColumns->menuAction()->isVisible());
    w.c().PopViews->hide();
    w.c().tbTree->click();
    QApplication::sendEvent(w.c().Tree, &menuKey);
    ASSERT_TRUE(waitFor([&] { return w.c().PopViews->isVisible(); }));
    EXPECT_FALSE(w.c().PopColumns->menuAction()->isVisible()) << "the tree has no such columns";
    w.c().PopViews->hide();

    w.record();
    const auto when = std::chrono::system_clock::now();
    w.deliver({{"/d/a.txt", "", evCreate, {when, 4242, "mv"}}, {"/d/a.txt", "", evDelete, {when, 0, ""}}});
    const std::string hidden = exportTo(w, dir.filePath(QStringLiteral("hidden.txt")), target);

    w.c().TimeColumn1->trigger();
    w.c().ProcessColumn1->trigger();
    EXPECT_FALSE(w.c().List->isColumnHidden(kTimeColumn));
    EXPECT_FALSE(w.c().List->isColumnHidden(kProcessColumn));
    EXPECT_TRUE(w.settings.view.timeColumn && w.settings.view.processColumn);
    EXPECT_EQ(w.settings.viewSaves, 2) << "each choice is saved when made";
    EXPECT_EQ(w.frm->listModel().index(0, kProcessColumn).data().toString().toStdString(), "mv (4242)");
    EXPECT_FALSE(w.frm->listModel().index(0, kTimeColumn).data().toString().isEmpty());
    EXPECT_EQ(exportTo(w, dir.filePath(QStringLiteral("shown.txt")), target), hidden)
        << "the report is the same byte for byte";

    w.c().ProcessColumn1->trigger();
    EXPECT_TRUE(w.c().List->isColumnHidden(kProcessColumn));
    Window restored;
    restored.settings.view = w.settings.view;
    restored.frm->setSettingsWindow(&restored.settings);
    EXPECT_FALSE(restored.c().List->isColumnHidden(kTimeColumn));
    EXPECT_TRUE(restored.c().List->isColumnHidden(kProcessColumn));
    EXPECT_TRUE(restored.c().TimeColumn1->isChecked());
    EXPECT_FALSE(restored.c().ProcessColumn1->isChecked());
}

TEST(MainViews, FollowNewestKeepsTheNewestRowInSightUntilTheUserScrolls)
{
    Window w;
    w.frm->show();
    w.record();
    w.c().tbList->click();
    w.deliver(creates("/a/", 200));
    QScrollBar* bar = w.c().List->verticalScrollBar();
    EXPECT_EQ(bar->value(), 0) << "off by default: the view never scrolls by itself";
    EXPECT_FALSE(w.frm->isFollowingNewest());
    EXPECT_TRUE(w.c().PopViews->actions().contains(w.c().FollowNewest1));

    w.c().FollowNewest1->trigger();
    EXPECT_EQ(bar->value(), bar->maximum());
    w.deliver(creates("/b/", 100));
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum()) << "the newest row stays in sight";

    // The tree, shown again, has the newest node in sight too.
    w.c().tbTree->click();
    w.deliver(creates("/b/", 1));
    const QModelIndex newest = w.frm->treeModel().indexOf(nodeOf(*w.frm, {"/", "b", "f0.txt"}));
    EXPECT_TRUE(w.c().Tree->viewport()->rect().contains(w.c().Tree->visualRect(newest).center()));
    w.c().tbList->click();

    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_FALSE(w.frm->isFollowingNewest()) << "the user's scroll turns it off";
    const int kept = bar->value();
    w.deliver(creates("/c/", 50));
    EXPECT_EQ(bar->value(), kept);

    w.c().FollowNewest1->trigger();
    w.c().Tree->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_FALSE(w.frm->isFollowingNewest()) << "in either view";
}

// Counts the paintings of the status label that showed "idle.".
class TPaintedText final : public QObject {
public:
    explicit TPaintedText(TGlassActiveLabel* label) : label_(label) { label_->installEventFilter(this); }
    int idlePaints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && label_->text() == QLatin1String("idle."))
            ++idlePaints;
        return false;
    }

private:
    TGlassActiveLabel* label_;
};

TEST(MainViews, StopPaintsIdleAtOnceBeforeTheLastRows)
{
    Window w;
    w.check.reset(); // the model checks walk both models on every change: too slow for this batch
    w.frm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.frm.get()));
    w.record();
    w.capture.backend->add(creates("/big/", 30000));
    ASSERT_TRUE(waitFor([&] { return !w.c().P->isHidden() && w.frm->eventList().rowCount() > 0; }));
    TPaintedText painted(w.c().lMater);
    w.c().tbRecord->click(); // Stop, with rows of the batch still to come
    EXPECT_GE(painted.idlePaints, 1) << "painted before the window went back to its rows";
    EXPECT_LT(w.frm->eventList().rowCount(), 30000u);
    // The rest of the batch is still delivered before the recording ends: slow under Wine.
    ASSERT_TRUE(waitFor([&] { return w.frm->recordPicture() == 8; }, 120000));
}

TEST(MainViews, PassingTheMemoryLimitWarnsOnceWithoutStoppingTheRecording)
{
    Window w;
    w.settings.view.memoryLimitMB = 1;
    w.frm->setSettingsWindow(&w.settings);
    w.frm->show();
    w.record();
    w.deliver(creates("/m/", 10));
    QMessageBox* box = w.frm->memoryWarning();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_TRUE(box->text().contains(QStringLiteral("1 MB")));

    w.deliver(creates("/n/", 10)); // still recording, no second box
    EXPECT_TRUE(w.frm->shellMonitor()->isRunning());
    EXPECT_EQ(w.frm->memoryWarning(), box);
    box->close();
    ASSERT_TRUE(waitFor([&] { return w.frm->memoryWarning() == nullptr; }));
    w.deliver(creates("/o/", 10));
    EXPECT_EQ(w.frm->memoryWarning(), nullptr) << "once while the views stay above the limit";

    // Cleaned, the views are under the limit again; passing it again warns again.
    w.c().tbClean->click();
    w.deliver(creates("/p/", 10));
    EXPECT_NE(w.frm->memoryWarning(), nullptr);
}

} // namespace
