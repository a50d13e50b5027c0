// The fanotify backend: one filesystem mark per filesystem that holds a watched root.
#pragma once

#include "capture/UntCaptureBackend.h"

#include <memory>
#include <string>

// A new fanotify group with its stop handle, or null with the reason in whyNot.
std::unique_ptr<TCaptureBackend> openFanotifyBackend(std::string& whyNot);
