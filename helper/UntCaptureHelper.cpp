#include "helper/UntCaptureHelper.h"

#include "capture/UntHelperFrames.h"
#include "events/UntEventSink.h"
#include "util/UntWakeEvent_linux.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

// A request the helper cannot take: said in an Error record, then the helper ends.
struct TBadRequest : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void writeAll(int out, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(out, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "write to the program");
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

class THelperSession final : public TEventSink {
public:
    THelperSession(TCaptureBackend& backend, int in, int out, int parentPid, const THelperSystem& system)
        : backend_(backend), in_(in), out_(out), parentPid_(parentPid), system_(system)
    {
    }
    int serve();
    // The backend's thread: events go out at once, with the counts and notes that changed.
    void addItems(std::vector<TItemObj> items) override;

private:
    // The next whole request; null at the end of the input.
    std::optional<THelperFrame> nextRequest();
    void watch(const THelperFrame& request);
    void capture();
    void send(THelperRecord kind, std::string_view payload = {});
    // The counts and warnings not sent yet; the caller holds writeMutex_.
    void sendChangesLocked();

    TCaptureBackend& backend_;
    const int in_;
    const int out_;
    const int parentPid_;
    const THelperSystem& system_;
    std::string input_;
    std::size_t used_ = 0;
    std::vector<std::string> roots_;

    std::mutex writeMutex_; // the backend's thread and this one both write
    std::size_t warningsSent_ = 0;
    std::uint64_t refusedBeforeStart_ = 0; // answered one by one, not counted again
    std::uint64_t skipped_ = 0;            // events too large for a record
    TCaptureCounters countsSent_;
};

int THelperSession::serve()
{
    try {
        send(THelperRecord::Hello, encodeHello(static_cast<std::uint32_t>(::getpid())));
        backend_.open(*this);
        for (;;) {
            const std::optional<THelperFrame> request = nextRequest();
            if (!request)
                return kHelperFinished; // the program let go before the start: nothing to capture
            if (request->kind == THelperRecord::Start)
                break;
            if (request->kind != THelperRecord::Watch)
                throw TBadRequest("a record of kind " + std::to_string(static_cast<int>(request->kind)) +
                                  " where a request was expected");
            watch(*request);
        }
        refusedBeforeStart_ = backend_.counters().refusedRoots;
        system_.dropRights(roots_);
        capture();
        return kHelperFinished;
    } catch (const TBadRequest& error) {
        writeHelperError(out_, error.what());
        return kHelperBadRequest;
    } catch (const std::exception& error) {
        writeHelperError(out_, error.what());
        return kHelperFailed;
    }
}

std::optional<THelperFrame> THelperSession::nextRequest()
{
    input_.erase(0, used_);
    used_ = 0;
    for (;;) {
        const TFrameRead read = readHelperFrame(input_, kMaxRequestFrame);
        if (read.status == TFrameRead::Invalid)
            throw TBadRequest(read.error);
        if (read.status == TFrameRead::Complete) {
            used_ = read.used;
            return read.frame;
        }
        char buffer[4096];
        const ssize_t length = ::read(in_, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            throw std::system_error(errno, std::generic_category(), "read from the program");
        if (length == 0) {
            if (!input_.empty())
                throw TBadRequest("the input ended inside a request");
            return std::nullopt;
        }
        input_.append(buffer, static_cast<std::size_t>(length));
    }
}

void THelperSession::watch(const THelperFrame& request)
{
    std::string why;
    const std::optional<TWatchRequest> wanted = decodeWatchRequest(request.payload, why);
    if (!wanted)
        throw TBadRequest(why);
    TWatchResult result;
    // Only what the user could open: the helper's rights never tell what exists in a closed folder.
    if (const int error = system_.userMayOpen(wanted->root)) {
        result = {TWatchStatus::Refused,
                  "cannot watch " + wanted->root + ": " + std::generic_category().message(error)};
    } else if (backend_.addWatch(wanted->root, wanted->kinds)) {
        result = {TWatchStatus::Watched, {}};
        roots_.push_back(wanted->root);
    } else {
        result = {TWatchStatus::Unmarkable, "fanotify refused " + wanted->root};
    }
    std::lock_guard lock(writeMutex_);
    // The refusal's own words are the answer, not a warning of their own.
    const std::vector<std::string> warnings = backend_.warnings();
    if (warnings.size() > warningsSent_ && result.status == TWatchStatus::Unmarkable)
        result.reason = warnings.back();
    warningsSent_ = warnings.size();
    writeAll(out_, helperFrame(THelperRecord::WatchResult, encodeWatchResult(result)));
}

void THelperSession::capture()
{
    TWakeEvent ended;
    if (!ended)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    std::exception_ptr failure;
    std::thread loop([&] {
        try {
            backend_.run();
        } catch (...) {
            failure = std::current_exception();
        }
        ended.signal();
    });
    // The program ends the capture by closing its end; anything else on the input is a fault.
    bool requestAfterStart = false;
    int pollError = 0;
    for (;;) {
        pollfd fds[2] = {{in_, POLLIN, 0}, {ended.fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            pollError = errno;
            break;
        }
        if (fds[1].revents)
            break;
        char byte = 0;
        const ssize_t length = ::read(in_, &byte, 1);
        if (length < 0 && errno == EINTR)
            continue;
        requestAfterStart = length > 0;
        break;
    }
    backend_.stop();
    loop.join();
    if (failure)
        std::rethrow_exception(failure);
    if (pollError)
        throw std::system_error(pollError, std::generic_category(), "poll on the input");
    if (requestAfterStart)
        throw TBadRequest("a request after the start");
    std::lock_guard lock(writeMutex_);
    sendChangesLocked();
    writeAll(out_, helperFrame(THelperRecord::Finished));
}

void THelperSession::addItems(std::vector<TItemObj> items)
{
    std::erase_if(items, [this](const TItemObj& item) { return item.getOrigin().pid == parentPid_; });
    std::lock_guard lock(writeMutex_);
    if (!items.empty())
        writeAll(out_, encodeEventFrames(items, skipped_));
    sendChangesLocked();
}

void THelperSession::send(THelperRecord kind, std::string_view payload)
{
    std::lock_guard lock(writeMutex_);
    writeAll(out_, helperFrame(kind, payload));
}

void THelperSession::sendChangesLocked()
{
    TCaptureCounters counts = backend_.counters();
    counts.refusedRoots -= std::min(counts.refusedRoots, refusedBeforeStart_);
    counts.undecodedEvents += skipped_;
    if (counts != countsSent_) {
        writeAll(out_, helperFrame(THelperRecord::Counters, encodeCounters(counts)));
        countsSent_ = counts;
    }
    const std::vector<std::string> warnings = backend_.warnings();
    for (; warningsSent_ < warnings.size(); ++warningsSent_)
        writeAll(out_, helperFrame(THelperRecord::Warning, warnings[warningsSent_]));
}

} // namespace

int serveCaptureHelper(TCaptureBackend& backend, int in, int out, int parentPid, const THelperSystem& system)
{
    THelperSession session(backend, in, out, parentPid, system);
    return session.serve();
}

bool writeHelperError(int out, const std::string& text)
{
    try {
        writeAll(out, helperFrame(THelperRecord::Error, text.substr(0, kMaxHelperFrame / 2)));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}
