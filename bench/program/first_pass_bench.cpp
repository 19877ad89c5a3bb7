// Throughput of the first pass against the cost of merely reading the file:
// (a) read in 1 MiB blocks, (b) the same plus a memchr scan for 00 00 01,
// (c) ScanProgramStream. Run with ZEMBRA_BENCH_FILE naming a large program stream
// (bench/program/run.sh makes one) that sits in the page cache.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "program/program_stream_scan.h"

namespace {

constexpr size_t kBlock = 1 << 20;

std::string BenchFile() {
    const char* path = std::getenv("ZEMBRA_BENCH_FILE");
    return path ? path : "";
}

// Reads the file in 1 MiB blocks, handing each block to `visit`; returns the bytes read.
template <typename Visit>
size_t ReadInBlocks(const std::string& path, Visit visit) {
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

void PlainRead(benchmark::State& state) {
    size_t bytes = 0;
    for (auto _ : state) {
        bytes += ReadInBlocks(BenchFile(),
                              [](const uint8_t* data, size_t) { benchmark::DoNotOptimize(data); });
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void ReadAndFindStartCodes(benchmark::State& state) {
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

void FirstPass(benchmark::State& state) {
    for (auto _ : state) {
        ScanResult result = ScanProgramStream(BenchFile(), 0);
        if (result != ScanOk && result != ScanNoEndCode) {
            state.SkipWithError("the bench file is not a program stream");
            return;
        }
    }
    int fd = ::open(BenchFile().c_str(), O_RDONLY);
    off_t size = fd >= 0 ? ::lseek(fd, 0, SEEK_END) : 0;
    if (fd >= 0) ::close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(size) * state.iterations());
    state.counters["packs"] = GetStreamIdTable().packCount;
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadAndFindStartCodes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FirstPass)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
