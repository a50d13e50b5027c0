// The monitor thread of one recording: reads the user's choices, sets up the worker and the
// watches, runs the capture backend until stopped, then takes everything down in a fixed order.
// It touches the settings and the main window only through synchronous steps.
#pragma once

#include "capture/UntCaptureBackend.h"
#include "pipeline/UntDeliverySink.h"
#include "pipeline/UntItemsStackThread.h"
#include "pipeline/UntSyncInvoker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TDriveRow {
    std::string caption; // a drive root
    bool checked = false;
};

// What the monitor reads from the settings. Every call runs on the user-interface thread.
class TMonitorSettings {
public:
    virtual ~TMonitorSettings() = default;
    virtual int driveRowCount() const = 0;
    virtual TDriveRow driveRow(int index) const = 0;
    virtual int eventRowCount() const = 0; // row index = event number
    virtual bool eventRowChecked(int index) const = 0;
    // List texts, each entry followed by CR LF; empty when the list has no rows.
    virtual std::string excludedFoldersText() const = 0;
    virtual std::string extensionsText() const = 0;
    virtual bool autoExpand() const = 0;
    virtual bool autoClean() const = 0;
};

// What a recording looks like to the user.
enum class TRecordingState {
    Idle,      // no recording
    Recording, // capturing and delivering; a new recording is never paused
    Paused,    // capturing, deliveries held until resumed
};

// What the monitor changes on the main window. Every call runs on the user-interface thread.
class TMonitorView {
public:
    virtual ~TMonitorView() = default;
    virtual void showState(TRecordingState state) = 0;
    // Both views emptied, at the end of a recording whose settings ask for it.
    virtual void clearViews() = 0;
};

// The roots to watch, in order: the fixed and removable drive roots, or the folders named by the user.
using TDriveRootsProvider = std::function<std::vector<std::string>()>;

enum class TMonitorState { Created, Starting, Recording, CleaningUp, Ended };

class TShellMonitor {
public:
    // invoker, settings, view and sink must outlive the monitor. A null backend in choice ends
    // the recording at start-up, with choice.reason as its failure. The worker delivers a batch
    // every batchInterval.
    TShellMonitor(TSyncInvoker& invoker, TMonitorSettings& settings, TMonitorView& view, TDeliverySink& sink,
                  TBackendChoice choice, TDriveRootsProvider driveRoots,
                  std::chrono::milliseconds batchInterval = std::chrono::milliseconds(1000));
    // Stops and joins. Never destroy it on the user-interface thread while it may be waiting for a
    // synchronous step, unless the invoker has been closed.
    ~TShellMonitor();
    TShellMonitor(const TShellMonitor&) = delete;
    TShellMonitor& operator=(const TShellMonitor&) = delete;

    // Starts the thread; a monitor records once.
    void start();
    // User-interface thread: pauses or resumes delivery. Does nothing before the worker exists.
    void setPause(bool value);
    // Any thread: ends the recording soon; returns at once.
    void stop();

    TMonitorState getState() const;
    bool isRunning() const;
    // Blocks until the watches are in place (true) or the recording ended before that (false).
    bool waitRecording();
    // Blocks until the thread body has returned, then joins it.
    void wait();

    // Why the recording ended early; empty when it ran normally.
    std::string getFailure() const;
    std::string backendName() const;
    std::string backendReason() const { return backendReason_; }
    // Refusals and other notes of the backend, one line each.
    std::vector<std::string> backendWarnings() const;
    // The backend's counts and the events the worker dropped.
    TCaptureCounters counters() const;
    // The roots that were handed to the backend and the kinds they watch (known once recording).
    std::vector<std::string> getWatchedRoots() const;
    TEventKinds getWatchedKinds() const;

private:
    struct TStartValues;
    void execute();
    void startUp(TStartValues& values);
    void cleanUp();
    void flushWorker();
    // A synchronous step; throws TSyncClosed (and runs no more steps) once the user-interface
    // thread is closing.
    void step(const std::function<void()>& work);
    void setState(TMonitorState state);

    TSyncInvoker& invoker_;
    TMonitorSettings& settings_;
    TMonitorView& view_;
    TDeliverySink& sink_;
    TDriveRootsProvider driveRoots_;
    std::chrono::milliseconds batchInterval_;
    std::string backendReason_;
    bool uiOpen_ = true; // monitor thread only

    // Written once by the monitor thread before the worker starts; read by setPause afterwards.
    std::atomic<TItemsStack*> workerView_{nullptr};
    std::unique_ptr<TItemsStack> itemsStack_;

    mutable std::mutex mutex_; // guards everything below
    std::condition_variable changed_;
    std::unique_ptr<TCaptureBackend> backend_;
    std::string backendName_;
    std::vector<std::string> warnings_;
    TCaptureCounters finalCounters_;
    bool stopRequested_ = false;
    TMonitorState state_ = TMonitorState::Created;
    std::string failure_;
    std::vector<std::string> watchedRoots_;
    TEventKinds watchedKinds_{};

    std::mutex joinMutex_;
    std::thread thread_;
};
