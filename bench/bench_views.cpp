// Feeds a million synthetic events into the event tree and list and compares them with a
// plain baseline: a tree that searches siblings linearly and a list that keeps four strings
// per row. Reports events per processor second and the peak resident set of each run.
#include "BenchLinearTree.h"
#include "events/UntEvents.h"
#include "pipeline/UntEventList.h"
#include "pipeline/UntEventTree.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kEvents = 1'000'000;
constexpr const char* kTime = "12:00:00";

// A deterministic mix: deep project trees, one folder with many files, a hot set of
// repeatedly updated files, and some deletes, renames and removed directories.
class TEventSource {
public:
    explicit TEventSource(std::uint64_t seed = 42) : random_(seed) {}

    // Fills path, newPath and eventNum for the next event.
    void next(std::string& path, std::string& newPath, int& eventNum)
    {
        newPath.clear();
        const unsigned pick = roll(100);
        if (pick < 50) {
            deepFile(path);
            eventNum = roll(4) == 0 ? evUpdateFile : evCreate;
        } else if (pick < 60) {
            path = "/var/log/big/entry" + std::to_string(roll(20000)) + ".log";
            eventNum = evCreate;
        } else if (pick < 85) {
            path = "/home/user0/hot/cache" + std::to_string(roll(1000)) + ".tmp";
            eventNum = evUpdateFile;
        } else if (pick < 93) {
            deepFile(path);
            eventNum = evDelete;
        } else if (pick < 98) {
            deepFile(path);
            newPath = path + ".bak";
            eventNum = evRenameFile;
        } else {
            path = "/home/user" + std::to_string(roll(8)) + "/projects/p" + std::to_string(roll(50)) + "/src/m" +
                   std::to_string(roll(20)) + "/sub" + std::to_string(roll(10));
            eventNum = evRmDir;
        }
    }

private:
    unsigned roll(unsigned n) { return static_cast<unsigned>(random_() % n); }
    void deepFile(std::string& path)
    {
        path = "/home/user" + std::to_string(roll(8)) + "/projects/p" + std::to_string(roll(50)) + "/src/m" +
               std::to_string(roll(20)) + "/sub" + std::to_string(roll(10)) + "/file" + std::to_string(roll(200)) +
               ".cpp";
    }
    std::mt19937_64 random_;
};

// The baseline list: the four column texts stored as strings.
class TStringList {
public:
    void addListItem(std::string_view a, std::string_view b, int eventNum)
    {
        const std::string_view name = fileNamePart(a, TPathStyle::Posix);
        rows_.push_back({std::string(isBlank(a)      ? "-"
                                     : isBlank(name) ? a
                                                     : name),
                         std::string(isBlank(b) ? "-" : fileNamePart(b, TPathStyle::Posix)), getEventName(eventNum),
                         std::string(folderPart(a, TPathStyle::Posix)), 0, 0, listMarkOf(eventNum)});
    }
    std::size_t rowCount() const { return rows_.size(); }

private:
    struct TRow {
        std::string from, to, action, workPath;
        int rowIcon, pathIcon, mark;
    };
    std::vector<TRow> rows_;
};

long statusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::stol(line.substr(key.size()));
    return 0;
}

// Starts a fresh peak: returns freed heap to the system and resets VmHWM.
void resetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct TFigures {
    double seconds = 0;
    double peakMiB = 0;
};
std::map<std::string, TFigures>& figures()
{
    static std::map<std::string, TFigures> all;
    return all;
}

template <typename Feed> void runFeed(benchmark::State& state, const char* name, Feed feed)
{
    for (auto _ : state) {
        resetPeak();
        const double before = statusKiB("VmRSS") / 1024.0;
        // Processor time of this process: the build machines are shared, wall time is noise.
        const std::clock_t start = std::clock();
        const std::size_t size = feed();
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        const double peak = statusKiB("VmHWM") / 1024.0;
        state.SetIterationTime(seconds);
        state.counters["events/s"] = kEvents / seconds;
        state.counters["peak_MiB"] = peak;
        state.counters["growth_MiB"] = peak - before;
        state.counters["entries"] = static_cast<double>(size);
        figures()[name] = {seconds, peak - before};
    }
}

template <typename Step> void feedEvents(Step step)
{
    TEventSource source;
    std::string path, newPath;
    int eventNum = 0;
    for (int i = 0; i < kEvents; ++i) {
        source.next(path, newPath, eventNum);
        step(path, newPath, eventNum);
    }
}

bool isTreeEvent(int n)
{
    return n == evCreate || n == evDelete || n == evMkDir || n == evRenameFolder || n == evRenameFile || n == evRmDir ||
           n == evUpdateDir || n == evUpdateFile;
}

void BM_GenerateOnly(benchmark::State& state)
{
    runFeed(state, "generate", [] {
        std::size_t total = 0;
        feedEvents([&](const std::string& p, const std::string&, int) { total += p.size(); });
        benchmark::DoNotOptimize(total);
        return std::size_t{0};
    });
}

void BM_TreeIndexed(benchmark::State& state)
{
    runFeed(state, "tree indexed", [] {
        TEventTree tree(nullptr, TPathStyle::Posix, [] { return std::string(kTime); });
        feedEvents([&](const std::string& p, const std::string& q, int n) { tree.addDirectoryFile(p, q, n); });
        return tree.nodeCount();
    });
}

void BM_TreeLinear(benchmark::State& state)
{
    runFeed(state, "tree linear", [] {
        TLinearTree tree(std::make_shared<TNullIconSource>(), [] { return std::string(kTime); });
        feedEvents([&](const std::string& p, const std::string& q, int n) { tree.addDirectoryFile(p, q, n); });
        return tree.nodeCount();
    });
}

void BM_ListCompact(benchmark::State& state)
{
    runFeed(state, "list compact", [] {
        TEventList list(nullptr, TPathStyle::Posix);
        feedEvents([&](const std::string& p, const std::string& q, int n) { list.addListItem(p, q, n); });
        return list.rowCount();
    });
}

void BM_ListFourStrings(benchmark::State& state)
{
    runFeed(state, "list strings", [] {
        TStringList list;
        feedEvents([&](const std::string& p, const std::string& q, int n) { list.addListItem(p, q, n); });
        return list.rowCount();
    });
}

void BM_TreeAndList(benchmark::State& state)
{
    runFeed(state, "tree+list", [] {
        TEventTree tree(nullptr, TPathStyle::Posix, [] { return std::string(kTime); });
        TEventList list(nullptr, TPathStyle::Posix);
        feedEvents([&](const std::string& p, const std::string& q, int n) {
            if (isTreeEvent(n))
                tree.addDirectoryFile(p, q, n);
            list.addListItem(p, q, n);
        });
        return tree.nodeCount() + list.rowCount();
    });
}

void BM_TreeAndListBaseline(benchmark::State& state)
{
    runFeed(state, "baseline tree+list", [] {
        TLinearTree tree(std::make_shared<TNullIconSource>(), [] { return std::string(kTime); });
        TStringList list;
        feedEvents([&](const std::string& p, const std::string& q, int n) {
            if (isTreeEvent(n))
                tree.addDirectoryFile(p, q, n);
            list.addListItem(p, q, n);
        });
        return tree.nodeCount() + list.rowCount();
    });
}

#define VIEWS_BENCH(fn) BENCHMARK(fn)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond)
VIEWS_BENCH(BM_GenerateOnly);
VIEWS_BENCH(BM_TreeIndexed);
VIEWS_BENCH(BM_TreeLinear);
VIEWS_BENCH(BM_ListCompact);
VIEWS_BENCH(BM_ListFourStrings);
VIEWS_BENCH(BM_TreeAndList);
VIEWS_BENCH(BM_TreeAndListBaseline);

void printRatio(const char* what, const char* ours, const char* base)
{
    const auto& all = figures();
    if (!all.contains(ours) || !all.contains(base))
        return;
    const TFigures& a = all.at(ours);
    const TFigures& b = all.at(base);
    std::printf("%-10s speed x%.2f of baseline, memory growth %.0f MiB vs %.0f MiB (x%.2f)\n", what,
                b.seconds / a.seconds, a.peakMiB, b.peakMiB, b.peakMiB > 0 ? a.peakMiB / b.peakMiB : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatio("tree", "tree indexed", "tree linear");
    printRatio("list", "list compact", "list strings");
    printRatio("tree+list", "tree+list", "baseline tree+list");
    return 0;
}
