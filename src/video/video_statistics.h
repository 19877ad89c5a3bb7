// Figures of one video elementary stream, built from the parser's header events:
// counts, GOP lengths from the GOP time codes, frame sizes, one-second bitrate groups,
// peak and average bitrate. One record per video stream id, for the life of the program.
#pragma once

#include <cstdint>
#include <string>

// The GOP being parsed (ISO/IEC 13818-2, 6.2.2.6 group_of_pictures_header).
struct GopRecord {
    uint32_t dropFrameFlag;
    uint32_t hours;
    uint32_t minutes;
    uint32_t markerBit;
    uint32_t seconds;
    uint32_t pictures;
    uint32_t closedGop;
    uint32_t brokenLink;
    uint32_t pendingSequenceHeaders;  // counted and not yet shown on a GOP row
    uint32_t picturesInGop;
    std::string structure;  // "I", "P", "B" per picture header, in stream order
};

struct VideoStreamInfo {
    uint32_t status;
    uint32_t horizontalSize;
    uint32_t verticalSize;
    uint32_t aspectRatioCode;
    uint32_t frameRateCode;
    uint32_t nominalFrameRate;  // whole frames per second; 0 until a GOP header
    uint32_t bitRateValue;      // units of 400 bit/s
    uint32_t vbvBufferSize;     // units of 16 kbit
    uint32_t profileAndLevel;
    uint32_t chromaFormat;
    uint32_t firstGopClosed;
    uint32_t intraDcPrecision;
    uint32_t pictureStructure;
    uint32_t vbvDelay;
    uint32_t topFieldFirst;
    uint32_t framePredFrameDct;
    uint32_t qScaleType;
    uint32_t alternateScan;
    uint32_t progressiveFrame;
    uint32_t sequenceHeaderCount;
    uint32_t gopCount;
    uint32_t maxGopLength;
    uint32_t minGopLength;  // 65535 while none was measured
    uint32_t closedGopCount;
    uint32_t frameCount;
    GopRecord gop;
    uint32_t totalFrameBytes;
    uint32_t maxFrameSize;
    uint32_t minFrameSize;
    uint32_t peakGroupBytes;
    uint32_t iFrameCount;
    uint32_t pFrameCount;
    uint32_t bFrameCount;
    uint32_t iFrameBytes;
    uint32_t otherFrameBytes;
    uint32_t pFrameBytes;
    uint32_t bFrameBytes;
    uint32_t sequenceHeadersAligned;
    double peakKbps;  // 1 Kbit = 1024 bits
    double averageKbps;
};

constexpr uint32_t kNoGopLengthYet = 65535;

// picture_coding_type (ISO/IEC 13818-2, table 6-12).
constexpr uint32_t kIPicture = 1;
constexpr uint32_t kPPicture = 2;
constexpr uint32_t kBPicture = 3;

// Whole frames per second for a frame_rate_code; 0 for codes outside 1 to 8.
uint32_t NominalFrameRate(uint32_t frameRateCode);
// The stream's duration in seconds at its nominal rate; 0 while that rate is unknown.
double VideoDurationSeconds(const VideoStreamInfo& info);

VideoStreamInfo& GetVideoStreamInfo(int streamId);  // 0xE0 to 0xEF

// The parser's events, acting on the stream being parsed.
void ResetVideoStreamInfo(int streamId);
void NoteSequenceHeader();
void BeginGop();
void NoteGopHeader();
void NotePicture(uint32_t pictureCodingType);
void EndPicture(uint32_t bytesRead);
void FinishVideoStream();
