#include "widgets/UntTreeRowsView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

void watchUserScrolls(QAbstractScrollArea* area, const std::function<void()>& onScroll)
{
    // Wheel, clicks, drags and keys on the bar all end in a triggered action; setValue() does not.
    QObject::connect(area->verticalScrollBar(), &QAbstractSlider::actionTriggered, area, [onScroll](int action) {
        if (action != QAbstractSlider::SliderNoAction)
            onScroll();
    });
}

TTreeRowsView::TTreeRowsView(QWidget* parent) : QAbstractItemView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize({16, 16});
    watchUserScrolls(this, [this] { emit userScrolled(); });
    geometryLater_ = new QTimer(this);
    geometryLater_->setSingleShot(true);
    geometryLater_->setInterval(40);
    connect(geometryLater_, &QTimer::timeout, this, [this] { updateGeometries(); });
}

void TTreeRowsView::setModel(QAbstractItemModel* model)
{
    if (QAbstractItemModel* old = this->model())
        disconnect(old, &QAbstractItemModel::rowsRemoved, this, nullptr);
    QAbstractItemView::setModel(model);
    if (model)
        connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { rowsRemovedDone(); });
    rowHeight_ = 0;
    contentWidth_ = 0;
}

void TTreeRowsView::setIndentation(int pixels)
{
    indentation_ = pixels;
    viewport()->update();
}

int TTreeRowsView::rowHeight() const
{
    if (rowHeight_ == 0) {
        // One height for every row: what the delegate wants for a text with an icon.
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.features |= QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
        option.text = QStringLiteral("Xy");
        option.decorationSize = iconSize();
        const QModelIndex first = model() ? model()->index(0, 0, rootIndex()) : QModelIndex();
        const int hint = itemDelegate() ? itemDelegate()->sizeHint(option, first).height() : 0;
        rowHeight_ = std::max({hint, fontMetrics().height() + 2, iconSize().height() + 2});
    }
    return rowHeight_;
}

int TTreeRowsView::topRow() const
{
    return verticalScrollBar()->value();
}

int TTreeRowsView::pageRows() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

void TTreeRowsView::setTopRow(int row)
{
    verticalScrollBar()->setValue(row);
}

QRect TTreeRowsView::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.parent() != rootIndex())
        return {};
    const int y = (index.row() - topRow()) * rowHeight();
    return {-horizontalOffset(), y, std::max(viewport()->width() + horizontalOffset(), contentWidth_), rowHeight()};
}

QRect TTreeRowsView::expanderRect(const QModelIndex& index) const
{
    const QRect row = visualRect(index);
    const int depth = index.data(kRowDepthRole).toInt();
    return {row.x() + depth * indentation_, row.y(), indentation_, row.height()};
}

QModelIndex TTreeRowsView::indexAt(const QPoint& point) const
{
    if (!model() || point.y() < 0)
        return {};
    const int row = topRow() + point.y() / rowHeight();
    return row < model()->rowCount(rootIndex()) ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

void TTreeRowsView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int row = index.row();
    const int page = pageRows();
    int top = topRow();
    switch (hint) {
    case EnsureVisible:
        if (row < top)
            top = row;
        else if (row >= top + page)
            top = row - page + 1;
        break;
    case PositionAtTop:
        top = row;
        break;
    case PositionAtBottom:
        top = row - page + 1;
        break;
    case PositionAtCenter:
        top = row - page / 2;
        break;
    }
    setTopRow(top);
}

QModelIndex TTreeRowsView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    if (!model())
        return {};
    const int count = model()->rowCount(rootIndex());
    if (count == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0, rootIndex());
    int row = current.row();
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= pageRows();
        break;
    case MovePageDown:
        row += pageRows();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = count - 1;
        break;
    case MoveLeft: {
        const int parentRow = current.data(kRowParentRole).toInt();
        if (parentRow >= 0)
            row = parentRow;
        break;
    }
    case MoveRight:
        if (current.data(kRowExpanderRole).toInt() == rxOpen)
            ++row;
        break;
    }
    return model()->index(std::clamp(row, 0, count - 1), 0, rootIndex());
}

int TTreeRowsView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int TTreeRowsView::verticalOffset() const
{
    return topRow() * rowHeight();
}

void TTreeRowsView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    if (!model() || !selectionModel())
        return;
    const int count = model()->rowCount(rootIndex());
    if (count == 0)
        return;
    const QRect r = rect.normalized();
    const int first = std::clamp(topRow() + r.top() / rowHeight(), 0, count - 1);
    const int last = std::clamp(topRow() + r.bottom() / rowHeight(), 0, count - 1);
    selectionModel()->select(
        QItemSelection(model()->index(first, 0, rootIndex()), model()->index(last, 0, rootIndex())), command);
}

QRegion TTreeRowsView::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    const int first = topRow();
    const int last = first + pageRows() + 1;
    for (const QItemSelectionRange& range : selection) {
        const int top = std::max(range.top(), first);
        const int bottom = std::min(range.bottom(), last);
        if (top <= bottom)
            region += QRect(0, (top - first) * rowHeight(), viewport()->width(), (bottom - top + 1) * rowHeight());
    }
    return region;
}

void TTreeRowsView::updateGeometries()
{
    const int count = model() ? model()->rowCount(rootIndex()) : 0;
    const int page = pageRows();
    verticalScrollBar()->setRange(0, std::max(0, count - page));
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth_ - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(20);
    QAbstractItemView::updateGeometries();
}

void TTreeRowsView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (modelChanging_) {
        // The model moved the current row away from a removed one: show it, do not go there.
        update(previous);
        update(current);
        return;
    }
    QAbstractItemView::currentChanged(current, previous);
}

void TTreeRowsView::rowsInserted(const QModelIndex& parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    const int top = topRow();
    if (start < top || (start == top && top > 0)) {
        // Rows that arrive above the top row push it down: follow it, so the view stays on it
        // and shows the same rows as before.
        updateGeometries();
        anchoring_ = true;
        setTopRow(top + end - start + 1);
        anchoring_ = false;
        return;
    }
    // Rows below the view change nothing in sight but the scroll bar, which can wait a moment.
    if (!geometryLater_->isActive())
        geometryLater_->start();
    if (start <= top + pageRows())
        viewport()->update();
}

void TTreeRowsView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    modelChanging_ = true;
    const int top = topRow();
    removalInSight_ = start <= top + pageRows() && end >= top;
    if (end < top)
        topAfterRemoval_ = top - (end - start + 1);
    else if (start <= top)
        topAfterRemoval_ = start; // the first row after the removed ones takes the top
    else
        topAfterRemoval_ = top;
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
}

void TTreeRowsView::rowsRemovedDone()
{
    modelChanging_ = false;
    updateGeometries();
    anchoring_ = true;
    if (topAfterRemoval_ >= 0)
        setTopRow(topAfterRemoval_);
    anchoring_ = false;
    topAfterRemoval_ = -1;
    if (removalInSight_)
        viewport()->update();
}

void TTreeRowsView::scrollContentsBy(int, int)
{
    if (!anchoring_)
        viewport()->update();
}

void TTreeRowsView::paintEvent(QPaintEvent*)
{
    if (!model())
        return;
    QPainter painter(viewport());
    const int count = model()->rowCount(rootIndex());
    const int first = topRow();
    const int last = std::min(count - 1, first + pageRows() + 1);
    const QModelIndex current = currentIndex();
    const bool focused = hasFocus();
    const bool active = isActiveWindow();
    const QPalette::ColorGroup group = !isEnabled() ? QPalette::Disabled
                                       : active     ? QPalette::Active
                                                    : QPalette::Inactive;
    QStyleOptionViewItem base;
    initViewItemOption(&base);
    int widest = contentWidth_;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        const QRect rowRect = visualRect(index);
        const bool selected = selectionModel() && selectionModel()->isSelected(index);
        if (selected)
            painter.fillRect(QRect(0, rowRect.y(), viewport()->width(), rowRect.height()),
                             palette().brush(group, QPalette::Highlight));

        const int depth = index.data(kRowDepthRole).toInt();
        const int expander = index.data(kRowExpanderRole).toInt();
        const QRect branch(rowRect.x() + depth * indentation_, rowRect.y(), indentation_, rowRect.height());
        if (expander != rxNone) {
            QStyleOption branchOption;
            branchOption.initFrom(this);
            branchOption.rect = branch;
            branchOption.state = QStyle::State_Item | QStyle::State_Children |
                                 (expander == rxOpen ? QStyle::State_Open : QStyle::State_None) |
                                 (isEnabled() ? QStyle::State_Enabled : QStyle::State_None) |
                                 (selected ? QStyle::State_Selected : QStyle::State_None);
            style()->drawPrimitive(QStyle::PE_IndicatorBranch, &branchOption, &painter, this);
        }

        QStyleOptionViewItem option = base;
        option.rect = QRect(branch.right() + 1, rowRect.y(), 0, rowRect.height());
        option.state.setFlag(QStyle::State_Selected, selected);
        option.state.setFlag(QStyle::State_HasFocus, focused && index == current);
        option.state.setFlag(QStyle::State_MouseOver, false);
        const int width = itemDelegate()->sizeHint(option, index).width();
        option.rect.setWidth(width);
        itemDelegate()->paint(&painter, option, index);
        widest = std::max(widest, option.rect.right() + 1 + horizontalOffset());
    }
    if (widest > contentWidth_) {
        contentWidth_ = widest;
        QMetaObject::invokeMethod(
            this, [this] { updateGeometries(); }, Qt::QueuedConnection);
    }
}

bool TTreeRowsView::toggle(const QModelIndex& index, bool open)
{
    const int expander = index.data(kRowExpanderRole).toInt();
    if (expander == rxNone || (expander == rxOpen) == open)
        return false;
    return model()->setData(index, open ? rxOpen : rxClosed, kRowExpanderRole);
}

void TTreeRowsView::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && event->button() == Qt::LeftButton &&
        expanderRect(index).contains(event->position().toPoint()) && index.data(kRowExpanderRole).toInt() != rxNone) {
        toggle(index, index.data(kRowExpanderRole).toInt() == rxClosed);
        event->accept();
        return;
    }
    QAbstractItemView::mousePressEvent(event);
}

void TTreeRowsView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && expanderRect(index).contains(event->position().toPoint())) {
        event->accept(); // the press already toggled it
        return;
    }
    QAbstractItemView::mouseDoubleClickEvent(event);
    if (index.isValid() && event->button() == Qt::LeftButton)
        toggle(index, index.data(kRowExpanderRole).toInt() == rxClosed);
}

void TTreeRowsView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    const int expander = current.isValid() ? current.data(kRowExpanderRole).toInt() : rxNone;
    switch (event->key()) {
    case Qt::Key_Right:
        if (expander == rxClosed && toggle(current, true))
            return;
        break;
    case Qt::Key_Left:
        if (expander == rxOpen && toggle(current, false))
            return;
        break;
    case Qt::Key_Plus:
        if (toggle(current, true))
            return;
        break;
    case Qt::Key_Minus:
        if (toggle(current, false))
            return;
        break;
    default:
        break;
    }
    const int top = topRow();
    QAbstractItemView::keyPressEvent(event);
    if (topRow() != top)
        emit userScrolled();
}

void TTreeRowsView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        rowHeight_ = 0;
    QAbstractItemView::changeEvent(event);
}

TListRowsView::TListRowsView(QWidget* parent) : QTableView(parent)
{
    watchUserScrolls(this, [this] { emit userScrolled(); });
}

void TListRowsView::keyPressEvent(QKeyEvent* event)
{
    const int top = verticalScrollBar()->value();
    QTableView::keyPressEvent(event);
    if (verticalScrollBar()->value() != top)
        emit userScrolled();
}
