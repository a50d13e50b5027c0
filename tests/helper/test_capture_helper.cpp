// The capture helper's side of the conversation, held in this process with a fake backend: the
// test plays the program on the other end of a socket, as filesmonitor and filesmonitor-cli do.
#include "capture/UntHelperFrames.h"
#include "events/UntEventSink.h"
#include "helper/UntCaptureHelper.h"
#include "util/UntOsHandle.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kProgramPid = 4000;

class TFakeBackend final : public TCaptureBackend {
public:
    std::vector<std::string> unmarkable; // roots whose filesystem refuses a mark
    std::vector<TItemObj> eventsInRun;
    bool failInRun = false;
    TCaptureCounters counts;

    std::string name() const override { return "fake fanotify"; }
    void open(TEventSink& sink) override { sink_ = &sink; }
    bool addWatch(const std::string& root, const TEventKinds&) override
    {
        if (std::find(unmarkable.begin(), unmarkable.end(), root) == unmarkable.end())
            return true;
        std::lock_guard lock(mutex_);
        ++counts.refusedRoots;
        warnings_.push_back("fanotify refused a mark on " + root + ": Invalid cross-device link");
        return false;
    }
    void run() override
    {
        if (failInRun)
            throw std::runtime_error("read from the fanotify group: Bad file descriptor");
        {
            std::lock_guard lock(mutex_);
            counts.overflows = 1;
            warnings_.push_back("a drive mounted later was refused");
        }
        sink_->addItems(eventsInRun);
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [this] { return stop_; });
    }
    void stop() override
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        stopped_.notify_all();
    }
    TCaptureCounters counters() const override
    {
        std::lock_guard lock(mutex_);
        return counts;
    }
    std::vector<std::string> warnings() const override
    {
        std::lock_guard lock(mutex_);
        return warnings_;
    }

private:
    TEventSink* sink_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::vector<std::string> warnings_;
};

struct TRecord {
    THelperRecord kind{};
    std::string payload;
};

// The helper in a thread of this process, and the program's end of its socket.
class HelperConversation : public ::testing::Test {
protected:
    TFakeBackend backend;
    std::vector<std::string> droppedFor; // the roots dropRights was called with
    bool dropRightsFails = false;
    THelperSystem system{[](const std::string& root) { return root == "/closed" ? EACCES : 0; },
                         [this](const std::vector<std::string>& roots) {
                             if (dropRightsFails)
                                 throw std::runtime_error("capset: Operation not permitted");
                             droppedFor = roots;
                         }};
    TFdObj program;
    std::future<int> exitCode;
    std::string input;

    // Once the case has set up the fake: from here on the helper's thread reads it.
    void start()
    {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        program = TFdObj(fds[0]);
        exitCode = std::async(std::launch::async, [this, helper = fds[1]] {
            const int code = serveCaptureHelper(backend, helper, helper, kProgramPid, system);
            ::close(helper);
            return code;
        });
    }
    void TearDown() override
    {
        program.close(); // the helper ends when its input does, whatever the case left
        if (exitCode.valid())
            exitCode.wait();
    }

    void send(const std::string& bytes)
    {
        ASSERT_EQ(::send(program.get(), bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
    }
    void watch(const std::string& root)
    {
        TWatchRequest request;
        request.kinds.fill(true);
        request.root = root;
        send(helperFrame(THelperRecord::Watch, encodeWatchRequest(request)));
    }
    void closeInput() { ::shutdown(program.get(), SHUT_WR); }
    // The next record, or none when the helper's output ended or said nothing for long.
    std::optional<TRecord> next()
    {
        for (;;) {
            const TFrameRead read = readHelperFrame(input, kMaxHelperFrame);
            EXPECT_NE(read.status, TFrameRead::Invalid) << read.error;
            if (read.status == TFrameRead::Complete) {
                TRecord record{read.frame.kind, std::string(read.frame.payload)};
                input.erase(0, read.used);
                return record;
            }
            pollfd fd{program.get(), POLLIN, 0};
            if (::poll(&fd, 1, 30000) <= 0)
                return std::nullopt;
            char buffer[4096];
            const ssize_t length = ::read(program.get(), buffer, sizeof buffer);
            if (length <= 0)
                return std::nullopt;
            input.append(buffer, static_cast<std::size_t>(length));
        }
    }
    TRecord expectRecord(THelperRecord kind)
    {
        std::optional<TRecord> record = next();
        EXPECT_TRUE(record);
        if (!record)
            return {};
        EXPECT_EQ(static_cast<int>(record->kind), static_cast<int>(kind)) << record->payload;
        return *record;
    }
    TWatchResult expectAnswer()
    {
        const auto answer = decodeWatchResult(expectRecord(THelperRecord::WatchResult).payload);
        EXPECT_TRUE(answer);
        return answer.value_or(TWatchResult{});
    }
    int exitCodeWithin()
    {
        EXPECT_EQ(exitCode.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        return exitCode.get();
    }
};

TEST_F(HelperConversation, WatchesCapturesWithoutTheProgramsOwnEventsAndFinishesWhenItsInputCloses)
{
    backend.unmarkable = {"/fuse"};
    backend.eventsInRun = {TItemObj("/ok/a", "", evCreate, TEventOrigin{{}, 31, "touch"}),
                           TItemObj("/ok/own", "", evCreate, TEventOrigin{{}, kProgramPid, "filesmonitor"}),
                           TItemObj("/ok/a", "/ok/b", evRenameFile, TEventOrigin{{}, 32, "mv"})};
    start();
    EXPECT_TRUE(decodeHello(expectRecord(THelperRecord::Hello).payload));

    watch("/ok");
    EXPECT_EQ(expectAnswer().status, TWatchStatus::Watched);
    watch("/closed"); // the user could not open it: the helper's rights are not lent
    const TWatchResult closed = expectAnswer();
    EXPECT_EQ(closed.status, TWatchStatus::Refused);
    EXPECT_NE(closed.reason.find("/closed"), std::string::npos) << closed.reason;
    watch("/fuse");
    const TWatchResult fuse = expectAnswer();
    EXPECT_EQ(fuse.status, TWatchStatus::Unmarkable);
    EXPECT_EQ(fuse.reason, "fanotify refused a mark on /fuse: Invalid cross-device link");

    send(helperFrame(THelperRecord::Start));
    std::vector<TItemObj> events;
    ASSERT_TRUE(decodeEvents(expectRecord(THelperRecord::Events).payload, events));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].getOrigin().process, "touch");
    EXPECT_EQ(events[1].getItem2(), "/ok/b");
    // The refusal answered before the start is not counted again; the overflow since is.
    const auto counts = decodeCounters(expectRecord(THelperRecord::Counters).payload);
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->refusedRoots, 0u);
    EXPECT_EQ(counts->overflows, 1u);
    EXPECT_EQ(expectRecord(THelperRecord::Warning).payload, "a drive mounted later was refused");

    closeInput();
    expectRecord(THelperRecord::Finished);
    EXPECT_FALSE(next());
    EXPECT_EQ(exitCodeWithin(), kHelperFinished);
    EXPECT_EQ(droppedFor, std::vector<std::string>{"/ok"}); // before capturing, with the roots watched
}

// Whatever the program sends that is not a request gets one Error record and exit code 2.
struct TBadInput {
    const char* name;
    std::string bytes;
    bool afterStart = false; // sent while capturing
    bool thenClose = false;  // the input ends after the bytes
};

class HelperBadInput : public HelperConversation, public ::testing::WithParamInterface<TBadInput> {};

TEST_P(HelperBadInput, GetsAnErrorRecordAndExitCodeTwo)
{
    start();
    expectRecord(THelperRecord::Hello);
    if (GetParam().afterStart) {
        send(helperFrame(THelperRecord::Start));
        expectRecord(THelperRecord::Counters); // run() has begun
    }
    send(GetParam().bytes);
    if (GetParam().thenClose)
        closeInput();
    std::optional<TRecord> record = next();
    while (record && record->kind != THelperRecord::Error)
        record = next();
    ASSERT_TRUE(record) << "no error record";
    EXPECT_FALSE(record->payload.empty());
    EXPECT_EQ(exitCodeWithin(), kHelperBadRequest) << record->payload;
}

std::string frameBytes(std::uint32_t length, std::uint8_t version, std::uint8_t kind)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
    bytes.push_back(static_cast<char>(version));
    bytes.push_back(static_cast<char>(kind));
    return bytes;
}

std::string watchOf(const std::string& root)
{
    TWatchRequest request;
    request.root = root;
    return helperFrame(THelperRecord::Watch, encodeWatchRequest(request));
}

INSTANTIATE_TEST_SUITE_P(Requests, HelperBadInput,
                         ::testing::Values(TBadInput{"AbsurdLength", frameBytes(0xFFFFFFF0u, kHelperProtocol, 1)},
                                           TBadInput{"HugeRequest", frameBytes(kMaxRequestFrame, kHelperProtocol, 1)},
                                           TBadInput{"UnknownVersion", frameBytes(10, 9, 1) + std::string(8, '\0')},
                                           TBadInput{"UnknownKind", helperFrame(static_cast<THelperRecord>(99), "x")},
                                           TBadInput{"AHelperRecord",
                                                     helperFrame(THelperRecord::Hello, encodeHello(1))},
                                           TBadInput{"MalformedWatch", helperFrame(THelperRecord::Watch, "\x01\x02")},
                                           TBadInput{"RelativeRoot", watchOf("home/u")},
                                           TBadInput{"TruncatedRequest", watchOf("/home/u").substr(0, 9), false, true},
                                           TBadInput{"InputAfterTheStart", watchOf("/more"), true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HelperConversation, InputClosedBeforeTheStartEndsQuietly)
{
    start();
    expectRecord(THelperRecord::Hello);
    watch("/ok");
    expectAnswer();
    closeInput();
    EXPECT_FALSE(next());
    EXPECT_EQ(exitCodeWithin(), kHelperFinished);
    EXPECT_TRUE(droppedFor.empty()); // nothing was captured, nothing needed dropping
}

TEST_F(HelperConversation, ACaptureFailureIsAnErrorRecordAndExitCodeOne)
{
    backend.failInRun = true;
    start();
    expectRecord(THelperRecord::Hello);
    send(helperFrame(THelperRecord::Start));
    EXPECT_EQ(expectRecord(THelperRecord::Error).payload, "read from the fanotify group: Bad file descriptor");
    EXPECT_EQ(exitCodeWithin(), kHelperFailed);
}

TEST_F(HelperConversation, RightsThatCannotBeDroppedStopBeforeCapturing)
{
    dropRightsFails = true;
    backend.eventsInRun = {TItemObj("/ok/a", "", evCreate)};
    start();
    expectRecord(THelperRecord::Hello);
    watch("/ok");
    expectAnswer();
    send(helperFrame(THelperRecord::Start));
    EXPECT_EQ(expectRecord(THelperRecord::Error).payload, "capset: Operation not permitted");
    EXPECT_EQ(exitCodeWithin(), kHelperFailed);
}

} // namespace
