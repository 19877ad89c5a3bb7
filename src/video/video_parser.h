// Walks one MPEG-2 video elementary stream (ISO/IEC 13818-2, 6.2) header by header:
// sequence header and extension, extensions and user data, GOP header, picture header
// and coding extension, slice headers; everything below a slice header is passed over
// by the start-code search. Fills the stream's VideoStreamInfo through the statistics.
#pragma once

#include <cstdint>
#include <string>

#include "input/stream_reader.h"

enum VideoStatus : uint32_t {
    VideoOk = 0,  // sequence end code, cancel, or data cut by the time limit
    VideoNotMpeg2 = 1,
    VideoMpeg1 = 2,
    VideoPictureTypeError = 5,
    VideoNoEndCode = 6,
};

// Start code values (ISO/IEC 13818-2, table 6-1).
constexpr uint32_t kPictureStartCode = 0x00;
constexpr uint32_t kFirstSliceStartCode = 0x01;
constexpr uint32_t kLastSliceStartCode = 0xAF;
constexpr uint32_t kUserDataStartCode = 0xB2;
constexpr uint32_t kSequenceHeaderCode = 0xB3;
constexpr uint32_t kExtensionStartCode = 0xB5;
constexpr uint32_t kSequenceEndCode = 0xB7;
constexpr uint32_t kGroupStartCode = 0xB8;

class VideoListener;

// Walks the stream the reader delivers, from its start to its end; GOP rows and bitrate
// samples go to the listener. timeLimitSeconds (0: none) only decides whether a stream
// cut short without a sequence end code is missing it.
VideoStatus AnalyzeVideoStream(StreamReader& reader, int streamId, int timeLimitSeconds,
                               VideoListener& listener);
// One stream walked from the file itself, `extent` from the first pass; GOP rows and
// bitrate samples go to the registered listener.
VideoStatus AnalyzeVideoStream(const std::string& path, int streamId, const StreamExtent& extent,
                               int timeLimitSeconds);
