// Figures of one video elementary stream, built from the parser's header events:
// counts, GOP lengths in coded frames, frame sizes, one-second bitrate groups, peak and
// average bitrate. Time runs by display fields, so pictures shown with a repeated field
// (soft pull-down) last as long as they are shown. One record per video stream id, for
// the life of the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "video/vbv_model.h"

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
    uint32_t picturesInGop;           // coded frames since the GOP header
    std::string structure;            // "I", "P", "B" per picture header, in stream order
};

// bit_rate_value counts units of 400 bit/s (ISO/IEC 13818-2, 6.3.3).
constexpr uint32_t kBitRateValueUnitBitsPerSecond = 400;
// vbv_buffer_size_value counts units of 16 384 bits (ISO/IEC 13818-2, 6.3.3).
constexpr uint32_t kVbvBufferSizeUnitBits = 16384;

// Where a splicer can cut into and out of the stream.
struct SpliceFacts {
    // The first coded picture is an I picture of a closed GOP, and nothing but a sequence
    // header and its extensions comes before its GOP header.
    bool cleanStart;
    uint32_t gopsWithoutSequenceHeader;  // GOP headers with no sequence header before them
    // B pictures of the last GOP shown after its last I or P picture: they would need a
    // reference picture after the end.
    uint32_t danglingBPictures;
};

struct VideoStreamInfo {
    uint32_t status;
    uint32_t horizontalSize;
    uint32_t verticalSize;
    uint32_t aspectRatioCode;
    uint32_t frameRateCode;
    uint32_t nominalFrameRate;  // whole frames per second; 0 until a sequence header
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
    uint32_t maxGopLength;  // coded frames, first and last GOP not counted; 0: none
    uint32_t minGopLength;
    uint32_t closedGopCount;
    uint32_t frameCount;  // coded frames: frame pictures and pairs of field pictures
    uint32_t framePictureCount;
    uint32_t fieldPairCount;
    uint64_t displayFields;  // display time in field periods, two to a frame period
    GopRecord gop;
    // Byte totals in 64 bits: a long programme passes 4 GiB of video.
    uint64_t totalFrameBytes;
    uint32_t maxFrameSize;
    uint32_t minFrameSize;
    uint64_t peakGroupBytes;
    uint32_t iFrameCount;
    uint32_t pFrameCount;
    uint32_t bFrameCount;
    uint64_t iFrameBytes;
    uint64_t otherFrameBytes;
    uint64_t pFrameBytes;
    uint64_t bFrameBytes;
    uint32_t sequenceHeadersAligned;
    uint32_t bytesBeforeSequenceHeader;  // a capture's start, passed over
    double peakKbps;                     // 1 Kbit = 1024 bits
    double averageKbps;
    VbvFigures vbv;
    SpliceFacts splice;
};

// picture_coding_type (ISO/IEC 13818-2, table 6-12).
constexpr uint32_t kIPicture = 1;
constexpr uint32_t kPPicture = 2;
constexpr uint32_t kBPicture = 3;

// Whole frames per second for a frame_rate_code; 0 for codes outside 1 to 8.
uint32_t NominalFrameRate(uint32_t frameRateCode);
// Display time at the nominal rate: seconds (0 while that rate is unknown), and whole
// frame periods.
double VideoDurationSeconds(const VideoStreamInfo& info);
uint64_t DisplayFramePeriods(const VideoStreamInfo& info);
// Field periods a coded frame is shown for (ISO/IEC 13818-2, 6.3.10): a frame picture
// two, or three with repeat_first_field; in a progressive sequence one frame period,
// two with repeat_first_field, three with top_field_first as well. A field pair two.
uint32_t DisplayFieldsOfFrame(bool progressiveSequence, bool fieldPair, bool repeatFirstField,
                              bool topFieldFirst);

VideoStreamInfo& GetVideoStreamInfo(int streamId);  // 0xE0 to 0xEF

class VideoListener;

// The statistics of one stream's walk, acting on the parser's header events. Passes of
// different streams may run at once, each with its own statistics.
class VideoStatistics {
  public:
    // Starts the stream's record afresh and tells the listener a new stream begins.
    VideoStatistics(int streamId, VideoListener& listener);

    VideoStreamInfo& Info() { return info_; }
    // The record as it was before the walk, with only the status set (a stream that
    // is not MPEG-2 video shows nothing else).
    void Reject(uint32_t status);
    // The first frame starts after the bytes passed over before the first sequence header.
    void SkipBeforeSequenceHeader(uint32_t bytes);
    // After the sequence header's fields are read: counts, and takes its frame rate.
    void NoteSequenceHeader();
    void BeginGop();
    void NoteGopHeader();
    // Once per coded frame: its picture type (the first field's for a field pair).
    void NotePicture(uint32_t pictureCodingType);
    // The first picture header's temporal_reference and vbv_delay of a coded frame.
    void NotePictureTiming(uint32_t temporalReference, uint32_t vbvDelay);
    // A coded frame has ended at bytesRead, to be shown for displayFields field periods.
    void EndPicture(uint32_t bytesRead, uint32_t displayFields, bool fieldPair);
    void FinishVideoStream();

  private:
    // The buffer model over the stream's pictures, its occupancy told to the listener.
    void ModelBuffer();

    VideoStreamInfo& info_;
    VideoListener& listener_;
    uint32_t pictureType_ = 0;
    uint32_t frameBoundary_ = 0;          // BytesRead at the end of the last frame
    uint64_t groupBytes_ = 0;             // bytes of the one-second group being filled
    uint32_t groupFields_ = 0;            // its display time in field periods
    std::vector<CodedPicture> pictures_;  // for the buffer model at the end
    uint32_t vbvDelay_ = kNoVbvDelay;     // of the frame being parsed
    bool sequenceHeaderSincePicture_ = false;
    // temporal_reference of the GOP's latest-shown I or P and B picture so far; -1: none.
    int32_t lastAnchorShown_ = -1;
    int32_t lastBShown_ = -1;
    uint32_t bPicturesAfterAnchors_ = 0;  // shown after every I or P picture so far
};
