// Throughput of the first pass against the cost of merely reading the file:
// (a) read in 1 MiB blocks, (b) the same plus a memchr scan for 00 00 01,
// (c) ScanProgramStream. Run with ZEMBRA_BENCH_FILE naming a large program stream
// (bench/program/run.sh makes one) that sits in the page cache.
#include "program/program_stream_scan.h"
#include "support/file_reading.h"

namespace {

void FirstPass(benchmark::State& state) {
    for (auto _ : state) {
        ScanResult result = ScanProgramStream(BenchFile(), 0);
        if (result != ScanOk && result != ScanNoEndCode) {
            state.SkipWithError("the bench file is not a program stream");
            return;
        }
    }
    state.SetBytesProcessed(BenchFileSize() * state.iterations());
    state.counters["packs"] = GetStreamIdTable().packCount;
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadAndFindStartCodes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FirstPass)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
