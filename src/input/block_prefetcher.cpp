// Block read-ahead.
#include "input/block_prefetcher.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

size_t ReadAt(int fd, uint8_t* into, size_t count, uint64_t offset) {
    size_t total = 0;
    while (total < count) {
        ssize_t got = ::pread(fd, into + total, count - total, static_cast<off_t>(offset + total));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<size_t>(got);
    }
    return total;
}

BlockPrefetcher::BlockPrefetcher(size_t blockSize, size_t padding)
    : spare_(new uint8_t[blockSize + padding]), blockSize_(blockSize) {}

void BlockPrefetcher::Request(int fd, uint64_t offset) {
    {
        std::lock_guard lock(mutex_);
        fd_ = fd;
        offset_ = offset;
        requested_ = true;
        done_ = false;
    }
    if (!thread_.joinable()) thread_ = std::thread(&BlockPrefetcher::ReadRequests, this);
    changed_.notify_all();
}

size_t BlockPrefetcher::TakeInto(std::unique_ptr<uint8_t[]>& buffer) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return done_ || !requested_; });
    if (!done_) return 0;
    done_ = false;
    requested_ = false;
    buffer.swap(spare_);
    return got_;
}

void BlockPrefetcher::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    stopping_ = false;
    requested_ = false;
    done_ = false;
}

void BlockPrefetcher::ReadRequests() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || (requested_ && !done_); });
        if (stopping_) return;
        int fd = fd_;
        uint64_t offset = offset_;
        lock.unlock();
        size_t got = ReadAt(fd, spare_.get(), blockSize_, offset);
        lock.lock();
        got_ = got;
        done_ = true;
        changed_.notify_all();
    }
}
