// Capture cost of a burst of file creations: the same shell workload run once with no monitor
// (the baseline) and once while the fanotify monitor records the folder, the captured run timed
// until the last event has been delivered. Prints the ratio captured / baseline, for fanotify in
// this process and through the capture helper, and the helper's time as a ratio of the former.
#include "BenchRatio.h"
#include "capture/UntHelperBackend_linux.h"
#include "monitor/UntShellMonitorThread.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

extern char** environ;

namespace {

constexpr int kFiles = 5000;

void runWorkload(const std::string& folder)
{
    const std::string script =
        "cd '" + folder + "' && i=0; while [ $i -lt " + std::to_string(kFiles) + " ]; do : > f$i; i=$((i+1)); done";
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        throw std::runtime_error("cannot start /bin/sh");
    int status = 0;
    ::waitpid(pid, &status, 0);
}

std::string makeFolder()
{
    std::string pattern = "/var/tmp/fm-bench-capture.XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a folder in /var/tmp");
    return std::filesystem::canonical(pattern).string();
}

class TCountingSink final : public TDeliverySink {
public:
    void batchStart(int) override {}
    void treeStep(const TItemObj&) override {}
    void listStep(const TItemObj&) override
    {
        std::lock_guard lock(mutex_);
        if (++count_ >= kFiles)
            done_.notify_all();
    }
    void progress(int) override {}
    void batchEnd(bool) override {}
    void waitAll()
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return count_ >= kFiles; });
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    int count_ = 0;
};

class TAllKinds final : public TMonitorSettings {
public:
    int driveRowCount() const override { return 0; }
    TDriveRow driveRow(int) const override { return {}; }
    int eventRowCount() const override { return 0; }
    bool eventRowChecked(int) const override { return true; }
    std::string excludedFoldersText() const override { return {}; }
    std::string extensionsText() const override { return {}; }
    bool autoExpand() const override { return false; }
    bool autoClean() const override { return false; }
};

class TNoView final : public TMonitorView {
public:
    void showState(TRecordingState) override {}
    void clearViews() override {}
};

// fanotify in this process, or through the helper of this build.
TBackendChoice openBackend(bool helper)
{
    if (!helper)
        return chooseBackend(TBackendKind::Fanotify);
    std::string whyNot;
    auto backend = openHelperBackend(FM_HELPER_PATH, whyNot);
    return {std::move(backend), whyNot};
}

void BM_BurstCapturedVsUncaptured(benchmark::State& state, bool helper)
{
    using clock = std::chrono::steady_clock;
    double baseline = 0;
    double captured = 0;
    for (auto _ : state) {
        const std::string plain = makeFolder();
        auto start = clock::now();
        runWorkload(plain);
        baseline += std::chrono::duration<double>(clock::now() - start).count();
        std::filesystem::remove_all(plain);

        const std::string watched = makeFolder();
        TBackendChoice choice = openBackend(helper);
        if (!choice.backend) {
            state.SkipWithError(choice.reason.c_str());
            std::filesystem::remove_all(watched);
            return;
        }
        TDirectInvoker invoker;
        TAllKinds settings;
        TNoView view;
        TCountingSink sink;
        TShellMonitor monitor(
            invoker, settings, view, sink, std::move(choice), [&] { return std::vector<std::string>{watched}; },
            std::chrono::milliseconds(10));
        monitor.start();
        monitor.waitRecording();
        start = clock::now();
        runWorkload(watched);
        sink.waitAll();
        const double seconds = std::chrono::duration<double>(clock::now() - start).count();
        captured += seconds;
        state.SetIterationTime(seconds);
        monitor.stop();
        monitor.wait();
        std::filesystem::remove_all(watched);
    }
    state.counters["captured_over_uncaptured"] = baseline > 0 ? captured / baseline : 0;
    state.counters["events_per_second"] = benchmark::Counter(
        static_cast<double>(kFiles) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_BurstCapturedVsUncaptured, fanotify, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_BurstCapturedVsUncaptured, helper, true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

FM_BENCHMARK_MAIN_WITH_RATIOS({"BM_BurstCapturedVsUncaptured/helper/iterations:5/manual_time",
                               "BM_BurstCapturedVsUncaptured/fanotify/iterations:5/manual_time"})
