#pragma once

#include <unistd.h>

// Owns a file descriptor (or -1) and closes it when it goes out of scope.
struct FdCloser {
    int fd;
    explicit FdCloser(int descriptor) : fd(descriptor) {}
    FdCloser(FdCloser&& other) noexcept : fd(other.fd) { other.fd = -1; }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    FdCloser& operator=(FdCloser&&) = delete;
    ~FdCloser() { Close(); }
    // Closes it before the end of the scope.
    void Close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};
