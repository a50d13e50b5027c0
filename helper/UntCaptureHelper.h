// The capture helper's conversation with the program that started it: requests come in on one
// descriptor, records go out on another (UntHelperFrames.h). It greets, watches the roots asked
// for, then captures until its input closes and says it finished. Everything read is checked: a
// request it cannot take gets an Error record and a non-zero exit code.
#pragma once

#include "capture/UntCaptureBackend.h"

#include <functional>
#include <string>
#include <vector>

// Exit codes of filesmonitor-capture.
enum THelperExit : int {
    kHelperFinished = 0,      // its input closed: everything captured was sent
    kHelperFailed = 1,        // capture failed while running
    kHelperBadRequest = 2,    // the program sent something that is not a request
    kHelperCannotCapture = 3, // no fanotify group: no privileges, or the kernel has no support
};

// What the conversation needs from the system, so that tests can hold it without privileges.
struct THelperSystem {
    // 0 when the user who started the helper may open root as a folder with their own rights,
    // else the errno that says why not.
    std::function<int(const std::string& root)> userMayOpen;
    // Once every root is watched, before capturing: gives up what capturing no longer needs.
    // Throws when it cannot.
    std::function<void(const std::vector<std::string>& roots)> dropRights;
};

// Serves one program over in and out with backend, which is not opened yet. Events caused by
// the process parentPid (the program) are left out, like the helper's own. Returns the exit code.
int serveCaptureHelper(TCaptureBackend& backend, int in, int out, int parentPid, const THelperSystem& system);

// Writes one Error record; for failures before a conversation exists. False when out is closed.
bool writeHelperError(int out, const std::string& text);
