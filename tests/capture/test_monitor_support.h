// Fakes around the monitor thread: an invoker that marks its steps, settings and a view that
// record every call, a sink that collects what the worker delivers.
#pragma once

#include "monitor/UntShellMonitorThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// One ordered log shared by the fakes, so tests can check what happened before what.
class TCallLog {
public:
    void add(std::string entry)
    {
        {
            std::lock_guard lock(mutex_);
            entries_.push_back(std::move(entry));
        }
        changed_.notify_all();
    }
    std::vector<std::string> entries() const
    {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    // Index of the first entry equal to text, or -1.
    int indexOf(const std::string& text) const
    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i] == text)
                return static_cast<int>(i);
        return -1;
    }
    bool waitFor(const std::string& text)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] {
            for (const auto& entry : entries_)
                if (entry == text)
                    return true;
            return false;
        });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> entries_;
};

inline thread_local bool tlInStep = false;

// The user-interface thread of the tests: steps run under a lock, marked; it can close itself
// after a number of steps, as a program that exits does.
class TMarkingInvoker final : public TSyncInvoker {
public:
    void synchronize(const std::function<void()>& step) override
    {
        std::lock_guard lock(mutex_);
        if (closeAfter_ >= 0 && steps_ >= closeAfter_)
            throw TSyncClosed();
        ++steps_;
        tlInStep = true;
        try {
            step();
        } catch (...) {
            tlInStep = false;
            throw;
        }
        tlInStep = false;
    }
    int steps() const
    {
        std::lock_guard lock(mutex_);
        return steps_;
    }
    void closeAfter(int steps)
    {
        std::lock_guard lock(mutex_);
        closeAfter_ = steps;
    }

private:
    mutable std::mutex mutex_;
    int steps_ = 0;
    int closeAfter_ = -1;
};

class TFakeSettings final : public TMonitorSettings {
public:
    explicit TFakeSettings(TCallLog& log) : log_(log) {}
    std::vector<TDriveRow> drives;
    std::vector<bool> events;
    std::string folders;
    std::string extensions;
    bool expand = false;
    bool clean = false;
    mutable int readsOutsideSteps = 0;

    int driveRowCount() const override { return note("driveRowCount"), static_cast<int>(drives.size()); }
    TDriveRow driveRow(int index) const override { return note("driveRow " + std::to_string(index)), drives.at(index); }
    int eventRowCount() const override { return note("eventRowCount"), static_cast<int>(events.size()); }
    bool eventRowChecked(int index) const override
    {
        return note("eventRow " + std::to_string(index)), events.at(index);
    }
    std::string excludedFoldersText() const override { return note("folders"), folders; }
    std::string extensionsText() const override { return note("extensions"), extensions; }
    bool autoExpand() const override { return note("autoExpand"), expand; }
    bool autoClean() const override { return note("autoClean"), clean; }

private:
    void note(const std::string& what) const
    {
        if (!tlInStep)
            ++readsOutsideSteps;
        log_.add("settings " + what);
    }
    TCallLog& log_;
};

class TFakeView final : public TMonitorView {
public:
    explicit TFakeView(TCallLog& log) : log_(log) {}
    int changesOutsideSteps = 0;
    void showState(TRecordingState state) override
    {
        note(state == TRecordingState::Recording ? "view recording"
             : state == TRecordingState::Paused  ? "view paused"
                                                 : "view idle");
    }
    void clearViews() override { note("view cleared"); }

private:
    void note(const std::string& what)
    {
        if (!tlInStep)
            ++changesOutsideSteps;
        log_.add(what);
    }
    TCallLog& log_;
};

// Collects the list steps and notes the end of each batch in the log.
class TCollectingSink final : public TDeliverySink {
public:
    explicit TCollectingSink(TCallLog* log = nullptr) : log_(log) {}
    std::string failOn; // the list step of an event with this first path throws; set before delivery

    void batchStart(int) override {}
    void treeStep(const TItemObj&) override {}
    void listStep(const TItemObj& item) override
    {
        if (!failOn.empty() && item.getItem1() == failOn)
            throw std::runtime_error("view step failed");
        {
            std::lock_guard lock(mutex_);
            items_.push_back(item);
        }
        changed_.notify_all();
    }
    void progress(int) override {}
    void batchEnd(bool) override
    {
        if (log_)
            log_->add("sink batch end");
    }
    std::vector<TItemObj> items() const
    {
        std::lock_guard lock(mutex_);
        return items_;
    }
    // Waits (for real kernel events, with a generous deadline) until pred holds for the items.
    bool waitUntil(const std::function<bool(const std::vector<TItemObj>&)>& pred)
    {
        return waitUntilFor(std::chrono::seconds(30), pred);
    }
    bool waitUntilFor(std::chrono::milliseconds limit, const std::function<bool(const std::vector<TItemObj>&)>& pred)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return pred(items_); });
    }

private:
    TCallLog* log_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TItemObj> items_;
};
