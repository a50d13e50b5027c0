// The recursive inotify backend: one watch per folder, for users without fanotify privileges and
// for filesystems that refuse a fanotify mark. The kernel gives no pid, so events of the monitor's
// own process cannot be told apart and are all reported.
#pragma once

#include "capture/UntLinuxBackend_linux.h"

#include <cstddef>
#include <memory>
#include <string>

struct TInotifyOptions {
    std::size_t maxWatches = 0; // folders watched at most; 0: as many as the kernel allows
    bool watchMounts = true;    // report drives coming and going (off when inside another backend)
};

// The inotify watches as one source inside another backend's poll loop.
class TInotifySource : public TLinuxBackend {
public:
    using TLinuxBackend::TLinuxBackend;
    // The descriptor to poll for input.
    virtual int pollFd() const = 0;
    // How long the caller's poll may sleep in milliseconds: 0 while folders wait to be walked,
    // a few while a rename half waits for its pair, -1 when idle.
    virtual int pollTimeout() const = 0;
    // Reads what is ready (when readable), settles overdue rename halves, walks a bounded slice
    // of the folders still to watch, and hands the events to the queue.
    virtual void serve(bool readable) = 0;
    // Reads everything left and settles every waiting rename half: the loop is ending.
    virtual void finish() = 0;
};

// A new inotify instance with its stop handle, or null with the reason in whyNot.
std::unique_ptr<TInotifySource> openInotifyBackend(std::string& whyNot, const TInotifyOptions& options = {});
