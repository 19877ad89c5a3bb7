// Run results: the results of files that were never analysed, and what outputs read of a
// result.
#include "run/run_result.h"

#include "run/enum_names.h"

namespace {

constexpr EnumNames<FileVerdict, 5> kVerdictNames = {
    {{FileVerdict::Pass, "pass"},
     {FileVerdict::Fail, "fail"},
     {FileVerdict::Error, "error"},
     {FileVerdict::Interrupted, "interrupted"},
     {FileVerdict::NotAnalysed, "not analysed"}}};

constexpr EnumNames<LineKind, 5> kLineKindNames = {
    {{LineKind::Heading, "heading"},
     {LineKind::Info, "info"},
     {LineKind::Pass, "pass"},
     {LineKind::Fail, "fail"},
     {LineKind::Warning, "warning"}}};

}  // namespace

RunResult ErrorResult(const std::string& path, const std::string& reason) {
    RunResult result;
    result.path = path;
    result.verdict = FileVerdict::Error;
    result.reason = reason;
    // Framed as a report, so that a text output reads the same as for an analysed file.
    result.lines = {{LineKind::Heading, "File under analysis: \"" + path + "\"..!", {}, false},
                    {LineKind::Fail, "*" + reason, {}, false},
                    {LineKind::Heading, "Result:", {}, false},
                    {LineKind::Fail, "Compliance Test: Fail!!", {}, false}};
    return result;
}

RunResult NotAnalysedResult(const std::string& path) {
    RunResult result = ErrorResult(path, "Not analysed: the run was stopped before this file");
    result.verdict = FileVerdict::NotAnalysed;
    return result;
}

const char* VerdictName(FileVerdict verdict) { return NameOf(kVerdictNames, verdict); }

std::optional<FileVerdict> VerdictNamed(std::string_view name) {
    return Named(kVerdictNames, name);
}

const char* LineKindName(LineKind kind) { return NameOf(kLineKindNames, kind); }

std::optional<LineKind> LineKindNamed(std::string_view name) {
    return Named(kLineKindNames, name);
}

int VerdictLineIndex(const RunResult& result) {
    for (int i = static_cast<int>(result.lines.size()) - 1; i >= 0; --i) {
        LineKind kind = result.lines[static_cast<size_t>(i)].kind;
        if (kind == LineKind::Pass || kind == LineKind::Fail) return i;
    }
    return -1;
}

std::vector<const ResultLine*> FailureLines(const RunResult& result) {
    std::vector<const ResultLine*> failures;
    int verdict = VerdictLineIndex(result);
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const ResultLine& line = result.lines[i];
        bool failing =
            line.kind == LineKind::Fail || (line.kind == LineKind::Warning && line.check);
        if (failing && static_cast<int>(i) != verdict) failures.push_back(&line);
    }
    return failures;
}

void KeepForSummary(RunResult& result, bool series) {
    std::vector<ResultLine> kept;
    int verdict = VerdictLineIndex(result);
    for (const ResultLine* failure : FailureLines(result)) kept.push_back(*failure);
    if (verdict >= 0) kept.push_back(result.lines[static_cast<size_t>(verdict)]);
    result.lines = std::move(kept);
    if (series) return;
    for (VideoStreamFigures& video : result.videoStreams) {
        video.series.gops = {};
        video.series.kilobitsPerSecond = {};
        video.series.vbvBufferBits = 0;
        video.series.vbv = {};
    }
    for (AudioStreamFigures& audio : result.audioStreams) {
        if (audio.loudness) audio.loudness->curve.reset();
    }
}

std::vector<VideoSeries> VideoSeriesOf(const RunResult& result) {
    std::vector<VideoSeries> all;
    for (const VideoStreamFigures& video : result.videoStreams) all.push_back(video.series);
    return all;
}

std::vector<LoudnessCurve> LoudnessCurvesOf(const RunResult& result) {
    std::vector<LoudnessCurve> all;
    for (const AudioStreamFigures& audio : result.audioStreams) {
        if (audio.loudness && audio.loudness->curve) all.push_back(*audio.loudness->curve);
    }
    return all;
}
