// Owns one POSIX file descriptor and closes it once.
#pragma once

#include <unistd.h>

#include <utility>

class TUniqueFd {
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : fd_(fd) {}
    ~TUniqueFd() { reset(); }
    TUniqueFd(TUniqueFd&& other) noexcept : fd_(other.release()) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};
