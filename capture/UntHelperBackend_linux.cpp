#include "capture/UntHelperBackend_linux.h"

#include "capture/UntHelperFrames.h"
#include "capture/UntLinuxBackend_linux.h"
#include "util/UntOsHandle.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace helperclient {

using TClock = std::chrono::steady_clock;

// A helper that was started answers at once; a loaded machine may take a few seconds.
constexpr auto kAnswerWait = std::chrono::seconds(10);
const std::string kNoAnswer = "no answer within " + std::to_string(kAnswerWait.count()) + " seconds";
constexpr std::size_t kMaxReads = 64;  // per wake-up: the events of one drain go in one append
constexpr std::size_t kMaxNotes = 10;  // rejected records said to the user; the rest only counted
constexpr std::size_t kMaxText = 4096; // of one warning or error of the helper

std::string statusText(int status)
{
    if (WIFEXITED(status))
        return "exit code " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) + ")";
    return "ended";
}

// The helper process: one socket is both its standard input and its standard output.
class THelperProcess {
public:
    THelperProcess() = default;
    THelperProcess(THelperProcess&& other) noexcept
        : channel_(std::move(other.channel_)), pidFd_(std::move(other.pidFd_)), pid_(std::exchange(other.pid_, -1))
    {
    }
    THelperProcess& operator=(THelperProcess&&) = delete;
    ~THelperProcess() { end(std::chrono::milliseconds(0)); }

    bool start(const std::string& path, std::string& whyNot);
    int channel() const { return channel_.get(); }
    bool send(std::string_view bytes) const;
    // Its input ends: the helper sends what it has, then finishes.
    void closeInput() const { ::shutdown(channel_.get(), SHUT_WR); }
    // Waits up to grace for the helper to end, kills it when it has not; how it ended.
    std::string end(std::chrono::milliseconds grace);

private:
    TFdObj channel_;
    TFdObj pidFd_;
    pid_t pid_ = -1;
    std::string ended_;
};

bool THelperProcess::start(const std::string& path, std::string& whyNot)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        whyNot = "no channel to " + std::string(kCaptureHelperName) + ": " + errorText(errno);
        return false;
    }
    TFdObj mine(fds[0]);
    const TFdObj theirs(fds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), 0);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), 1);
    // Its own process group, so a Ctrl+C at the terminal ends the program and not the helper
    // under it; no signal blocked or ignored as this program may have them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&signals, signal);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    char* const environment[] = {nullptr}; // a privileged program takes nothing from the caller's environment
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        whyNot = std::string(kCaptureHelperName) + " could not be started: " + errorText(error);
        return false;
    }
    pid_ = pid;
    pidFd_ = TFdObj(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    ::fcntl(mine.get(), F_SETFL, ::fcntl(mine.get(), F_GETFL) | O_NONBLOCK);
    channel_ = std::move(mine);
    return true;
}

bool THelperProcess::send(std::string_view bytes) const
{
    while (!bytes.empty()) {
        const ssize_t sent = ::send(channel_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return false;
            pollfd fd{channel_.get(), POLLOUT, 0};
            ::poll(&fd, 1, -1);
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

std::string THelperProcess::end(std::chrono::milliseconds grace)
{
    if (pid_ < 0)
        return ended_;
    channel_.close();
    if (pidFd_ && grace.count() > 0) {
        pollfd fd{pidFd_.get(), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(grace.count()));
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    pidFd_.close();
    ended_ = statusText(status);
    return ended_;
}

class THelperBackend final : public TLinuxBackend {
public:
    THelperBackend(THelperProcess process, TWakeEvent stop)
        : TLinuxBackend(std::move(stop), false), process_(std::move(process))
    {
    }
    // A helper that finished ends by itself; any other is killed.
    ~THelperBackend() override { process_.end(finished_ ? kAnswerWait : std::chrono::seconds(0)); }

    std::string name() const override { return kCaptureHelperName; }
    void open(TEventSink& sink) override
    {
        TLinuxBackend::open(sink);
        opened_ = true;
    }
    bool greet(std::string& whyNot);
    bool addWatch(const std::string& root, const TEventKinds& kinds) override;
    void run() override;
    TCaptureCounters counters() const override;

private:
    enum class TWait { Done, Stopped, Ended, TimedOut };
    // Reads and handles what the helper sends until done() holds, a stop is asked for (when
    // stoppable), the stream ends or the helper says nothing for kAnswerWait (when patient is
    // false). Throws when the stream cannot be read.
    TWait pump(const std::function<bool()>& done, bool stoppable, bool patient);
    // Reads what the helper has sent, without handling it.
    void readChannel();
    // Handles the whole frames read until done() holds; whether it does.
    bool handleInput(const std::function<bool()>& done);
    void handle(const THelperFrame& frame, std::vector<TItemObj>& items);
    void reject(const std::string& what);
    // Why the helper is gone, for the user.
    std::string endText();
    void releaseRoot(const std::string&) override {} // the helper follows the drives
    bool watchesRoot(const std::string&) const override { return false; }

    THelperProcess process_;
    bool opened_ = false;
    std::string input_;
    bool eof_ = false;
    std::string streamError_;
    bool greeted_ = false;
    bool awaitingWatch_ = false;
    std::optional<TWatchResult> watchResult_;
    std::string helperError_;
    bool finished_ = false;

    mutable std::mutex countsMutex_;
    TCaptureCounters helperCounts_;
    std::atomic<std::uint64_t> rejected_{0};
};

bool THelperBackend::greet(std::string& whyNot)
{
    try {
        const TWait wait = pump([this] { return greeted_ || !helperError_.empty(); }, false, false);
        if (greeted_)
            return true;
        std::string why = helperError_;
        if (why.empty())
            why = wait == TWait::TimedOut ? kNoAnswer : endText();
        whyNot = std::string(kCaptureHelperName) + " could not capture: " + why;
    } catch (const std::exception& error) {
        whyNot = error.what();
    }
    return false;
}

bool THelperBackend::addWatch(const std::string& root, const TEventKinds& kinds)
{
    const std::string payload = encodeWatchRequest({kinds, root});
    std::string why;
    if (!decodeWatchRequest(payload, why)) { // what the helper would refuse is not sent
        refuse("cannot watch " + root + ": " + why);
        return false;
    }
    if (eof_ || !process_.send(helperFrame(THelperRecord::Watch, payload)))
        throw std::runtime_error(std::string(kCaptureHelperName) + " ended: " + endText());
    watchResult_.reset();
    awaitingWatch_ = true;
    const TWait wait = pump([this] { return watchResult_.has_value(); }, true, false);
    awaitingWatch_ = false;
    if (wait == TWait::Stopped)
        return false; // the recording ends before it began
    if (wait == TWait::TimedOut)
        throw std::runtime_error(std::string(kCaptureHelperName) + " watching " + root + ": " + kNoAnswer);
    if (!watchResult_)
        throw std::runtime_error(std::string(kCaptureHelperName) + " ended: " + endText());
    switch (watchResult_->status) {
    case TWatchStatus::Watched:
        return true;
    case TWatchStatus::Unmarkable:
        return watchWithInotify(root, kinds, watchResult_->reason);
    case TWatchStatus::Refused:
        break;
    }
    refuse(watchResult_->reason);
    return false;
}

void THelperBackend::run()
{
    sink(); // opened
    if (eof_ || !process_.send(helperFrame(THelperRecord::Start)))
        throw std::runtime_error(std::string(kCaptureHelperName) + " ended: " + endText());
    if (pump([this] { return finished_; }, true, true) != TWait::Stopped)
        throw std::runtime_error(std::string(kCaptureHelperName) + " ended: " + endText());
    // What the helper captured before its input closed belongs to the recording.
    process_.closeInput();
    const TWait wait = pump([this] { return finished_; }, false, false);
    finishFallback();
    if (!finished_)
        throw std::runtime_error(std::string(kCaptureHelperName) +
                                 " did not finish: " + (wait == TWait::TimedOut ? kNoAnswer : endText()));
}

THelperBackend::TWait THelperBackend::pump(const std::function<bool()>& done, bool stoppable, bool patient)
{
    auto deadline = TClock::now() + kAnswerWait;
    for (;;) {
        if (handleInput(done))
            return TWait::Done;
        if (eof_)
            return TWait::Ended;
        // A root the helper could not mark is watched with inotify in this loop.
        pollfd fds[3] = {
            {process_.channel(), POLLIN, 0}, {stoppable ? stopFd() : -1, POLLIN, 0}, {fallbackFd(), POLLIN, 0}};
        int timeout = -1;
        if (!patient) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now()).count();
            if (left <= 0)
                return TWait::TimedOut;
            timeout = static_cast<int>(left);
        }
        if (::poll(fds, 3, withFallbackTimeout(timeout)) < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "poll on the helper's channel");
        }
        if (fds[1].revents)
            return TWait::Stopped;
        if (fds[0].revents) {
            readChannel();
            deadline = TClock::now() + kAnswerWait;
        }
        serveFallback(fds[2].revents);
    }
}

void THelperBackend::readChannel()
{
    for (std::size_t reads = 0; reads < kMaxReads && !eof_; ++reads) {
        char buffer[65536];
        const ssize_t length = ::read(process_.channel(), buffer, sizeof buffer);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                eof_ = true; // the connection broke: the helper is gone
            return;
        }
        if (length == 0)
            eof_ = true;
        input_.append(buffer, static_cast<std::size_t>(length));
    }
}

bool THelperBackend::handleInput(const std::function<bool()>& done)
{
    std::vector<TItemObj> items;
    std::size_t used = 0;
    bool reached = done();
    // Frame by frame: what follows the awaited answer waits for the next step of the conversation.
    while (!reached) {
        const TFrameRead read = readHelperFrame(std::string_view(input_).substr(used), kMaxHelperFrame);
        if (read.status == TFrameRead::Invalid)
            throw std::runtime_error(std::string(kCaptureHelperName) + " sent " + read.error);
        if (read.status == TFrameRead::Incomplete)
            break;
        handle(read.frame, items);
        used += read.used;
        reached = done();
    }
    input_.erase(0, used);
    if (eof_ && !reached && !input_.empty())
        streamError_ = "its output ended inside a record";
    if (!items.empty()) {
        if (opened_)
            sink().addItems(std::move(items));
        else
            reject("events before it was asked to capture");
    }
    return reached;
}

void THelperBackend::handle(const THelperFrame& frame, std::vector<TItemObj>& items)
{
    const std::string_view text = frame.payload.substr(0, kMaxText);
    switch (frame.kind) {
    case THelperRecord::Hello:
        if (greeted_)
            reject("a second greeting");
        else if (!decodeHello(frame.payload))
            throw std::runtime_error(std::string(kCaptureHelperName) + " sent a greeting that could not be read");
        greeted_ = true;
        return;
    case THelperRecord::WatchResult:
        if (!awaitingWatch_) {
            reject("an answer to no request");
        } else if (auto result = decodeWatchResult(frame.payload)) {
            watchResult_ = std::move(*result);
        } else {
            reject("an answer that could not be read");
            watchResult_ = TWatchResult{TWatchStatus::Refused, std::string(kCaptureHelperName) + " answered badly"};
        }
        return;
    case THelperRecord::Events:
        if (!decodeEvents(frame.payload, items))
            reject("an event record that could not be read");
        return;
    case THelperRecord::Counters:
        if (auto counts = decodeCounters(frame.payload)) {
            std::lock_guard lock(countsMutex_);
            helperCounts_ = *counts;
        } else {
            reject("counts that could not be read");
        }
        return;
    case THelperRecord::Warning:
        warn(std::string(text));
        return;
    case THelperRecord::Error:
        helperError_ = text.empty() ? std::string("an error without a reason") : std::string(text);
        return;
    case THelperRecord::Finished:
        finished_ = true;
        return;
    case THelperRecord::Watch:
    case THelperRecord::Start:
        break;
    }
    reject("a record of unknown kind " + std::to_string(static_cast<int>(frame.kind)));
}

void THelperBackend::reject(const std::string& what)
{
    if (rejected_.fetch_add(1) < kMaxNotes)
        warn(std::string(kCaptureHelperName) + " sent " + what + "; it was left out");
}

std::string THelperBackend::endText()
{
    std::string text = process_.end(kAnswerWait);
    if (!helperError_.empty())
        text = helperError_ + " (" + text + ")";
    if (!streamError_.empty())
        text += "; " + streamError_;
    return text;
}

TCaptureCounters THelperBackend::counters() const
{
    TCaptureCounters result;
    {
        std::lock_guard lock(countsMutex_);
        result = helperCounts_;
    }
    result.refusedRoots += refusedRoots();
    result.undecodedEvents += rejected_.load();
    return withFallback(result);
}

} // namespace helperclient

std::unique_ptr<TCaptureBackend> openHelperBackend(const std::string& path, std::string& whyNot)
{
    using namespace helperclient;
    THelperProcess process;
    if (!process.start(path, whyNot))
        return nullptr;
    TWakeEvent stop;
    if (!stop) {
        whyNot = std::string(kCaptureHelperName) + ": no stop handle: " + errorText(errno);
        return nullptr;
    }
    auto backend = std::make_unique<THelperBackend>(std::move(process), std::move(stop));
    if (!backend->greet(whyNot))
        return nullptr;
    return backend;
}
