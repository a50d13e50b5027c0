// A tree view over a flat model whose rows name their depth and expander (a tree the model has
// already flattened into the rows it shows). It lays out nothing but the rows it paints, so a
// million rows cost what twenty do: rows of one uniform height, indentation and expanders drawn
// as a tree view draws them, rows opened and closed by mouse and keys through the model
// (setData with kRowExpanderRole).
//
// Rows that come or go above the top row leave that row where it is, and a current row that is
// removed never scrolls the view: it moves only when the user moves it.
#pragma once

#include <QAbstractItemView>
#include <QTableView>

#include <functional>

class QTimer;

enum TRowRole : int {
    kRowDepthRole = Qt::UserRole + 40,    // int, 0 for a top-level row
    kRowExpanderRole = Qt::UserRole + 41, // TRowExpander
    kRowParentRole = Qt::UserRole + 42,   // int: the row of the parent, -1 for a top-level row
};
enum TRowExpander : int { rxNone = 0, rxClosed = 1, rxOpen = 2 };

// Calls onScroll whenever the user moves the area's vertical scroll bar (wheel, scroll bar,
// its keys); the program's own scrolling does not count.
void watchUserScrolls(QAbstractScrollArea* area, const std::function<void()>& onScroll);

class TTreeRowsView : public QAbstractItemView {
    Q_OBJECT

public:
    explicit TTreeRowsView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    void setIndentation(int pixels);
    int indentation() const { return indentation_; }
    int rowHeight() const;
    int topRow() const;

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

signals:
    // The user scrolled with the keys, wheel or scroll bar.
    void userScrolled();

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void scrollContentsBy(int dx, int dy) override;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int pageRows() const;
    // The expander's rectangle in the row of index, in viewport coordinates.
    QRect expanderRect(const QModelIndex& index) const;
    bool toggle(const QModelIndex& index, bool open);
    void rowsRemovedDone();
    void setTopRow(int row);

    int indentation_ = 20;
    mutable int rowHeight_ = 0;
    mutable int contentWidth_ = 0;
    bool modelChanging_ = false; // rows come or go: the current row must not scroll the view
    bool anchoring_ = false;     // the top row moves with its rows: nothing in sight changes
    bool removalInSight_ = false;
    int topAfterRemoval_ = -1;
    QTimer* geometryLater_ = nullptr; // the scroll bar's range after rows arrived below the view
};

// The list's view: a table that says when the user scrolled it (keys, wheel or scroll bar).
class TListRowsView : public QTableView {
    Q_OBJECT

public:
    explicit TListRowsView(QWidget* parent = nullptr);

signals:
    void userScrolled();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
