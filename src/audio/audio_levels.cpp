// Audio level measurement.
#include "audio/audio_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/audio_decoder.h"
#include "audio/loudness.h"
#include "input/stream_reader.h"
#include "report/report_log.h"

namespace {

constexpr int32_t kPcmBufferBytes = 16384;
constexpr int32_t kFullScale = 32768;
constexpr double kSilentLevel = 0.001;  // stands in for 0 inside the logarithm
constexpr double kDcFloorDbfs = -100.0;

// Everything the measurement keeps for the stream being decoded, in one place.
struct MeasurementState {
    int32_t frameCount = 0;
    // Sample sums in 64 bits: a long stream with an offset overflows 32.
    int64_t sampleSum[2] = {0, 0};
    int32_t peak[2] = {0, 0};
    uint32_t clipRun[2] = {0, 0};
    uint32_t clipCount[2] = {0, 0};
    uint32_t decodedTotal = 0;
    uint32_t payloadBytes = 0;
};

MeasurementState state;

size_t DecoderRead(void*, uint8_t* buffer, size_t count) {
    StreamReader& reader = GetStreamReader();
    size_t stored = 0;
    while (stored < count && !reader.AtEnd())
        buffer[stored++] = static_cast<uint8_t>(reader.ReadBits(8));
    return stored;
}

uint32_t DecoderLength(void*) { return state.payloadBytes; }

uint32_t DecoderPosition(void*) { return GetStreamReader().BytesRead(); }

void TakeSample(int channel, int32_t sample) {
    state.sampleSum[channel] += sample;
    bool fullScale = sample == 32767 || sample == -32768;
    state.clipRun[channel] = fullScale ? state.clipRun[channel] + 1 : 0;
    if (state.clipRun[channel] >= 2) ++state.clipCount[channel];
    int32_t magnitude = std::abs(sample);
    if (magnitude > state.peak[channel]) state.peak[channel] = magnitude;
}

double Dbfs(double value) { return 20.0 * std::log10(value / kFullScale); }

void ComputeLevels(AudioStreamInfo& info) {
    double* dc[2] = {&info.dcLeft, &info.dcRight};
    double* peak[2] = {&info.peakLeft, &info.peakRight};
    int32_t* clipped[2] = {&info.clippedLeft, &info.clippedRight};
    for (int c = 0; c < 2; ++c) {
        *peak[c] = Dbfs(state.peak[c] ? state.peak[c] : kSilentLevel);
        // A run of k full-scale samples counts k - 1; the report adds 2 to a nonzero count.
        *clipped[c] = state.clipCount[c] ? static_cast<int32_t>(state.clipCount[c] + 2) : 0;
        int64_t mean = state.frameCount ? std::llabs(state.sampleSum[c]) / state.frameCount : 0;
        double level = Dbfs(mean ? static_cast<double>(mean) : kSilentLevel);
        *dc[c] = level < kDcFloorDbfs ? kDcFloorDbfs : level;
    }
}

void ConcludeLoudness(AudioStreamInfo& info) {
    float left = 0;
    float right = 0;
    GetLoudnessLevels(left, right);
    info.rmsLeft = left;
    info.rmsRight = right;
}

void CopyFormat(const DecoderFormatInfo& format, AudioStreamInfo& info) {
    info.protectionBit = format.protectionBit;
    info.layer = format.layer;
    info.paddingBit = format.paddingBit;
    info.samplingIndex = format.samplingIndex;
    info.samplingFrequency = format.samplingFrequency;
    info.bitrateIndex = format.bitrateIndex;
    info.modeExtension = format.modeExtension;
    info.mode = format.mode;
    info.bitrateKbps = format.bitrateKbps;
}

// The decoding loop of one created decoder.
void DecodeStream(AudioDecoder& decoder, AudioStreamInfo& info, DecoderFormatInfo& format,
                  int timeLimitSeconds) {
    std::vector<uint8_t> pcm(kPcmBufferBytes);
    std::vector<float> left(kPcmBufferBytes);
    std::vector<float> right(kPcmBufferBytes);
    bool first = true;
    for (;;) {
        int32_t written = 0;
        int result = decoder.Decode(pcm.data(), kPcmBufferBytes, &written);
        if (result == kDecoderEnd) {
            info.status = AudioOk;
            ConcludeLoudness(info);
            return;
        }
        if (result != kDecoderOk) {
            info.status = AudioDecoderFailed;
            return;
        }
        written = std::clamp(written, 0, kPcmBufferBytes);
        state.decodedTotal += static_cast<uint32_t>(written);
        if (first) {
            decoder.GetFormat(&format);
            CopyFormat(format, info);
            InitLoudnessAnalysis(format.samplingFrequency);
            first = false;
        }
        AccumulateBlockStats(pcm.data(), left.data(), right.data(), written, format.stereo);
        int32_t positionMs = 0;
        decoder.GetPosition(&positionMs);
        bool pastLimit = timeLimitSeconds != 0 && positionMs > timeLimitSeconds * 1000.0;
        if (pastLimit || IsCancelRequested()) {
            info.status = AudioOk;
            ConcludeLoudness(info);
            return;
        }
    }
}

}  // namespace

void AccumulateBlockStats(const uint8_t* pcm, float* left, float* right, int32_t byteCount,
                          int32_t stereo) {
    int32_t channels = stereo ? 2 : 1;
    int32_t frames = byteCount / (2 * channels);
    state.frameCount += frames;
    for (int32_t i = 0; i < frames; ++i) {
        for (int32_t c = 0; c < channels; ++c) {
            const uint8_t* bytes = pcm + 2 * (i * channels + c);
            auto sample = static_cast<int16_t>(bytes[0] | (bytes[1] << 8));  // little-endian
            (c == 0 ? left : right)[i] = sample;
            TakeSample(c, sample);
        }
    }
    AnalyzeLoudnessBlock(left, right, frames, channels);
}

AudioStatus MeasureAudioLevels(const std::string& path, int streamId, uint32_t payloadBytes,
                               int timeLimitSeconds) {
    DecoderFormatInfo format{};
    AudioStreamInfo& info = AudioDecodeRecord(streamId);
    info = AudioStreamInfo{};
    state = MeasurementState{};
    state.payloadBytes = payloadBytes;
    ResetLoudnessAnalysis();

    StreamReader& reader = GetStreamReader();
    reader.Open(path, streamId);
    DecoderCallbacks callbacks{DecoderRead, nullptr, DecoderLength, DecoderPosition};
    AudioDecoder& decoder = CurrentAudioDecoder();
    if (decoder.Create(callbacks, nullptr) != 0) {
        info.status = AudioDecoderCreateFailed;
    } else {
        DecodeStream(decoder, info, format, timeLimitSeconds);
        decoder.Destroy();
    }
    reader.Close();

    ComputeLevels(info);
    info.decodedBytes = static_cast<int32_t>(state.decodedTotal);
    int bytesPerFrame = format.stereo ? 4 : 2;
    info.decodedSeconds = format.samplingFrequency ? static_cast<double>(state.decodedTotal) /
                                                         bytesPerFrame / format.samplingFrequency
                                                   : 0.0;
    return static_cast<AudioStatus>(info.status);
}
