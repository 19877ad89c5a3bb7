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
#include "video/video_codes.h"

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

// What a sequence header and its extension say of the pictures' format.
struct SequenceFormat {
    uint32_t horizontalSize = 0;
    uint32_t verticalSize = 0;
    uint32_t aspectRatioCode = 0;
    uint32_t frameRateCode = 0;
    uint32_t chromaFormat = 0;

    bool operator==(const SequenceFormat&) const = default;
};

// A sequence whose format differs from the one before it (a 4:3 slate before a 16:9
// spot): where the first picture of the new format comes.
struct FormatChange {
    uint32_t picture;  // 1-based, stream order
    double seconds;    // display time of the pictures before it
    SequenceFormat from;
    SequenceFormat to;
};

// A GOP whose broken_link is set (ISO/IEC 13818-2, 6.3.8): its B pictures before its
// first I or P picture cannot be decoded and are not shown.
struct BrokenLinkGop {
    uint32_t gop;    // 1-based
    double seconds;  // display time before it
};

// The format changes and broken links a record lists; further ones are only counted.
constexpr size_t kListedStreamEvents = 16;

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
    // The upper bits of both, from the sequence extension (ISO/IEC 13818-2, 6.3.5).
    uint32_t bitRateExtension;        // bit_rate_extension, above bit 18 of the value
    uint32_t vbvBufferSizeExtension;  // vbv_buffer_size_extension, above bit 10
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
    uint64_t displayTicks;   // and in ticks of video_codes.h, at each sequence's rate
    // Coded frames a decoder does not show: the leading B pictures of a broken link, and
    // the field periods they would have been shown for.
    uint32_t undisplayedFrames;
    uint64_t undisplayedFields;
    GopRecord gop;
    // Byte totals in 64 bits: a long programme passes 4 GiB of video.
    uint64_t totalFrameBytes;
    uint32_t maxFrameSize;
    uint32_t minFrameSize;
    double peakGroupBytes;  // bytes per second of the fullest one-second group
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
    uint32_t formatChangeCount;  // every change from one sequence's format to the next's
    // The first kListedStreamEvents changes, each from one format to another listed once.
    std::vector<FormatChange> formatChanges;
    uint32_t brokenLinkCount;
    std::vector<BrokenLinkGop> brokenLinks;  // the first kListedStreamEvents
};

// picture_coding_type (ISO/IEC 13818-2, table 6-12).
constexpr uint32_t kIPicture = 1;
constexpr uint32_t kPPicture = 2;
constexpr uint32_t kBPicture = 3;

// Display time at the exact frame rate (1001/30000 s a frame at 29.97 fps): seconds (0
// while the rate is unknown), and whole frame periods.
double VideoDurationSeconds(const VideoStreamInfo& info);
uint64_t DisplayFramePeriods(const VideoStreamInfo& info);
// The display time as whole seconds and the frames after them, at the exact rate: 900
// frames at 29.97 fps last 30.03 s, 30 seconds and 1 frame.
struct SecondsAndFrames {
    uint32_t seconds;
    uint32_t frames;
};
SecondsAndFrames DisplayTimeCode(const VideoStreamInfo& info);
// bit_rate and vbv_buffer_size with their extensions (ISO/IEC 13818-2, 6.3.3, 6.3.5).
uint64_t BitRateBps(const VideoStreamInfo& info);
uint64_t VbvBufferSizeUnits(const VideoStreamInfo& info);  // of 16 384 bits
uint64_t VbvBufferBits(const VideoStreamInfo& info);
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
    // After the sequence extension: the format the sequence's pictures have.
    void NoteSequenceFormat();
    void BeginGop();
    void NoteGopHeader();
    // Once per coded frame: its picture type (the first field's for a field pair).
    void NotePicture(uint32_t pictureCodingType);
    // The first picture header's temporal_reference and vbv_delay of a coded frame.
    void NotePictureTiming(uint32_t temporalReference, uint32_t vbvDelay);
    // bytesRead right after a picture start code.
    void NotePictureStartCode(uint32_t bytesRead);
    // A coded frame has ended at bytesRead, to be shown for displayFields field periods;
    // `startCodeAfter` when bytesRead includes the start code that follows it.
    void EndPicture(uint32_t bytesRead, uint32_t displayFields, bool fieldPair,
                    bool startCodeAfter = true);
    void FinishVideoStream();

  private:
    // The buffer model over the stream's pictures, its occupancy told to the listener.
    void ModelBuffer();

    void NoteBrokenLink();
    void CountIntoGroup(uint32_t bytes, uint64_t ticks);

    VideoStreamInfo& info_;
    VideoListener& listener_;
    uint32_t pictureType_ = 0;
    uint32_t frameBoundary_ = 0;  // BytesRead at the end of the last frame
    uint32_t pictureEnd_ = 0;     // bytes up to the last slice of the last frame
    // Bytes up to the end of the first picture start code; 0 until it is read.
    uint32_t firstPictureStartCodeEnd_ = 0;
    uint64_t groupBytes_ = 0;             // bytes of the one-second group being filled
    uint64_t groupTicks_ = 0;             // display time of its frames
    uint64_t groupTicksBefore_ = 0;       // the time the groups before it ran over their seconds
    std::vector<CodedPicture> pictures_;  // for the buffer model at the end
    SequenceFormat format_;               // of the last sequence
    bool formatKnown_ = false;
    // The GOP being parsed has broken_link set, and the temporal_reference of its first I
    // or P picture (-1: none yet); the frame being parsed is not shown.
    bool brokenLinkGop_ = false;
    int32_t firstAnchorShown_ = -1;
    bool frameUndisplayed_ = false;
    uint32_t vbvDelay_ = kNoVbvDelay;  // of the frame being parsed
    bool sequenceHeaderSincePicture_ = false;
    // temporal_reference of the GOP's latest-shown I or P and B picture so far; -1: none.
    int32_t lastAnchorShown_ = -1;
    int32_t lastBShown_ = -1;
    uint32_t bPicturesAfterAnchors_ = 0;  // shown after every I or P picture so far
};
