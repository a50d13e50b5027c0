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

TListItemModel::TListItemModel(TListRows& rows, QObject* parent) : TEventItemModel(parent), rows_(rows)
{
    rows_.setObserver(this);
}

TListItemModel::~TListItemModel()
{
    rows_.setObserver(nullptr);
}

QModelIndex TListItemModel::index(int row, int column, const QModelIndex& parent) const
{
    return isRow(row, column, parent) ? createIndex(row, column) : QModelIndex();
}

int TListItemModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kListViewColumnCount;
}

QVariant TListItemModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const TEventList& list = rows_.list();
    const std::size_t row = rows_.listRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(list.getColumnText(row, index.column()));
    case Qt::DecorationRole:
        if (index.column() == 0)
            return iconOf(list.getRowIcon(row));
        if (index.column() == 3)
            return iconOf(list.getWorkPathIcon(row));
        return {};
    case Qt::ForegroundRole:
        return colourOf(listMarkColour(list.getMark(row)));
    default:
        return {};
    }
}

QVariant TListItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return {};
    const auto column = static_cast<std::size_t>(section);
    return QString::fromLatin1(column < kListColumns.size() ? kListColumns[column].caption
                                                            : kListViewColumns[column - kListColumns.size()].caption);
}
