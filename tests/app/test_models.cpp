#include "AppTestSupport.h"
#include "app/UntViewModels.h"
#include "events/UntEvents.h"
#include "widgets/UntTreeRowsView.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>

#include <ctime>

#include <gtest/gtest.h>

namespace {

std::string fixedTime()
{
    return "14:05:09";
}

struct TreeFixture {
    TEventTree tree{std::make_shared<TNullIconSource>(), TPathStyle::Posix, fixedTime};
    TTreeRows rows{tree};
    TTreeItemModel model{rows};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};

    TreeFixture() { rows.setOpenNewNodes(true); }
    QModelIndex at(std::initializer_list<std::string_view> segments) const
    {
        TNodeId node = kNoNode;
        for (std::string_view s : segments)
            node = tree.findChildNode(s, node);
        return model.indexOf(node);
    }
};

std::string expanders(const QAbstractItemModel& model)
{
    std::string out;
    for (int row = 0; row < model.rowCount(); ++row)
        out += std::to_string(model.index(row, 0).data(kRowExpanderRole).toInt());
    return out;
}

TEST(TreeItemModel, FollowsInsertionsMarksAndRemovals)
{
    TreeFixture f;
    f.tree.addDirectoryFile("/home/ann/a.txt", "", evCreate);
    f.tree.addDirectoryFile("/home/ann/b.txt", "", evCreate);
    f.tree.addDirectoryFile("/home/ann/b.txt", "/home/ann/c.txt", evRenameFile);
    f.tree.addDirectoryFile("/home/ann/a.txt", "", evDelete);
    f.tree.addDirectoryFile("/home/bob/x/y.txt", "", evCreate);
    EXPECT_EQ(printTreeModel(f.model), "/\n"
                                       "  home\n"
                                       "    ann\n"
                                       "      (14:05:09) a.txt [red]\n"
                                       "      b.txt -> c.txt [blue]\n"
                                       "    bob\n"
                                       "      x\n"
                                       "        y.txt\n");
    EXPECT_EQ(expanders(f.model), "22200220") << "open nodes with children, nothing on leaves";

    // A deleted directory loses everything below it; a later event builds a new node beside it.
    QSignalSpy removed(&f.model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&f.model, &QAbstractItemModel::modelReset);
    f.tree.addDirectoryFile("/home/bob", "", evRmDir);
    f.tree.addDirectoryFile("/home/bob/z.txt", "", evCreate);
    EXPECT_EQ(printTreeModel(f.model), "/\n"
                                       "  home\n"
                                       "    ann\n"
                                       "      (14:05:09) a.txt [red]\n"
                                       "      b.txt -> c.txt [blue]\n"
                                       "    (14:05:09) bob [red]\n"
                                       "    bob\n"
                                       "      z.txt\n");
    ASSERT_EQ(removed.count(), 1) << "only the removed rows are announced";
    EXPECT_EQ(removed.front().at(1).toInt(), 6);
    EXPECT_EQ(removed.front().at(2).toInt(), 7);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(f.at({"/", "home", "ann"}).data(kRowParentRole).toInt(), 1);
    EXPECT_EQ(f.at({"/"}).data(kRowParentRole).toInt(), -1);
}

TEST(TreeItemModel, TheExpanderRoleOpensAndClosesABranch)
{
    TreeFixture f;
    f.tree.addDirectoryFile("/srv/a/1.txt", "", evCreate);
    f.tree.addDirectoryFile("/srv/b/2.txt", "", evCreate);
    const QModelIndex a = f.at({"/", "srv", "a"});
    ASSERT_TRUE(a.isValid());
    QSignalSpy changed(&f.model, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(f.model.setData(a, rxClosed, kRowExpanderRole));
    EXPECT_EQ(printTreeModel(f.model), "/\n  srv\n    a\n    b\n      2.txt\n");
    EXPECT_EQ(f.at({"/", "srv", "a"}).data(kRowExpanderRole).toInt(), rxClosed);
    EXPECT_EQ(changed.count(), 1) << "the expander is redrawn";
    EXPECT_FALSE(f.model.setData(a, QStringLiteral("x"), Qt::DisplayRole)) << "nothing else is editable";
    f.model.setData(f.at({"/", "srv", "a"}), rxOpen, kRowExpanderRole);
    EXPECT_EQ(printTreeModel(f.model), "/\n  srv\n    a\n      1.txt\n    b\n      2.txt\n");
}

TEST(TreeItemModel, FindResetsTheRowsAndTheScanFillsThem)
{
    TreeFixture f;
    f.tree.addDirectoryFile("/srv/report.txt", "", evCreate);
    f.tree.addDirectoryFile("/srv/other.txt", "", evCreate);
    f.tree.addDirectoryFile("/home/report-2.txt", "", evCreate);
    QSignalSpy reset(&f.model, &QAbstractItemModel::modelReset);
    f.rows.setFindWords(TFindWords("report"));
    EXPECT_EQ(f.model.rowCount(), 0);
    while (!f.rows.stepFind(TTreeRows::TClock::now() + std::chrono::milliseconds(5))) {
    }
    EXPECT_EQ(printTreeModel(f.model), "/\n  srv\n    report.txt\n  home\n    report-2.txt\n");
    EXPECT_GE(reset.count(), 2);
    f.tree.addDirectoryFile("/srv/report-3.txt", "", evCreate);
    f.tree.addDirectoryFile("/srv/nothing.txt", "", evCreate);
    EXPECT_EQ(printTreeModel(f.model), "/\n  srv\n    report.txt\n    report-3.txt\n  home\n    report-2.txt\n");
}

TEST(ListItemModel, ColumnsCaptionsColoursAndBatchedInsertion)
{
    TEventList list(std::make_shared<TNullIconSource>(), TPathStyle::Posix);
    TListRows rows(list);
    TListItemModel model(rows);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    const std::vector<TItemObj> items = {
        {"/d/a.txt", "", evCreate},     {"/d/a.txt", "", evDelete}, {"/d/a.txt", "/d/b.txt", evRenameFile},
        {"/d/sub", "", evMkDir},        {"/d/sub", "", evRmDir},    {"/d/old", "/d/new", evRenameFolder},
        {"/d/a.txt", "", evUpdateFile}, {"", "", evAttributes}};
    list.addListItems(items);
    EXPECT_EQ(inserted.count(), 1) << "one insertion for the whole chunk";

    QStringList headers;
    for (int c = 0; c < model.columnCount(); ++c)
        headers << model.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers.join(QLatin1Char(',')).toStdString(), "From,To,Action,Work Path,Time,Process");

    EXPECT_EQ(printListModel(model), "a.txt | - | Create | /d/ [green]\n"
                                     "a.txt | - | Delete | /d/ [red]\n"
                                     "a.txt | b.txt | Rename File | /d/ [blue]\n"
                                     "sub | - | New Directory | /d/ [green]\n"
                                     "sub | - | Delete Directory | /d/ [red]\n"
                                     "old | new | Rename Folder | /d/ [blue]\n"
                                     "a.txt | - | Update File | /d/\n"
                                     "- | - | Attributes | \n");
    // The row icon sits before "From" and the folder's before "Work Path"; the others have none.
    EXPECT_FALSE(model.index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(model.index(0, 1).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(model.index(0, 2).data(Qt::DecorationRole).isNull());
    EXPECT_FALSE(model.index(0, 3).data(Qt::DecorationRole).isNull());

    // Finding shows the matching rows only; clearing the list empties the view.
    rows.setFindWords(TFindWords("SUB"));
    rows.stepFind(TListRows::TClock::now() + std::chrono::seconds(1));
    EXPECT_EQ(printListModel(model), "sub | - | New Directory | /d/ [green]\n"
                                     "sub | - | Delete Directory | /d/ [red]\n");
    list.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(ListItemModel, TimeAndProcessColumnsShowWhatTheBackendKnew)
{
    TEventList list(std::make_shared<TNullIconSource>(), TPathStyle::Posix);
    TListRows rows(list);
    TListItemModel model(rows);
    // 2026-01-02 03:04:05.678 local time.
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 0;
    local.tm_mday = 2;
    local.tm_hour = 3;
    local.tm_min = 4;
    local.tm_sec = 5;
    local.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local)) + std::chrono::milliseconds(678);
    list.addListItems(std::vector<TItemObj>{{"/d/a.txt", "", evCreate, {when, 4242, "mv"}},
                                            {"/d/b.txt", "", evCreate, {when, 77, ""}},
                                            {"/d/c.txt", "", evCreate, {}}});
    EXPECT_EQ(printListModel(model, 6), "a.txt | - | Create | /d/ | 03:04:05.678 | mv (4242) [green]\n"
                                        "b.txt | - | Create | /d/ | 03:04:05.678 | 77 [green]\n"
                                        "c.txt | - | Create | /d/ |  |  [green]\n");
}

// The tree view over the tree model: one row height, rows opened by the mouse and the keys, and
// rows arriving or leaving above the top row leave the view on the same node.
TEST(TreeRowsView, OpensByMouseAndKeysAndKeepsItsTopRow)
{
    TreeFixture f;
    for (int i = 0; i < 60; ++i)
        f.tree.addDirectoryFile("/d" + std::to_string(i) + "/f.txt", "", evCreate);
    TTreeRowsView view;
    view.setModel(&f.model);
    view.resize(300, 200);
    view.show();
    QCoreApplication::processEvents();
    ASSERT_GT(view.rowHeight(), 0);
    EXPECT_EQ(view.visualRect(f.model.index(3, 0)).top() - view.visualRect(f.model.index(2, 0)).top(),
              view.rowHeight());

    // A click on the expander closes the row; the click selects nothing.
    const QModelIndex d0 = f.at({"/", "d0"});
    const QRect row = view.visualRect(d0);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(view.indentation() * 3 / 2, row.center().y()));
    EXPECT_EQ(f.at({"/", "d0"}).data(kRowExpanderRole).toInt(), rxClosed);
    EXPECT_FALSE(view.selectionModel()->hasSelection());
    // Right opens it again, Left closes it, a second Left goes to the parent.
    view.setCurrentIndex(f.at({"/", "d0"}));
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(f.at({"/", "d0"}).data(kRowExpanderRole).toInt(), rxOpen);
    QTest::keyClick(&view, Qt::Key_Left);
    EXPECT_EQ(f.at({"/", "d0"}).data(kRowExpanderRole).toInt(), rxClosed);
    QTest::keyClick(&view, Qt::Key_Left);
    EXPECT_EQ(view.currentIndex(), f.at({"/"}));

    // Scrolled to d30: a branch removed above and a node added above leave d30 at the top.
    view.scrollTo(f.at({"/", "d30"}), QAbstractItemView::PositionAtTop);
    ASSERT_EQ(view.indexAt({1, 1}), f.at({"/", "d30"}));
    QSignalSpy userScrolled(&view, &TTreeRowsView::userScrolled);
    f.tree.addDirectoryFile("/d5", "", evRmDir);
    EXPECT_EQ(view.indexAt({1, 1}), f.at({"/", "d30"}));
    f.tree.addDirectoryFile("/d3/new.txt", "", evCreate);
    EXPECT_EQ(view.indexAt({1, 1}), f.at({"/", "d30"}));
    EXPECT_EQ(userScrolled.count(), 0) << "the view's own moves are not the user's";
    view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(userScrolled.count(), 1);
}

// A selected row is highlighted across the whole width, expander and indentation included.
TEST(TreeRowsView, ASelectedRowIsHighlightedAcrossTheView)
{
    TreeFixture f;
    f.tree.addDirectoryFile("/a/b/c.txt", "", evCreate);
    TTreeRowsView view;
    view.setModel(&f.model);
    view.resize(300, 120);
    view.show();
    view.selectionModel()->select(f.at({"/", "a", "b"}), QItemSelectionModel::Select);
    const QImage picture = view.viewport()->grab().toImage();
    const QColor highlight = view.palette().color(QPalette::Inactive, QPalette::Highlight);
    const QColor active = view.palette().color(QPalette::Active, QPalette::Highlight);
    const auto highlighted = [&](int x, int row) {
        const QColor pixel = picture.pixelColor(x, row * view.rowHeight() + view.rowHeight() / 2);
        return pixel == highlight || pixel == active;
    };
    EXPECT_TRUE(highlighted(1, 2)) << "before the indentation";
    EXPECT_TRUE(highlighted(picture.width() - 2, 2)) << "after the text";
    EXPECT_FALSE(highlighted(1, 1));
    EXPECT_FALSE(highlighted(picture.width() - 2, 3));
}

} // namespace
