#include "app/UntViewModels.h"

#include "widgets/UntIconRegistry.h"

#include <QBrush>
#include <QColor>

QVariant TEventItemModel::colourOf(std::optional<TRgb> colour)
{
    if (!colour)
        return {};
    return QBrush(QColor(colour->red, colour->green, colour->blue));
}

QVariant TEventItemModel::iconOf(int iconIndex)
{
    return TIconRegistry::instance().icon(iconIndex);
}

TListItemModel::TListItemModel(TEventList& list, QObject* parent) : TEventItemModel(parent), list_(list)
{
    list_.setObserver(&forwarder_);
}

TListItemModel::~TListItemModel()
{
    list_.setObserver(nullptr);
}

QModelIndex TListItemModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || column >= columnCount() || row >= rowCount())
        return {};
    return createIndex(row, column);
}

QModelIndex TListItemModel::parent(const QModelIndex&) const
{
    return {};
}

int TListItemModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(list_.rowCount());
}

int TListItemModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(kListColumns.size());
}

QVariant TListItemModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(list_.getColumnText(row, index.column()));
    case Qt::DecorationRole:
        if (index.column() == 0)
            return iconOf(list_.getRowIcon(row));
        if (index.column() == 3)
            return iconOf(list_.getWorkPathIcon(row));
        return {};
    case Qt::ForegroundRole:
        return colourOf(listMarkColour(list_.getMark(row)));
    default:
        return {};
    }
}

QVariant TListItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return {};
    return QString::fromLatin1(kListColumns[static_cast<std::size_t>(section)].caption);
}

Qt::ItemFlags TListItemModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

void TListItemModel::TForwarder::beginInsertRows(int firstRow, int count)
{
    model_.forwardBeginInsert({}, firstRow, count);
}

void TListItemModel::TForwarder::endInsertRows()
{
    model_.forwardEndInsert();
}

void TListItemModel::TForwarder::beginReset()
{
    model_.forwardBeginReset();
}

void TListItemModel::TForwarder::endReset()
{
    model_.forwardEndReset();
}
