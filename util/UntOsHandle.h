// Owners of the operating system's file descriptors, handles and mapped views: each closes or
// unmaps what it holds exactly once, and reports whether the close itself succeeded.
#pragma once

#include <cstddef>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#ifndef _WIN32

class TFdObj {
public:
    TFdObj() = default;
    explicit TFdObj(int fd) : fd_(fd) {}
    TFdObj(TFdObj&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    TFdObj& operator=(TFdObj&& other) noexcept
    {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    TFdObj(const TFdObj&) = delete;
    TFdObj& operator=(const TFdObj&) = delete;
    ~TFdObj() { close(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // False when close(2) reported an error (a delayed write error, for instance).
    bool close() { return fd_ < 0 || ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_ = -1;
};

class TMmapObj {
public:
    TMmapObj() = default;
    TMmapObj(void* address, std::size_t length) : address_(address == MAP_FAILED ? nullptr : address), length_(length)
    {
    }
    TMmapObj(TMmapObj&& other) noexcept
        : address_(std::exchange(other.address_, nullptr)), length_(std::exchange(other.length_, 0))
    {
    }
    TMmapObj& operator=(TMmapObj&& other) noexcept
    {
        if (this != &other) {
            reset();
            address_ = std::exchange(other.address_, nullptr);
            length_ = std::exchange(other.length_, 0);
        }
        return *this;
    }
    TMmapObj(const TMmapObj&) = delete;
    TMmapObj& operator=(const TMmapObj&) = delete;
    ~TMmapObj() { reset(); }

    const unsigned char* data() const { return static_cast<const unsigned char*>(address_); }
    std::size_t size() const { return length_; }
    explicit operator bool() const { return address_ != nullptr; }
    void reset()
    {
        if (address_)
            ::munmap(std::exchange(address_, nullptr), length_);
        length_ = 0;
    }

private:
    void* address_ = nullptr;
    std::size_t length_ = 0;
};

#else

// Holds a kernel handle; both INVALID_HANDLE_VALUE (files) and null (mappings) mean none.
class THandleObj {
public:
    THandleObj() = default;
    explicit THandleObj(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    THandleObj(THandleObj&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    THandleObj& operator=(THandleObj&& other) noexcept
    {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    THandleObj(const THandleObj&) = delete;
    THandleObj& operator=(const THandleObj&) = delete;
    ~THandleObj() { close(); }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    bool close() { return handle_ == nullptr || ::CloseHandle(std::exchange(handle_, nullptr)) != 0; }

private:
    HANDLE handle_ = nullptr;
};

class TMappedViewObj {
public:
    TMappedViewObj() = default;
    explicit TMappedViewObj(const void* view) : view_(view) {}
    TMappedViewObj(TMappedViewObj&& other) noexcept : view_(std::exchange(other.view_, nullptr)) {}
    TMappedViewObj& operator=(TMappedViewObj&& other) noexcept
    {
        if (this != &other) {
            reset();
            view_ = std::exchange(other.view_, nullptr);
        }
        return *this;
    }
    TMappedViewObj(const TMappedViewObj&) = delete;
    TMappedViewObj& operator=(const TMappedViewObj&) = delete;
    ~TMappedViewObj() { reset(); }

    const unsigned char* data() const { return static_cast<const unsigned char*>(view_); }
    explicit operator bool() const { return view_ != nullptr; }
    void reset()
    {
        if (view_)
            ::UnmapViewOfFile(std::exchange(view_, nullptr));
    }

private:
    const void* view_ = nullptr;
};

#endif
