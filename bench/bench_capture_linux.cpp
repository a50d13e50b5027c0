// Capture cost of a burst of file creations: the same shell workload run once with no monitor
// (the baseline) and once while the fanotify monitor records the folder, the captured run timed
// until the last event has been delivered. Prints the ratio captured / baseline, for fanotify in
// this process and through the capture helper, and the helper's time as a ratio of the former.
// Also the per-event structures: the Update File throttle against a plain hash set at N and 4N
// paths written within a second, and a folder rename holding N and 4N folders (ratio 4N / N;
// 1: constant).
#include "BenchRatio.h"
#include "capture/UntFolderTree_linux.h"
#include "capture/UntHelperBackend_linux.h"
#include "capture/UntRecentKeys.h"
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
#include <unordered_set>
#include <utility>
#include <vector>

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

// Seconds per path for count distinct paths written within one second, each written twice (the
// second write is held back), by the throttle and, as the baseline, by a plain hash set.
std::pair<double, double> throttleSecondsPerPath(int count)
{
    using clock = std::chrono::steady_clock;
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
        paths.push_back("/home/user/project/build/objects/file" + std::to_string(i) + ".o");
    TModifyThrottle throttle;
    const auto t0 = clock::time_point(std::chrono::hours(1));
    const auto step = std::chrono::nanoseconds(400'000'000 / count); // every write within 0.8 s
    auto start = clock::now();
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < count; ++i)
            benchmark::DoNotOptimize(throttle.due(paths[i], t0 + step * (round * count + i)));
    const double throttled = std::chrono::duration<double>(clock::now() - start).count() / count;
    std::unordered_set<std::string> seen;
    start = clock::now();
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < count; ++i)
            benchmark::DoNotOptimize(seen.insert(paths[i]).second);
    return {throttled, std::chrono::duration<double>(clock::now() - start).count() / count};
}

// A burst of writes to many files (the 50,000 within a second at 4N): the throttle holds
// each for a second, and costs what a hash set costs at both sizes; the old one swept its whole
// map on each write past 8,192 paths.
void BM_ThrottleBurstAgainstHashSet(benchmark::State& state)
{
    constexpr int kPaths = 12500;
    double small = 0;
    double smallSet = 0;
    double large = 0;
    double largeSet = 0;
    for (auto _ : state) {
        const auto [throttleN, setN] = throttleSecondsPerPath(kPaths);
        const auto [throttle4N, set4N] = throttleSecondsPerPath(4 * kPaths);
        small += throttleN;
        smallSet += setN;
        large += throttle4N;
        largeSet += set4N;
    }
    state.counters["throttle_over_set_N"] = smallSet > 0 ? small / smallSet : 0;
    state.counters["throttle_over_set_4N"] = largeSet > 0 ? large / largeSet : 0;
}

BENCHMARK(BM_ThrottleBurstAgainstHashSet)->Unit(benchmark::kMillisecond)->Iterations(5);

// Seconds per rename of a folder holding held folders (eight to a folder), each rename followed
// by the path of a folder deep inside it: the old cache rewrote every path below the folder.
double renameSecondsHolding(int held)
{
    using clock = std::chrono::steady_clock;
    TFolderTree<int> tree;
    tree.learnTop(0, "/w");
    tree.learn(1, 0, "top");
    for (int i = 2; i <= held + 1; ++i)
        tree.learn(i, (i - 2) / 8 + 1, "d" + std::to_string(i)); // 2..9 in 1, 10..17 in 2...
    constexpr int kRenames = 20000;
    const auto start = clock::now();
    for (int r = 0; r < kRenames; ++r) {
        tree.learn(1, 0, r % 2 ? "top" : "moved");
        benchmark::DoNotOptimize(tree.path(held + 1)->size());
    }
    return std::chrono::duration<double>(clock::now() - start).count() / kRenames;
}

void BM_FolderRenameGrowth(benchmark::State& state)
{
    constexpr int kFolders = 20000;
    double small = 0;
    double large = 0;
    for (auto _ : state) {
        small += renameSecondsHolding(kFolders);
        large += renameSecondsHolding(4 * kFolders);
    }
    state.counters["per_rename_4N_over_N"] = small > 0 ? large / small : 0;
}

BENCHMARK(BM_FolderRenameGrowth)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

FM_BENCHMARK_MAIN_WITH_RATIOS({"BM_BurstCapturedVsUncaptured/helper/iterations:5/manual_time",
                               "BM_BurstCapturedVsUncaptured/fanotify/iterations:5/manual_time"})
