// The video buffering verifier of ISO/IEC 13818-2, Annex C, run over a stream's coded
// pictures once its walk has ended: how full the decoder's input buffer is just before and
// just after each picture is taken out, and where it runs dry or over. Bits and times are
// whole numbers (times in ticks of video_codes.h), so that a picture whose last bit arrives
// just in time is no underflow.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// vbv_delay 0xFFFF: no delay is coded and the buffer fills at the bit rate until it is
// full (ISO/IEC 13818-2, C.3.2).
constexpr uint32_t kNoVbvDelay = 0xFFFF;

// One coded frame in stream order: its bytes as the buffer holds them (the headers before
// its picture header up to its last slice: they leave the buffer with it, C.3), the
// vbv_delay of its first picture header and the field periods it is shown for.
struct CodedPicture {
    uint32_t bytes;
    uint32_t vbvDelay;
    uint32_t displayFields;
};

struct VbvParameters {
    uint64_t bitRate;        // bit/s: ((bit_rate_extension << 18) + bit_rate_value) × 400
    uint64_t bufferBits;     // ((vbv_buffer_size_extension << 10) + vbv_buffer_size_value) × 16384
    uint32_t frameRateCode;  // how long a field is shown
    // Bytes of the first picture up to the end of its picture start code: vbv_delay counts
    // from the moment the last of them has entered the buffer (6.3.9).
    uint32_t bytesBeforeDelay;
};

// What the model found. The times are display time from the first picture's removal.
struct VbvFigures {
    bool modelled = false;  // a bit rate, a buffer size, a frame rate and a picture
    // Lowest occupancy just after a removal while the stream still delivers bits (the
    // buffer always empties at the end); when the whole stream is in before the first
    // removal, the occupancy after it.
    double minPercent = 0;
    double maxPercent = 0;  // highest just before one
    uint32_t underflows = 0;
    uint32_t overflows = 0;
    uint32_t firstUnderflowPicture = 0;  // 1-based, stream order; 0: none
    double firstUnderflowSeconds = 0;
    uint32_t firstOverflowPicture = 0;
    double firstOverflowSeconds = 0;
};

// Occupancy in bits around one picture's removal at `seconds`.
struct VbvSample {
    uint32_t picture;  // 1-based
    double seconds;
    double beforeBits;
    double afterBits;
};

// The model over the pictures; each picture's occupancy goes to `sample` as it is
// computed (nothing when it is empty).
VbvFigures ModelVbv(const std::vector<CodedPicture>& pictures, const VbvParameters& parameters,
                    const std::function<void(const VbvSample&)>& sample = {});
