// A file descriptor closed by the scope that owns it, so that no return or throw leaks one
// into the next worker.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const noexcept { return fd_; }
    bool Valid() const noexcept { return fd_ >= 0; }

    // Hands the descriptor over to the caller, who closes it.
    [[nodiscard]] int Release() noexcept { return std::exchange(fd_, -1); }

    // Closes the descriptor held, if any, and holds `fd` instead. errno is kept: a close
    // on the way out of a failed call must not change the error it reports.
    void Reset(int fd = -1) noexcept {
        if (fd_ >= 0 && fd_ != fd) {
            int saved = errno;
            ::close(fd_);  // not retried on EINTR: Linux has closed it anyway
            errno = saved;
        }
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};
