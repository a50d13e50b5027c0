// The shell-notification backend's fixed numbers and its path conversion. The backend type
// itself stays in its .cpp; chooseBackend hands it out.
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

std::unique_ptr<TCaptureBackend> makeShellNotifyBackend();

#endif
