// The MPEG audio decoder behind its five operations. The decoder pulls its compressed
// input only through the read callback; the level measurement reads its PCM output,
// signed 16-bit, two channels interleaved left first when the format says stereo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct DecoderCallbacks {
    // Up to count bytes of the stream into buffer; 0 at its end.
    size_t (*read)(void* context, uint8_t* buffer, size_t count);
    void* unused;
    uint32_t (*position)(void* context);  // payload bytes consumed so far
};

// The decoder's view of the stream, taken from the first decoded frame.
struct DecoderFormatInfo {
    int32_t reserved0;
    int32_t protectionBit;  // 1: no CRC
    int32_t layer;          // header code: 3 Layer I, 2 Layer II, 1 Layer III
    int32_t reserved12;
    int32_t paddingBit;
    int32_t samplingIndex;
    int32_t samplingFrequency;  // Hz
    int32_t bitrateIndex;
    int32_t modeExtension;
    int32_t mode;
    int32_t stereo;  // nonzero: the PCM holds two interleaved channels
    int32_t reserved44;
    int32_t reserved48;
    int32_t reserved52;
    int32_t bitrateKbps;
};

constexpr int kDecoderOk = 0;
constexpr int kDecoderEnd = 1;
constexpr int kDecoderError = 2;

class AudioDecoder {
  public:
    virtual ~AudioDecoder() = default;
    // 0 on success; the callbacks stay in use until Destroy.
    virtual int Create(const DecoderCallbacks& callbacks, void* context) = 0;
    // kDecoderOk with `written` bytes of PCM (possibly 0), kDecoderEnd at the end of the
    // stream, anything else on an error.
    virtual int Decode(uint8_t* pcm, int32_t size, int32_t* written) = 0;
    virtual void GetFormat(DecoderFormatInfo* format) = 0;
    // Playing time decoded so far, in milliseconds.
    virtual void GetPosition(int32_t* milliseconds) = 0;
    virtual void Destroy() = 0;
};

// A decoder of its own for one measurement, so that streams can be decoded at once on
// different threads: a new libmpg123 decoder, or one that hands every operation to the
// decoder a test put in place.
std::unique_ptr<AudioDecoder> MakeAudioDecoder();
// Puts a test's decoder in place of libmpg123 (nullptr restores it); set between
// measurements, never during one.
void SetAudioDecoder(AudioDecoder* decoder);
