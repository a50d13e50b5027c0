// The main window's tools around the two event views: the find bar, "Follow newest", the list's
// extra columns and the memory warning.
#include "app/UntMain.h"

#include "app/UntFindBar.h"
#include "settings/UntIniUtilsObj.h"
#include "widgets/UntTreeRowsView.h"

#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

namespace {

// A find slice takes at most this long before the window handles its other events.
constexpr std::chrono::milliseconds kFindSlice{8};

QString megabytesText(std::uint64_t megabytes)
{
    if (megabytes >= 1024 && megabytes % 1024 == 0)
        return QStringLiteral("%1 GB").arg(megabytes / 1024);
    return QStringLiteral("%1 MB").arg(megabytes);
}

} // namespace

void TFrmMain::createViewTools()
{
    c_.FindBar = new TFindBar(this);
    c_.FindBar->hide();
    connect(c_.FindBar, &TFindBar::textChanged, this, &TFrmMain::findTextChanged);
    connect(c_.FindBar, &TFindBar::closeRequested, this, &TFrmMain::closeFind);
    findTimer_ = new QTimer(this);
    findTimer_->setInterval(0);
    connect(findTimer_, &QTimer::timeout, this, &TFrmMain::stepFind);

    c_.PopViews = new QMenu(this);
    c_.Find1 = c_.PopViews->addAction(QStringLiteral("Find..."));
    c_.Find1->setShortcut(QKeySequence::Find);
    c_.Find1->setShortcutContext(Qt::WindowShortcut);
    addAction(c_.Find1); // Ctrl+F works with the menu closed
    c_.FollowNewest1 = c_.PopViews->addAction(QStringLiteral("Follow newest"));
    c_.FollowNewest1->setCheckable(true);
    connect(c_.Find1, &QAction::triggered, this, &TFrmMain::openFind);
    // Escape closes the bar wherever the focus is, and means nothing while it is closed.
    findEscape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    findEscape_->setEnabled(false);
    connect(findEscape_, &QShortcut::activated, this, &TFrmMain::closeFind);
    connect(c_.FollowNewest1, &QAction::toggled, this, &TFrmMain::setFollowNewest);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(c_.Tree), static_cast<QAbstractItemView*>(c_.List)}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            c_.PopColumns->menuAction()->setVisible(view == c_.List);
            c_.PopViews->popup(view->viewport()->mapToGlobal(at));
        });
    }
    connect(c_.Tree, &TTreeRowsView::userScrolled, this, [this] { c_.FollowNewest1->setChecked(false); });
    connect(c_.List, &TListRowsView::userScrolled, this, [this] { c_.FollowNewest1->setChecked(false); });

    c_.PopColumns = new QMenu(this);
    c_.TimeColumn1 = c_.PopColumns->addAction(QString::fromLatin1(kListViewColumns[0].caption));
    c_.ProcessColumn1 = c_.PopColumns->addAction(QString::fromLatin1(kListViewColumns[1].caption));
    for (QAction* action : {c_.TimeColumn1, c_.ProcessColumn1})
        action->setCheckable(true);
    connect(c_.TimeColumn1, &QAction::triggered, this, [this](bool on) { setColumnShown(kTimeColumn, on); });
    connect(c_.ProcessColumn1, &QAction::triggered, this, [this](bool on) { setColumnShown(kProcessColumn, on); });
    // Also in the list's context menu, where the keyboard reaches it: the header never has the focus.
    c_.PopColumns->setTitle(QStringLiteral("Columns"));
    c_.PopViews->addMenu(c_.PopColumns);
    QHeaderView* header = c_.List->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this,
            [this, header](const QPoint& at) { c_.PopColumns->popup(header->mapToGlobal(at)); });

    views_->setRowsAdded([this](std::size_t) { rowsAdded(); });
}

void TFrmMain::setSettingsWindow(TSettingsWindow* settings)
{
    settings_ = settings;
    if (!settings_)
        return;
    viewSettings_ = settings_->viewSettings();
    c_.TimeColumn1->setChecked(viewSettings_.timeColumn);
    c_.ProcessColumn1->setChecked(viewSettings_.processColumn);
    c_.List->setColumnHidden(kTimeColumn, !viewSettings_.timeColumn);
    c_.List->setColumnHidden(kProcessColumn, !viewSettings_.processColumn);
}

void TFrmMain::setColumnShown(int column, bool shown)
{
    c_.List->setColumnHidden(column, !shown);
    (column == kTimeColumn ? viewSettings_.timeColumn : viewSettings_.processColumn) = shown;
    if (!settings_)
        return;
    try {
        settings_->saveViewColumns(viewSettings_);
    } catch (const TIniWriteError& error) {
        QMessageBox::critical(this, windowTitle(), QString::fromStdString(error.what()));
    }
}

void TFrmMain::openFind()
{
    const bool wasHidden = c_.FindBar->isHidden();
    c_.FindBar->open();
    findEscape_->setEnabled(true);
    if (wasHidden) {
        processResize();
        showFindCounts();
    }
}

void TFrmMain::closeFind()
{
    // The row the user was on stays the current one, in sight, once every row is back.
    const TNodeId node = TTreeItemModel::nodeOf(c_.Tree->currentIndex());
    const QModelIndex listCurrent = c_.List->currentIndex();
    const std::size_t listRow =
        listCurrent.isValid() ? views_->listRows().listRow(listCurrent.row()) : views_->list().rowCount();
    c_.FindBar->hide();
    findEscape_->setEnabled(false);
    c_.FindBar->setText({}); // clears the words
    processResize();
    if (node != kNoNode && views_->tree().isValid(node)) {
        for (TNodeId up = views_->tree().parent(node); up != kNoNode; up = views_->tree().parent(up))
            views_->treeRows().setOpen(up, true);
        const QModelIndex index = views_->treeModel().indexOf(node);
        c_.Tree->setCurrentIndex(index);
        c_.Tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    if (listRow < views_->list().rowCount()) {
        const QModelIndex index = views_->listModel().index(views_->listRows().rowAtOrAfter(listRow), 0);
        c_.List->setCurrentIndex(index);
        c_.List->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    (c_.Tree->isHidden() ? static_cast<QWidget*>(c_.List) : c_.Tree)->setFocus();
}

void TFrmMain::findTextChanged(const QString& text)
{
    views_->setFindWords(TFindWords(text.toStdString()));
    stepFind();
}

void TFrmMain::stepFind()
{
    const bool done = views_->stepFind(TEventViews::TClock::now() + kFindSlice);
    showFindCounts();
    if (done)
        findTimer_->stop();
    else if (!findTimer_->isActive())
        findTimer_->start();
}

void TFrmMain::showFindCounts()
{
    if (!c_.FindBar->isHidden())
        c_.FindBar->setCounts(static_cast<std::size_t>(views_->listRows().rowCount()), views_->list().rowCount());
}

void TFrmMain::rowsAdded()
{
    showFindCounts();
    if (!views_->isFindDone() && !findTimer_->isActive())
        findTimer_->start();
    if (isFollowingNewest())
        followNewest();
}

bool TFrmMain::isFollowingNewest() const
{
    return c_.FollowNewest1->isChecked();
}

void TFrmMain::setFollowNewest(bool value)
{
    if (value)
        followNewest();
}

void TFrmMain::followNewest()
{
    c_.List->scrollToBottom();
    // The newest node, or the nearest of its ancestors that is a row.
    for (TNodeId node = views_->newestNode(); node != kNoNode; node = views_->tree().parent(node)) {
        const QModelIndex index = views_->treeModel().indexOf(node);
        if (index.isValid()) {
            c_.Tree->scrollTo(index);
            break;
        }
    }
}

void TFrmMain::checkMemory()
{
    const std::uint64_t limit = viewSettings_.memoryLimitMB * 1024 * 1024;
    const std::size_t used = views_->memoryBytes();
    if (used < limit) {
        memoryWarned_ = false; // cleaned: the next time the views pass the limit warns again
        return;
    }
    if (memoryWarned_)
        return;
    memoryWarned_ = true;
    // Told once, without stopping anything: the recording goes on while the box is open.
    if (!memoryBox_) {
        memoryBox_ = new QMessageBox(QMessageBox::Warning, windowTitle(), {}, QMessageBox::Ok, this);
        memoryBox_->setWindowModality(Qt::NonModal);
        connect(memoryBox_, &QMessageBox::finished, memoryBox_, &QObject::deleteLater);
        connect(memoryBox_, &QObject::destroyed, this, [this] { memoryBox_ = nullptr; });
    }
    memoryBox_->setText(QStringLiteral("The event views now use more than %1 of memory, the limit set in config.ini.")
                            .arg(megabytesText(viewSettings_.memoryLimitMB)));
    memoryBox_->setInformativeText(
        QStringLiteral("Recording goes on. Clean the views, or save them and clean, to free the memory."));
    memoryBox_->show();
}
