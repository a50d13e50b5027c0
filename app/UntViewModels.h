// Item models over the rows of the plain views: the tree's rows (TTreeRows) and the list's rows
// (TListRows). Both are flat: a tree row says its depth and expander in roles of its own, which
// TTreeRowsView draws. They keep no data of their own: every answer is read from the plain
// rows, which tell them about each change before and after it.
#pragma once

#include "pipeline/UntListRows.h"
#include "pipeline/UntMarks.h"
#include "pipeline/UntTreeRows.h"
#include "widgets/UntTreeRowsView.h"

#include <QAbstractItemModel>

#include <optional>

// The mechanics both models share: a flat table's navigation, the forwarding of row changes,
// and the colour and icon roles of a marked entry.
class TEventItemModel : public QAbstractItemModel {
public:
    using QAbstractItemModel::QAbstractItemModel;

    QModelIndex parent(const QModelIndex&) const override { return {}; }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows(); }

protected:
    virtual int rows() const = 0;
    // An index of a row that exists, with the id data() will read.
    bool isRow(int row, int column, const QModelIndex& parent) const
    {
        return !parent.isValid() && row >= 0 && column >= 0 && row < rows() && column < columnCount();
    }
    Qt::ItemFlags rowFlags(const QModelIndex& index) const
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
    }

    void forwardBeginInsert(int first, int count) { beginInsertRows({}, first, first + count - 1); }
    void forwardEndInsert() { endInsertRows(); }
    void forwardBeginRemove(int first, int count) { beginRemoveRows({}, first, first + count - 1); }
    void forwardEndRemove() { endRemoveRows(); }
    void forwardBeginReset() { beginResetModel(); }
    void forwardEndReset() { endResetModel(); }
    void forwardChanged(int row)
    {
        const QModelIndex first = index(row, 0);
        emit dataChanged(first, index(row, columnCount() - 1));
    }

    static QVariant colourOf(std::optional<TRgb> colour);
    static QVariant iconOf(int iconIndex);
    static QString textOf(std::string_view text)
    {
        return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
    }
};

// The tree view's model: one row per row of TTreeRows, its node id as the index's internal id.
// Tree is TEventTree, or a tree with the same navigation (the benchmark's baseline).
template <class Tree> class TTreeModelOf : public TEventItemModel, public TTreeRowsObserver {
public:
    explicit TTreeModelOf(TTreeRowsOf<Tree>& rows, QObject* parent = nullptr) : TEventItemModel(parent), rows_(rows)
    {
        rows_.setObserver(this);
    }
    ~TTreeModelOf() override { rows_.setObserver(nullptr); }

    TTreeRowsOf<Tree>& treeRows() { return rows_; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override
    {
        return isRow(row, column, parent) ? createIndex(row, 0, static_cast<quintptr>(rows_.nodeAt(row)))
                                          : QModelIndex();
    }
    int columnCount(const QModelIndex& = {}) const override { return 1; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (!index.isValid())
            return {};
        const TNodeId id = nodeOf(index);
        const Tree& tree = rows_.tree();
        switch (role) {
        case Qt::DisplayRole:
            return textOf(tree.getText(id));
        case Qt::DecorationRole:
            return iconOf(tree.getIcon(id));
        case Qt::ForegroundRole:
            return colourOf(treeMarkColour(tree.getMark(id)));
        case kRowDepthRole:
            return rows_.depthOf(id);
        case kRowExpanderRole:
            return rows_.hasChildRows(id) ? (rows_.isOpen(id) ? rxOpen : rxClosed) : rxNone;
        case kRowParentRole:
            return rows_.rowOf(tree.parent(id));
        default:
            return {};
        }
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (!index.isValid() || role != kRowExpanderRole)
            return false;
        rows_.setOpen(nodeOf(index), value.toInt() == rxOpen);
        return true;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override { return rowFlags(index); }

    QModelIndex indexOf(TNodeId id) const
    {
        const int row = rows_.rowOf(id);
        return row < 0 ? QModelIndex() : createIndex(row, 0, static_cast<quintptr>(id));
    }
    static TNodeId nodeOf(const QModelIndex& index)
    {
        return index.isValid() ? static_cast<TNodeId>(index.internalId()) : kNoNode;
    }

    // TTreeRowsObserver
    void beginInsertRows(int first, int count) override { forwardBeginInsert(first, count); }
    void endInsertRows() override { forwardEndInsert(); }
    void beginRemoveRows(int first, int count) override { forwardBeginRemove(first, count); }
    void endRemoveRows() override { forwardEndRemove(); }
    void rowChanged(int row) override { forwardChanged(row); }
    void beginReset() override { forwardBeginReset(); }
    void endReset() override { forwardEndReset(); }

protected:
    int rows() const override { return rows_.rowCount(); }

private:
    TTreeRowsOf<Tree>& rows_;
};

using TTreeItemModel = TTreeModelOf<TEventTree>;

// The list view's model: the four columns of the report, then "Time" and "Process"; a row icon
// before "From" and the folder's icon before "Work Path".
class TListItemModel final : public TEventItemModel, public TListObserver {
public:
    explicit TListItemModel(TListRows& rows, QObject* parent = nullptr);
    ~TListItemModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override { return rowFlags(index); }

    // TListObserver
    void beginInsertRows(int first, int count) override { forwardBeginInsert(first, count); }
    void endInsertRows() override { forwardEndInsert(); }
    void beginReset() override { forwardBeginReset(); }
    void endReset() override { forwardEndReset(); }

protected:
    int rows() const override { return rows_.rowCount(); }

private:
    TListRows& rows_;
};
