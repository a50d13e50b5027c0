// The shell-notification backend's fixed numbers, its path conversion and its receiver. The
// backend type itself stays in its .cpp; chooseBackend hands it out.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "capture/UntCaptureBackend.h"

// Thread message that ends the monitor's loop (never dispatched).
inline constexpr UINT kStopMessage = WM_USER + 1;
// Message number every watch is registered with.
inline constexpr UINT kNotifyMessage = WM_USER + 2;
// Sources of every registration: interrupt level, shell level, recursive interrupt; no new delivery.
inline constexpr int kNotifySources = SHCNRF_InterruptLevel | SHCNRF_ShellLevel | SHCNRF_RecursiveInterrupt;
// Class of the hidden message-only window (found with FindWindowExW(HWND_MESSAGE, ...)).
inline constexpr wchar_t kHiddenWindowClass[] = L"TShellMonitorNotifyWindow";

// Item-ID list to file-system path in UTF-8, long paths included; empty for a null list or
// one without a file-system path. Never throws.
std::string idListToPath(PCIDLIST_ABSOLUTE pidl) noexcept;
// List number n (1 or 2) of the pair a notification's first parameter points to.
std::string pidlToPath(WPARAM pair, int n) noexcept;

// The hidden window of a monitor thread with its shell registrations: the whole of the shell
// backend, and the part of the directory-change backend that hears what only the shell tells.
// Every call but requestStop and counters runs on the monitor thread.
class TShellNotifyReceiver {
public:
    TShellNotifyReceiver();
    ~TShellNotifyReceiver();
    TShellNotifyReceiver(const TShellNotifyReceiver&) = delete;
    TShellNotifyReceiver& operator=(const TShellNotifyReceiver&) = delete;

    // Gives this thread its message queue, so a stop posted before the loop waits there; then
    // COM and the hidden window. Decoded events go to queue, which outlives the receiver's use.
    void open(TEventSink& queue);
    // One recursive registration for the kinds switched on; false when refused (counted).
    bool addWatch(const std::string& root, const TEventKinds& kinds);
    // Dispatches what waits in this thread's queue; false once a stop was asked for.
    bool dispatchWaiting();
    // Waits for messages and dispatches them until a stop is asked for.
    void runUntilStopped();
    // Deregisters every watch, destroys the window, leaves COM.
    void close();
    // Any thread: the loop ends soon. Kept when asked for before open or after close.
    void requestStop();
    bool stopRequested() const;
    TCaptureCounters counters() const;

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

std::unique_ptr<TCaptureBackend> makeShellNotifyBackend();

#endif
