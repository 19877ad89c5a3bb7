// What the analysis of one file gave, in the form every output is made from: the verdict,
// the report lines with what each judged line compared, and the measured figures of its
// streams. A batch's worker process hands it to the main process as JSON, so it holds
// nothing that JSON cannot carry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "report/check_record.h"
#include "report/report_sink.h"

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

// One GOP of a video stream, as the GOP table shows it.
struct GopRow {
    std::string timeCode;  // hh:mm:ss:pp of the GOP header
    uint32_t length = 0;   // coded pictures
    std::string structure;
    bool closed = false;
    bool sequenceHeader = false;  // a sequence header came before it
    bool brokenLink = false;      // broken_link: its leading B pictures are not shown

    bool operator==(const GopRow&) const = default;
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

// The loudness every 100 ms of one decoded audio stream: [seconds, momentary LUFS,
// short-term LUFS], -infinity where it is silent.
struct LoudnessCurve {
    int streamId = 0;
    std::vector<std::array<double, 3>> points;

    bool operator==(const LoudnessCurve&) const = default;
};

struct FileResult {
    std::string path;
    std::optional<uint64_t> sizeBytes;  // none when the file could not be read
    FileVerdict verdict = FileVerdict::Error;
    std::string reason;  // why the verdict is an error
    double seconds = 0;  // processing time
    std::vector<ResultLine> lines;
    // Measured figures: {"programStream": {...} or null, "videoStreams": [...],
    // "audioStreams": [...]}; each video stream holds its GOP rows and bitrate series.
    nlohmann::ordered_json streams = nlohmann::ordered_json::object();

    bool operator==(const FileResult&) const = default;
};

// A file that never reached the analysis (missing, a folder without spots, a worker that
// crashed or hung): verdict error, with the reason as its only line.
FileResult ErrorResult(const std::string& path, const std::string& reason);
// A file the batch never started because the run was stopped.
FileResult NotAnalysedResult(const std::string& path);

const char* VerdictName(FileVerdict verdict);
const char* LineKindName(LineKind kind);
// The verdict line ("Compliance Test: Pass"): the report's last pass or failure line, and
// the only pass line that no check wrote. -1 when there is none.
int VerdictLineIndex(const FileResult& result);
// The lines that fail the file, in report order: failure lines, and the warning lines of
// checks (a level below its window); not the verdict, nor warnings that fail nothing.
std::vector<const ResultLine*> FailureLines(const FileResult& result);

// What a long batch keeps of each file once its text or JSON is out: the failure lines
// and the verdict, which the CSV summary reads; and without `series`, no GOP rows, bitrate
// samples or buffer occupancy.
void KeepForSummary(FileResult& result, bool series);

// The video streams' series out of the figures.
std::vector<VideoSeries> VideoSeriesOf(const FileResult& result);
// The audio streams' loudness curves out of the figures (those measured with their curve).
std::vector<LoudnessCurve> LoudnessCurvesOf(const FileResult& result);
nlohmann::ordered_json SeriesJson(const VideoSeries& series);

nlohmann::ordered_json ToJson(const FileResult& result);
// Throws nlohmann::ordered_json::exception when the document is not a file result.
FileResult FileResultFromJson(const nlohmann::ordered_json& json);
