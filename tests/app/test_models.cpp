#include "AppTestSupport.h"
#include "app/UntViewModels.h"
#include "events/UntEvents.h"

#include <QApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

std::string fixedTime()
{
    return "14:05:09";
}

struct TreeFixture {
    TEventTree tree{std::make_shared<TNullIconSource>(), TPathStyle::Posix, fixedTime};
    TTreeItemModel model{tree};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

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

    // A deleted directory loses everything below it; a later event builds a new node beside it.
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
}

TEST(TreeItemModel, ResetEmptiesTheModelAndAMarkChangeIsReported)
{
    TreeFixture f;
    f.tree.addDirectoryFile("/srv/a.txt", "", evCreate);
    QSignalSpy changed(&f.model, &QAbstractItemModel::dataChanged);
    f.tree.addDirectoryFile("/srv/a.txt", "", evDelete);
    ASSERT_EQ(changed.count(), 1);
    const QModelIndex index = changed.front().front().value<QModelIndex>();
    EXPECT_EQ(index.data().toString().toStdString(), "(14:05:09) a.txt");

    QSignalSpy reset(&f.model, &QAbstractItemModel::modelReset);
    f.tree.clear();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(f.model.rowCount(), 0);
    f.tree.addDirectoryFile("/srv/b.txt", "", evCreate);
    EXPECT_EQ(printTreeModel(f.model), "/\n  srv\n    b.txt\n");
}

TEST(TreeItemModel, DeferredNodesAppearOnPublishAndMatchTheTree)
{
    TreeFixture f;
    f.tree.addDirectoryFile("/a/old/x.txt", "", evCreate);
    f.model.setDeferred(true);
    f.tree.addDirectoryFile("/a/new/y.txt", "", evCreate);
    f.tree.addDirectoryFile("/b/z.txt", "", evCreate);
    EXPECT_EQ(printTreeModel(f.model), "/\n  a\n    old\n      x.txt\n") << "nothing new before publishing";

    f.model.publish();
    const std::string published = printTreeModel(f.model);
    EXPECT_EQ(published, "/\n  a\n    old\n      x.txt\n    new\n      y.txt\n  b\n    z.txt\n");

    // A removal below shown nodes withdraws the rows; the next publish shows the tree as it is.
    f.tree.addDirectoryFile("/a/old", "", evRmDir);
    f.tree.addDirectoryFile("/a/new/w.txt", "", evCreate);
    f.model.setDeferred(false);
    EXPECT_EQ(printTreeModel(f.model),
              "/\n  a\n    (14:05:09) old [red]\n    new\n      y.txt\n      w.txt\n  b\n    z.txt\n");
    EXPECT_FALSE(f.model.isDeferred());

    // Back to immediate insertion.
    f.tree.addDirectoryFile("/c.txt", "", evCreate);
    EXPECT_EQ(f.model.rowCount(f.model.index(0, 0)), 3);
}

TEST(ListItemModel, ColumnsCaptionsColoursAndBatchedInsertion)
{
    TEventList list(std::make_shared<TNullIconSource>(), TPathStyle::Posix);
    TListItemModel model(list);
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
    EXPECT_EQ(headers.join(QLatin1Char(',')).toStdString(), "From,To,Action,Work Path");

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

    list.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
