// Audio passes against their floors, in one run:
// - the frame header scan of stream 0xC0 of ZEMBRA_BENCH_FILE beside reading that file in
//   1 MiB blocks (bytes per second count the whole file);
// - MeasureAudioLevels on ZEMBRA_BENCH_LONG_AUDIO (a program stream holding a long MP2
//   stream) beside decoding ZEMBRA_BENCH_LONG_MP2 (the same MP2 stream as a file) with
//   libmpg123 alone into a discarded buffer.
#include <mpg123.h>

#include "audio/audio_header_scan.h"
#include "audio/audio_levels.h"
#include "program/program_stream_scan.h"
#include "support/file_reading.h"

namespace {

std::string EnvPath(const char* name) {
    const char* path = std::getenv(name);
    return path ? path : "";
}

void HeaderScan(benchmark::State& state) {
    ScanProgramStream(BenchFile(), 0);
    StreamExtent extent = StreamExtentOf(GetStreamIdTable(), 0xC0);
    for (auto _ : state) {
        if (ScanAudioHeaders(BenchFile(), 0xC0, extent) != AudioOk) {
            state.SkipWithError("the bench file has no MPEG audio stream 0xC0");
            return;
        }
    }
    state.SetBytesProcessed(BenchFileSize() * state.iterations());
    state.counters["frames"] = AudioHeaderRecord(0xC0).syncWords;
}

void MeasureLevels(benchmark::State& state) {
    std::string path = EnvPath("ZEMBRA_BENCH_LONG_AUDIO");
    ScanProgramStream(path, 0);
    StreamExtent extent = StreamExtentOf(GetStreamIdTable(), 0xC0);
    for (auto _ : state) {
        if (MeasureAudioLevels(path, 0xC0, extent, 0) != AudioOk) {
            state.SkipWithError("ZEMBRA_BENCH_LONG_AUDIO does not decode");
            return;
        }
    }
    state.counters["seconds"] = AudioDecodeRecord(0xC0).decodedSeconds;
}

void PlainDecode(benchmark::State& state) {
    std::string path = EnvPath("ZEMBRA_BENCH_LONG_MP2");
    std::vector<unsigned char> pcm(16384);
    double seconds = 0;
    for (auto _ : state) {
        mpg123_handle* handle = mpg123_new(nullptr, nullptr);
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        if (!handle || mpg123_open(handle, path.c_str()) != MPG123_OK) {
            state.SkipWithError("ZEMBRA_BENCH_LONG_MP2 does not open");
            return;
        }
        size_t total = 0;
        for (;;) {
            size_t done = 0;
            int result = mpg123_read(handle, pcm.data(), pcm.size(), &done);
            total += done;
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
        }
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        mpg123_getformat(handle, &rate, &channels, &encoding);
        seconds = rate ? static_cast<double>(total) / (2.0 * channels * rate) : 0;
        mpg123_delete(handle);
    }
    state.counters["seconds"] = seconds;
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HeaderScan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MeasureLevels)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
