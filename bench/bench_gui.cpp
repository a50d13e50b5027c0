// The window under a million events (offscreen): the worker delivering into both views shown side
// by side, with auto-expand on and off, the tree finding children through its index; and the
// same window with a baseline tree that compares every sibling. Figures: events per second, peak
// memory, longest stall of the window thread (wall clock and the thread's own processor time).
//
// Then two measurements of the tools: finding words among a million rows while events keep
// arriving (time to the first answer and to the whole one, against a sort-filter proxy over the
// same list), and a batch of 10,000 deletions under a fully expanded tree of 100,000 nodes with a
// selection and a scroll position, which must survive it.
#include "BenchRatio.h"
#include "BenchWindow.h"
#include "app/UntQtInvoker.h"
#include "events/UntEvents.h"
#include "pipeline/UntItemsStackThread.h"

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QSortFilterProxyModel>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr int kEvents = 1000000;
constexpr int kBlock = 2000;       // events per append of the producer
constexpr int kMostAhead = 250000; // the producer waits when the views are this far behind

// A mix of paths as a desktop produces them: deep project trees, busy download and document
// folders, logs, caches; mostly updates, then creations, deletions, renames and folder changes.
class TWorkload {
public:
    std::vector<TItemObj> make(int count)
    {
        std::vector<TItemObj> events;
        events.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            events.push_back(next(made_++));
        return events;
    }

private:
    std::string folder()
    {
        const int pick = static_cast<int>(rng_() % 100);
        const std::string user = rng_() % 3 == 0 ? "/home/bob/" : "/home/ann/";
        if (pick < 45)
            return user + "projects/p" + std::to_string(rng_() % 40) + "/src/m" + std::to_string(rng_() % 12) + "/";
        if (pick < 60)
            return user + "Downloads/";
        if (pick < 72)
            return user + "Documents/letters/" + std::to_string(2020 + rng_() % 6) + "/";
        if (pick < 82)
            return user + ".cache/thumbnails/c" + std::to_string(rng_() % 64) + "/";
        if (pick < 92)
            return "/var/log/";
        return "/usr/lib/x86_64-linux-gnu/pkg" + std::to_string(rng_() % 200) + "/";
    }
    std::string file()
    {
        static const char* const kExt[] = {".cpp", ".h", ".o", ".txt", ".jpg", ".pdf", ".log", ".so", ".png", ".odt"};
        return "f" + std::to_string(rng_() % 150) + kExt[rng_() % 10];
    }
    TItemObj next(int i)
    {
        const int kind = static_cast<int>(rng_() % 100);
        const std::string where = folder();
        const TEventOrigin origin{std::chrono::system_clock::now(), 4242, "make"};
        if (kind < 55)
            return {where + file(), "", evUpdateFile, origin};
        if (kind < 75)
            return {where + file(), "", evCreate, origin};
        if (kind < 85)
            return {where + file(), "", evDelete, origin};
        if (kind < 90)
            return {where + file(), where + "renamed" + std::to_string(i) + ".txt", evRenameFile, origin};
        if (kind < 95)
            return {where + file(), "", evAttributes, origin};
        if (kind < 99)
            return {where + "new" + std::to_string(rng_() % 30), "", evMkDir, origin};
        return {where.substr(0, where.size() - 1), "", evRmDir, origin};
    }
    std::mt19937 rng_{20261209};
    int made_ = 0;
};

// Runs the worker into the window until every event of the producer was delivered; returns the
// seconds it took.
template <class Tree>
double deliver(TBenchWindow<Tree>& window, TStallMeter& stalls, bool autoExpand,
               const std::function<std::vector<TItemObj>(int)>& make, int count)
{
    TQtInvoker invoker(&window.window());
    TItemsStack worker(invoker, window, std::make_unique<TIntervalClock>(), TPathStyle::Posix);
    worker.setAutoExpand(autoExpand);
    worker.start();
    const long start = window.delivered();
    QElapsedTimer clock;
    clock.start();
    stalls.start();
    std::thread producer([&] {
        for (int at = 0; at < count; at += kBlock) {
            window.waitDelivered(start + at - kMostAhead);
            worker.addItems(make(std::min(kBlock, count - at)));
        }
    });
    QEventLoop loop;
    qint64 lastTrace = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.delivered() >= start + count)
            loop.quit();
        if (std::getenv("FM_BENCH_TRACE") && clock.elapsed() / 1000 != lastTrace) {
            lastTrace = clock.elapsed() / 1000;
            std::fprintf(stderr, "%llds: %ld delivered, longest stall %lld ms\n", lastTrace, window.delivered() - start,
                         static_cast<long long>(stalls.longestMs()));
        }
    });
    poll.start(5);
    loop.exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    stalls.stop();
    producer.join();
    invoker.close();
    worker.terminate();
    worker.wait();
    return seconds;
}

// The same for events made beforehand, in their order.
template <class Tree>
double deliverAll(TBenchWindow<Tree>& window, TStallMeter& stalls, const std::vector<TItemObj>& events)
{
    std::size_t next = 0;
    return deliver(
        window, stalls, true,
        [&](int n) {
            const auto from = events.begin() + static_cast<long>(next);
            next += static_cast<std::size_t>(n);
            return std::vector<TItemObj>(from, from + n);
        },
        static_cast<int>(events.size()));
}

template <class Tree> void runWindow(benchmark::State& state)
{
    const bool autoExpand = state.range(0) != 0;
    for (auto _ : state) {
        // Made while they are fed, so the figure is the program's memory, not the input's.
        TWorkload workload;
        resetPeakMemory();
        const long startKb = procStatusKb("VmRSS");
        TBenchWindow<Tree> window(autoExpand);
        TStallMeter stalls;
        const double seconds = deliver(
            window, stalls, autoExpand, [&](int n) { return workload.make(n); }, kEvents);
        state.SetIterationTime(seconds);
        state.counters["events_per_s"] = kEvents / seconds;
        state.counters["peak_MB"] = static_cast<double>(procStatusKb("VmHWM")) / 1024.0;
        state.counters["stall_ms"] = static_cast<double>(stalls.longestMs());
        state.counters["stall_cpu_ms"] = stalls.longestCpuMs();
        state.counters["rows"] = window.views().treeRows().rowCount();
        if constexpr (std::is_same_v<Tree, TEventTree>) {
            // What one event costs: the process's growth, and the views' own count.
            state.counters["B_per_event"] =
                static_cast<double>(procStatusKb("VmHWM") - startKb) * 1024.0 / static_cast<double>(kEvents);
            state.counters["kept_B_per_event"] =
                static_cast<double>(procStatusKb("VmRSS") - startKb) * 1024.0 / static_cast<double>(kEvents);
            state.counters["views_B_per_event"] =
                static_cast<double>(window.views().memoryBytes()) / static_cast<double>(kEvents);
        }
    }
}

void BM_Window(benchmark::State& state)
{
    runWindow<TEventTree>(state);
}
void BM_WindowLinearBaseline(benchmark::State& state)
{
    runWindow<TLinearTree>(state);
}
BENCHMARK(BM_Window)
    ->ArgName("autoexpand")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowLinearBaseline)
    ->ArgName("autoexpand")
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A million rows in the window, then words to find while events keep arriving: the time until
// the first rows are shown, until every row was judged, and the longest slice of the window
// thread. The peer filters the same list model with a sort-filter proxy, in one go.
void BM_FindMillionRows(benchmark::State& state)
{
    for (auto _ : state) {
        TWorkload workload;
        TBenchWindow<TEventTree> window(true);
        TStallMeter stalls;
        deliver(
            window, stalls, true, [&](int n) { return workload.make(n); }, kEvents);
        auto& views = window.views();

        const TFindWords words("downloads .pdf");
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = threadCpuMs();
        stalls.start();
        views.setFindWords(words);
        double firstAnswer = -1;
        qint64 longestSlice = 0;
        int arrived = 0;
        for (bool done = false; !done;) {
            QElapsedTimer slice;
            slice.start();
            done = views.stepFind(TEventViews::TClock::now() + std::chrono::milliseconds(8));
            longestSlice = std::max(longestSlice, slice.elapsed());
            if (firstAnswer < 0 && views.listRows().rowCount() > 0)
                firstAnswer = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            // Events keep arriving while the scan runs: a chunk between slices.
            for (const TItemObj& item : workload.make(200)) {
                views.prepare(item);
                views.addTreeEvent(item);
                views.addListEvent(item);
            }
            arrived += 200;
            QCoreApplication::processEvents();
        }
        const double fullAnswer = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const double fullAnswerCpu = threadCpuMs() - cpuStart;
        stalls.stop();
        const int found = views.listRows().rowCount();

        // Each view's scan alone, without events arriving: the processor time it takes.
        views.setFindWords({});
        views.setFindWords(words);
        double cpu = threadCpuMs();
        while (!views.treeRows().stepFind(TEventViews::TClock::now() + std::chrono::milliseconds(8))) {
        }
        const double treeScanCpu = threadCpuMs() - cpu;
        cpu = threadCpuMs();
        while (!views.listRows().stepFind(TEventViews::TClock::now() + std::chrono::milliseconds(8))) {
        }
        const double listScanCpu = threadCpuMs() - cpu;

        // The peer: one blocking filter over the same list.
        views.setFindWords({});
        QSortFilterProxyModel proxy;
        proxy.setSourceModel(&views.listModel());
        proxy.setFilterKeyColumn(-1);
        proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
        QElapsedTimer peer;
        peer.start();
        proxy.setFilterFixedString(QStringLiteral("Downloads"));
        const int proxyRows = proxy.rowCount(); // the proxy filters when first asked
        const double peerMs = static_cast<double>(peer.nsecsElapsed()) / 1e6;

        state.SetIterationTime(fullAnswer / 1e3);
        state.counters["first_answer_ms"] = firstAnswer;
        state.counters["full_answer_ms"] = fullAnswer;
        state.counters["full_answer_cpu_ms"] = fullAnswerCpu;
        state.counters["tree_scan_cpu_ms"] = treeScanCpu;
        state.counters["list_scan_cpu_ms"] = listScanCpu;
        state.counters["longest_slice_ms"] = static_cast<double>(longestSlice);
        state.counters["stall_ms"] = static_cast<double>(stalls.longestMs());
        state.counters["rows_found"] = found;
        state.counters["arrived_meanwhile"] = arrived;
        state.counters["proxy_filter_ms"] = peerMs;
        state.counters["proxy_rows"] = proxyRows;
    }
}
BENCHMARK(BM_FindMillionRows)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// 100,000 nodes, all open, the view scrolled to the middle with three rows selected; then 200
// folders are removed as a recursive delete reports them (each file's deletion, then the
// folder's), 10,000 events through the worker. The view must keep its top row, its selection and
// every other open node.
template <class Tree> void runDeletions(benchmark::State& state)
{
    constexpr int kFolders = 2000;
    constexpr int kFiles = 49;
    for (auto _ : state) {
        TBenchWindow<Tree> window(true);
        TStallMeter stalls;
        const auto folderPath = [](int f) { return "/data/d" + std::to_string(10000 + f); };
        std::vector<TItemObj> fill;
        for (int f = 0; f < kFolders; ++f)
            for (int i = 0; i < kFiles; ++i)
                fill.emplace_back(folderPath(f) + "/file" + std::to_string(i) + ".txt", "", evCreate);
        deliverAll(window, stalls, fill);

        auto& views = window.views();
        auto& model = views.treeModel();
        TTreeRowsView& view = window.treeView();
        const auto nodeOf = [&](int f) {
            TNodeId at = views.tree().child(views.tree().child(kNoNode, 0), 0);
            return views.tree().child(at, f);
        };
        // Every tenth folder goes, spread over the tree: above, inside and below the rows shown.
        std::set<int> removed;
        for (int f = 5; f < kFolders && removed.size() < 200; f += 10)
            removed.insert(f);
        view.scrollTo(model.indexOf(nodeOf(1003)), QAbstractItemView::PositionAtTop);
        QCoreApplication::processEvents();
        const TNodeId top = TTreeItemModel::nodeOf(view.indexAt({1, 1}));
        const std::vector<TNodeId> selected = {nodeOf(1001), nodeOf(1004), nodeOf(1500)};
        for (TNodeId id : selected)
            view.selectionModel()->select(model.indexOf(id), QItemSelectionModel::Select);
        views.treeRows().setOpen(nodeOf(1002), false);

        std::vector<TItemObj> deletions;
        for (int f : removed) {
            for (int i = 0; i < kFiles; ++i)
                deletions.emplace_back(folderPath(f) + "/file" + std::to_string(i) + ".txt", "", evDelete);
            deletions.emplace_back(folderPath(f), "", evRmDir);
        }
        const double cpuBefore = window.batchCpuMs();
        const double seconds = deliverAll(window, stalls, deletions);
        QCoreApplication::processEvents();

        bool keptSelection = view.selectionModel()->selectedIndexes().size() == static_cast<int>(selected.size());
        for (TNodeId id : selected)
            keptSelection = keptSelection && view.selectionModel()->isSelected(model.indexOf(id));
        bool keptExpansion = !views.treeRows().isOpen(nodeOf(1002));
        for (int f = 0; f < kFolders; ++f)
            if (f != 1002 && !removed.count(f))
                keptExpansion = keptExpansion && views.treeRows().isOpen(nodeOf(f));
        // The wall clock includes the worker's one-second wait for the batch; the window's work is
        // its thread's processor time while the batch was delivered.
        const double windowMs = window.batchCpuMs() - cpuBefore;
        state.SetIterationTime(windowMs / 1e3);
        state.counters["window_cpu_ms"] = windowMs;
        state.counters["wall_ms"] = seconds * 1e3;
        state.counters["stall_ms"] = static_cast<double>(stalls.longestMs());
        state.counters["stall_cpu_ms"] = stalls.longestCpuMs();
        state.counters["kept_scroll"] = TTreeItemModel::nodeOf(view.indexAt({1, 1})) == top ? 1 : 0;
        state.counters["kept_selection"] = keptSelection ? 1 : 0;
        state.counters["kept_expansion"] = keptExpansion ? 1 : 0;
        state.counters["rows"] = model.rowCount();
    }
}

void BM_DeleteUnderExpandedTree(benchmark::State& state)
{
    runDeletions<TEventTree>(state);
}
void BM_DeleteUnderExpandedTreeLinearBaseline(benchmark::State& state)
{
    runDeletions<TLinearTree>(state);
}
BENCHMARK(BM_DeleteUnderExpandedTree)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteUnderExpandedTreeLinearBaseline)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter(std::vector<std::pair<std::string, std::string>>{
        {"BM_Window/autoexpand:1/iterations:1/manual_time",
         "BM_WindowLinearBaseline/autoexpand:1/iterations:1/manual_time"},
        {"BM_Window/autoexpand:0/iterations:1/manual_time",
         "BM_WindowLinearBaseline/autoexpand:1/iterations:1/manual_time"},
        {"BM_DeleteUnderExpandedTree/iterations:1/manual_time",
         "BM_DeleteUnderExpandedTreeLinearBaseline/iterations:1/manual_time"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
