// The stop handle of a poll() loop: an eventfd that any thread may signal. It is never read, so
// a signal given before the loop starts still ends it at once.
#pragma once

#include "util/UntOsHandle.h"

#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

class TWakeEvent {
public:
    TWakeEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    explicit operator bool() const { return bool(fd_); }
    int fd() const { return fd_.get(); }
    void signal() const
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd_.get(), &one, sizeof one);
    }

private:
    TFdObj fd_;
};
