// The analysis driver.
#include "run/analysis_driver.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <string>

#include "audio/audio_summary.h"
#include "input/bitstream_file.h"
#include "program/program_stream_scan.h"
#include "program/program_stream_summary.h"
#include "reference/reference_profile.h"
#include "report/compliance_checks.h"
#include "report/report_format.h"
#include "report/recording_sink.h"
#include "report/report_log.h"
#include "run/run_capture.h"
#include "run/series_recorder.h"
#include "run/stream_passes.h"
#include "video/spot_timing.h"
#include "video/video_listener.h"
#include "video/video_summary.h"

namespace {

RunState runState;

// Below this, MaxTimeToProcess means no limit.
constexpr int kShortestTimeLimitSeconds = 300;
// Bytes of a pack that carry no elementary data: pack header 14, system header 21,
// PES header 6 and 16 more.
constexpr uint32_t kPackOverheadBytes = 57;
// ProgramEndCodeRequired 1 accepts a file without a program end code.
constexpr int32_t kNoEndCodeAccepted = 1;

void StartRun() {
    int maxTime = ReferenceProfile.system.MaxTimeToProcess;
    RunState fresh;
    fresh.timeLimitSeconds = maxTime >= kShortestTimeLimitSeconds ? maxTime : 0;
    fresh.busy = true;
    fresh.startTime = std::time(nullptr);
    fresh.clockStart = std::chrono::steady_clock::now();
    runState = fresh;
}

// Which profile judged the file, so that a saved report is an audit record (written as a
// heading, so that print-only-errors keeps it too), then the names in it that Zembra does
// not know: a check the operator meant to set is not made. Warnings, not failures; but a
// key whose value could not be applied fails the file, which was not judged as meant.
void WriteProfileLines() {
    const ProfileOrigin& origin = ReferenceProfileOrigin();
    if (origin.none) {
        LogHeading("Reference profile: none, no key is set");
    } else if (!origin.readError.empty()) {
        LogWarning("Reference profile \"%s\" cannot be read (%s): no key is set",
                   origin.path.c_str(), origin.readError.c_str());
    } else {
        LogHeading("Reference profile: \"%s\"", origin.path.c_str());
    }
    for (const ProfileWarning& warning : ProfileWarnings()) {
        LogWarning("%s", ProfileWarningText(warning).c_str());
    }
    for (const ProfileWarning& warning : ProfileWarnings()) {
        if (!IsValueNotApplied(warning)) continue;
        CheckAlwaysFails(
            "Key \"" + warning.key + "\" of the profile not applied: its value \"" + warning.value +
                "\" is " +
                (warning.kind == ProfileWarningKind::OutOfRange ? "out of range" : "unreadable"),
            runState.runFailed);
    }
}

void WriteFramingLines(const char* path) {
    LogHeading(" ");
    LogHeading("File under analysis: \"%s\"..!", path ? path : "");
    LogHeading(" ");
    LogHeading("Begin Process:");
    LogHeading(" ");
    LogHeading("Begin Program Streams Summary:");
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FolderText(const std::string& path) {
    return "\"" + path + "\" is a folder, not a file";
}

// What is wrong with a file that could not be read, in words: a folder is a folder, an
// empty file is empty, otherwise the system's reason after the usual text.
std::string OpenFailureText(const std::string& path) {
    const BitstreamFile& file = GetBitstreamFile();
    switch (file.LastOpenFailure()) {
        case BitstreamFile::OpenFailure::Folder:
            return FolderText(path);
        case BitstreamFile::OpenFailure::Empty:
            return "File \"" + path + "\" is empty";
        case BitstreamFile::OpenFailure::NotRegularFile:
            return "Unable to open file \"" + path + "\" for reading.\nIt is not a regular file.";
        default:
            return "Unable to open file \"" + path + "\" for reading.\n" + file.LastOpenError() +
                   ".";
    }
}

// Writes what the first pass's result says of the file; true when the sections follow:
// after the whole file, after a missing end code the profile accepts, and after the
// program stream lost its sync, so that the figures of what was read before are shown.
bool HandleScanResult(ScanResult result, const std::string& path) {
    bool& failed = runState.runFailed;
    switch (result) {
        case ScanOk:
            return true;
        case ScanBadExtension:
            ReportError(IsFolder(path) ? FolderText(path)
                                       : "Bad extension for file \"" + path + "\"..!");
            break;
        case ScanOpenFailed:
            ReportError(OpenFailureText(path));
            break;
        case ScanNotProgramStream:
            ReportError("File \"" + path + "\"\nis NOT a MPEG program stream!!");
            break;
        case ScanMpeg1System:
            ReportError("File \"" + path + "\" is a MPEG-1 System Stream");
            break;
        case ScanPackHeaderInPes:
            ReportError("Pack header field flag value not allowed in program streams");
            break;
        case ScanNoEndCode:
            CheckAcceptedWhenKeyIs(
                "Missing Progam End Code...",
                KeyOf(ReferenceProfile.system, &SystemReference::ProgramEndCodeRequired),
                kNoEndCodeAccepted, failed);
            return !failed;
        case ScanCancelled:  // the end of the run says so
            break;
        case ScanSyncLost: {
            const StreamIdTable& table = GetStreamIdTable();
            uint64_t fileSize = GetBitstreamFile().FileSize();
            uint64_t rest = fileSize > table.syncLostOffset ? fileSize - table.syncLostOffset : 0;
            LogFail("*Program stream sync lost at byte %llu: no start code in the next %llu bytes",
                    static_cast<unsigned long long>(table.syncLostOffset),
                    static_cast<unsigned long long>(rest));
            failed = true;
            return true;
        }
        default:
            ReportError("Unknown Error...!!");
            break;
    }
    failed = true;
    return false;
}

// What the mux rate judgement records: the declared rate in bit/s at least the
// recommended one, a minimum ProgramMuxRateMin sets.
CheckRecord MuxRateRecord(CheckOutcome outcome, uint32_t actualBps, double recommendedBps,
                          int line) {
    CheckRecord record;
    record.kind = CheckKind::RealRange;
    record.outcome = outcome;
    record.measured = actualBps;
    record.min = {KeyOf(ReferenceProfile.system, &SystemReference::ProgramMuxRateMin).name,
                  recommendedBps};
    record.max = {{}, kRealNotSet};
    record.line = line;
    return record;
}

// The declared mux rate against what the elementary streams need, with the pack
// overhead of each pack added. Decided only now, so the section's pass line is
// rewritten (or, when it was never written, inserted) in place.
void CheckRecommendedMuxRate(const StreamIdTable& table) {
    uint32_t packSize = table.maxPackSize;
    if (packSize <= kPackOverheadBytes) return;  // no payload room: nothing to recommend
    if (ReferenceProfile.system.ProgramMuxRateMin != kMuxRateHeldToStreams) return;
    double ratio =
        static_cast<double>(packSize) / static_cast<double>(packSize - kPackOverheadBytes);
    double needed = std::ceil(ratio * runState.elementaryBitrateSum);
    double recommended = std::ceil(needed * 0.02) * 50;
    uint32_t actual = table.programMuxRate * kMuxRateUnitBitsPerSecond;
    if (!(actual < recommended)) {
        int passLine = GetPrintOnlyErrors() ? kLineNotWritten : runState.muxRateLine - 1;
        RecordCheck(MuxRateRecord(CheckOutcome::Pass, actual, recommended, passLine));
        return;
    }

    std::string text =
        FormatReportLine("*Program Mux Rate = %d Kbps, Min. Recommended = %d Kbps",
                         actual / kBitsPerKbit, static_cast<int>(recommended / kBitsPerKbit));
    int failureLine;
    if (GetPrintOnlyErrors()) {
        failureLine = runState.muxRateLine;
        LogFailInsertAt(text, failureLine);
    } else {
        failureLine = runState.muxRateLine - 1;
        LogFailAt(text, failureLine);
    }
    RecordCheck(MuxRateRecord(CheckOutcome::Failure, actual, recommended, failureLine));
    runState.runFailed = true;
}

}  // namespace

void WriteCrossStreamChecks(const StreamIdTable& table) {
    const SystemReference& ref = ReferenceProfile.system;
    CheckRecommendedMuxRate(table);
    double durationDifferenceMs =
        (runState.videoDurationSeconds - runState.audioDurationSeconds) * 1000;
    LogHeading(" ");
    LogHeading("Video Stream Duration: %0.2f sec -> %i:%02i (secs:frames)",
               runState.videoDurationSeconds, runState.videoWholeSeconds,
               runState.videoRemainingFrames);
    LogInfo(" ");
    WriteSpotTimingLines(
        ReferenceProfile,
        {runState.videoMeasured, runState.audioMeasured, runState.videoFramePeriods,
         runState.videoNominalFrameRate, runState.videoFirstPtsMs, runState.videoDurationSeconds,
         runState.audioFirstPtsMs, runState.audioDurationSeconds},
        runState.runFailed);
    // Without a stream on either side there is nothing to compare: an AC-3 only DVD
    // file or an audio-only file is not judged against a duration of 0.
    const char* missing = !runState.videoMeasured   ? "no MPEG-2 video stream measured"
                          : !runState.audioMeasured ? "no MPEG audio stream measured"
                                                    : nullptr;
    if (missing) {
        LogInfo("Duration Difference from Video to Audio: %s", missing);
        LogInfo("Initial Delay Audio to Video (PTS based): %s", missing);
        return;
    }
    CheckWithinTolerance(FormatReportLine("Duration Difference from Video to Audio = %0.0f msec",
                                          durationDifferenceMs),
                         KeyOf(ref, &SystemReference::DurationAudioVideoDifference),
                         durationDifferenceMs, runState.runFailed);
    double delayMs = runState.audioFirstPtsMs - runState.videoFirstPtsMs;
    CheckWithinTolerance(
        FormatReportLine("Initial Delay Audio to Video (PTS based) = %0.0f msec ", delayMs),
        KeyOf(ref, &SystemReference::DelayAudioVideoDifference), delayMs, runState.runFailed);
}

namespace {

std::string ElapsedAsTimeOfDay() {
    auto elapsed = std::chrono::steady_clock::now() - runState.clockStart;
    long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    std::tm span{};
    span.tm_hour = static_cast<int>(seconds / 3600 % 24);
    span.tm_min = static_cast<int>(seconds / 60 % 60);
    span.tm_sec = static_cast<int>(seconds % 60);
    char text[64];
    size_t length = std::strftime(text, sizeof text, "%X", &span);
    return std::string(text, length);
}

// The first phase the operator cancelled, noted before the next phase clears the flag.
void NoteCancelledPhase(const std::string& phase) {
    if (!phase.empty() && runState.cancelledPhase.empty()) runState.cancelledPhase = phase;
}

// The driver assembles what the phases return: a failure, the bitrate their streams add
// and a cancel count whatever was measured; true when a stream was measured, whose
// figures then replace the earlier ones (the last stream measured wins).
template <typename PhaseResult>
bool TakeCommonResult(const PhaseResult& phase) {
    runState.runFailed = runState.runFailed || phase.failed;
    runState.elementaryBitrateSum += phase.bitrateSumBps;
    NoteCancelledPhase(phase.cancelledPhase);
    return phase.measured;
}

void TakeVideoResult(const VideoPhaseResult& video) {
    runState.videoStreams = video.streams;
    if (!TakeCommonResult(video)) return;
    runState.videoMeasured = true;
    runState.videoDurationSeconds = video.durationSeconds;
    runState.videoWholeSeconds = video.wholeSeconds;
    runState.videoRemainingFrames = video.remainingFrames;
    runState.videoFramePeriods = video.framePeriods;
    runState.videoNominalFrameRate = video.nominalFrameRate;
    runState.videoFirstPtsMs = video.firstPtsMs;
}

void TakeAudioResult(const AudioPhaseResult& audio) {
    if (!TakeCommonResult(audio)) return;
    runState.audioMeasured = true;
    runState.audioDurationSeconds = audio.durationSeconds;
    runState.audioFirstPtsMs = audio.firstPtsMs;
}

void WriteEndOfRun() {
    if (!runState.cancelledPhase.empty()) {
        runState.runFailed = true;
        LogFail("*Analysis cancelled during %s: the report covers only what was read before",
                runState.cancelledPhase.c_str());
    }
    SetStatusText("Done!");
    SetProgress(0);
    LogInfo(" ");
    LogInfo("Processing time: %s", ElapsedAsTimeOfDay().c_str());
    LogHeading(" ");
    LogHeading("Result:");
    if (runState.runFailed) {
        SetVerdictFail();
        LogFail("Compliance Test: Fail!!");
    } else {
        SetVerdictPass();
        LogPass("Compliance Test: Pass");
    }
    LogInfo(" ");
    LogHeading("End.");
    LogInfo(" ");
    runState.busy = false;
}

}  // namespace

RunState& GetRunState() { return runState; }

bool IsAnalysisRunning() { return runState.busy; }

std::time_t RunStartTime() { return runState.startTime; }

namespace {

// The run proper, its report going to the bound sink.
void RunAnalysis(const char* path, const RunOptions& options) {
    StartRun();
    ClearReport();
    SetStatusText("Processing Program Stream...");
    LogVersionLine(runState.startTime);
    WriteProfileLines();
    WriteFramingLines(path);
    if (!path) {
        ReportError("ERROR: Missing File Name..!!");
        runState.busy = false;  // a refused run must not lock the commands out
        return;
    }

    ClearCancelRequest();
    SetProgress(0);
    // The first pass reads the file once for the whole run, handing each stream's
    // payloads to its pass as it goes.
    const AudioReference& audio = ReferenceProfile.audio;
    StreamPasses passes(runState.timeLimitSeconds, DecodesAudio(audio),
                        MeasuresLoudness(audio, options.loudnessCurves));
    ScanResult result = ScanProgramStream(path, runState.timeLimitSeconds, &passes.FanOut());
    if (IsCancelRequested()) NoteCancelledPhase("the program stream pass");
    const StreamIdTable& table = GetStreamIdTable();
    SetProgress(100);
    SetStatusText("");
    if (HandleScanResult(result, path)) {
        runState.muxRateLine =
            WriteProgramStreamSummary(ReferenceProfile.system, table, path,
                                      GetBitstreamFile().FileSize(), runState.runFailed);
        // A cancel during the first pass skips the elementary streams.
        if (!IsCancelRequested()) {
            TakeVideoResult(RunVideoPhase(ReferenceProfile.video, table,
                                          [&](int id) { return passes.FinishVideoPass(id); }));
        }
        // A cancel seen while the video section is written skips the audio phase.
        if (!IsCancelRequested()) {
            TakeAudioResult(RunAudioPhase(audio, table,
                                          [&](int id) { return passes.FinishAudioPass(id); }));
        }
        WriteCrossStreamChecks(table);
    }
    WriteEndOfRun();
}

}  // namespace

RunResult AnalyzeFile(const char* path, const RunOptions& options) {
    auto start = std::chrono::steady_clock::now();
    // The run keeps its own record of what it shows the front end, and passes it all on.
    ScopedReportSink report(nullptr);
    RecordingSink recording(report.Previous());
    SetReportSink(&recording);
    // Without series asked for, the front end's listener (if any) is told alone.
    ScopedVideoListener video(nullptr);
    SeriesRecorder series(options.bufferOccupancy, video.Previous());
    SetVideoListener(options.series ? &series : video.Previous());
    RunAnalysis(path, options);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return CaptureRunResult(path, recording, std::move(series.Streams()), elapsed.count(),
                            options.loudnessCurves);
}
