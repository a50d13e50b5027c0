// Item models over the plain event tree and event list. They keep no data of their own: every
// answer is read from the plain model, which tells them about each change before and after it.
#pragma once

#include "pipeline/UntEventList.h"
#include "pipeline/UntEventTree.h"
#include "pipeline/UntMarks.h"

#include <QAbstractItemModel>

#include <optional>

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
    static QString textOf(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }
};

// The tree view's model. Tree is TEventTree, or a tree with the same navigation (the benchmark's
// baseline); an index's internal id is its node id.
template <class Tree>
class TTreeModelOf : public TEventItemModel, public TTreeObserver {
public:
    explicit TTreeModelOf(Tree& tree, QObject* parent = nullptr) : TEventItemModel(parent), tree_(tree)
    {
        tree_.setObserver(this);
    }
    ~TTreeModelOf() override { tree_.setObserver(nullptr); }

    Tree& tree() { return tree_; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override
    {
        if (column != 0 || (parent.isValid() && parent.column() != 0))
            return {};
        const TNodeId id = tree_.child(nodeOf(parent), row);
        return id == kNoNode ? QModelIndex() : createIndex(row, 0, static_cast<quintptr>(id));
    }
    QModelIndex parent(const QModelIndex& child) const override
    {
        return child.isValid() ? indexOf(tree_.parent(nodeOf(child))) : QModelIndex();
    }
    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.column() > 0 ? 0 : tree_.childCount(nodeOf(parent));
    }
    int columnCount(const QModelIndex& = {}) const override { return 1; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (!index.isValid())
            return {};
        const TNodeId id = nodeOf(index);
        switch (role) {
        case Qt::DisplayRole: return textOf(tree_.getText(id));
        case Qt::DecorationRole: return iconOf(tree_.getIcon(id));
        case Qt::ForegroundRole: return colourOf(treeMarkColour(tree_.getMark(id)));
        default: return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    // TTreeObserver
    void beginInsertNodes(TNodeId parent, int firstRow, int count) override
    {
        forwardBeginInsert(indexOf(parent), firstRow, count);
    }
    void endInsertNodes() override { forwardEndInsert(); }
    void beginRemoveNodes(TNodeId parent, int firstRow, int count) override
    {
        forwardBeginRemove(indexOf(parent), firstRow, count);
    }
    void endRemoveNodes() override { forwardEndRemove(); }
    void nodeChanged(TNodeId id) override { forwardChanged(indexOf(id)); }
    void beginReset() override { forwardBeginReset(); }
    void endReset() override { forwardEndReset(); }

    QModelIndex indexOf(TNodeId id) const
    {
        return id == kNoNode ? QModelIndex() : createIndex(tree_.row(id), 0, static_cast<quintptr>(id));
    }
    static TNodeId nodeOf(const QModelIndex& index)
    {
        return index.isValid() ? static_cast<TNodeId>(index.internalId()) : kNoNode;
    }

private:
    Tree& tree_;
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
