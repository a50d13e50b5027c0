#include "monitor/UntShellMonitorThread.h"

#include "util/UntText.h"
#include "util/UntThreadPriority.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

// Values of the start-up that the synchronous steps fill while the monitor thread waits.
struct TShellMonitor::TStartValues {
    int driveRowCount = 0;
    int eventRowCount = 0;
    std::vector<std::string> toNotCapture;
    std::vector<bool> eventsToCapture; // one entry per event row, in row order
};

TShellMonitor::TShellMonitor(TSyncInvoker& invoker, TMonitorSettings& settings, TMonitorView& view, TDeliverySink& sink,
                             TBackendChoice choice, TDriveRootsProvider driveRoots,
                             std::chrono::milliseconds batchInterval)
    : invoker_(invoker), settings_(settings), view_(view), sink_(sink), driveRoots_(std::move(driveRoots)),
      batchInterval_(batchInterval), backendReason_(std::move(choice.reason)), backend_(std::move(choice.backend))
{
    if (backend_)
        backendName_ = backend_->name();
}

TShellMonitor::~TShellMonitor()
{
    stop();
    wait();
}

void TShellMonitor::start()
{
    std::lock_guard lock(mutex_);
    if (state_ != TMonitorState::Created)
        return;
    state_ = TMonitorState::Starting;
    thread_ = std::thread([this] { execute(); });
}

void TShellMonitor::setPause(bool value)
{
    TItemsStack* worker = workerView_.load();
    if (!worker)
        return;
    {
        std::lock_guard lock(mutex_);
        if (state_ == TMonitorState::CleaningUp || state_ == TMonitorState::Ended)
            return;
    }
    worker->setPause(value);
    view_.showState(value ? TRecordingState::Paused
                          : TRecordingState::Recording); // on the user-interface thread already
}

void TShellMonitor::stop()
{
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    if (backend_)
        backend_->stop();
}

TMonitorState TShellMonitor::getState() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

bool TShellMonitor::isRunning() const
{
    const TMonitorState state = getState();
    return state != TMonitorState::Created && state != TMonitorState::Ended;
}

bool TShellMonitor::waitRecording()
{
    std::unique_lock lock(mutex_);
    if (state_ == TMonitorState::Created)
        return false;
    changed_.wait(lock, [this] { return state_ != TMonitorState::Starting; });
    return state_ == TMonitorState::Recording;
}

void TShellMonitor::wait()
{
    {
        std::unique_lock lock(mutex_);
        if (state_ == TMonitorState::Created)
            return;
        changed_.wait(lock, [this] { return state_ == TMonitorState::Ended; });
    }
    std::lock_guard lock(joinMutex_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

std::string TShellMonitor::getFailure() const
{
    {
        std::lock_guard lock(mutex_);
        if (!failure_.empty())
            return failure_;
    }
    // A failed delivery ends the worker while capture goes on: the recording has failed all the same.
    const TItemsStack* worker = workerView_.load();
    return worker ? worker->getFailure() : std::string();
}

std::string TShellMonitor::backendName() const
{
    std::lock_guard lock(mutex_);
    return backendName_;
}

std::vector<std::string> TShellMonitor::backendWarnings() const
{
    std::lock_guard lock(mutex_);
    return backend_ ? backend_->warnings() : warnings_;
}

TCaptureCounters TShellMonitor::counters() const
{
    TCaptureCounters result;
    {
        std::lock_guard lock(mutex_);
        result = backend_ ? backend_->counters() : finalCounters_;
    }
    // Events the worker took no more after a failed delivery are lost too.
    if (const TItemsStack* worker = workerView_.load())
        result.droppedEvents = worker->getDroppedCount();
    return result;
}

std::vector<std::string> TShellMonitor::getWatchedRoots() const
{
    std::lock_guard lock(mutex_);
    return watchedRoots_;
}

TEventKinds TShellMonitor::getWatchedKinds() const
{
    std::lock_guard lock(mutex_);
    return watchedKinds_;
}

void TShellMonitor::setState(TMonitorState state)
{
    {
        std::lock_guard lock(mutex_);
        state_ = state;
    }
    changed_.notify_all();
}

void TShellMonitor::step(const std::function<void()>& work)
{
    if (!uiOpen_)
        throw TSyncClosed();
    try {
        invoker_.synchronize(work);
    } catch (const TSyncClosed&) {
        uiOpen_ = false;
        throw;
    }
}

void TShellMonitor::execute()
{
    raiseThreadPriority();
    try {
        TStartValues values;
        startUp(values);
        bool run = false;
        {
            std::lock_guard lock(mutex_);
            run = !stopRequested_;
            if (run)
                state_ = TMonitorState::Recording;
        }
        changed_.notify_all();
        if (run)
            backend_->run();
    } catch (const TSyncClosed&) {
        // Program exit: no more steps on the user-interface thread, but everything is taken down.
    } catch (const std::exception& error) {
        std::lock_guard lock(mutex_);
        failure_ = error.what();
    } catch (...) {
        std::lock_guard lock(mutex_);
        failure_ = "unknown failure";
    }
    cleanUp();
}

void TShellMonitor::startUp(TStartValues& values)
{
    step([this] { view_.showState(TRecordingState::Recording); });
    if (!backend_)
        throw std::runtime_error("no capture backend: " + backendReason_);

    // The worker exists before the backend opens, so the queue accepts events from the first watch on.
    itemsStack_ = std::make_unique<TItemsStack>(invoker_, sink_, std::make_unique<TIntervalClock>(batchInterval_));
    TItemsStack& worker = *itemsStack_;
    backend_->open(worker);

    step([&] {
        const std::string folders = settings_.excludedFoldersText();
        if (!folders.empty())
            worker.setDirFilters(folders);
        const std::string extensions = settings_.extensionsText();
        if (!extensions.empty())
            worker.setExtFilters(extensions);
        worker.setAutoExpand(settings_.autoExpand());
    });
    worker.start();
    workerView_.store(&worker);

    const std::vector<std::string> roots = driveRoots_ ? driveRoots_() : std::vector<std::string>{};

    step([&] {
        values.driveRowCount = settings_.driveRowCount();
        values.eventRowCount = settings_.eventRowCount();
    });
    for (int i = 0; i < values.driveRowCount; ++i)
        step([&] {
            const TDriveRow row = settings_.driveRow(i);
            if (!row.checked)
                values.toNotCapture.push_back(row.caption);
        });
    for (int i = 0; i < values.eventRowCount; ++i)
        step([&] { values.eventsToCapture.push_back(settings_.eventRowChecked(i)); });

    // Kinds without an event row stay on; roots without a drive row are watched.
    TEventKinds kinds;
    kinds.fill(true);
    const std::size_t rows = std::min<std::size_t>(values.eventsToCapture.size(), kinds.size());
    for (std::size_t k = 0; k < rows; ++k)
        if (!values.eventsToCapture[k])
            kinds[k] = false;
    std::vector<std::string> watched;
    for (const std::string& root : roots) {
        const bool unticked = std::any_of(values.toNotCapture.begin(), values.toNotCapture.end(),
                                          [&](const std::string& caption) { return sameText(caption, root); });
        if (!unticked)
            watched.push_back(root);
    }
    {
        std::lock_guard lock(mutex_);
        watchedRoots_ = watched;
        watchedKinds_ = kinds;
    }
    for (const std::string& root : watched)
        backend_->addWatch(root, kinds); // a refused root is counted by the backend; the others go on
}

void TShellMonitor::cleanUp()
{
    setState(TMonitorState::CleaningUp);

    // The backend's run has ended: destroying it removes the watches, then closes the hidden
    // window or the descriptors, all on this thread.
    std::unique_ptr<TCaptureBackend> backend;
    {
        std::lock_guard lock(mutex_);
        if (backend_) {
            finalCounters_ = backend_->counters();
            warnings_ = backend_->warnings();
            backend = std::move(backend_);
        }
    }
    backend.reset();

    // Nothing is appended any more: the worker delivers what was captured, held by a pause or
    // not, then ends. Joining it before the stop step keeps the clearing of the views after its
    // last rows, so no row of this recording survives a clean stop.
    if (itemsStack_) {
        if (uiOpen_)
            itemsStack_->finish();
        else
            itemsStack_->terminate();
        itemsStack_->wait();
    }

    if (uiOpen_) {
        try {
            invoker_.synchronize([this] {
                if (settings_.autoClean())
                    view_.clearViews();
                view_.showState(TRecordingState::Idle);
            });
        } catch (const TSyncClosed&) {
            uiOpen_ = false;
        } catch (const std::exception& error) {
            std::lock_guard lock(mutex_);
            if (failure_.empty())
                failure_ = error.what();
        }
    }
    setState(TMonitorState::Ended);
}
