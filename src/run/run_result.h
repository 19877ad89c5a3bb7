// What one analysis run gave, typed, in the form every output is written from: the
// verdict and its reason, the report lines with their kinds and what each judged line
// compared, the measured figures of the program stream and of each elementary stream,
// and their series (GOP rows, one-second bitrates, buffer occupancy, loudness curve).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/loudness_listener.h"
#include "report/check_record.h"
#include "report/report_sink.h"
#include "video/gop_row.h"

// Interrupted: a signal stopped the analysis part way (its report says so, and never
// passes); NotAnalysed: the run was stopped before the file was started.
enum class FileVerdict { Pass, Fail, Error, Interrupted, NotAnalysed };

// A limit or reference value of a judged line, and the profile key that set it (empty
// section and key: the line fixes the value itself).
struct JudgedValue {
    std::string section;
    std::string key;
    double value = 0;
    bool set = true;  // false: the key holds its not-set value, so this side does not judge

    bool operator==(const JudgedValue&) const = default;
};

struct JudgedCheck {
    CheckKind kind = CheckKind::Forced;
    CheckOutcome outcome = CheckOutcome::Information;
    double measured = 0;
    std::string unit;  // of the measured value and every limit; empty for a forced line
    std::optional<JudgedValue> reference;  // equal, mask
    std::optional<JudgedValue> min;        // ranges
    std::optional<JudgedValue> max;        // ranges, tolerance

    bool operator==(const JudgedCheck&) const = default;
};

struct ResultLine {
    LineKind kind = LineKind::Info;
    std::string text;
    std::optional<JudgedCheck> check;
    // The first line of one elementary stream's part of the report: it names the stream.
    bool streamStart = false;

    bool operator==(const ResultLine&) const = default;
};

// The video buffer's occupancy in bits just before and just after one picture's removal,
// at `seconds` of display time from the first removal.
struct VbvPoint {
    uint32_t picture = 0;  // 1-based, stream order
    double seconds = 0;
    double beforeBits = 0;
    double afterBits = 0;

    bool operator==(const VbvPoint&) const = default;
};

// The GOP rows and one-second bitrate samples (kilobits of 1024 bits) of one video stream,
// and its buffer occupancy when the buffer model could run (a buffer size of 0: it could not).
struct VideoSeries {
    int streamId = 0;
    std::vector<GopRow> gops;
    std::vector<double> kilobitsPerSecond;
    double averageKbps = 0;
    double vbvBufferBits = 0;
    std::vector<VbvPoint> vbv;

    bool operator==(const VideoSeries&) const = default;
};

// The loudness every 100 ms of one decoded audio stream, -infinity where it is silent.
struct LoudnessCurve {
    int streamId = 0;
    std::vector<LoudnessPoint> points;

    bool operator==(const LoudnessCurve&) const = default;
};

// Packets and payload bytes of one stream_id.
struct StreamPackets {
    int id = 0;
    uint32_t packets = 0;
    uint64_t payloadBytes = 0;

    bool operator==(const StreamPackets&) const = default;
};

// A figure that a profile key judges is kept as the key takes it, so that a value of the
// JSON can be copied into the profile as it stands. Rates in bit/s, mux rates from their
// units of 50 bytes/s (ISO/IEC 13818-1, 2.5.3.4).
struct ProgramStreamFigures {
    std::optional<uint64_t> fileSizeBytes;
    bool dvd = false;
    bool endCode = false;
    uint32_t packs = 0;
    uint32_t systemHeaders = 0;
    uint32_t pesPackets = 0;
    uint32_t packSizeMax = 0;
    uint32_t packetsPerPackMax = 0;
    uint32_t pesPacketLengthMax = 0;
    uint64_t programMuxRateBps = 0;
    uint64_t rateBoundBps = 0;
    bool fixedBitrate = false;
    double firstScrMs = 0;
    uint32_t ptsUnderflows = 0;
    uint32_t dtsUnderflows = 0;
    uint32_t ptsDtsOutOfSync = 0;
    uint32_t clockDiscontinuities = 0;
    uint32_t shortPesPackets = 0;
    uint32_t packsAfterEndCode = 0;
    uint32_t videoStreams = 0;
    uint32_t audioStreams = 0;
    std::vector<StreamPackets> streams;

    bool operator==(const ProgramStreamFigures&) const = default;
};

struct VideoStreamFigures {
    int id = 0;
    uint32_t status = 0;
    uint32_t horizontalSize = 0;
    uint32_t verticalSize = 0;
    uint32_t aspectRatioCode = 0;
    uint32_t frameRateCode = 0;
    uint32_t nominalFrameRate = 0;
    uint64_t bitRateBps = 0;
    uint32_t vbvBufferSize = 0;  // units of 16 kbit
    uint64_t vbvBufferBits = 0;
    uint32_t profileAndLevel = 0;
    uint32_t chromaFormat = 0;
    int32_t pictureStructure = 0;  // as PictureStructure takes it: 3 frame, 0 field pictures
    uint32_t progressiveFrame = 0;
    uint32_t topFieldFirst = 0;
    uint32_t vbvDelay = 0;
    uint32_t sequenceHeaders = 0;
    uint32_t gopCount = 0;
    uint32_t gopLengthMax = 0;
    uint32_t gopLengthMin = 0;
    uint32_t closedGops = 0;
    bool firstGopClosed = false;
    uint32_t frames = 0;
    uint32_t undisplayedFrames = 0;
    uint32_t formatChanges = 0;
    uint32_t brokenLinks = 0;
    uint32_t iFrames = 0;
    uint32_t pFrames = 0;
    uint32_t bFrames = 0;
    uint32_t frameSizeMax = 0;
    uint32_t frameSizeMin = 0;
    double durationSeconds = 0;
    double firstPtsMs = 0;  // from the first pack's SCR
    double averageKbps = 0;
    double peakKbps = 0;
    VideoSeries series;

    bool operator==(const VideoStreamFigures&) const = default;
};

// Decoded levels of the two channels.
struct AudioLevels {
    double dcLeftDbfs = 0;
    double dcRightDbfs = 0;
    double peakLeftDbfs = 0;
    double peakRightDbfs = 0;
    double rmsLeftDb = 0;
    double rmsRightDb = 0;
    int32_t clippedLeft = 0;
    int32_t clippedRight = 0;
    double decodedSeconds = 0;

    bool operator==(const AudioLevels&) const = default;
};

// BS.1770 loudness, -infinity for silence.
struct LoudnessFigures {
    double integratedLufs = 0;
    double rangeLu = 0;
    double maxMomentaryLufs = 0;
    double maxShortTermLufs = 0;
    std::vector<double> truePeakDbtp;  // each channel
    std::optional<LoudnessCurve> curve;  // when the curve was asked for

    bool operator==(const LoudnessFigures&) const = default;
};

struct AudioStreamFigures {
    int id = 0;
    int32_t status = 0;
    std::string format;  // "MPEG-1 Layer II 192 kbit/s 48000 Hz stereo"
    int32_t layer = 0;   // 1, 2 or 3; 0 reserved
    int32_t bitrateKbps = 0;
    int32_t bitrateMinKbps = 0;
    int32_t bitrateMaxKbps = 0;
    int32_t samplingFrequencyHz = 0;
    uint32_t mode = 0;  // as the Mode key's mask takes it: one bit per mode
    int32_t modeExtension = 0;
    bool protection = false;
    int32_t emphasis = 0;
    int32_t syncWords = 0;
    int32_t syncLosses = 0;
    double firstPtsMs = 0;
    bool decoded = false;
    std::optional<AudioLevels> levels;        // decoded
    std::optional<LoudnessFigures> loudness;  // decoded and measured

    bool operator==(const AudioStreamFigures&) const = default;
};

struct RunResult {
    std::string path;
    std::optional<uint64_t> sizeBytes;  // none when the file could not be read
    FileVerdict verdict = FileVerdict::Error;
    std::string reason;  // why the verdict is an error or an interruption
    double seconds = 0;  // processing time
    std::vector<ResultLine> lines;
    std::optional<ProgramStreamFigures> programStream;  // none when the file was not analysed
    std::vector<VideoStreamFigures> videoStreams;
    std::vector<AudioStreamFigures> audioStreams;

    bool operator==(const RunResult&) const = default;
};

// A file that never reached the analysis (missing, a folder without spots, a worker that
// crashed or hung): verdict error, with the reason as its only line.
RunResult ErrorResult(const std::string& path, const std::string& reason);
// A file the batch never started because the run was stopped.
RunResult NotAnalysedResult(const std::string& path);

const char* VerdictName(FileVerdict verdict);
const char* LineKindName(LineKind kind);
// The verdict or kind a name stands for; none for a name that is neither.
std::optional<FileVerdict> VerdictNamed(std::string_view name);
std::optional<LineKind> LineKindNamed(std::string_view name);
// The verdict line ("Compliance Test: Pass"): the report's last pass or failure line, and
// the only pass line that no check wrote. -1 when there is none.
int VerdictLineIndex(const RunResult& result);
// The lines that fail the file, in report order: failure lines, and the warning lines of
// checks (a level below its window); not the verdict, nor warnings that fail nothing.
std::vector<const ResultLine*> FailureLines(const RunResult& result);

// What a long batch keeps of each file once its text or JSON is out: the failure lines
// and the verdict, which the CSV summary reads; and without `series`, no GOP rows, bitrate
// samples, buffer occupancy or loudness curve.
void KeepForSummary(RunResult& result, bool series);

// The video streams' series, and the audio streams' loudness curves (those measured with
// their curve).
std::vector<VideoSeries> VideoSeriesOf(const RunResult& result);
std::vector<LoudnessCurve> LoudnessCurvesOf(const RunResult& result);
