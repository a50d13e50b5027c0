// Fakes and printers shared by the desktop program's tests.
#pragma once

#include "app/UntMain.h"
#include "app/UntSettingsLink.h"
#include "capture/UntCaptureBackend.h"
#include "pipeline/UntItemsStackThread.h"

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QBrush>
#include <QTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A path written POSIX-style in a test ("/a/b.txt") as the program's own platform writes it: the
// same on Linux, on drive C: with backslashes on Windows ("C:\a\b.txt"). Other texts stay.
inline std::string testPath(const std::string& posix)
{
    if (kNativePathStyle != TPathStyle::Windows || posix.empty() || posix.front() != '/')
        return posix;
    std::string native = "C:" + posix;
    for (char& c : native)
        if (c == '/')
            c = '\\';
    return native;
}

// A printed tree written for POSIX paths, whose top node is "/", with the top node of testPath.
inline std::string testTree(const std::string& printed)
{
    if (kNativePathStyle != TPathStyle::Windows || printed.rfind("/\n", 0) != 0)
        return printed;
    return "C:" + printed.substr(1);
}

// The settings window as plain values.
class TFakeSettings final : public TSettingsWindow {
public:
    bool cAutoCapture = false;
    bool cTray = false;
    bool cautoclean = false;
    bool cAutoExpand = true;
    bool recordMode = false;
    int modalShows = 0;

    int driveRowCount() const override { return 0; }
    TDriveRow driveRow(int) const override { return {}; }
    int eventRowCount() const override { return kEventCount; }
    bool eventRowChecked(int) const override { return true; }
    std::string excludedFoldersText() const override { return {}; }
    std::string extensionsText() const override { return {}; }
    bool autoExpand() const override { return cAutoExpand; }
    bool autoClean() const override { return cautoclean; }
    bool autoCapture() const override { return cAutoCapture; }
    bool trayOnClose() const override { return cTray; }
    void setRecordMode(bool recording) override { recordMode = recording; }
    void showModal(QWidget*) override { ++modalShows; }
};

// A capture backend whose events the test hands in; it runs until stopped.
class TFakeBackend final : public TCaptureBackend {
public:
    std::string name() const override { return "fake"; }
    void open(TEventSink& queue) override { queue_ = &queue; }
    bool addWatch(const std::string&, const TEventKinds&) override { return true; }
    void run() override
    {
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [&] { return stop_; });
    }
    void stop() override
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        stopped_.notify_all();
    }
    TCaptureCounters counters() const override
    {
        TCaptureCounters c;
        c.overflows = lost.load();
        c.foldersNotWatched = notWatched.load();
        return c;
    }
    std::vector<std::string> warnings() const override
    {
        std::lock_guard lock(mutex_);
        return notes;
    }
    // Any thread, while the recording runs. The tests' paths arrive in the platform's form.
    void add(std::vector<TItemObj> items)
    {
        for (TItemObj& item : items)
            item = TItemObj(testPath(item.getItem1()), testPath(item.getItem2()), item.getEventNum(), item.getOrigin());
        queue_->addItems(std::move(items));
    }
    void note(const std::string& text)
    {
        std::lock_guard lock(mutex_);
        notes.push_back(text);
    }

    std::atomic<std::uint64_t> lost{0};
    std::atomic<std::uint64_t> notWatched{0};

private:
    TEventSink* queue_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::string> notes;
    std::condition_variable stopped_;
    bool stop_ = false;
};

// Hands each recording a fresh fake backend and keeps a pointer to the latest one (it lives as
// long as its monitor).
struct TFakeCapture {
    TFakeBackend* backend = nullptr;
    int recordings = 0;

    TMainServices services()
    {
        TMainServices s;
        s.backend = [this] {
            auto owned = std::make_unique<TFakeBackend>();
            backend = owned.get();
            ++recordings;
            return TBackendChoice{std::move(owned), "fake: for the tests"};
        };
        s.batchInterval = std::chrono::milliseconds(10);
        s.driveRoots = [] { return std::vector<std::string>{"/"}; };
        s.timeText = [] { return std::string("14:05:09"); };
        s.computerName = "TESTHOST";
        s.trayAvailable = [] { return true; };
        s.confirmExit = [](QWidget*, const QString&) { return false; };
        s.openAddress = [](const std::string&) {};
        return s;
    }
};

inline QString colourName(const QVariant& foreground)
{
    if (!foreground.isValid())
        return {};
    const QColor colour = foreground.value<QBrush>().color();
    if (colour == QColor(0, 0, 255))
        return QStringLiteral(" [blue]");
    if (colour == QColor(255, 0, 0))
        return QStringLiteral(" [red]");
    if (colour == QColor(0, 128, 0))
        return QStringLiteral(" [green]");
    return QStringLiteral(" [") + colour.name() + QStringLiteral("]");
}

// One line per node of an item model, in display order: two spaces per level, text, colour.
inline std::string printTreeModel(const QAbstractItemModel& model, const QModelIndex& parent = {}, int level = 0)
{
    std::string out;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        out += std::string(2u * static_cast<unsigned>(level), ' ') + index.data().toString().toStdString() +
               colourName(index.data(Qt::ForegroundRole)).toStdString() + "\n";
        out += printTreeModel(model, index, level + 1);
    }
    return out;
}

// One line per row: the column texts separated by " | ", then the row's colour.
inline std::string printListModel(const QAbstractItemModel& model)
{
    std::string out;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.index(row, column).data().toString();
        out += cells.join(QStringLiteral(" | ")).toStdString() +
               colourName(model.index(row, 0).data(Qt::ForegroundRole)).toStdString() + "\n";
    }
    return out;
}

// Runs the model checks on every change of both models of a window for as long as it lives.
struct TModelCheck {
    explicit TModelCheck(TFrmMain& window)
        : tree(&window.treeModel(), QAbstractItemModelTester::FailureReportingMode::Fatal),
          list(&window.listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal)
    {
    }
    QAbstractItemModelTester tree;
    QAbstractItemModelTester list;
};

// Waits for a condition while the window thread handles events (real threads and kernel events).
template <class F> bool waitFor(F condition, int milliseconds = 20000)
{
    return QTest::qWaitFor(condition, milliseconds);
}
