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

} // namespace

struct TShellNotifyReceiver::TState {
    LRESULT wndProc(UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK windowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static bool registerWindowClass();

    TEventSink* queue = nullptr;
    std::atomic<DWORD> threadId{0};
    std::atomic<bool> stopRequested{false};
    std::atomic<std::uint64_t> refusedRoots{0};
    std::atomic<std::uint64_t> unresolvedPaths{0};
    std::atomic<std::uint64_t> undecodedEvents{0};
    // Members end in reverse order: watches, then the window they report to, then COM.
    TComScope com;
    TWindowHandle window;
    std::vector<std::unique_ptr<TShellNotifierObj>> notifyList;
};

bool TShellNotifyReceiver::TState::registerWindowClass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TState::windowProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kHiddenWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT CALLBACK TShellNotifyReceiver::TState::windowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self)
        return self->wndProc(msg, wParam, lParam);
    // Creation messages come before the receiver is known; they need the default answers,
    // or the window would not be created at all.
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TShellNotifyReceiver::TShellNotifyReceiver() : state_(std::make_unique<TState>()) {}

TShellNotifyReceiver::~TShellNotifyReceiver()
{
    close();
}

void TShellNotifyReceiver::open(TEventSink& queue)
{
    state_->queue = &queue;
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    state_->threadId.store(GetCurrentThreadId());
    state_->com.enter();
    if (!TState::registerWindowClass())
        return;
    state_->window = TWindowHandle(CreateWindowExW(0, kHiddenWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                   GetModuleHandleW(nullptr), state_.get()));
}

bool TShellNotifyReceiver::addWatch(const std::string& root, const TEventKinds& kinds)
{
    auto watch = std::make_unique<TShellNotifierObj>(root, true);
    watch->setAllEvents(true);
    for (int k = 0; k < kEventCount; ++k)
        if (!kinds[k])
            watch->setEventsMon(false, static_cast<std::uint16_t>(k));
    bool registered = false;
    if (watch->getStatusParse() && state_->window.get()) {
        const SHChangeNotifyEntry entry = watch->getNotifider();
        const ULONG id = SHChangeNotifyRegister(state_->window.get(), kNotifySources,
                                                static_cast<LONG>(watch->getEventsMon()), kNotifyMessage, 1, &entry);
        watch->setNotifierHandle(id);
        registered = id != 0;
    }
    if (!registered)
        state_->refusedRoots.fetch_add(1);
    state_->notifyList.push_back(std::move(watch));
    return registered;
}

bool TShellNotifyReceiver::dispatchWaiting()
{
    MSG msg;
    while (!state_->stopRequested.load() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == kStopMessage || msg.message == WM_QUIT)
            return false;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return !state_->stopRequested.load();
}

void TShellNotifyReceiver::runUntilStopped()
{
    MSG msg;
    while (!state_->stopRequested.load()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0 || msg.message == kStopMessage)
            break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void TShellNotifyReceiver::close()
{
    state_->threadId.store(0);
    state_->notifyList.clear(); // deregisters every watch and frees its list
    state_->window.reset();
    state_->com.reset();
}

void TShellNotifyReceiver::requestStop()
{
    state_->stopRequested.store(true);
    if (const DWORD id = state_->threadId.load())
        PostThreadMessageW(id, kStopMessage, 0, 0);
}

bool TShellNotifyReceiver::stopRequested() const
{
    return state_->stopRequested.load();
}

TCaptureCounters TShellNotifyReceiver::counters() const
{
    TCaptureCounters result;
    result.refusedRoots = state_->refusedRoots.load();
    result.unresolvedPaths = state_->unresolvedPaths.load();
    result.undecodedEvents = state_->undecodedEvents.load();
    return result;
}

LRESULT TShellNotifyReceiver::TState::wndProc(UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    if (msg != kNotifyMessage || !queue)
        return 0;
    try {
        const auto eventNum = decodeEventId(static_cast<std::uint32_t>(lParam));
        if (!eventNum) {
            // No event number to give it: the views expect 0 to 18 only.
            undecodedEvents.fetch_add(1);
            return 0;
        }
        std::string item1 = pidlToPath(wParam, 1);
        std::string item2 = pidlToPath(wParam, 2);
        if (!carriesNoPath(*eventNum)) {
            const auto* pair = reinterpret_cast<const PCIDLIST_ABSOLUTE*>(wParam);
            if (pair && ((pair[0] && item1.empty()) || (pair[1] && item2.empty())))
                unresolvedPaths.fetch_add(1);
        }
        std::vector<TItemObj> one;
        one.emplace_back(std::move(item1), std::move(item2), *eventNum,
                         TEventOrigin{std::chrono::system_clock::now(), 0, {}});
        queue->addItems(std::move(one));
    } catch (...) {
        unresolvedPaths.fetch_add(1);
    }
    return 0;
}

namespace {

class TShellNotifyBackend final : public TCaptureBackend {
public:
    std::string name() const override { return "shell change notifications"; }
    void open(TEventSink& queue) override { receiver_.open(queue); }
    bool addWatch(const std::string& root, const TEventKinds& kinds) override
    {
        return receiver_.addWatch(root, kinds);
    }
    void run() override
    {
        receiver_.runUntilStopped();
        receiver_.close();
    }
    void stop() override { receiver_.requestStop(); }
    TCaptureCounters counters() const override { return receiver_.counters(); }

private:
    TShellNotifyReceiver receiver_;
};

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
