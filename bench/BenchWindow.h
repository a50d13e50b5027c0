// The window's share of the work as the main window does it, for the window benchmark: the two
// views of TEventViews shown side by side in a window of the design size, fed by a TDeliverySink
// as the main window feeds them (prepared events, tree step, list rows per hand-off, progress
// bar), and a heartbeat that measures how long the window thread stays away from its loop.
#pragma once

#include "BenchLinearTree.h"
#include "app/UntAppServices.h"
#include "app/UntEventViews.h"
#include "pipeline/UntDeliverySink.h"
#include "pipeline/UntTreeRowsImpl.h"
#include "widgets/UntGlassProgressBar.h"
#include "widgets/UntTreeRowsView.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QTimer>
#include <QWidget>

#include <malloc.h>
#include <time.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>

template class TTreeRowsOf<TLinearTree>;

inline long procStatusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return 0;
}

// Frees what earlier runs left and starts the peak of the resident set afresh.
inline void resetPeakMemory()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

inline double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The longest time the window thread did not come back to its event loop, on the wall clock and
// on the thread's own processor time (what the window's work costs, without the time other
// processes of a busy machine took the processor away).
class TStallMeter {
public:
    TStallMeter()
    {
        beat_.setTimerType(Qt::PreciseTimer);
        beat_.setInterval(1);
        QObject::connect(&beat_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, sinceBeat_.restart());
            const double cpu = threadCpuMs();
            longestCpu_ = std::max(longestCpu_, cpu - lastCpu_);
            lastCpu_ = cpu;
        });
    }
    void start()
    {
        longest_ = 0;
        longestCpu_ = 0;
        lastCpu_ = threadCpuMs();
        sinceBeat_.start();
        beat_.start();
    }
    void stop() { beat_.stop(); }
    qint64 longestMs() const { return longest_; }
    double longestCpuMs() const { return longestCpu_; }

private:
    QTimer beat_;
    QElapsedTimer sinceBeat_;
    qint64 longest_ = 0;
    double lastCpu_ = 0;
    double longestCpu_ = 0;
};

template <class Tree> class TBenchWindow final : public TDeliverySink {
public:
    explicit TBenchWindow(bool autoExpand) : icons_(std::make_shared<TRegistryIconSource>()), views_(makeViews())
    {
        views_->treeRows().setOpenNewNodes(autoExpand);
        views_->setRowsAdded([this](std::size_t rows) {
            {
                std::lock_guard lock(mutex_);
                delivered_ += static_cast<long>(rows);
            }
            progressed_.notify_all();
        });
        // The main window's rectangle, both views shown side by side, the bar below.
        treeView_ = new TTreeRowsView(&window_);
        treeView_->setGeometry(4, 76, 312, 258);
        treeView_->setIndentation(19);
        treeView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
        treeView_->setModel(&views_->treeModel());
        listView_ = new TListRowsView(&window_);
        listView_->setGeometry(320, 76, 311, 258);
        listView_->verticalHeader()->hide();
        listView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        listView_->setModel(&views_->listModel());
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
    TEventViewsOf<Tree>& views() { return *views_; }
    TTreeRowsView& treeView() { return *treeView_; }
    long delivered() const
    {
        std::lock_guard lock(mutex_);
        return delivered_;
    }
    // Any thread: blocks until at least target events were delivered.
    void waitDelivered(long target)
    {
        std::unique_lock lock(mutex_);
        progressed_.wait(lock, [&] { return delivered_ >= target; });
    }

    void prepare(const TItemObj& item) override { views_->prepare(item); }
    // The window thread's processor time from the start to the end of each batch, summed: the
    // window's work for the batches, without the wait between them.
    double batchCpuMs() const { return batchCpuMs_; }

    void batchStart(int count) override
    {
        batchStartCpu_ = threadCpuMs();
        barClock_.start();
        bar_->setMax(count);
        bar_->show();
    }
    void treeStep(const TItemObj& item) override { views_->addTreeEvent(item); }
    void listStep(const TItemObj& item) override { views_->addListEvent(item); }
    void progress(int position) override
    {
        if (barClock_.hasExpired(40)) {
            bar_->setPosition(position);
            barClock_.restart();
        }
    }
    void batchEnd(bool autoExpand) override
    {
        views_->flushRows();
        views_->treeRows().setOpenNewNodes(autoExpand);
        bar_->hide();
        bar_->setPosition(0);
        batchCpuMs_ += threadCpuMs() - batchStartCpu_;
    }

private:
    std::unique_ptr<TEventViewsOf<Tree>> makeViews()
    {
        if constexpr (std::is_same_v<Tree, TEventTree>)
            return std::make_unique<TEventViewsOf<Tree>>(icons_, TPathStyle::Posix, icons_, TPathStyle::Posix,
                                                         longTimeText);
        else
            return std::make_unique<TEventViewsOf<Tree>>(icons_, TPathStyle::Posix, icons_, longTimeText);
    }

    QWidget window_;
    std::shared_ptr<TRegistryIconSource> icons_;
    std::unique_ptr<TEventViewsOf<Tree>> views_;
    TTreeRowsView* treeView_;
    TListRowsView* listView_;
    TGlassProgressBar* bar_;
    QElapsedTimer barClock_;
    double batchStartCpu_ = 0;
    double batchCpuMs_ = 0;
    long delivered_ = 0; // guarded by mutex_
    mutable std::mutex mutex_;
    std::condition_variable progressed_;
};
