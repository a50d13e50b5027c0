#include "capture/UntShellNotify_win.h"

#include "capture/UntShellNotifierObj_win.h"
#include "events/UntEventSink.h"
#include "util/UntWide.h"

#include <atomic>
#include <chrono>
#include <vector>

namespace {

using TGetPathEx = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, PWSTR, DWORD, GPFIDL_FLAGS);

// Longest path the wide API can give back.
constexpr DWORD kLongPathChars = 32768;

TGetPathEx getPathExFunction()
{
    static const TGetPathEx function = [] {
        HMODULE shell = GetModuleHandleW(L"shell32.dll");
        if (!shell)
            return TGetPathEx(nullptr);
        return reinterpret_cast<TGetPathEx>(reinterpret_cast<void*>(GetProcAddress(shell, "SHGetPathFromIDListEx")));
    }();
    return function;
}

// Destroyed on the thread that created it, which is the monitor thread.
class TWindowHandle {
public:
    TWindowHandle() = default;
    explicit TWindowHandle(HWND hwnd) : hwnd_(hwnd) {}
    ~TWindowHandle() { reset(); }
    TWindowHandle(const TWindowHandle&) = delete;
    TWindowHandle& operator=(const TWindowHandle&) = delete;
    TWindowHandle& operator=(TWindowHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            hwnd_ = other.hwnd_;
            other.hwnd_ = nullptr;
        }
        return *this;
    }
    HWND get() const { return hwnd_; }
    void reset()
    {
        if (hwnd_)
            DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }

private:
    HWND hwnd_ = nullptr;
};

// The shell's parser and allocator want COM on the monitor thread; a single-threaded
// apartment fits a thread that runs a message loop. Undone only on the thread that did it.
class TComScope {
public:
    TComScope() = default;
    ~TComScope() { reset(); }
    TComScope(const TComScope&) = delete;
    TComScope& operator=(const TComScope&) = delete;
    void enter()
    {
        reset();
        if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
            threadId_ = GetCurrentThreadId();
    }
    void reset()
    {
        if (threadId_ != 0 && threadId_ == GetCurrentThreadId())
            CoUninitialize();
        threadId_ = 0;
    }

private:
    DWORD threadId_ = 0;
};

// Kinds whose item-ID lists are not file-system paths: a failed conversion there is normal.
bool carriesNoPath(int eventNum)
{
    return eventNum == evAssociation || eventNum == evServerDisconnect || eventNum == evUpdateImage;
}

class TShellNotifyBackend final : public TCaptureBackend {
public:
    TShellNotifyBackend() = default;
    ~TShellNotifyBackend() override { cleanUp(); }
    TShellNotifyBackend(const TShellNotifyBackend&) = delete;
    TShellNotifyBackend& operator=(const TShellNotifyBackend&) = delete;

    std::string name() const override { return "shell change notifications"; }
    void open(TEventSink& queue) override;
    bool addWatch(const std::string& root, const TEventKinds& kinds) override;
    void run() override;
    void stop() override;
    TCaptureCounters counters() const override;

    LRESULT wndProc(UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

private:
    static LRESULT CALLBACK windowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static bool registerWindowClass();
    void cleanUp();

    TEventSink* queue_ = nullptr;
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> stopRequested_{false};
    std::atomic<std::uint64_t> refusedRoots_{0};
    std::atomic<std::uint64_t> unresolvedPaths_{0};
    std::atomic<std::uint64_t> undecodedEvents_{0};
    // Members end in reverse order: watches, then the window they report to, then COM.
    TComScope com_;
    TWindowHandle window_;
    std::vector<std::unique_ptr<TShellNotifierObj>> notifyList_;
};

bool TShellNotifyBackend::registerWindowClass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TShellNotifyBackend::windowProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kHiddenWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT CALLBACK TShellNotifyBackend::windowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TShellNotifyBackend*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self)
        return self->wndProc(msg, wParam, lParam);
    // Creation messages come before the backend is known; they need the default answers,
    // or the window would not be created at all.
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void TShellNotifyBackend::open(TEventSink& queue)
{
    queue_ = &queue;
    // Gives this thread its message queue, so a stop posted before run() waits there.
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    threadId_.store(GetCurrentThreadId());
    com_.enter();
    if (!registerWindowClass())
        return;
    window_ = TWindowHandle(CreateWindowExW(0, kHiddenWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                            GetModuleHandleW(nullptr), this));
}

bool TShellNotifyBackend::addWatch(const std::string& root, const TEventKinds& kinds)
{
    auto watch = std::make_unique<TShellNotifierObj>(root, true);
    watch->setAllEvents(true);
    for (int k = 0; k < kEventCount; ++k)
        if (!kinds[k])
            watch->setEventsMon(false, static_cast<std::uint16_t>(k));
    bool registered = false;
    if (watch->getStatusParse() && window_.get()) {
        const SHChangeNotifyEntry entry = watch->getNotifider();
        const ULONG id = SHChangeNotifyRegister(window_.get(), kNotifySources, static_cast<LONG>(watch->getEventsMon()),
                                                kNotifyMessage, 1, &entry);
        watch->setNotifierHandle(id);
        registered = id != 0;
    }
    if (!registered)
        refusedRoots_.fetch_add(1);
    notifyList_.push_back(std::move(watch));
    return registered;
}

void TShellNotifyBackend::run()
{
    if (!stopRequested_.load()) {
        MSG msg;
        for (;;) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got <= 0 || msg.message == kStopMessage)
                break;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    cleanUp();
}

void TShellNotifyBackend::cleanUp()
{
    threadId_.store(0);
    notifyList_.clear(); // deregisters every watch and frees its list
    window_.reset();
    com_.reset();
}

void TShellNotifyBackend::stop()
{
    stopRequested_.store(true);
    if (const DWORD id = threadId_.load())
        PostThreadMessageW(id, kStopMessage, 0, 0);
}

TCaptureCounters TShellNotifyBackend::counters() const
{
    TCaptureCounters result;
    result.refusedRoots = refusedRoots_.load();
    result.unresolvedPaths = unresolvedPaths_.load();
    result.undecodedEvents = undecodedEvents_.load();
    return result;
}

LRESULT TShellNotifyBackend::wndProc(UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    if (msg != kNotifyMessage || !queue_)
        return 0;
    try {
        const auto eventNum = decodeEventId(static_cast<std::uint32_t>(lParam));
        if (!eventNum) {
            // No event number to give it: the views expect 0 to 18 only.
            undecodedEvents_.fetch_add(1);
            return 0;
        }
        std::string item1 = pidlToPath(wParam, 1);
        std::string item2 = pidlToPath(wParam, 2);
        if (!carriesNoPath(*eventNum)) {
            const auto* pair = reinterpret_cast<const PCIDLIST_ABSOLUTE*>(wParam);
            if (pair && ((pair[0] && item1.empty()) || (pair[1] && item2.empty())))
                unresolvedPaths_.fetch_add(1);
        }
        std::vector<TItemObj> one;
        one.emplace_back(std::move(item1), std::move(item2), *eventNum,
                         TEventOrigin{std::chrono::system_clock::now(), 0, {}});
        queue_->addItems(std::move(one));
    } catch (...) {
        unresolvedPaths_.fetch_add(1);
    }
    return 0;
}

} // namespace

std::string idListToPath(PCIDLIST_ABSOLUTE pidl) noexcept
{
    if (!pidl)
        return {};
    try {
        if (const TGetPathEx getPathEx = getPathExFunction()) {
            thread_local std::wstring buffer;
            buffer.assign(kLongPathChars, L'\0');
            if (!getPathEx(pidl, buffer.data(), kLongPathChars, GPFIDL_DEFAULT))
                return {};
            return toUtf8(std::wstring_view(buffer.c_str(), static_cast<std::size_t>(lstrlenW(buffer.c_str()))));
        }
        wchar_t shortBuffer[MAX_PATH] = {};
        if (!SHGetPathFromIDListW(pidl, shortBuffer))
            return {};
        return toUtf8(std::wstring_view(shortBuffer, static_cast<std::size_t>(lstrlenW(shortBuffer))));
    } catch (...) {
        return {};
    }
}

std::string pidlToPath(WPARAM pair, int n) noexcept
{
    if (pair == 0 || (n != 1 && n != 2))
        return {};
    const auto* lists = reinterpret_cast<const PCIDLIST_ABSOLUTE*>(pair);
    return idListToPath(lists[n - 1]);
}

std::unique_ptr<TCaptureBackend> makeShellNotifyBackend()
{
    return std::make_unique<TShellNotifyBackend>();
}
