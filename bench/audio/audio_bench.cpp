// Audio passes against their floors, in one run:
// - the frame header scan of stream 0xC0 of ZEMBRA_BENCH_FILE beside reading that file in
//   1 MiB blocks (bytes per second count the whole file);
// - MeasureAudioLevels on ZEMBRA_BENCH_LONG_AUDIO (a program stream holding a long MP2
//   stream) without BS.1770 loudness (/0) and with it (/1), beside decoding
//   ZEMBRA_BENCH_LONG_MP2 (the same MP2 stream as a file) with libmpg123 alone into a
//   discarded buffer;
// - libebur128 alone on that stream's samples, decoded beforehand into memory: integrated
//   loudness and range (/0), and with true peak as well (/1), the modes loudness uses.
#include <ebur128.h>
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
    bool loudness = state.range(0) != 0;
    for (auto _ : state) {
        if (MeasureAudioLevels(path, 0xC0, extent, 0, loudness) != AudioOk) {
            state.SkipWithError("ZEMBRA_BENCH_LONG_AUDIO does not decode");
            return;
        }
    }
    state.counters["seconds"] = AudioDecodeRecord(0xC0).decodedSeconds;
}

struct DecodedAudio {
    std::vector<int16_t> samples;  // interleaved, when kept
    size_t sampleCount = 0;
    long rate = 0;
    int channels = 0;
};

// The whole of the MP2 file decoded by libmpg123; with `keep`, its samples kept.
bool DecodeMp2(const std::string& path, bool keep, DecodedAudio& audio) {
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (!handle) return false;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    if (mpg123_open(handle, path.c_str()) != MPG123_OK) {
        mpg123_delete(handle);
        return false;
    }
    std::vector<int16_t> pcm(8192);
    for (;;) {
        size_t done = 0;
        int result = mpg123_read(handle, reinterpret_cast<unsigned char*>(pcm.data()),
                                 2 * pcm.size(), &done);
        audio.sampleCount += done / 2;
        if (keep) audio.samples.insert(audio.samples.end(), pcm.begin(), pcm.begin() + done / 2);
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    }
    int encoding = 0;
    mpg123_getformat(handle, &audio.rate, &audio.channels, &encoding);
    mpg123_delete(handle);
    return audio.rate > 0 && audio.channels > 0;
}

double SecondsOf(const DecodedAudio& audio) {
    return static_cast<double>(audio.sampleCount) / audio.channels / audio.rate;
}

void PlainDecode(benchmark::State& state) {
    DecodedAudio audio;
    for (auto _ : state) {
        audio = {};
        if (!DecodeMp2(EnvPath("ZEMBRA_BENCH_LONG_MP2"), false, audio)) {
            state.SkipWithError("ZEMBRA_BENCH_LONG_MP2 does not decode");
            return;
        }
    }
    state.counters["seconds"] = SecondsOf(audio);
}

// The samples fed in blocks of one Layer II frame, as the decoder gives them.
void Ebur128Alone(benchmark::State& state) {
    DecodedAudio audio;
    if (!DecodeMp2(EnvPath("ZEMBRA_BENCH_LONG_MP2"), true, audio)) {
        state.SkipWithError("ZEMBRA_BENCH_LONG_MP2 does not decode");
        return;
    }
    int mode = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_HISTOGRAM;
    if (state.range(0) != 0) mode |= EBUR128_MODE_TRUE_PEAK;
    constexpr size_t kFrames = 1152;
    auto channels = static_cast<size_t>(audio.channels);
    for (auto _ : state) {
        ebur128_state* meter = ebur128_init(static_cast<unsigned>(channels),
                                            static_cast<unsigned long>(audio.rate), mode);
        for (size_t at = 0; at < audio.samples.size(); at += kFrames * channels) {
            size_t frames = std::min(kFrames, (audio.samples.size() - at) / channels);
            ebur128_add_frames_short(meter, audio.samples.data() + at, frames);
        }
        double loudness = 0;
        ebur128_loudness_global(meter, &loudness);
        benchmark::DoNotOptimize(loudness);
        ebur128_destroy(&meter);
    }
    state.counters["seconds"] = SecondsOf(audio);
}

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(HeaderScan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MeasureLevels)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Ebur128Alone)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
