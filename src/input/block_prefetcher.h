// Reads a file's next block on a thread of its own while the caller parses the block it
// has, so that copying the file from the system into memory overlaps the parsing.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class BlockPrefetcher {
  public:
    // Buffers of `blockSize` bytes and `padding` bytes after them, which the reader zeroes.
    BlockPrefetcher(size_t blockSize, size_t padding);
    ~BlockPrefetcher() { Stop(); }
    BlockPrefetcher(const BlockPrefetcher&) = delete;
    BlockPrefetcher& operator=(const BlockPrefetcher&) = delete;

    // Starts reading the block at `offset` of the file (the thread is made on the first
    // request: std::system_error when it cannot be).
    void Request(int fd, uint64_t offset);
    // Waits for the block requested last and swaps it with `buffer` (a buffer of the same
    // size and padding); returns the bytes read, 0 at the end of the file or on an error.
    size_t TakeInto(std::unique_ptr<uint8_t[]>& buffer);
    // Ends the thread; a block being read is waited for.
    void Stop();

  private:
    void ReadRequests();

    std::unique_ptr<uint8_t[]> spare_;
    size_t blockSize_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int fd_ = -1;
    uint64_t offset_ = 0;
    bool requested_ = false;
    bool done_ = false;
    bool stopping_ = false;
    size_t got_ = 0;
};

// Reads up to count bytes at offset, through interruptions; what it read before an error
// or the end of the file.
size_t ReadAt(int fd, uint8_t* into, size_t count, uint64_t offset);
