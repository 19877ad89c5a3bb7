// Throughput of the video walk over ZEMBRA_BENCH_FILE against its floor: reading the
// file in 1 MiB blocks with a memchr scan for 00 00 01, as the walk must look at every
// video payload byte for start codes. Bytes per second count the whole file.
#include "program/program_stream_scan.h"
#include "support/file_reading.h"
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

BENCHMARK(ReadAndFindStartCodes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(VideoWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
