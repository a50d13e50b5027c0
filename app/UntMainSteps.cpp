// The main window's side of the recording: the monitor thread's steps (TMonitorView) and the
// worker's delivery of a batch (TDeliverySink), each run on the user-interface thread.
#include "app/UntMain.h"

#include "app/UntMainImages.h"
#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassProgressBar.h"
#include "widgets/UntGlassToolButton.h"

#include <QLabel>
#include <QTimer>
#include <QTreeView>

void TFrmMain::refreshCaptureStatus()
{
    if (!monitor_ || !monitor_->isRunning() || recordPicture_ != kRecordRunning)
        return;
    const TCaptureCounters counts = monitor_->counters();
    QString text = QStringLiteral("Live Capture.");
    for (const std::string& count : captureCountTexts(counts))
        text += QStringLiteral(" (%1)").arg(QString::fromStdString(count));
    if (text != status())
        setStatus(text);

    QStringList notes;
    const std::string name = monitor_->backendName();
    if (!name.empty())
        notes << QStringLiteral("Capture: %1").arg(QString::fromStdString(name));
    if (!monitor_->backendReason().empty())
        notes << QString::fromStdString(monitor_->backendReason());
    for (const std::string& count : captureCountTexts(counts, true))
        notes << QString::fromStdString(count);
    // Which folders and why: the first few say enough, a whole tree of them would not fit.
    const std::vector<std::string> warnings = monitor_->backendWarnings();
    for (std::size_t i = 0; i < warnings.size() && i < kTooltipNotes; ++i)
        notes << QString::fromStdString(warnings[i]);
    if (warnings.size() > kTooltipNotes)
        notes << QStringLiteral("and %1 more like these").arg(warnings.size() - kTooltipNotes);
    c_.lMater->setToolTip(notes.join(QLatin1Char('\n')));
}

// Once per recording, beside the status for a few seconds: how this recording captures, and what
// would give more.
void TFrmMain::showCaptureReason()
{
    const std::string reason = monitor_ ? monitor_->backendReason() : std::string();
    if (reasonShown_ || reason.empty())
        return;
    reasonShown_ = true;
    infoText_ = QString::fromStdString(reason);
    c_.lInfo->setToolTip(infoText_);
    placeInfo();
    c_.lInfo->show();
    infoTimer_->start();
}

void TFrmMain::showState(TRecordingState state)
{
    switch (state) {
    case TRecordingState::Recording:
        setPicture(c_.tbRecord, kRecordRunning, QStringLiteral("Stop"));
        setPicture(c_.tbPause, kPauseRunning, QStringLiteral("Pause"));
        c_.tbPause->show();
        refreshCaptureStatus();
        showCaptureReason();
        break;
    case TRecordingState::Paused:
        setPicture(c_.tbPause, kPausePaused, QStringLiteral("Resume"));
        break;
    case TRecordingState::Idle:
        showIdle();
        break;
    }
}

void TFrmMain::showIdle()
{
    setPicture(c_.tbRecord, kRecordIdle, QStringLiteral("Record"));
    c_.tbPause->hide();
    statusTimer_->stop();
    infoTimer_->stop();
    c_.lInfo->hide();
    if (settings_)
        settings_->setRecordMode(false);
    const std::string failure = monitor_ ? monitor_->getFailure() : std::string();
    if (!failure.empty()) {
        setStatus(QStringLiteral("idle. (capture could not start)"));
        c_.lMater->setToolTip(QString::fromStdString(failure));
    } else if (status() != QLatin1String("idle.")) {
        setStatus(QStringLiteral("idle."));
    }
}

void TFrmMain::addDirectoryFile(const std::string& item1, const std::string& item2, int eventNum)
{
    tree_.addDirectoryFile(item1, item2, eventNum);
}

void TFrmMain::addListItem(const std::string& item1, const std::string& item2, int eventNum)
{
    flushRows();
    list_.addListItem(item1, item2, eventNum);
}

void TFrmMain::batchStart(int count)
{
    treeModel_->setDeferred(true);
    publishClock_.start();
    barClock_.start();
    c_.P->setMax(count);
    c_.P->setPosition(0);
    c_.P->show();
    processResize();
}

void TFrmMain::treeStep(const TItemObj& item)
{
    tree_.addDirectoryFile(item.getItem1(), item.getItem2(), item.getEventNum());
}

void TFrmMain::listStep(const TItemObj& item)
{
    pendingRows_.push_back(item);
    if (!flushPosted_) {
        flushPosted_ = true;
        // Runs once the current hand-off has returned: one insertion per chunk.
        QMetaObject::invokeMethod(
            this, [this] { flushRows(); }, Qt::QueuedConnection);
    }
}

void TFrmMain::flushRows()
{
    flushPosted_ = false;
    if (pendingRows_.empty())
        return;
    list_.addListItems(pendingRows_);
    pendingRows_.clear();
}

void TFrmMain::progress(int position)
{
    // The bar is redrawn a few dozen times a second at most; every event would cost a redraw.
    if (barClock_.hasExpired(kBarMs) || position == c_.P->max()) {
        c_.P->setPosition(position);
        barClock_.restart();
    }
    // A long batch shows its nodes a few times a second, not only at its end.
    if (publishClock_.hasExpired(kPublishMs)) {
        treeModel_->publish();
        publishClock_.restart();
    }
}

void TFrmMain::batchEnd(bool autoExpand)
{
    flushRows();
    treeModel_->setDeferred(false);
    c_.P->hide();
    c_.P->setPosition(0);
    processResize();
    if (autoExpand)
        c_.Tree->expandAll();
    c_.Tree->viewport()->update();
    refreshCaptureStatus();
}
