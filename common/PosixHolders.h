// Small owners for what the programs of the tree take from a POSIX system: file descriptors.
// Every early return and every raised error gives back what was taken.
#pragma once

#include <unistd.h>

#include <utility>

// One open file descriptor, closed when its holder goes or is Reset. It moves between holders
// (a move assignment swaps the two) and is never copied.
class TDescriptor {
public:
    explicit TDescriptor(int fd = -1) : fd_(fd) {}
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    TDescriptor(TDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    TDescriptor& operator=(TDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~TDescriptor() { Reset(); }

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Hands the descriptor to the caller.
    int Detach() { return std::exchange(fd_, -1); }
    // Closes the descriptor; its close is not examined, since nothing can be done about it.
    void Reset() {
        const int fd = std::exchange(fd_, -1);
        if (fd >= 0)
            ::close(fd);
    }

private:
    int fd_;
};
