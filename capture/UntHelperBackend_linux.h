// The capture helper seen from the program that starts it: filesmonitor-capture runs fanotify
// with the privileges this program lacks, and this backend reads what it sends as untrusted input.
#pragma once

#include "capture/UntCaptureBackend.h"

#include <memory>
#include <string>

inline constexpr const char* kCaptureHelperName = "filesmonitor-capture";

// The helper of this program, looked for beside the running executable only, never through
// PATH: installed in <prefix>/libexec/filesmonitor/ for <prefix>/bin/, or in helper/ of the build
// folder that holds this program's folder. Empty when there is none.
std::string captureHelperPath();

// Whether this user may run the helper at path. When not, advice says what to do, for the user.
bool mayRunHelper(const std::string& path, std::string& advice);

// Starts the helper at path and waits until it says that it can capture. Null, with the reason
// in whyNot, when it could not be started or could not capture. The helper ends when the thread
// that called this ends (the kernel's parent-death signal follows the thread): call it on a thread
// that outlives the recording.
std::unique_ptr<TCaptureBackend> openHelperBackend(const std::string& path, std::string& whyNot);
