// Filter throughput against the straightforward way (upper-case both sides at every comparison,
// scan every entry), and worker delivery throughput into a sink that does nothing.
#include "events/UntEvents.h"
#include "pipeline/UntItemsStackThread.h"

#include "BenchRatio.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace {

std::string listText(const std::vector<std::string>& entries)
{
    std::string text;
    for (const auto& e : entries)
        text += e + "\r\n";
    return text;
}

struct Workload {
    std::vector<std::string> folders, extensions;
    std::vector<TItemObj> events;
    Workload()
    {
        for (int i = 0; i < 100; ++i) {
            folders.push_back("/home/user/project" + std::to_string(i) + "/build/");
            extensions.push_back(".ext" + std::to_string(i));
        }
        std::mt19937 rng(42);
        const char* kinds[] = {".txt", ".ext7", ".cpp", ".ext99", ".o"};
        for (int i = 0; i < 10000; ++i) {
            const int project = static_cast<int>(rng() % 150);
            std::string path = "/home/user/project" + std::to_string(project) + "/src/module" +
                               std::to_string(rng() % 40) + "/file" + std::to_string(i) + kinds[rng() % 5];
            events.emplace_back(std::move(path), "", i % 7 == 0 ? evMkDir : evCreate);
        }
    }
};

const Workload& workload()
{
    static const Workload w;
    return w;
}

// The straightforward filters: every entry compared in order, both sides upper-cased each time.
bool baselinePasses(const TItemObj& item, const std::vector<std::string>& folders, const std::vector<std::string>& exts)
{
    std::string path = item.getItem1();
    if (path.empty() || path.back() != '/')
        path += '/';
    for (const auto& entry : folders) {
        const std::string upperEntry = foldCase(entry);
        const std::string upperPath = foldCase(path);
        if (upperPath.size() >= upperEntry.size() && upperPath.compare(0, upperEntry.size(), upperEntry) == 0)
            return false;
    }
    if (!isFileEvent(item.getEventNum()))
        return true;
    const std::string ext1(extensionPart(item.getItem1(), TPathStyle::Posix));
    const std::string ext2(extensionPart(item.getItem2(), TPathStyle::Posix));
    for (const auto& entry : exts)
        if (foldCase(entry) == foldCase(ext1) || foldCase(entry) == foldCase(ext2))
            return true;
    return false;
}

void BM_FiltersBaseline(benchmark::State& state)
{
    const auto& w = workload();
    std::size_t kept = 0;
    for (auto _ : state)
        for (const auto& e : w.events)
            kept += baselinePasses(e, w.folders, w.extensions);
    benchmark::DoNotOptimize(kept);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * w.events.size()));
}
BENCHMARK(BM_FiltersBaseline)->Unit(benchmark::kMillisecond);

void BM_Filters(benchmark::State& state)
{
    const auto& w = workload();
    TEventFilters filters(TPathStyle::Posix);
    filters.setDirFilters(listText(w.folders));
    filters.setExtFilters(listText(w.extensions));
    std::size_t kept = 0;
    for (auto _ : state)
        for (const auto& e : w.events)
            kept += filters.passes(e);
    benchmark::DoNotOptimize(kept);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * w.events.size()));
}
BENCHMARK(BM_Filters)->Unit(benchmark::kMillisecond);

// Delivery through the worker: batches of 100,000 events into a sink that only counts.
class TCountingSink : public TDeliverySink {
public:
    std::mutex mutex;
    std::condition_variable done;
    long ended = 0;
    long listed = 0;
    void batchStart(int) override {}
    void treeStep(const TItemObj&) override {}
    void listStep(const TItemObj&) override { ++listed; }
    void progress(int) override {}
    void batchEnd(bool) override
    {
        std::lock_guard lock(mutex);
        ++ended;
        done.notify_all();
    }
};

// Wakes the worker only when the benchmark asks, so the measured time is the delivery itself.
class TKickClock : public TBatchClock {
public:
    void waitTick() override
    {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return kicks_ > 0 || interrupted_; });
        if (!interrupted_)
            --kicks_;
    }
    void interrupt() override
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        cv_.notify_all();
    }
    void kick()
    {
        std::lock_guard lock(mutex_);
        ++kicks_;
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int kicks_ = 0;
    bool interrupted_ = false;
};

void BM_WorkerDelivery(benchmark::State& state)
{
    const auto& w = workload();
    TDirectInvoker invoker;
    TCountingSink sink;
    auto clock = std::make_unique<TKickClock>();
    TKickClock* kick = clock.get();
    TItemsStack stack(invoker, sink, std::move(clock), TPathStyle::Posix);
    stack.start();
    constexpr int kBatch = 100000;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TItemObj> batch;
        batch.reserve(kBatch);
        for (int i = 0; i < kBatch; ++i)
            batch.push_back(w.events[i % w.events.size()]);
        state.ResumeTiming();
        stack.addItems(std::move(batch));
        std::unique_lock lock(sink.mutex);
        const long target = sink.ended + 1;
        kick->kick();
        sink.done.wait(lock, [&] { return sink.ended >= target; });
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_WorkerDelivery)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

FM_BENCHMARK_MAIN_WITH_RATIOS({"BM_Filters", "BM_FiltersBaseline"})
