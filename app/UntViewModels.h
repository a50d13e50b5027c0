// Item models over the plain event tree and event list. They keep no data of their own: every
// answer is read from the plain model, which tells them about each change before and after it.
#pragma once

#include "pipeline/UntEventList.h"
#include "pipeline/UntEventTree.h"
#include "pipeline/UntMarks.h"

#include <QAbstractItemModel>

#include <optional>
#include <vector>

// The mechanics both views share: forwarding of insertions, removals and resets, and the colour
// and icon roles of a marked entry.
class TEventItemModel : public QAbstractItemModel {
public:
    using QAbstractItemModel::QAbstractItemModel;

protected:
    void forwardBeginInsert(const QModelIndex& parent, int firstRow, int count)
    {
        beginInsertRows(parent, firstRow, firstRow + count - 1);
    }
    void forwardEndInsert() { endInsertRows(); }
    void forwardBeginRemove(const QModelIndex& parent, int firstRow, int count)
    {
        beginRemoveRows(parent, firstRow, firstRow + count - 1);
    }
    void forwardEndRemove() { endRemoveRows(); }
    void forwardBeginReset() { beginResetModel(); }
    void forwardEndReset() { endResetModel(); }
    void forwardChanged(const QModelIndex& index) { emit dataChanged(index, index); }

    static QVariant colourOf(std::optional<TRgb> colour);
    static QVariant iconOf(int iconIndex);
    static QString textOf(std::string_view text)
    {
        return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
    }
};

// The tree view's model. Tree is TEventTree, or a tree with the same navigation (the benchmark's
// baseline); an index's internal id is its node id.
//
// While deferring, new nodes are only noted and the view keeps seeing the rows it was told of;
// publish() then announces them, parents before children. A tree view lays out every expanded
// row again after each insertion, so announcing a batch's nodes once instead of chunk by chunk
// keeps that work from growing with the batch.
template <class Tree> class TTreeModelOf : public TEventItemModel, public TTreeObserver {
public:
    explicit TTreeModelOf(Tree& tree, QObject* parent = nullptr) : TEventItemModel(parent), tree_(tree)
    {
        tree_.setObserver(this);
    }
    ~TTreeModelOf() override { tree_.setObserver(nullptr); }

    Tree& tree() { return tree_; }

    void setDeferred(bool value)
    {
        if (!value)
            publish();
        deferred_ = value;
    }
    bool isDeferred() const { return deferred_; }

    // Announces every node added since the last publish.
    void publish()
    {
        std::vector<TNodeId> dirty;
        dirty.swap(dirty_);
        for (TNodeId id : dirty) {
            if (!flag(id))
                continue;
            flag(id) = false;
            if (isShown(outside(id)))
                announceChildren(outside(id));
        }
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override
    {
        if (column != 0 || row < 0 || (parent.isValid() && parent.column() != 0))
            return {};
        const TNodeId p = nodeOf(parent);
        if (row >= shownOf(p))
            return {};
        return createIndex(row, 0, static_cast<quintptr>(tree_.child(p, row)));
    }
    QModelIndex parent(const QModelIndex& child) const override
    {
        return child.isValid() ? indexOf(tree_.parent(nodeOf(child))) : QModelIndex();
    }
    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.column() > 0 ? 0 : shownOf(nodeOf(parent));
    }
    int columnCount(const QModelIndex& = {}) const override { return 1; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (!index.isValid())
            return {};
        const TNodeId id = nodeOf(index);
        switch (role) {
        case Qt::DisplayRole:
            return textOf(tree_.getText(id));
        case Qt::DecorationRole:
            return iconOf(tree_.getIcon(id));
        case Qt::ForegroundRole:
            return colourOf(treeMarkColour(tree_.getMark(id)));
        default:
            return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    // TTreeObserver
    void beginInsertNodes(TNodeId parent, int firstRow, int count) override
    {
        insertParent_ = parent;
        insertRow_ = firstRow;
        insertCount_ = count;
        insertShown_ = !deferred_ && isShown(parent);
        if (insertShown_)
            forwardBeginInsert(indexOf(parent), firstRow, count);
    }
    void endInsertNodes() override
    {
        for (int row = insertRow_; row < insertRow_ + insertCount_; ++row) {
            const TNodeId id = tree_.child(insertParent_, row);
            shown(id) = 0;
            flag(id) = false;
        }
        if (insertShown_) {
            shown(insertParent_) += insertCount_;
            forwardEndInsert();
        } else if (!flag(insertParent_)) {
            flag(insertParent_) = true;
            dirty_.push_back(slot(insertParent_));
        }
    }
    void beginRemoveNodes(TNodeId parent, int, int) override
    {
        // Every child goes, with its descendants: forget what was shown of them.
        std::vector<TNodeId> pending{slot(parent)};
        while (!pending.empty()) {
            const TNodeId at = pending.back();
            pending.pop_back();
            for (int row = 0; row < tree_.childCount(outside(at)); ++row) {
                const TNodeId child = tree_.child(outside(at), row);
                shown(child) = 0;
                flag(child) = false;
                pending.push_back(child);
            }
        }
        const int visible = shownOf(parent);
        const bool known = visible > 0 && isShown(parent);
        if (known && deferred_) {
            // A removal makes the model check every index the view keeps, and an expanded tree
            // keeps one per node: withdraw everything once instead, the next publish brings it back.
            forwardBeginReset();
            withdrawAll();
            forwardEndReset();
            removeShown_ = false;
            return;
        }
        removeShown_ = known;
        if (removeShown_)
            forwardBeginRemove(indexOf(parent), 0, visible);
        shown(parent) = 0;
    }
    void endRemoveNodes() override
    {
        if (removeShown_)
            forwardEndRemove();
    }
    void nodeChanged(TNodeId id) override
    {
        if (isShown(id))
            forwardChanged(indexOf(id));
    }
    void beginReset() override { forwardBeginReset(); }
    void endReset() override
    {
        shown_.assign(1, 0);
        flags_.assign(1, false);
        dirty_.clear();
        forwardEndReset();
    }

    QModelIndex indexOf(TNodeId id) const
    {
        return id == kNoNode ? QModelIndex() : createIndex(tree_.row(id), 0, static_cast<quintptr>(id));
    }
    static TNodeId nodeOf(const QModelIndex& index)
    {
        return index.isValid() ? static_cast<TNodeId>(index.internalId()) : kNoNode;
    }

private:
    // Slot 0 stands for the top level, as in the trees.
    static TNodeId slot(TNodeId id) { return id == kNoNode ? 0 : id; }
    static TNodeId outside(TNodeId id) { return id == 0 ? kNoNode : id; }
    int shownOf(TNodeId id) const
    {
        const TNodeId s = slot(id);
        return s < shown_.size() ? shown_[s] : 0;
    }
    int& shown(TNodeId id)
    {
        const TNodeId s = slot(id);
        if (s >= shown_.size())
            shown_.resize(s + 1 + s / 2, 0);
        return shown_[s];
    }
    std::vector<bool>::reference flag(TNodeId id)
    {
        const TNodeId s = slot(id);
        if (s >= flags_.size())
            flags_.resize(s + 1 + s / 2, false);
        return flags_[s];
    }
    // Known to the view: every ancestor's announced rows include it.
    bool isShown(TNodeId id) const
    {
        for (TNodeId at = id; at != kNoNode; at = tree_.parent(at))
            if (tree_.row(at) >= shownOf(tree_.parent(at)))
                return false;
        return true;
    }
    void withdrawAll()
    {
        std::fill(shown_.begin(), shown_.end(), 0);
        std::fill(flags_.begin(), flags_.end(), false);
        dirty_.assign(1, 0);
        flags_[0] = true;
    }
    // node: kNoNode for the top level.
    void announceChildren(TNodeId node)
    {
        const int from = shownOf(node);
        const int to = tree_.childCount(node);
        if (to <= from)
            return;
        forwardBeginInsert(indexOf(node), from, to - from);
        shown(node) = to;
        forwardEndInsert();
        for (int row = from; row < to; ++row) {
            const TNodeId child = tree_.child(node, row);
            flag(child) = false;
            announceChildren(child);
        }
    }

    Tree& tree_;
    bool deferred_ = false;
    std::vector<int> shown_ = std::vector<int>(1, 0); // rows the view knows of, by node id
    std::vector<bool> flags_ = std::vector<bool>(1, false);
    std::vector<TNodeId> dirty_; // nodes with rows the view does not know yet, in the order noted
    TNodeId insertParent_ = kNoNode;
    int insertRow_ = 0;
    int insertCount_ = 0;
    bool insertShown_ = false;
    bool removeShown_ = false;
};

using TTreeItemModel = TTreeModelOf<TEventTree>;

// The list view's model: one row per event, the four columns, a row icon before "From" and the
// folder's icon before "Work Path".
class TListItemModel final : public TEventItemModel {
public:
    explicit TListItemModel(TEventList& list, QObject* parent = nullptr);
    ~TListItemModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // The list's change notifications, passed on as the model's.
    class TForwarder final : public TListObserver {
    public:
        explicit TForwarder(TListItemModel& model) : model_(model) {}
        void beginInsertRows(int firstRow, int count) override;
        void endInsertRows() override;
        void beginReset() override;
        void endReset() override;

    private:
        TListItemModel& model_;
    };

    TEventList& list_;
    TForwarder forwarder_{*this};
};
