// The rows a tree view shows, as one flat sequence: the nodes of the event tree whose ancestors
// are all open, depth first. A view asks for the node of a row and the row of a node, each in
// O(depth x log(children)); a change of the tree, of an expander or of the find words reaches it
// as the insertion or removal of one range of rows. So the view never lays out more than it
// shows, and removals elsewhere keep its expanded nodes, selection and scroll position.
//
// Each node keeps how many rows its subtree shows (its own included) and each parent a Fenwick
// tree over its children's counts: the rows before a child are one prefix sum away.
//
// With find words set, only branches that hold a match are rows: a node matches when every word
// occurs in its path. A scan decides it node by node, parents first, in slices (stepFind), so a
// large tree never holds the window up; nodes added meanwhile are judged as they arrive.
//
// Tree is TEventTree or a tree with the same navigation and notifications (the benchmark's
// baseline); the members are defined in UntTreeRowsImpl.h.
#pragma once

#include "pipeline/UntEventTree.h"
#include "pipeline/UntFindWords.h"
#include "pipeline/UntPrefixSums.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Row changes, each begin call before the rows change and its end call after.
class TTreeRowsObserver {
public:
    virtual ~TTreeRowsObserver() = default;
    virtual void beginInsertRows(int first, int count) = 0;
    virtual void endInsertRows() = 0;
    virtual void beginRemoveRows(int first, int count) = 0;
    virtual void endRemoveRows() = 0;
    // Text, icon, mark or expander of the row's node changed.
    virtual void rowChanged(int row) = 0;
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
};

template <class Tree> class TTreeRowsOf final : public TTreeObserver {
public:
    using TClock = std::chrono::steady_clock;

    // Takes the tree's notifications for as long as it lives.
    explicit TTreeRowsOf(Tree& tree);
    ~TTreeRowsOf() override;
    TTreeRowsOf(const TTreeRowsOf&) = delete;
    TTreeRowsOf& operator=(const TTreeRowsOf&) = delete;

    // Not owned; null to stop notifications.
    void setObserver(TTreeRowsObserver* observer) { observer_ = observer; }
    const Tree& tree() const { return tree_; }

    int rowCount() const { return static_cast<int>(sums_[0].total()); }
    // kNoNode outside 0 .. rowCount() - 1.
    TNodeId nodeAt(int row) const;
    // -1 when the node is not a row (a closed ancestor, or left out by the find words).
    int rowOf(TNodeId id) const;
    // 0 for a top-level node.
    int depthOf(TNodeId id) const;
    // The node has children that are rows while it is open: it draws an expander.
    bool hasChildRows(TNodeId id) const;

    bool isOpen(TNodeId id) const { return open(slot(id)); }
    void setOpen(TNodeId id, bool value);
    // Whether nodes added from now on start open (the settings' auto-expand).
    void setOpenNewNodes(bool value) { openNew_ = value; }
    bool getOpenNewNodes() const { return openNew_; }

    // Empty words show every node. While finding, every branch starts open; closing one lasts
    // until the words change. New words reset the rows; stepFind fills them.
    void setFindWords(TFindWords words);
    const TFindWords& getFindWords() const { return words_; }
    bool isFinding() const { return !words_.empty(); }
    bool isFindDone() const { return frontier_.empty(); }
    // Judges nodes until deadline; true when none is left. Each slice is one reset of the rows.
    bool stepFind(TClock::time_point deadline);

    // What the rows keep besides the tree, in bytes.
    std::size_t memoryBytes() const;

    // TTreeObserver
    void beginInsertNodes(TNodeId parent, int firstRow, int count) override;
    void endInsertNodes() override;
    void beginRemoveNodes(TNodeId parent, int firstRow, int count) override;
    void endRemoveNodes() override {}
    void nodeChanged(TNodeId id) override;
    void beginReset() override;
    void endReset() override;

private:
    enum : std::uint8_t {
        kOpen = 1,       // open while not finding
        kFindClosed = 2, // closed while finding
        kIncluded = 4,   // counts as rows (always while not finding)
        kJudged = 8,     // finding: hits known
        kMatch = 16,     // finding: every word in the path
    };
    struct TState {
        std::uint32_t size = 0;        // rows of the subtree, the node's own included
        std::uint32_t incChildren = 0; // children that are included
        std::uint32_t hits = 0;        // finding: the words found in the path
        std::uint8_t flags = 0;
    };

    // Slot 0 stands for the top level.
    static TNodeId slot(TNodeId id) { return id == kNoNode ? 0 : id; }
    static TNodeId outside(TNodeId s) { return s == 0 ? kNoNode : s; }
    TNodeId parentSlot(TNodeId s) const { return slot(tree_.parent(outside(s))); }
    std::size_t indexIn(TNodeId s) const { return static_cast<std::size_t>(tree_.row(outside(s))); }
    TNodeId childSlot(TNodeId p, std::size_t k) const { return tree_.child(outside(p), static_cast<int>(k)); }
    std::size_t childCountOf(TNodeId p) const { return static_cast<std::size_t>(tree_.childCount(outside(p))); }
    TState& st(TNodeId s);
    const TState& st(TNodeId s) const { return s < state_.size() ? state_[s] : kNoState; }
    bool open(TNodeId s) const;
    bool included(TNodeId s) const { return s == 0 || (st(s).flags & kIncluded); }
    bool judged(TNodeId s) const { return s == 0 || (st(s).flags & kJudged); }
    // Every ancestor of a child of p, and p itself, is included and open.
    bool childrenShown(TNodeId p) const;
    // The row where s's rows start, whether or not s is included.
    std::uint32_t positionOf(TNodeId s) const;
    // s is still the child of its parent (the find scan keeps ids of nodes removed since).
    bool isLinked(TNodeId s) const;

    // s's count changed by delta in its parent's sums: carry it up through open included nodes.
    void propagate(TNodeId parent, std::int64_t delta);
    // s becomes included: its rows, and those of ancestors included only through it, appear.
    void includeBlock(TNodeId s);
    // The reverse: s and the ancestors included only through it leave the rows.
    void excludeBlock(TNodeId s);
    void removeChildren(TNodeId p);
    // Fresh counts for the whole tree (not finding), or every node left out and the scan set up.
    void rebuild();
    // Finding: hits, matches, counts and sums of s's judged descendants from their parents' hits;
    // s's own inclusion is left to the caller.
    void rejudgeBelow(TNodeId s);
    void judge(TNodeId s);
    // The words found in s's path: the parent's, and those in the end of the parent's path, the
    // separator and s's text.
    std::uint32_t hitsOf(TNodeId s);
    void makeTail(TNodeId p);
    void clearBelow(TNodeId s);

    static inline const TState kNoState{};

    Tree& tree_;
    TTreeRowsObserver* observer_ = nullptr;
    std::vector<TState> state_;
    std::vector<TPrefixSums> sums_;
    std::size_t sumEntries_ = 0;
    bool openNew_ = false;
    bool silent_ = false;
    TFindWords words_;
    std::vector<TNodeId> frontier_; // judged parents' children still to judge
    TNodeId insertParent_ = 0;
    int insertFirst_ = 0;
    int insertCount_ = 0;
    // Scratch space, kept to spare an allocation per node.
    std::vector<std::pair<TNodeId, std::uint32_t>> includeChain_;
    std::vector<TNodeId> excludeChain_;
    std::string window_;
    std::vector<const std::string*> pieces_;
    static constexpr TNodeId kNoTail = 0xFFFFFFFEu;
    TNodeId tailOf_ = kNoTail; // the node whose path's end tail_ holds
    std::string tail_;
};

using TTreeRows = TTreeRowsOf<TEventTree>;
extern template class TTreeRowsOf<TEventTree>;
