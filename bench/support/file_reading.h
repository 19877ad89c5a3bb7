// What reading a file costs at the least, the floor the passes are measured against:
// 1 MiB block reads, and the same with a memchr scan for the 00 00 01 prefix.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

inline std::string BenchFile() {
    const char* path = std::getenv("ZEMBRA_BENCH_FILE");
    return path ? path : "";
}

inline int64_t BenchFileSize() {
    int fd = ::open(BenchFile().c_str(), O_RDONLY);
    off_t size = fd >= 0 ? ::lseek(fd, 0, SEEK_END) : 0;
    if (fd >= 0) ::close(fd);
    return static_cast<int64_t>(size);
}

// Reads the file in 1 MiB blocks, handing each block to `visit`; returns the bytes read.
template <typename Visit>
size_t ReadInBlocks(const std::string& path, Visit visit) {
    constexpr size_t kBlock = 1 << 20;
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    std::vector<uint8_t> buffer(kBlock);
    size_t total = 0;
    for (ssize_t got; (got = ::read(fd, buffer.data(), kBlock)) > 0;) {
        visit(buffer.data(), static_cast<size_t>(got));
        total += static_cast<size_t>(got);
    }
    ::close(fd);
    return total;
}

inline void PlainRead(benchmark::State& state) {
    size_t bytes = 0;
    for (auto _ : state) {
        bytes += ReadInBlocks(BenchFile(),
                              [](const uint8_t* data, size_t) { benchmark::DoNotOptimize(data); });
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

inline void ReadAndFindStartCodes(benchmark::State& state) {
    size_t bytes = 0;
    size_t prefixes = 0;
    for (auto _ : state) {
        bytes += ReadInBlocks(BenchFile(), [&](const uint8_t* data, size_t size) {
            const uint8_t* end = data + size;
            for (const uint8_t* p = data; p + 2 < end; ++p) {
                p = static_cast<const uint8_t*>(
                    std::memchr(p, 0, static_cast<size_t>(end - p - 2)));
                if (!p) break;
                prefixes += p[1] == 0 && p[2] == 1;
            }
        });
    }
    benchmark::DoNotOptimize(prefixes);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
