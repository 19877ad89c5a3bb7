// Throughput of the video walk over ZEMBRA_BENCH_FILE against its floor: reading the
// file in 1 MiB blocks with a memchr scan for 00 00 01, as the walk must look at every
// video payload byte for start codes. Bytes per second count the whole file. Beside them,
// the video buffer model over the pictures of ten minutes at 25 fps, which runs once a
// stream's walk has ended.
#include "program/program_stream_scan.h"
#include "support/file_reading.h"
#include "video/vbv_model.h"
#include "video/video_parser.h"
#include "video/video_statistics.h"

namespace {

void VideoWalk(benchmark::State& state) {
    ScanProgramStream(BenchFile(), 0);
    for (auto _ : state) {
        VideoStatus status =
            AnalyzeVideoStream(BenchFile(), 0xE0, StreamExtentOf(GetStreamIdTable(), 0xE0), 0);
        if (status != VideoOk && status != VideoNoEndCode) {
            state.SkipWithError("the bench file has no MPEG-2 video stream 0xE0");
            return;
        }
    }
    state.SetBytesProcessed(BenchFileSize() * state.iterations());
    state.counters["frames"] = GetVideoStreamInfo(0xE0).frameCount;
}

// An I picture of 80 000 bytes and eleven of 15 000, at 6 Mbit/s in a 224 KB buffer.
void VbvModelTenMinutes(benchmark::State& state) {
    constexpr size_t kPictures = 10 * 60 * 25;
    std::vector<CodedPicture> pictures(kPictures);
    for (size_t i = 0; i < kPictures; ++i) {
        pictures[i] = {i % 12 == 0 ? 80000u : 15000u, 18000u, 2u};
    }
    for (auto _ : state) {
        VbvFigures figures =
            ModelVbv(pictures, {6'000'000, 112 * 16384, 3, 0},
                     [](const VbvSample& sample) { benchmark::DoNotOptimize(sample.afterBits); });
        benchmark::DoNotOptimize(figures);
    }
    state.counters["pictures"] = kPictures;
}

BENCHMARK(ReadAndFindStartCodes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(VideoWalk)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(VbvModelTenMinutes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
