// Audio stream records and the header tables of ISO/IEC 11172-3 and of the lower
// sampling frequencies of ISO/IEC 13818-3.
#include "audio/audio_stream_info.h"

#include <algorithm>
#include <array>

#include "input/pes_header.h"

namespace {

std::array<AudioStreamInfo, kAudioStreamIdCount> headerRecords{};
std::array<AudioStreamInfo, kAudioStreamIdCount> decodeRecords{};

size_t RecordIndex(int streamId) {
    int id = std::clamp<int>(streamId, kFirstAudioStreamId, kLastAudioStreamId);
    return static_cast<size_t>(id - kFirstAudioStreamId);
}

}  // namespace

AudioStreamInfo& AudioHeaderRecord(int streamId) { return headerRecords[RecordIndex(streamId)]; }

AudioStreamInfo& AudioDecodeRecord(int streamId) { return decodeRecords[RecordIndex(streamId)]; }

namespace {

bool LowSamplingFrequencies(int32_t idBit) { return idBit == kIdLowSamplingFrequencies; }

}  // namespace

int32_t SamplingFrequencyHz(int32_t idBit, int32_t samplingIndex) {
    // sampling_frequency (ISO/IEC 11172-3, 2.4.2.3), and at ID 0 half of each (ISO/IEC
    // 13818-3, 2.4).
    static constexpr int32_t kFrequencies[] = {44100, 48000, 32000, 0};
    static constexpr int32_t kLowFrequencies[] = {22050, 24000, 16000, 0};
    if (samplingIndex < 0 || samplingIndex > 3) return 0;
    return LowSamplingFrequencies(idBit) ? kLowFrequencies[samplingIndex]
                                         : kFrequencies[samplingIndex];
}

int32_t BitrateKbps(int32_t idBit, int32_t layer, int32_t bitrateIndex) {
    // bitrate_index (ISO/IEC 11172-3, 2.4.2.3), rows by layer code.
    static constexpr int32_t kBitrates[4][16] = {
        {0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    };
    // At the lower sampling frequencies (ISO/IEC 13818-3, 2.4) Layers II and III share a row.
    static constexpr int32_t kLowBitrates[4][16] = {
        {0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    };
    if (layer < 0 || layer > 3 || bitrateIndex < 0 || bitrateIndex > 15) return 0;
    return LowSamplingFrequencies(idBit) ? kLowBitrates[layer][bitrateIndex]
                                         : kBitrates[layer][bitrateIndex];
}

int32_t SamplesPerFrame(int32_t idBit, int32_t layer) {
    if (layer == kLayerI) return 384;
    if (layer == kLayerII) return 1152;
    // A Layer III frame at the lower sampling frequencies has one granule, not two
    // (ISO/IEC 13818-3, 2.4).
    if (layer == kLayerIII) return LowSamplingFrequencies(idBit) ? 576 : 1152;
    return 0;
}

std::string AudioFormatName(const AudioStreamInfo& a) {
    // Layer codes as ISO/IEC 11172-3 names them (2.4.2.3), by code.
    static const char* const kLayerNames[] = {"reserved layer", "Layer III", "Layer II", "Layer I"};
    // mode (ISO/IEC 11172-3, 2.4.2.3).
    static const char* const kModeNames[] = {"stereo", "joint stereo", "dual channel",
                                             "single channel"};
    const char* layer = a.layer >= 0 && a.layer <= 3 ? kLayerNames[a.layer] : kLayerNames[0];
    const char* mode = a.mode >= 0 && a.mode <= 3 ? kModeNames[a.mode] : "";
    return std::string(LowSamplingFrequencies(a.idBit) ? "MPEG-2 LSF " : "MPEG-1 ") + layer + " " +
           std::to_string(a.bitrateKbps) + " kbit/s " + std::to_string(a.samplingFrequency) +
           " Hz " + mode;
}
