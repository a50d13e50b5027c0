// Fakes and printers shared by the desktop program's tests.
#pragma once

#include "app/UntMain.h"
#include "app/UntSettingsLink.h"
#include "capture/UntCaptureBackend.h"
#include "events/UntEvents.h"
#include "pipeline/UntItemsStackThread.h"
#include "widgets/UntGlassProgressBar.h"
#include "widgets/UntGlassToolButton.h"

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
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
    TViewSettings viewSettings() const override { return view; }
    void saveViewColumns(const TViewSettings& data) override
    {
        view.timeColumn = data.timeColumn;
        view.processColumn = data.processColumn;
        ++viewSaves;
    }

    TViewSettings view; // as config.ini holds them
    int viewSaves = 0;
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

// One line per row of a tree model, in display order: two spaces per depth, text, colour.
inline std::string printTreeModel(const QAbstractItemModel& model)
{
    std::string out;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row, 0);
        const int depth = index.data(kRowDepthRole).toInt();
        out += std::string(2u * static_cast<unsigned>(depth), ' ') + index.data().toString().toStdString() +
               colourName(index.data(Qt::ForegroundRole)).toStdString() + "\n";
    }
    return out;
}

// One line per row: the texts of the first columns (the four of the report unless asked for
// more) separated by " | ", then the row's colour.
inline std::string printListModel(const QAbstractItemModel& model, int columns = 4)
{
    std::string out;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < std::min(columns, model.columnCount()); ++column)
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

// A window with fake capture and settings, its models under the model checks.
struct Window {
    TFakeCapture capture;
    TFakeSettings settings;
    std::unique_ptr<TFrmMain> frm;
    std::unique_ptr<TModelCheck> check;
    std::unique_ptr<QSignalSpy> ended;

    explicit Window(std::function<void(TMainServices&)> adjust = {})
    {
        TMainServices services = capture.services();
        if (adjust)
            adjust(services);
        frm = std::make_unique<TFrmMain>(std::move(services));
        frm->setSettingsWindow(&settings);
        check = std::make_unique<TModelCheck>(*frm);
        ended = std::make_unique<QSignalSpy>(frm.get(), &TFrmMain::programEnd);
    }
    const TFrmMain::TControls& c() const { return frm->controls(); }

    // Presses Record and waits for the monitor thread's first step.
    void record()
    {
        c().tbRecord->click();
        ASSERT_TRUE(waitFor([&] { return frm->recordPicture() == 11 && capture.backend; }));
        ASSERT_TRUE(waitFor([&] { return frm->shellMonitor()->getState() == TMonitorState::Recording; }));
    }
    void stop()
    {
        c().tbRecord->click();
        ASSERT_TRUE(waitFor([&] { return frm->recordPicture() == 8; }));
    }
    // Hands the events to the queue and waits until the worker has delivered them.
    void deliver(std::vector<TItemObj> items)
    {
        const std::size_t rows = frm->eventList().rowCount() + items.size();
        capture.backend->add(std::move(items));
        ASSERT_TRUE(waitFor([&] { return frm->eventList().rowCount() == rows && c().P->isHidden(); }));
    }
};

// Answers the save dialog with *target and keeps what the export said on success.
class TSaveTo final : public TExportUi {
public:
    explicit TSaveTo(const QString* target, QString* success = nullptr) : target_(target), success_(success) {}
    std::optional<QString> askFileName(QWidget*) override { return *target_; }
    void showSuccess(QWidget*, const QString& text) override
    {
        if (success_)
            *success_ = text;
    }
    void showFailure(QWidget*, const QString&) override {}
    void beginProgress(QWidget*, std::size_t, std::function<void()>) override {}
    void showProgress(std::size_t, std::size_t) override {}
    void endProgress() override {}

private:
    const QString* target_;
    QString* success_;
};

inline std::vector<TItemObj> creates(const std::string& folder, int count)
{
    std::vector<TItemObj> items;
    for (int i = 0; i < count; ++i)
        items.emplace_back(folder + "f" + std::to_string(i) + ".txt", "", evCreate);
    return items;
}
