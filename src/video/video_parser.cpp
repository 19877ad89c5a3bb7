// Video stream parser.
#include "video/video_parser.h"

#include "input/start_code_search.h"
#include "input/stream_reader.h"
#include "report/report_log.h"
#include "video/video_codes.h"
#include "video/video_listener.h"
#include "video/video_statistics.h"

namespace {

// extension_start_code_identifier (ISO/IEC 13818-2, table 6-2).
constexpr uint32_t kSequenceDisplayExtensionId = 2;
constexpr uint32_t kQuantMatrixExtensionId = 3;
constexpr uint32_t kSequenceScalableExtensionId = 5;
constexpr uint32_t kPictureDisplayExtensionId = 7;
constexpr uint32_t kPictureSpatialScalableExtensionId = 9;
constexpr uint32_t kPictureTemporalScalableExtensionId = 10;

constexpr uint32_t kDataPartitioning = 0;  // scalable_mode
constexpr uint32_t kSpatialScalability = 1;
constexpr uint32_t kTemporalScalability = 3;
constexpr uint32_t kLargeVerticalSize = 2800;  // above it slices carry 3 more bits
constexpr uint32_t kFieldsOfAFieldPair = 2;

// Where the extensions and user data stand (ISO/IEC 13818-2, 6.2.2.2).
enum class Level { AfterSequence = 0, AfterGop = 1, AfterPicture = 2 };

// Returned by every parse routine: true when the stream's data ran out.
using Stop = bool;

class VideoParser {
  public:
    VideoParser(StreamReader& reader, int streamId, int timeLimitSeconds, VideoListener& listener)
        : timeLimitSeconds_(timeLimitSeconds),
          reader_(reader),
          stats_(streamId, listener),
          info_(stats_.Info()) {}

    // A capture cut from a longer recording may start anywhere: what comes before the
    // first sequence header is passed over and reported. MPEG-2 video has a sequence
    // extension right after each sequence header (ISO/IEC 13818-2, 6.2.2.1); MPEG-1
    // video has none.
    VideoStatus Analyze() {
        if (!FindFirstSequenceHeader()) return Reject(VideoNotMpeg2);
        stats_.SkipBeforeSequenceHeader(bytesBeforeSequenceHeader_);
        ReadSequenceHeaderFields();
        if (NextStartCode() || reader_.PeekBits(8) != kExtensionStartCode) {
            return Reject(VideoMpeg1);
        }
        stats_.NoteSequenceHeader();
        if (ParseSequenceExtension()) return EndOfData();
        return Walk();
    }

  private:
    VideoStatus Reject(VideoStatus status) {
        stats_.Reject(status);
        return status;
    }

    // Stops before the first sequence header's start code value, noting the bytes before
    // its prefix; false when the stream has none.
    bool FindFirstSequenceHeader() {
        if (!FindStartCode(kSequenceHeaderCode)) return false;
        bytesBeforeSequenceHeader_ = reader_.BytesRead() - kStartCodeBytes;
        return true;
    }

    // Passes over everything up to the next start code of this value and stops before
    // the value (which the look-ahead holds, so BytesRead counts it); false at the end.
    bool FindStartCode(uint32_t value) {
        while (reader_.FindPattern(kStartCodePrefix, kStartCodePrefixBits)) {
            if (reader_.PeekBits(8) == value) return true;
        }
        return false;
    }

    VideoStatus Walk() {
        bool atSequenceLevel = true;
        for (;;) {
            if (atSequenceLevel && ParseExtensionsAndUserData(Level::AfterSequence)) {
                return EndOfData();
            }
            if (reader_.PeekBits(8) == kGroupStartCode &&
                (ParseGopHeader() || ParseExtensionsAndUserData(Level::AfterGop))) {
                return EndOfData();
            }
            if (ParsePictureHeader() || ParsePictureCodingExtension() ||
                ParseExtensionsAndUserData(Level::AfterPicture) || ParsePictureData()) {
                return EndOfData();
            }
            uint32_t next = reader_.PeekBits(8);
            if (next == kPictureStartCode || next == kGroupStartCode) {
                atSequenceLevel = false;
                continue;
            }
            // Sequences may follow one another (a slate joined to a spot): the walk goes
            // on to the end of the stream's data, which must be a sequence end code.
            if (next == kSequenceEndCode && !FindSequenceAfterEndCode()) return Finish();
            // Anything else after a picture is read as a repeated sequence header.
            if (ParseSequenceHeader() || ParseSequenceExtension()) return EndOfData();
            if (IsCancelRequested()) return Finish();
            atSequenceLevel = true;
        }
    }

    // Passes over the sequence end code and whatever follows it up to the start code
    // value of a new sequence header; false when the stream's data ends first.
    bool FindSequenceAfterEndCode() {
        reader_.ReadBits(8);
        return FindStartCode(kSequenceHeaderCode);
    }

    // The data ended before a sequence end code: missing, unless the time limit cut it.
    // A picture type error found on the way stands: it fails the stream either way.
    VideoStatus EndOfData() {
        if (info_.status == VideoPictureTypeError) return Finish();
        double seconds = VideoDurationSeconds(info_);
        bool cutByLimit = timeLimitSeconds_ != 0 && timeLimitSeconds_ < seconds;
        info_.status = cutByLimit ? VideoOk : VideoNoEndCode;
        return Finish();
    }

    VideoStatus Finish() {
        stats_.FinishVideoStream();
        return static_cast<VideoStatus>(info_.status);
    }

    // No further start code: the walk ends, and the end of data decides the status.
    Stop NextStartCode() { return !reader_.FindPattern(kStartCodePrefix, kStartCodePrefixBits); }

    void Skip(int bits) {
        for (; bits >= 32; bits -= 32) reader_.ReadBits(32);
        if (bits > 0) reader_.ReadBits(bits);
    }

    // A quantiser matrix behind its load flag: 64 bytes, not byte aligned.
    void SkipQuantiserMatrixIfLoaded() {
        if (reader_.ReadBits(1)) Skip(64 * 8);
    }

    Stop ParseSequenceHeader() {
        ReadSequenceHeaderFields();
        stats_.NoteSequenceHeader();
        return NextStartCode();
    }

    void ReadSequenceHeaderFields() {
        if (!reader_.IsNewPacket()) info_.sequenceHeadersAligned = 0;
        reader_.ReadBits(8);
        info_.horizontalSize = reader_.ReadBits(12);
        info_.verticalSize = reader_.ReadBits(12);
        verticalSize_ = info_.verticalSize;
        info_.aspectRatioCode = reader_.ReadBits(4);
        info_.frameRateCode = reader_.ReadBits(4);
        info_.bitRateValue = reader_.ReadBits(18);
        reader_.ReadBits(1);
        info_.vbvBufferSize = reader_.ReadBits(10);
        reader_.ReadBits(1);  // constrained_parameters_flag
        SkipQuantiserMatrixIfLoaded();
        SkipQuantiserMatrixIfLoaded();
    }

    Stop ParseSequenceExtension() {
        reader_.ClearNewPacket();
        reader_.ReadBits(8);
        reader_.ReadBits(4);
        info_.profileAndLevel = reader_.ReadBits(8);
        progressiveSequence_ = reader_.ReadBits(1);
        info_.chromaFormat = reader_.ReadBits(2);
        Skip(2 + 2);  // horizontal and vertical size extensions
        info_.bitRateExtension = reader_.ReadBits(12);
        reader_.ReadBits(1);
        info_.vbvBufferSizeExtension = reader_.ReadBits(8);
        Skip(1 + 2 + 5);  // low_delay, frame_rate_extension_n and _d
        stats_.NoteSequenceFormat();
        return NextStartCode();
    }

    Stop ParseExtensionsAndUserData(Level level) {
        for (;;) {
            uint32_t next = reader_.PeekBits(8);
            if (next == kUserDataStartCode) {
                if (ParseUserData()) return true;
            } else if (next == kExtensionStartCode) {
                reader_.ReadBits(8);
                if (ParseExtension(level, reader_.PeekBits(4))) return true;
            } else {
                break;
            }
        }
        return reader_.AtEnd();
    }

    // The extension the level allows, or any other passed over to the next start code.
    Stop ParseExtension(Level level, uint32_t id) {
        reader_.ClearNewPacket();
        if (level == Level::AfterSequence) {
            if (id == kSequenceDisplayExtensionId) return ParseSequenceDisplayExtension();
            if (id == kSequenceScalableExtensionId) return ParseSequenceScalableExtension();
        } else if (level == Level::AfterPicture) {
            if (id == kQuantMatrixExtensionId) return ParseQuantMatrixExtension();
            if (id == kPictureDisplayExtensionId) return ParsePictureDisplayExtension();
            if (id == kPictureSpatialScalableExtensionId) {
                Skip(4 + 10 + 1 + 15 + 1 + 15 + 2 + 1 + 1);
                return NextStartCode();
            }
            if (id == kPictureTemporalScalableExtensionId) {
                Skip(4 + 2 + 10 + 1 + 10);
                return NextStartCode();
            }
        }
        return NextStartCode();
    }

    Stop ParseSequenceDisplayExtension() {
        Skip(4 + 3);                        // identifier, video_format
        if (reader_.ReadBits(1)) Skip(24);  // colour_description
        Skip(14 + 1 + 14);
        return NextStartCode();
    }

    Stop ParseSequenceScalableExtension() {
        reader_.ReadBits(4);
        scalableSeen_ = true;
        scalableMode_ = reader_.ReadBits(2);
        reader_.ReadBits(4);  // layer_id
        if (scalableMode_ == kSpatialScalability) {
            Skip(14 + 1 + 14 + 5 + 5 + 5 + 5);
        } else if (scalableMode_ == kTemporalScalability) {
            if (reader_.ReadBits(1)) reader_.ReadBits(1);  // picture_mux_enable, its order
            Skip(3 + 3);
        }
        return NextStartCode();
    }

    Stop ParseQuantMatrixExtension() {
        reader_.ReadBits(4);
        for (int matrix = 0; matrix < 4; ++matrix) SkipQuantiserMatrixIfLoaded();
        return NextStartCode();
    }

    // number_of_frame_centre_offsets (ISO/IEC 13818-2, 6.3.12).
    int FrameCentreOffsets() const {
        if (progressiveSequence_) {
            if (repeatFirstField_ && topFieldFirst_) return 3;
            return repeatFirstField_ ? 2 : 1;
        }
        if (pictureStructure_ != kFramePicture) return 1;
        return repeatFirstField_ ? 3 : 2;
    }

    Stop ParsePictureDisplayExtension() {
        reader_.ReadBits(4);
        for (int i = FrameCentreOffsets(); i > 0; --i) Skip(16 + 1 + 16 + 1);
        return NextStartCode();
    }

    Stop ParseUserData() {
        reader_.ClearNewPacket();
        reader_.ReadBits(8);
        return NextStartCode();  // the user data runs to the next start code
    }

    Stop ParseGopHeader() {
        reader_.ClearNewPacket();
        stats_.BeginGop();  // emits the previous GOP's row before its fields are replaced
        GopRecord& gop = info_.gop;
        reader_.ReadBits(8);
        gop.dropFrameFlag = reader_.ReadBits(1);
        gop.hours = reader_.ReadBits(5);
        gop.minutes = reader_.ReadBits(6);
        gop.markerBit = reader_.ReadBits(1);
        gop.seconds = reader_.ReadBits(6);
        gop.pictures = reader_.ReadBits(6);
        gop.closedGop = reader_.ReadBits(1);
        gop.brokenLink = reader_.ReadBits(1);
        stats_.NoteGopHeader();
        return NextStartCode();
    }

    Stop ParsePictureHeader() {
        reader_.ClearNewPacket();
        reader_.ReadBits(8);
        stats_.NotePictureStartCode(reader_.BytesRead());
        temporalReference_ = reader_.ReadBits(10);
        uint32_t type = reader_.ReadBits(3);
        pictureType_ = type;
        // The second field picture of a frame belongs to the frame its first field began.
        secondField_ = firstFieldPending_;
        if (!secondField_) stats_.NotePicture(type);
        // Zeros read past the end of a cut stream are no picture type at all.
        bool typeRead = !reader_.AtEnd();
        if (typeRead && type != kIPicture && type != kPPicture && type != kBPicture) {
            info_.status = VideoPictureTypeError;
        }
        info_.vbvDelay = reader_.ReadBits(16);
        if (!secondField_) stats_.NotePictureTiming(temporalReference_, info_.vbvDelay);
        if (type == kPPicture || type == kBPicture) reader_.ReadBits(4);
        if (type == kBPicture) reader_.ReadBits(4);
        while (reader_.PeekBits(1) == 1) reader_.ReadBits(9);  // extra_information_picture
        reader_.ReadBits(1);
        return NextStartCode();
    }

    Stop ParsePictureCodingExtension() {
        reader_.ClearNewPacket();
        reader_.ReadBits(8);
        reader_.ReadBits(4);
        reader_.ReadBits(16);  // f_codes
        uint32_t intraDcPrecision = reader_.ReadBits(2);
        pictureStructure_ = reader_.ReadBits(2);
        topFieldFirst_ = reader_.ReadBits(1);
        uint32_t framePredFrameDct = reader_.ReadBits(1);
        reader_.ReadBits(1);  // concealment_motion_vectors
        info_.qScaleType = reader_.ReadBits(1);
        reader_.ReadBits(1);  // intra_vlc_format
        info_.alternateScan = reader_.ReadBits(1);
        repeatFirstField_ = reader_.ReadBits(1);
        reader_.ReadBits(1);  // chroma_420_type
        info_.progressiveFrame = reader_.ReadBits(1);
        if (reader_.ReadBits(1)) Skip(20);  // composite display fields
        bool firstPicture = info_.frameCount == 0 && !secondField_;
        NotePictureStructure();
        if (firstPicture) {
            info_.intraDcPrecision = intraDcPrecision;
            info_.pictureStructure = pictureStructure_;
            info_.topFieldFirst = topFieldFirst_;
            info_.framePredFrameDct = framePredFrameDct;
        }
        return NextStartCode();
    }

    bool IsFieldPicture() const { return pictureStructure_ != kFramePicture; }

    // Field pictures come in pairs that make one coded frame (ISO/IEC 13818-2, 6.1.1.4).
    // A frame picture where a second field was due leaves the lone field a frame of its
    // own, ending here.
    void NotePictureStructure() {
        if (IsFieldPicture()) {
            firstFieldPending_ = !secondField_;
            return;
        }
        if (secondField_) {
            stats_.EndPicture(reader_.BytesRead(), kFieldsOfAFieldPair, true);
            stats_.NotePicture(pictureType_);
            stats_.NotePictureTiming(temporalReference_, info_.vbvDelay);
        }
        secondField_ = false;
        firstFieldPending_ = false;
    }

    // The coded frame that the picture just parsed completes, if it completes one;
    // `startCodeAfter` when the reader stands after the start code that follows it.
    void EndFrame(bool startCodeAfter) {
        bool fieldPair = IsFieldPicture();
        uint32_t fields = DisplayFieldsOfFrame(progressiveSequence_, fieldPair, repeatFirstField_,
                                               topFieldFirst_);
        stats_.EndPicture(reader_.BytesRead(), fields, fieldPair, startCodeAfter);
    }

    Stop ParseSliceHeader() {
        reader_.ClearNewPacket();
        reader_.ReadBits(8);
        if (verticalSize_ > kLargeVerticalSize) reader_.ReadBits(3);
        if (scalableSeen_ && scalableMode_ == kDataPartitioning) reader_.ReadBits(7);
        reader_.ReadBits(5);  // quantiser_scale_code
        if (reader_.PeekBits(1) == 1) {
            reader_.ReadBits(9);
            while (reader_.PeekBits(1) == 1) reader_.ReadBits(9);
        }
        reader_.ReadBits(1);
        return NextStartCode();  // passes over the macroblocks
    }

    static bool IsSliceStartCode(uint32_t value) {
        return value >= kFirstSliceStartCode && value <= kLastSliceStartCode;
    }

    Stop ParsePictureData() {
        reader_.ClearNewPacket();
        do {
            if (ParseSliceHeader()) {
                // The stream's data ended in this picture's slices: it is still a frame,
                // running to the end of the data.
                EndFrame(false);
                return true;
            }
        } while (IsSliceStartCode(reader_.PeekBits(8)));
        if (!firstFieldPending_) EndFrame(true);
        return false;
    }

    int timeLimitSeconds_;
    StreamReader& reader_;
    VideoStatistics stats_;
    VideoStreamInfo& info_;
    uint32_t progressiveSequence_ = 0;
    uint32_t pictureStructure_ = 0;
    uint32_t topFieldFirst_ = 0;
    uint32_t repeatFirstField_ = 0;
    uint32_t pictureType_ = 0;
    uint32_t temporalReference_ = 0;
    bool firstFieldPending_ = false;  // a first field picture waits for its second
    bool secondField_ = false;        // the picture being parsed is that second field
    uint32_t bytesBeforeSequenceHeader_ = 0;
    bool scalableSeen_ = false;
    uint32_t scalableMode_ = 0;
    uint32_t verticalSize_ = 0;
};

}  // namespace

VideoStatus AnalyzeVideoStream(StreamReader& reader, int streamId, int timeLimitSeconds,
                               VideoListener& listener) {
    return VideoParser(reader, streamId, timeLimitSeconds, listener).Analyze();
}

VideoStatus AnalyzeVideoStream(const std::string& path, int streamId, const StreamExtent& extent,
                               int timeLimitSeconds) {
    StreamReader reader;
    reader.Open(path, streamId, extent);
    return AnalyzeVideoStream(reader, streamId, timeLimitSeconds, CurrentVideoListener());
}
