// The data of the two event views as the window feeds it: the tree and the list, the rows each
// view shows, and their item models. A batch's events come in through prepare (worker thread),
// addTreeEvent and addListEvent (user-interface thread); list rows are staged and become rows
// once per hand-off. The find words and their scan apply to both views.
//
// Tree is TEventTree, or the benchmark's baseline tree.
#pragma once

#include "app/UntViewModels.h"
#include "pipeline/UntEventList.h"
#include "pipeline/UntListRows.h"
#include "pipeline/UntTreeRows.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

template <class Tree> class TEventViewsOf {
public:
    using TClock = std::chrono::steady_clock;

    // Made on the user-interface thread, whose event loop inserts the staged rows; rowsAdded is
    // called after each insertion with the number of rows.
    template <class... TreeArgs>
    TEventViewsOf(std::shared_ptr<TIconSource> icons, TPathStyle style, TreeArgs&&... treeArgs)
        : icons_(std::move(icons)), tree_(std::forward<TreeArgs>(treeArgs)...), list_(icons_, style), treeRows_(tree_),
          listRows_(list_), treeModel_(treeRows_), listModel_(listRows_)
    {
        flushTimer_.setSingleShot(true);
        QObject::connect(&flushTimer_, &QTimer::timeout, [this] { flushRows(); });
        sinceFlush_.start();
    }
    TEventViewsOf(const TEventViewsOf&) = delete;
    TEventViewsOf& operator=(const TEventViewsOf&) = delete;

    void setRowsAdded(std::function<void(std::size_t)> rowsAdded) { rowsAdded_ = std::move(rowsAdded); }

    const Tree& tree() const { return tree_; }
    Tree& tree() { return tree_; }
    const TEventList& list() const { return list_; }
    TTreeRowsOf<Tree>& treeRows() { return treeRows_; }
    TListRows& listRows() { return listRows_; }
    TTreeModelOf<Tree>& treeModel() { return treeModel_; }
    TListItemModel& listModel() { return listModel_; }

    // Worker thread: what the steps will look up on disk is looked up now.
    void prepare(const TItemObj& item) { icons_->prime(item.getItem1()); }

    // The node the event named; the newest such node is what "Follow newest" shows.
    TNodeId addTreeEvent(const TItemObj& item)
    {
        newestNode_ = tree_.addDirectoryFile(item.getItem1(), item.getItem2(), item.getEventNum());
        return newestNode_;
    }
    void addListEvent(const TItemObj& item)
    {
        list_.stageListItem(item);
        // Once the hand-off has returned, and a few dozen times a second at most: every insertion
        // lays the list out and repaints it.
        if (!flushTimer_.isActive())
            flushTimer_.start(static_cast<int>(std::max<qint64>(0, kFlushMs - sinceFlush_.elapsed())));
    }
    void flushRows()
    {
        flushTimer_.stop();
        sinceFlush_.restart();
        const std::size_t added = list_.stagedCount();
        if (added == 0)
            return;
        list_.publishStaged();
        if (rowsAdded_)
            rowsAdded_(added);
    }
    TNodeId newestNode() const { return newestNode_; }

    void clear()
    {
        newestNode_ = kNoNode;
        tree_.clear();
        list_.clear();
    }

    void setFindWords(const TFindWords& words)
    {
        treeRows_.setFindWords(words);
        listRows_.setFindWords(words);
    }
    const TFindWords& findWords() const { return listRows_.getFindWords(); }
    bool isFindDone() const { return treeRows_.isFindDone() && listRows_.isFindDone(); }
    // Both scans until deadline, half the time each while both have work; true when both are done.
    bool stepFind(TClock::time_point deadline)
    {
        const auto half = TClock::now() + (deadline - TClock::now()) / 2;
        const bool treeDone = treeRows_.stepFind(listRows_.isFindDone() ? deadline : half);
        const bool listDone = listRows_.stepFind(deadline);
        return treeDone && listDone && treeRows_.isFindDone();
    }

    // What both views keep, in bytes: the event data and the rows.
    std::size_t memoryBytes() const
    {
        return tree_.memoryBytes() + list_.memoryBytes() + treeRows_.memoryBytes() + listRows_.memoryBytes();
    }

    static constexpr qint64 kFlushMs = 40;

private:
    std::shared_ptr<TIconSource> icons_;
    Tree tree_;
    TEventList list_;
    TTreeRowsOf<Tree> treeRows_;
    TListRows listRows_;
    TTreeModelOf<Tree> treeModel_;
    TListItemModel listModel_;
    QTimer flushTimer_;
    QElapsedTimer sinceFlush_;
    TNodeId newestNode_ = kNoNode;
    std::function<void(std::size_t)> rowsAdded_;
};

using TEventViews = TEventViewsOf<TEventTree>;
