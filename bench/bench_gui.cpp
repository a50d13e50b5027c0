// One million events through the worker into both item models and both views (offscreen), the
// tree finding children through its index, against a baseline tree that compares every sibling.
// Figures: events per second, peak memory of the process, longest stall of the window thread.
#include "app/UntAppServices.h"
#include "app/UntQtInvoker.h"
#include "app/UntViewModels.h"
#include "events/UntEvents.h"
#include "pipeline/UntItemsStackThread.h"
#include "widgets/UntGlassProgressBar.h"

#include "BenchLinearTree.h"
#include "BenchRatio.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <time.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kEvents = 1000000;
constexpr int kBlock = 2000;       // events per append of the producer
constexpr int kMostAhead = 100000; // the producer waits when the views are this far behind

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
        if (kind < 55)
            return {where + file(), "", evUpdateFile};
        if (kind < 75)
            return {where + file(), "", evCreate};
        if (kind < 85)
            return {where + file(), "", evDelete};
        if (kind < 90)
            return {where + file(), where + "renamed" + std::to_string(i) + ".txt", evRenameFile};
        if (kind < 95)
            return {where + file(), "", evAttributes};
        if (kind < 99)
            return {where + "new" + std::to_string(rng_() % 30), "", evMkDir};
        return {where.substr(0, where.size() - 1), "", evRmDir};
    }
    std::mt19937 rng_{20261209};
    int made_ = 0;
};

long procStatusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return 0;
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void resetPeakMemory()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The window's share of the work, as the main window does it: tree step, list rows gathered per
// chunk, progress bar, expansion after each batch; both views in a shown window.
template <class Tree> class TBenchWindow final : public TDeliverySink {
public:
    TBenchWindow()
        : icons_(std::make_shared<TRegistryIconSource>()), tree_(makeTree()), list_(icons_, TPathStyle::Posix),
          treeModel_(tree_), listModel_(list_)
    {
        // The main window's rectangle: the tree shown, the list behind it, the bar below.
        treeView_ = new QTreeView(&window_);
        treeView_->setGeometry(4, 76, 627, 258);
        treeView_->setHeaderHidden(true);
        treeView_->setUniformRowHeights(true);
        treeView_->setModel(&treeModel_);
        listView_ = new QTableView(&window_);
        listView_->setGeometry(4, 76, 627, 258);
        listView_->verticalHeader()->hide();
        listView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        listView_->setModel(&listModel_);
        listView_->hide();
        bar_ = new TGlassProgressBar(&window_);
        bar_->setGeometry(4, 338, 627, 9);
        window_.resize(635, 351);
        window_.show();
    }
    ~TBenchWindow() override
    {
        delete treeView_;
        delete listView_;
    }

    QWidget& window() { return window_; }
    long delivered() const { return delivered_.load(); }
    // Producer thread: blocks until the views are at most ahead events behind.
    void waitDelivered(long target)
    {
        std::unique_lock lock(mutex_);
        progressed_.wait(lock, [&] { return delivered_.load() >= target; });
    }
    std::size_t nodes() const { return tree_.nodeCount(); }

    void batchStart(int count) override
    {
        treeModel_.setDeferred(true);
        publishClock_.start();
        barClock_.start();
        bar_->setMax(count);
        bar_->show();
    }
    void treeStep(const TItemObj& item) override
    {
        tree_.addDirectoryFile(item.getItem1(), item.getItem2(), item.getEventNum());
    }
    void listStep(const TItemObj& item) override
    {
        pending_.push_back(item);
        if (!flushPosted_) {
            flushPosted_ = true;
            QMetaObject::invokeMethod(
                &window_, [this] { flush(); }, Qt::QueuedConnection);
        }
    }
    void progress(int position) override
    {
        if (barClock_.hasExpired(40)) {
            bar_->setPosition(position);
            barClock_.restart();
        }
        if (publishClock_.hasExpired(1000)) {
            treeModel_.publish();
            publishClock_.restart();
        }
    }
    void batchEnd(bool autoExpand) override
    {
        flush();
        treeModel_.setDeferred(false);
        bar_->hide();
        bar_->setPosition(0);
        if (autoExpand)
            treeView_->expandAll();
        treeView_->viewport()->update();
    }

private:
    Tree makeTree()
    {
        if constexpr (std::is_same_v<Tree, TEventTree>)
            return Tree(icons_, TPathStyle::Posix, longTimeText);
        else
            return Tree(icons_, longTimeText);
    }
    void flush()
    {
        flushPosted_ = false;
        if (pending_.empty())
            return;
        list_.addListItems(pending_);
        {
            std::lock_guard lock(mutex_);
            delivered_.fetch_add(static_cast<long>(pending_.size()));
        }
        progressed_.notify_all();
        pending_.clear();
    }

    std::shared_ptr<TRegistryIconSource> icons_;
    Tree tree_;
    TEventList list_;
    TTreeModelOf<Tree> treeModel_;
    TListItemModel listModel_;
    QWidget window_;
    QTreeView* treeView_;
    QTableView* listView_;
    TGlassProgressBar* bar_;
    std::vector<TItemObj> pending_;
    bool flushPosted_ = false;
    QElapsedTimer publishClock_;
    QElapsedTimer barClock_;
    std::atomic<long> delivered_{0};
    std::mutex mutex_;
    std::condition_variable progressed_;
};

template <class Tree> void runWindow(benchmark::State& state)
{
    for (auto _ : state) {
        // Made while they are fed, so the figure is the program's memory, not the input's.
        TWorkload workload;
        resetPeakMemory();
        TBenchWindow<Tree> window;
        TQtInvoker invoker(&window.window());
        TItemsStack worker(invoker, window, std::make_unique<TIntervalClock>(), TPathStyle::Posix);
        worker.setAutoExpand(true);
        worker.start();

        // The longest time the window thread did not come back to its event loop.
        QElapsedTimer sinceBeat;
        qint64 longestStall = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(1);
        // The same on the thread's own processor time: what the window's work costs, without the
        // time other processes on a busy machine took the processor away.
        double lastCpu = threadCpuMs();
        double longestCpuStall = 0;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            longestStall = std::max(longestStall, sinceBeat.restart());
            const double cpu = threadCpuMs();
            longestCpuStall = std::max(longestCpuStall, cpu - lastCpu);
            lastCpu = cpu;
        });

        QElapsedTimer clock;
        clock.start();
        sinceBeat.start();
        heartbeat.start();
        std::atomic<bool> producing{true};
        std::thread producer([&] {
            for (int at = 0; at < kEvents; at += kBlock) {
                window.waitDelivered(at - kMostAhead);
                worker.addItems(workload.make(std::min(kBlock, kEvents - at)));
            }
            producing = false;
        });
        QEventLoop loop;
        qint64 lastTrace = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!producing && window.delivered() >= kEvents)
                loop.quit();
            if (std::getenv("FM_BENCH_TRACE") && clock.elapsed() / 1000 != lastTrace) {
                lastTrace = clock.elapsed() / 1000;
                std::fprintf(stderr, "%llds: %ld delivered, %zu nodes, longest stall %lld ms\n", lastTrace,
                             window.delivered(), window.nodes(), static_cast<long long>(longestStall));
            }
        });
        poll.start(5);
        loop.exec();
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        heartbeat.stop();
        producer.join();
        invoker.close();
        worker.terminate();
        worker.wait();

        state.SetIterationTime(seconds);
        state.counters["events_per_s"] = kEvents / seconds;
        state.counters["peak_MB"] = static_cast<double>(procStatusKb("VmHWM")) / 1024.0;
        state.counters["stall_ms"] = static_cast<double>(longestStall);
        state.counters["stall_cpu_ms"] = longestCpuStall;
        state.counters["nodes"] = static_cast<double>(window.nodes());
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
BENCHMARK(BM_Window)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowLinearBaseline)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter(std::vector<std::pair<std::string, std::string>>{
        {"BM_Window/iterations:1/manual_time", "BM_WindowLinearBaseline/iterations:1/manual_time"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
