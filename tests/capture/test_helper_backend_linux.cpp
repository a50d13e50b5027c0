// The program's side of the capture helper: a stand-in helper (a shell script that replays
// records) shows that what a real one sends arrives, and that whatever a broken or hostile one
// sends is refused and said, while the program goes on.
#include "capture/UntHelperBackend_linux.h"
#include "capture/UntHelperFrames.h"
#include "events/UntEventSink.h"

#include "test_capture_support_linux.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

class TListSink final : public TEventSink {
public:
    void addItems(std::vector<TItemObj> items) override
    {
        std::lock_guard lock(mutex_);
        items_.insert(items_.end(), items.begin(), items.end());
        changed_.notify_all();
    }
    bool waitFor(std::size_t count)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return items_.size() >= count; });
    }
    std::vector<TItemObj> items() const
    {
        std::lock_guard lock(mutex_);
        return items_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TItemObj> items_;
};

std::string events(const std::vector<TItemObj>& items)
{
    std::uint64_t skipped = 0;
    return encodeEventFrames(items, skipped);
}

const std::string kHello = helperFrame(THelperRecord::Hello, encodeHello(4242));
const std::string kWatched = helperFrame(THelperRecord::WatchResult, encodeWatchResult({TWatchStatus::Watched, {}}));

// A helper that writes `before` at once, then reads until its input ends and writes `after`.
class HelperClient : public ::testing::Test {
protected:
    TTempFolder folder;
    TListSink sink;
    TEventKinds kinds{};

    // A helper that runs script; "before" and "after" are files of records in its folder.
    std::string scriptHelper(const std::string& script, const std::string& before = {}, const std::string& after = {})
    {
        std::ofstream(folder.path("before"), std::ios::binary) << before;
        std::ofstream(folder.path("after"), std::ios::binary) << after;
        const std::string path = folder.path("helper");
        std::ofstream(path) << "#!/bin/sh\ncd '" << folder.path() << "'\n" << script << "\n";
        ::chmod(path.c_str(), 0755);
        return path;
    }
    std::string fakeHelper(const std::string& before, const std::string& after = {})
    {
        return scriptHelper("/bin/cat before\n/bin/cat >/dev/null\n/bin/cat after", before, after);
    }
    std::unique_ptr<TCaptureBackend> open(const std::string& path)
    {
        std::string whyNot;
        auto backend = openHelperBackend(path, whyNot);
        EXPECT_TRUE(backend) << whyNot;
        if (backend)
            backend->open(sink);
        return backend;
    }
    std::string refusal(const std::string& path)
    {
        std::string whyNot;
        EXPECT_FALSE(openHelperBackend(path, whyNot));
        return whyNot;
    }
    // The failure that ends run(); empty when it returned.
    static std::string runUntilStopped(TCaptureBackend& backend, const std::function<void()>& meanwhile = {})
    {
        std::string failure;
        std::thread loop([&] {
            try {
                backend.run();
            } catch (const std::exception& error) {
                failure = error.what();
            }
        });
        if (meanwhile)
            meanwhile();
        backend.stop();
        loop.join();
        return failure;
    }
};

TEST_F(HelperClient, WhatTheHelperSendsArrivesWithItsCountsAndNotes)
{
    TCaptureCounters counts;
    counts.overflows = 1;
    counts.foldersNotWatched = 2;
    const auto path = fakeHelper(
        kHello + kWatched + events({TItemObj("/r/a", "", evCreate, TEventOrigin{{}, 7, "touch"})}),
        events({TItemObj("/r/b", "", evDelete)}) + helperFrame(THelperRecord::Counters, encodeCounters(counts)) +
            helperFrame(THelperRecord::Warning, "a note") + helperFrame(THelperRecord::Finished));
    const auto backend = open(path);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->name(), "filesmonitor-capture");
    EXPECT_TRUE(backend->addWatch("/r", kinds));
    // Stopped once the first event is in: the events sent after the input closed arrive too.
    EXPECT_EQ(runUntilStopped(*backend, [&] { ASSERT_TRUE(sink.waitFor(1)); }), "");
    const auto items = sink.items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].getOrigin().process, "touch");
    EXPECT_EQ(items[1].getItem1(), "/r/b");
    EXPECT_EQ(backend->counters(), counts);
    EXPECT_EQ(backend->warnings(), std::vector<std::string>{"a note"});
}

TEST_F(HelperClient, RefusedRootsAreCountedWithTheHelpersReason)
{
    const auto path = fakeHelper(
        kHello + helperFrame(THelperRecord::WatchResult,
                             encodeWatchResult({TWatchStatus::Refused, "cannot watch /closed: Permission denied"})));
    const auto backend = open(path);
    ASSERT_TRUE(backend);
    EXPECT_FALSE(backend->addWatch("/closed", kinds));
    EXPECT_FALSE(backend->addWatch("relative", kinds)); // refused here: never sent to the helper
    EXPECT_EQ(backend->counters().refusedRoots, 2u);
    const auto warnings = backend->warnings();
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0], "cannot watch /closed: Permission denied");
    EXPECT_NE(warnings[1].find("not an absolute path"), std::string::npos) << warnings[1];
}

// A root on a filesystem the helper cannot mark is watched by this program with inotify.
TEST_F(HelperClient, AnUnmarkableRootIsWatchedHereWithInotify)
{
    TTempFolder root;
    const auto path = fakeHelper(
        kHello + helperFrame(THelperRecord::WatchResult, encodeWatchResult({TWatchStatus::Unmarkable, "no mark here"})),
        helperFrame(THelperRecord::Finished));
    const auto backend = open(path);
    ASSERT_TRUE(backend);
    kinds[evCreate] = true;
    ASSERT_TRUE(backend->addWatch(root.path(), kinds));
    EXPECT_EQ(runUntilStopped(*backend,
                              [&] {
                                  ASSERT_TRUE(runShell(root.path(), ": > new").succeeded());
                                  ASSERT_TRUE(sink.waitFor(1));
                              }),
              "");
    EXPECT_EQ(sink.items().at(0).getItem1(), root.path("new"));
    EXPECT_EQ(backend->counters().refusedRoots, 0u);
    EXPECT_EQ(backend->warnings(), std::vector<std::string>{"no mark here; using recursive inotify for it"});
}

TEST_F(HelperClient, AHelperThatCannotCaptureSaysWhy)
{
    EXPECT_EQ(refusal(scriptHelper("/bin/cat before; exit 3",
                                   helperFrame(THelperRecord::Error, "fanotify refused: Operation not permitted"))),
              "filesmonitor-capture could not capture: fanotify refused: Operation not permitted");
    EXPECT_EQ(refusal(scriptHelper("exit 3")), "filesmonitor-capture could not capture: exit code 3");
    std::string other = kHello;
    other[4] = 2;
    EXPECT_NE(refusal(fakeHelper(other)).find("protocol version 2"), std::string::npos);
    EXPECT_NE(refusal(fakeHelper(std::string("\xff\xff\xff\xff\x01\x10", 6))).find("4294967295 bytes"),
              std::string::npos);
    EXPECT_NE(refusal(fakeHelper(helperFrame(THelperRecord::Hello, "?"))).find("greeting"), std::string::npos);
    EXPECT_NE(refusal(folder.path("missing")).find("could not be started"), std::string::npos);
}

// Records that cannot be read are left out, counted as lost and said; the capture goes on.
TEST_F(HelperClient, AMalformedRecordIsLeftOutCountedAndSaid)
{
    const auto path =
        fakeHelper(kHello + kWatched + helperFrame(THelperRecord::Events, "\x05garbage") +
                       helperFrame(static_cast<THelperRecord>(77), "") + helperFrame(THelperRecord::Counters, "short") +
                       events({TItemObj("/r/after", "", evCreate)}),
                   helperFrame(THelperRecord::Finished));
    const auto backend = open(path);
    ASSERT_TRUE(backend);
    ASSERT_TRUE(backend->addWatch("/r", kinds));
    EXPECT_EQ(runUntilStopped(*backend, [&] { ASSERT_TRUE(sink.waitFor(1)); }), "");
    EXPECT_EQ(sink.items().at(0).getItem1(), "/r/after");
    EXPECT_EQ(backend->counters().undecodedEvents, 3u);
    EXPECT_EQ(backend->counters().lostEvents(), 3u);
    const auto warnings = backend->warnings();
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_EQ(warnings[0], "filesmonitor-capture sent an event record that could not be read; it was left out");
    EXPECT_EQ(warnings[1], "filesmonitor-capture sent a record of unknown kind 77; it was left out");
}

// A stream that cannot be followed ends the recording with the reason; the program goes on.
struct TBrokenStream {
    const char* name;
    std::string bytes;  // after the greeting and the answer to the root
    std::string reason; // part of the failure
};

class HelperClientBrokenStream : public HelperClient, public ::testing::WithParamInterface<TBrokenStream> {};

TEST_P(HelperClientBrokenStream, EndsTheRecordingWithTheReason)
{
    // Each ends once it has read the root and the start, without waiting for its input to close.
    const std::size_t requests = helperFrame(THelperRecord::Watch, encodeWatchRequest({kinds, "/r"})).size() +
                                 helperFrame(THelperRecord::Start).size();
    const auto backend =
        open(scriptHelper("/bin/cat before; /usr/bin/head -c " + std::to_string(requests) + " >/dev/null; exit 4",
                          kHello + kWatched + GetParam().bytes));
    ASSERT_TRUE(backend);
    ASSERT_TRUE(backend->addWatch("/r", kinds));
    std::string failure;
    try {
        backend->run();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    EXPECT_NE(failure.find(GetParam().reason), std::string::npos) << failure;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, HelperClientBrokenStream,
    ::testing::Values(TBrokenStream{"Truncated", helperFrame(THelperRecord::Warning, "cut short").substr(0, 8),
                                    "ended inside a record"},
                      TBrokenStream{"AbsurdLength", std::string("\xf0\xff\xff\xff\x01\x12", 6), "4294967280 bytes"},
                      TBrokenStream{"UnknownVersion", std::string("\x02\x00\x00\x00\x07\x16", 6), "protocol version 7"},
                      TBrokenStream{"EndsWithoutFinishing", "", "exit code 4"},
                      TBrokenStream{"SaysWhyItEnds", helperFrame(THelperRecord::Error, "the fanotify group failed"),
                                    "the fanotify group failed (exit code 4)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HelperAccess, AUserOutsideTheHelpersGroupIsToldHowToGetFullCapture)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to become an ordinary user";
    TTempFolder folder;
    const std::string path = folder.path("filesmonitor-capture");
    std::ofstream(path) << "#!/bin/sh\n";
    ASSERT_EQ(::chmod(path.c_str(), 0750), 0);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
    std::string advice;
    EXPECT_TRUE(mayRunHelper(path, advice)) << advice;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        std::string why;
        ::_exit(!mayRunHelper(path, why) && why == "add yourself to the group root for full capture" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "cannot become an ordinary user";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
