// The fanotify backend: one filesystem mark per filesystem that holds a watched root.
#pragma once

#include "capture/UntCaptureBackend.h"

#include <memory>
#include <string>

// A new fanotify group with its stop handle, or null with the reason in whyNot. With
// inotifyFallback a root whose filesystem refuses a mark is watched by recursive inotify instead.
std::unique_ptr<TCaptureBackend> openFanotifyBackend(std::string& whyNot, bool inotifyFallback = false);
