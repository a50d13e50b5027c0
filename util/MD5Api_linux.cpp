#include "util/MD5Api.h"

#include "util/UntOsHandle.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>

namespace {

// A mapped file that shrinks while it is read raises SIGBUS on the first page past its new
// end. Each read of a window runs under a guard: a SIGBUS inside the guarded range returns to
// the guard instead of ending the process; any other SIGBUS goes to the handler that was there
// before.
struct TFaultGuard {
    sigjmp_buf* jump;
    const unsigned char* begin;
    const unsigned char* end;
};

thread_local TFaultGuard* tActiveGuard = nullptr;
struct sigaction gPreviousBusAction {};

void onBusError(int signal, siginfo_t* info, void* context)
{
    const TFaultGuard* guard = tActiveGuard;
    const auto* address = static_cast<const unsigned char*>(info->si_addr);
    if (guard && address >= guard->begin && address < guard->end)
        siglongjmp(*guard->jump, 1);

    if (gPreviousBusAction.sa_flags & SA_SIGINFO) {
        gPreviousBusAction.sa_sigaction(signal, info, context);
    } else if (gPreviousBusAction.sa_handler != SIG_DFL && gPreviousBusAction.sa_handler != SIG_IGN) {
        gPreviousBusAction.sa_handler(signal);
    } else {
        // The default action ends the process, as it would have without this handler.
        std::signal(SIGBUS, SIG_DFL);
        std::raise(SIGBUS);
    }
}

void installBusErrorHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &gPreviousBusAction);
    });
}

// Only trivially destructible objects live here, so jumping back into this frame skips nothing.
bool guardedUpdate(TMD5Context& context, const unsigned char* data, std::size_t size)
{
    sigjmp_buf jump;
    TFaultGuard guard{&jump, data, data + size};
    if (sigsetjmp(jump, 1) != 0) {
        tActiveGuard = nullptr;
        return false;
    }
    tActiveGuard = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    md5Update(context, data, size);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    tActiveGuard = nullptr;
    return true;
}

std::uint64_t roundToPages(std::uint64_t bytes)
{
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    const std::uint64_t page = pageSize > 0 ? static_cast<std::uint64_t>(pageSize) : 4096;
    return std::max<std::uint64_t>(page, (bytes + page - 1) / page * page);
}

} // namespace

struct TFileDigestObj::TImpl {
    TFdObj file;
    std::uint64_t window = 0;
};

bool isExistingFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TFileDigestObj::TFileDigestObj(const std::string& path, std::uint64_t windowBytes) : impl_(std::make_unique<TImpl>())
{
    impl_->window = roundToPages(windowBytes);
    // Non-blocking, so that a FIFO put in the file's place cannot hold the open.
    TFdObj file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    impl_->file = std::move(file);
    open_ = true;
    size_ = static_cast<std::uint64_t>(st.st_size);
}

TFileDigestObj::~TFileDigestObj() = default;

std::optional<TMD5Digest> TFileDigestObj::digestUnless(const std::atomic<bool>& cancelled)
{
    installBusErrorHandler();
    TMD5Context context;
    md5Init(context);
    for (std::uint64_t offset = 0; offset < size_;) {
        if (cancelled.load(std::memory_order_relaxed))
            return std::nullopt;
        const auto length = static_cast<std::size_t>(std::min(impl_->window, size_ - offset));
        TMmapObj view(::mmap(nullptr, length, PROT_READ, MAP_SHARED, impl_->file.get(), static_cast<off_t>(offset)),
                      length);
        if (!view)
            return md5Of(nullptr, 0);
        ::madvise(const_cast<unsigned char*>(view.data()), length, MADV_SEQUENTIAL);
        if (!guardedUpdate(context, view.data(), length))
            return md5Of(nullptr, 0);
        offset += length;
    }
    return md5Final(context);
}
