// What the analysis of one MPEG audio stream (ISO/IEC 11172-3, or ISO/IEC 13818-3 at its
// lower sampling frequencies) finds: the frame header fields, the counts of the header
// scan and the levels of the decoded samples. Two tables of a record per stream id 0xC0
// to 0xDF: one filled by the header scan, one by the level measurement (which takes
// its header fields and counts from a header scan of the bytes it decodes).
#pragma once

#include <cstdint>
#include <string>

enum AudioStatus : int32_t {
    AudioOk = 0,  // ran to its end: end of data, cancel or time limit
    AudioDecoderCreateFailed = 1,
    AudioDecoderFailed = 2,
    // A header with ID bit 0 was met: a stray one in an ISO/IEC 11172-3 stream, or the
    // stream is of the lower sampling frequencies (ISO/IEC 13818-3) and every frame has it.
    AudioBadIdBit = 3,
    AudioNoInitialSync = 4,  // no valid frame header anywhere in the stream
};

// Header ID bit (ISO/IEC 11172-3, 2.4.2.3; ISO/IEC 13818-3, 2.4): 0 marks the lower
// sampling frequencies of ISO/IEC 13818-3 (16, 22.05 and 24 kHz), with their own bitrate
// table and, in Layer III, half as many samples a frame.
constexpr int32_t kIdLowSamplingFrequencies = 0;
constexpr int32_t kIdIso11172 = 1;

struct AudioStreamInfo {
    int32_t status;
    int32_t syncLosses;
    // 1: ISO/IEC 11172-3, 0: ISO/IEC 13818-3 lower sampling frequencies. Fixed by the
    // first accepted header, as layer and sampling frequency are; until one is accepted
    // the stream counts as ISO/IEC 11172-3 and shows its tables' values for index 0.
    int32_t idBit = kIdIso11172;
    int32_t layer;  // header code: 3 Layer I, 2 Layer II, 1 Layer III, 0 reserved
    int32_t bitrateIndex;
    int32_t bitrateKbps;  // a variable bitrate: the mean of the accepted frames
    int32_t samplingIndex;
    int32_t samplingFrequency;  // Hz
    int32_t paddingBit;
    int32_t protectionBit;  // 1: no CRC
    int32_t privateBit;
    int32_t mode;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int32_t modeExtension;
    int32_t copyrightFlag;
    int32_t originalFlag;
    int32_t emphasis;
    double dcLeft, dcRight;      // dBFS
    double peakLeft, peakRight;  // dBFS
    int32_t clippedLeft, clippedRight;
    double rmsLeft, rmsRight;  // dB
    int32_t syncWords;
    int32_t decodedBytes;
    double decodedSeconds;
    // Payload bytes before the first frame header: a capture cut inside a frame.
    uint32_t skippedBytes;
    // The lowest and highest bitrate of the accepted frames, kbit/s; they differ when
    // the bitrate switches from frame to frame (ISO/IEC 11172-3, 2.4.2.3).
    int32_t bitrateMinKbps;
    int32_t bitrateMaxKbps;
};

// Header layer codes (ISO/IEC 11172-3, 2.4.2.3).
constexpr int32_t kLayerReserved = 0;
constexpr int32_t kLayerIII = 1;
constexpr int32_t kLayerII = 2;
constexpr int32_t kLayerI = 3;

AudioStreamInfo& AudioHeaderRecord(int streamId);
AudioStreamInfo& AudioDecodeRecord(int streamId);

// The header tables by ID bit (kIdIso11172 or kIdLowSamplingFrequencies).
// Sampling frequency in Hz; 0 for index 3.
int32_t SamplingFrequencyHz(int32_t idBit, int32_t samplingIndex);
// Bitrate in kbit/s; 0 for free format, the forbidden index and the reserved layer.
int32_t BitrateKbps(int32_t idBit, int32_t layer, int32_t bitrateIndex);
// PCM samples per channel in one frame: 384 for Layer I, 1152 for Layer II, and 1152 for
// Layer III, 576 at the lower sampling frequencies.
int32_t SamplesPerFrame(int32_t idBit, int32_t layer);

// What the stream is, for the CSV summary and the JSON figures:
// "MPEG-1 Layer II 192 kbit/s 48000 Hz stereo", "MPEG-2 LSF Layer II 96 kbit/s 24000 Hz stereo".
std::string AudioFormatName(const AudioStreamInfo& a);
