#include "app/UntMain.h"

#include "app/UntAbout.h"
#include "app/UntAppServices.h"
#include "app/UntFindBar.h"
#include "app/UntMainImages.h"
#include "pipeline/UntMakerLinks.h"
#include "settings/UntConfigPath.h"
#include "util/UntFunctions.h"
#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassBars.h"
#include "widgets/UntGlassPanel.h"
#include "widgets/UntGlassProgressBar.h"
#include "widgets/UntGlassToolButton.h"
#include "widgets/UntTreeRowsView.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {

bool askExit(QWidget* owner, const QString& title)
{
    QMessageBox box(QMessageBox::Question, title, QStringLiteral("Close Program"), QMessageBox::Yes | QMessageBox::No,
                    owner);
    box.setInformativeText(
        QStringLiteral("This action will close the process and all its background tasks. Are you sure?"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

TMainServices withDefaults(TMainServices s)
{
    if (!s.backend)
        s.backend = [] { return configuredBackend(configFilePath()); };
    if (!s.driveRoots)
        s.driveRoots = localDriveRoots;
    if (!s.timeText)
        s.timeText = longTimeText;
    if (!s.icons)
        s.icons = std::make_shared<TRegistryIconSource>();
    if (!s.openAddress)
        s.openAddress = [](const std::string& address) { shellOpen(address); };
    if (s.computerName.empty())
        s.computerName = getComputerName();
    if (!s.confirmExit)
        s.confirmExit = askExit;
    if (!s.trayAvailable)
        s.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    if (!s.exportUi)
        s.exportUi = [] { return std::make_unique<TQtExportUi>(); };
    return s;
}

TGlassToolButton* makeButton(QWidget* parent, const QRect& design, const QString& caption)
{
    auto* button = new TGlassToolButton(parent);
    button->setGeometry(design);
    button->setText(caption);
    button->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

TFrmMain::TFrmMain(TMainServices services, QWidget* parent)
    : QWidget(parent), services_(withDefaults(std::move(services))),
      views_(std::make_unique<TEventViews>(services_.icons, kNativePathStyle, services_.icons, kNativePathStyle,
                                           services_.timeText)),
      invoker_(std::make_unique<TQtInvoker>(this))
{
    setWindowTitle(QString::fromStdString(mainWindowCaption(services_.computerName)));
    exporter_ = new TReportExporter(this, services_.exportUi());
    setWindowIcon(programIcon());
    resize(635, 351);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    createControls();
    createKeys();
    createViewTools();

    statusTimer_ = new QTimer(this);
    statusTimer_->setInterval(1000);
    connect(statusTimer_, &QTimer::timeout, this, &TFrmMain::refreshCaptureStatus);
    infoTimer_ = new QTimer(this);
    infoTimer_->setSingleShot(true);
    infoTimer_->setInterval(kInfoMs);
    connect(infoTimer_, &QTimer::timeout, c_.lInfo, &QLabel::hide);

    setStatus(QStringLiteral("idle."));
    processResize();
}

TFrmMain::~TFrmMain()
{
    shutdown();
    // The views go before the models they show.
    delete c_.Tree;
    delete c_.List;
}

void TFrmMain::createControls()
{
    c_.ToolBar = new TGlassToolBar(this);
    c_.ToolBar->setGeometry(0, 0, width(), 31);

    c_.Tree = new TTreeRowsView(this);
    c_.Tree->setGeometry(8, 80, 297, 249);
    c_.Tree->setIndentation(19);
    c_.Tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    c_.Tree->setModel(&views_->treeModel());

    c_.tbhelp = makeButton(c_.ToolBar, {584, 3, 43, 24}, {});
    c_.tbhelp->setIcon(helpMenuIcon());
    c_.tbhelp->setIconSize({26, 16});
    c_.tbsettings = makeButton(c_.ToolBar, {551, 3, 27, 24}, {});
    c_.tbsettings->setIcon(img16(picSettings));

    c_.pTop = new TGlassPanel(this);
    c_.pTop->setGeometry(8, 37, 619, 37);
    c_.pTop->setFillStyle(TGlassPanelFillStyle::pfsGradient);
    c_.pTop->setOuterBorders(allGlassBorders());
    c_.tbTree = makeButton(c_.pTop, {4, 5, 81, 27}, QStringLiteral("Tree"));
    c_.tbTree->setIcon(img16(picTree));
    c_.tbTree->setEnabled(false);
    c_.tbList = makeButton(c_.pTop, {91, 5, 81, 27}, QStringLiteral("List"));
    c_.tbList->setIcon(img16(picList));
    c_.lMater = new TGlassActiveLabel(c_.pTop);
    c_.lMater->move(576, 11);
    c_.tbClean = makeButton(c_.pTop, {178, 5, 31, 27}, {});
    c_.tbClean->setIcon(img16(picClean));
    c_.tbsave = makeButton(c_.pTop, {215, 5, 31, 27}, {});
    c_.tbsave->setIcon(img16(picSave));
    c_.lInfo = new QLabel(c_.pTop);
    c_.lInfo->hide();

    c_.tbRecord = makeButton(c_.ToolBar, {4, 3, 89, 24}, {});
    setPicture(c_.tbRecord, kRecordIdle, QStringLiteral("Record"));
    c_.tbPause = makeButton(c_.ToolBar, {99, 3, 89, 24}, {});
    setPicture(c_.tbPause, kPauseRunning, QStringLiteral("Pause"));
    c_.tbPause->hide();

    c_.P = new TGlassProgressBar(this);
    c_.P->setGeometry(8, 335, 619, 9);
    c_.P->setColor(QColor(0, 255, 0));
    c_.P->setRounded(true);
    c_.P->setShowPosText(false);
    c_.P->setPosition(0);
    c_.P->hide();

    c_.List = new TListRowsView(this);
    c_.List->setGeometry(311, 80, 316, 249);
    c_.List->setModel(&views_->listModel());
    c_.List->setShowGrid(true);
    c_.List->setWordWrap(false);
    c_.List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c_.List->setSelectionBehavior(QAbstractItemView::SelectRows);
    c_.List->verticalHeader()->hide();
    c_.List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    c_.List->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    c_.List->horizontalHeader()->setHighlightSections(false);
    c_.List->horizontalHeader()->setSectionsClickable(false);
    for (std::size_t i = 0; i < kListColumns.size(); ++i)
        c_.List->setColumnWidth(static_cast<int>(i), kListColumns[i].width);
    for (std::size_t i = 0; i < kListViewColumns.size(); ++i) {
        const int column = static_cast<int>(kListColumns.size() + i);
        c_.List->setColumnWidth(column, kListViewColumns[i].width);
        c_.List->setColumnHidden(column, true);
    }
    c_.List->hide();

    c_.Tray = new QSystemTrayIcon(programIcon(), this);
    c_.Tray->setToolTip(windowTitle());
    c_.PopAbout = new QMenu(this);
    c_.Likeus1 = c_.PopAbout->addAction(img16(picLike), QStringLiteral("Like us !"));
    c_.About1 = c_.PopAbout->addAction(img16(picAbout), QStringLiteral("About"));
    c_.PopAbout->addSeparator();
    c_.ExitProgram1 = c_.PopAbout->addAction(img16(picExit), QStringLiteral("Exit Program"));

    connect(c_.tbRecord, &QToolButton::clicked, this, &TFrmMain::tbRecordClick);
    connect(c_.tbPause, &QToolButton::clicked, this, &TFrmMain::tbPauseClick);
    connect(c_.tbClean, &QToolButton::clicked, this, &TFrmMain::tbCleanClick);
    connect(c_.tbTree, &QToolButton::clicked, this, &TFrmMain::tbTreeClick);
    connect(c_.tbList, &QToolButton::clicked, this, &TFrmMain::tbListClick);
    connect(c_.tbsettings, &QToolButton::clicked, this, &TFrmMain::tbsettingsClick);
    connect(c_.tbhelp, &QToolButton::clicked, this, &TFrmMain::tbhelpClick);
    connect(c_.tbsave, &QToolButton::clicked, this, [this] {
        flushRows(); // rows still waiting to be shown belong in the report
        exporter_->start(views_->tree(), views_->list(), windowTitle().toStdString());
    });
    connect(c_.Tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            TrayClick();
    });
    connect(c_.Tray, &QSystemTrayIcon::messageClicked, this, &TFrmMain::TrayClick);
    connect(c_.Likeus1, &QAction::triggered, this, &TFrmMain::Likeus1Click);
    connect(c_.About1, &QAction::triggered, this, &TFrmMain::About1Click);
    connect(c_.ExitProgram1, &QAction::triggered, this, &TFrmMain::ExitProgram1Click);
}

// The buttons never take the focus, so that the views keep it; each has a key of its own instead,
// pressed anywhere in the window. A hidden or disabled button's key does nothing.
void TFrmMain::createKeys()
{
    keys_ = {{c_.tbRecord, QKeySequence(Qt::CTRL | Qt::Key_R)},       {c_.tbPause, QKeySequence(Qt::CTRL | Qt::Key_P)},
             {c_.tbClean, QKeySequence(Qt::CTRL | Qt::Key_L)},        {c_.tbsave, QKeySequence(QKeySequence::Save)},
             {c_.tbTree, QKeySequence(Qt::CTRL | Qt::Key_1)},         {c_.tbList, QKeySequence(Qt::CTRL | Qt::Key_2)},
             {c_.tbsettings, QKeySequence(Qt::CTRL | Qt::Key_Comma)}, {c_.tbhelp, QKeySequence(Qt::Key_F1)}};
    for (const auto& [button, key] : keys_) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, button, [button = button] {
            if (button->isVisible() && button->isEnabled())
                button->click();
        });
    }
    setButtonTip(c_.tbRecord, c_.tbRecord->text());
    setButtonTip(c_.tbPause, c_.tbPause->text());
    setButtonTip(c_.tbClean, QStringLiteral("Clean"));
    setButtonTip(c_.tbsave, QStringLiteral("Save"));
    setButtonTip(c_.tbTree, c_.tbTree->text());
    setButtonTip(c_.tbList, c_.tbList->text());
    setButtonTip(c_.tbsettings, QStringLiteral("Settings"));
    setButtonTip(c_.tbhelp, QStringLiteral("Help"));
}

void TFrmMain::setButtonTip(TGlassToolButton* button, const QString& caption)
{
    const auto bound = std::find_if(keys_.begin(), keys_.end(), [button](const auto& k) { return k.first == button; });
    if (bound == keys_.end())
        button->setToolTip(caption);
    else
        button->setToolTip(QStringLiteral("%1 (%2)").arg(caption, bound->second.toString(QKeySequence::NativeText)));
}

void TFrmMain::setPicture(TGlassToolButton* button, int picture, const QString& caption)
{
    button->setIcon(img16(picture));
    button->setText(caption);
    setButtonTip(button, caption);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    if (button == c_.tbRecord)
        recordPicture_ = picture;
    else if (button == c_.tbPause)
        pausePicture_ = picture;
}

QString TFrmMain::status() const
{
    return c_.lMater->text();
}

void TFrmMain::setStatus(const QString& text)
{
    c_.lMater->setText(text);
    c_.lMater->adjustSize();
    c_.lMater->move(c_.pTop->width() - c_.lMater->width() - 8, c_.lMater->y());
    placeInfo();
}

// The note takes the room between the panel's buttons and the status, cut short when it lacks it.
void TFrmMain::placeInfo()
{
    const int right = c_.lMater->x() - 12;
    const int left = std::min(c_.tbsave->x() + c_.tbsave->width() + 12, right);
    const int width = std::max(0, right - left);
    c_.lInfo->setGeometry(left, c_.lMater->y(), width, c_.lMater->height());
    c_.lInfo->setText(c_.lInfo->fontMetrics().elidedText(infoText_, Qt::ElideRight, width));
}

void TFrmMain::processResize()
{
    const int cw = width();
    const int ch = height();
    c_.ToolBar->setGeometry(0, 0, cw, c_.ToolBar->height());
    const int toolBarH = c_.ToolBar->height();

    c_.pTop->setGeometry(4, toolBarH + 4, cw - 8, c_.pTop->height());
    QRect tree(4, toolBarH + c_.pTop->height() + 8, cw - 8, c_.Tree->height());
    c_.P->setGeometry(4, ch - c_.P->height() - 4, cw - 8, c_.P->height());
    tree.setHeight(!c_.P->isHidden() ? ch - toolBarH - c_.pTop->height() - c_.P->height() - 16
                                     : ch - toolBarH - c_.pTop->height() - 12);
    if (!c_.FindBar->isHidden()) {
        // The find bar takes the top of the views' rectangle while it is open.
        const int barHeight = c_.FindBar->sizeHint().height();
        c_.FindBar->setGeometry(tree.x(), tree.y(), tree.width(), barHeight);
        tree.setTop(tree.top() + barHeight + 4);
    }
    c_.Tree->setGeometry(tree);
    c_.lMater->move(c_.pTop->width() - c_.lMater->width() - 8, c_.lMater->y());

    c_.tbTree->move(4, c_.tbTree->y());
    c_.tbList->move(c_.tbTree->x() + c_.tbTree->width() + 4, c_.tbList->y());
    c_.tbClean->move(c_.tbList->x() + c_.tbList->width() + 4, c_.tbClean->y());
    c_.tbsave->move(c_.tbClean->x() + c_.tbClean->width() + 4, c_.tbsave->y());

    c_.tbRecord->move(4, c_.tbRecord->y());
    c_.tbPause->move(c_.tbRecord->x() + c_.tbRecord->width() + 4, c_.tbPause->y());

    c_.tbhelp->move(cw - c_.tbhelp->width() - 4, c_.tbhelp->y());
    c_.tbsettings->move(c_.tbhelp->x() - c_.tbsettings->width() - 4, c_.tbsettings->y());

    c_.List->setGeometry(c_.Tree->geometry());
    placeInfo();
}

void TFrmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (trayVisible_ && settings_ && settings_->trayOnClose())
        hideTray();
    processResize();
    if (!loaded_ && settings_ && settings_->autoCapture())
        startCapture();
    loaded_ = true;
}

void TFrmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    processResize();
}

void TFrmMain::closeEvent(QCloseEvent* event)
{
    if (!closedForGood_ && settings_ && settings_->trayOnClose()) {
        event->ignore();
        if (services_.trayAvailable()) {
            showTray();
            hide();
        } else {
            // Nowhere to restore a hidden window from: keep it on the task bar instead.
            showMinimized();
        }
        return;
    }
    event->accept();
    closedForGood_ = true;
    shutdown();
    emit programEnd(0);
}

void TFrmMain::showTray()
{
    trayVisible_ = true;
    balloonTitle_ = QString::fromLatin1(kBalloonTitle);
    balloonText_ = QString::fromLatin1(kBalloonText);
    c_.Tray->show();
    c_.Tray->showMessage(balloonTitle_, balloonText_, QSystemTrayIcon::Information);
}

void TFrmMain::hideTray()
{
    trayVisible_ = false;
    c_.Tray->hide();
}

void TFrmMain::TrayClick()
{
    showNormal();
    raise();
    activateWindow();
}

void TFrmMain::startCapture()
{
    if (closedForGood_ || !settings_ || (monitor_ && monitor_->isRunning()))
        return;
    setStatus(QStringLiteral("Live Capture."));
    c_.lMater->setToolTip({});
    reasonShown_ = false;
    monitor_.reset(); // the previous recording has ended: this only joins its finished thread
    // Auto-expand opens the nodes a recording adds, never the ones the user closed.
    views_->treeRows().setOpenNewNodes(settings_->autoExpand());
    monitor_ = std::make_unique<TShellMonitor>(*invoker_, *settings_, *this, *this, services_.backend(),
                                               services_.driveRoots, services_.batchInterval);
    monitor_->start();
    settings_->setRecordMode(true);
    statusTimer_->start();
}

void TFrmMain::tbRecordClick()
{
    if (recordPicture_ == kRecordIdle) {
        startCapture(); // ignored while the previous monitor thread still exists
        return;
    }
    if (monitor_)
        monitor_->stop();
    if (settings_)
        settings_->setRecordMode(false);
    statusTimer_->stop();
    setStatus(QStringLiteral("idle."));
    // Painted now: the rows of the last batch may keep the window busy for a moment.
    c_.pTop->repaint();
}

void TFrmMain::tbPauseClick()
{
    if (monitor_ && monitor_->isRunning())
        monitor_->setPause(pausePicture_ != kPausePaused);
}

void TFrmMain::tbCleanClick()
{
    clearViews();
}

void TFrmMain::clearViews()
{
    views_->clear();
    showFindCounts();
    checkMemory();
}

void TFrmMain::tbTreeClick()
{
    c_.tbTree->setEnabled(false);
    c_.tbList->setEnabled(true);
    c_.Tree->show();
    c_.List->hide();
    if (isFollowingNewest())
        followNewest(); // what arrived while it was hidden
}

void TFrmMain::tbListClick()
{
    c_.tbList->setEnabled(false);
    c_.tbTree->setEnabled(true);
    c_.List->show();
    c_.Tree->hide();
    if (isFollowingNewest())
        followNewest();
}

void TFrmMain::tbsettingsClick()
{
    if (settings_)
        settings_->showModal(this);
}

void TFrmMain::tbhelpClick()
{
    // Under the mouse when clicked; under the button when opened from the keyboard.
    c_.PopAbout->popup(c_.tbhelp->underMouse() ? QCursor::pos()
                                               : c_.tbhelp->mapToGlobal(QPoint(0, c_.tbhelp->height())));
}

void TFrmMain::Likeus1Click()
{
    services_.openAddress(kMakerFacebook);
}

void TFrmMain::About1Click()
{
    if (about_)
        about_->exec();
}

void TFrmMain::ExitProgram1Click()
{
    closeProgram();
}

void TFrmMain::closeProgram()
{
    if (!services_.confirmExit(this, windowTitle()))
        return;
    closedForGood_ = true;
    shutdown();
    emit programEnd(0);
}

void TFrmMain::shutdown()
{
    if (!invoker_)
        return;
    invoker_->close();
    if (monitor_) {
        monitor_->stop();
        monitor_->wait();
    }
    statusTimer_->stop();
    closedForGood_ = true;
}
