// Capture of one run into its result.
#include "run/run_capture.h"

#include <algorithm>
#include <filesystem>

#include "audio/audio_stream_info.h"
#include "audio/audio_summary.h"
#include "audio/programme_loudness.h"
#include "input/pes_header.h"
#include "input/program_stream_walker.h"
#include "program/program_stream_scan.h"
#include "reference/key_table.h"
#include "reference/reference_profile.h"
#include "run/analysis_driver.h"
#include "video/video_statistics.h"
#include "video/video_summary.h"

namespace {

JudgedValue ValueOf(const CheckLimit& limit, bool set) {
    return {std::string(limit.key.section), std::string(limit.key.key), limit.value, set};
}

// A limit of 65535 is absent for the integer checks, 1000 or more for the real ones.
bool IntegerLimitSet(const CheckLimit& limit) { return limit.value != kNotSet; }
bool RealLimitSet(const CheckLimit& limit) { return limit.value < kRealNotSet; }

std::string UnitOf(const JudgedCheck& check) {
    for (const std::optional<JudgedValue>* value : {&check.reference, &check.min, &check.max}) {
        if (*value && !(*value)->key.empty()) return KeyUnit((*value)->key);
    }
    return "";
}

// A file whose program stream loses its sync is judged on what was read before: a fail.
bool IsError(const StreamIdTable& table) {
    return table.result != ScanOk && table.result != ScanNoEndCode &&
           table.result != ScanSyncLost && table.result != ScanCancelled;
}

// The last error box's text (the one with the system's reason) on one line; the first
// failure line when no box was shown.
std::string ErrorReason(const MemorySink& report, const std::vector<ResultLine>& lines) {
    if (!report.ErrorBoxes().empty()) {
        std::string reason = report.ErrorBoxes().back();
        while (!reason.empty() && reason.back() == '\n') reason.pop_back();
        for (char& c : reason) {
            if (c == '\n') c = ' ';
        }
        return reason;
    }
    for (const ResultLine& line : lines) {
        if (line.kind == LineKind::Fail) return line.text.substr(line.text.starts_with("*"));
    }
    return "the file could not be analysed";
}

ProgramStreamFigures ProgramFigures(const StreamIdTable& t, std::optional<uint64_t> size) {
    ProgramStreamFigures p;
    for (int id = 0; id < 256; ++id) {
        auto at = static_cast<size_t>(id);
        if (t.packetCount[at] == 0) continue;
        p.streams.push_back({id, t.packetCount[at], t.payloadBytes[at]});
    }
    p.fileSizeBytes = size;
    p.dvd = t.isDvd;
    p.endCode = t.result == ScanOk;
    p.packs = t.packCount;
    p.systemHeaders = t.systemHeaderCount;
    p.pesPackets = t.pesPacketCount;
    p.packSizeMax = t.maxPackSize;
    p.packetsPerPackMax = t.maxPacketsPerPack;
    p.pesPacketLengthMax = t.maxPesPacketLength;
    p.programMuxRateBps = uint64_t{t.programMuxRate} * kMuxRateUnitBitsPerSecond;
    p.rateBoundBps = uint64_t{t.rateBound} * kMuxRateUnitBitsPerSecond;
    p.fixedBitrate = t.fixedFlag == 1;
    p.firstScrMs = t.firstScrMs;
    p.ptsUnderflows = t.ptsUnderflows;
    p.dtsUnderflows = t.dtsUnderflows;
    p.ptsDtsOutOfSync = t.ptsDtsOutOfSync;
    p.clockDiscontinuities = t.clockDiscontinuities;
    p.shortPesPackets = t.shortPesPackets;
    p.packsAfterEndCode = t.packsAfterEndCode;
    p.videoStreams = t.videoStreamCount;
    p.audioStreams = t.audioStreamCount;
    return p;
}

VideoStreamFigures VideoFigures(int id, const VideoStreamInfo& v, const StreamIdTable& t) {
    VideoStreamFigures f;
    f.id = id;
    f.status = v.status;
    f.horizontalSize = v.horizontalSize;
    f.verticalSize = v.verticalSize;
    f.aspectRatioCode = v.aspectRatioCode;
    f.frameRateCode = v.frameRateCode;
    f.nominalFrameRate = v.nominalFrameRate;
    f.bitRateBps = BitRateBps(v);
    f.vbvBufferSize = v.vbvBufferSize;
    f.vbvBufferBits = VbvBufferBits(v);
    f.profileAndLevel = v.profileAndLevel;
    f.chromaFormat = v.chromaFormat;
    f.pictureStructure = PictureStructureAccepting(v);
    f.progressiveFrame = v.progressiveFrame;
    f.topFieldFirst = v.topFieldFirst;
    f.vbvDelay = v.vbvDelay;
    f.sequenceHeaders = v.sequenceHeaderCount;
    f.gopCount = v.gopCount;
    f.gopLengthMax = v.maxGopLength;
    f.gopLengthMin = v.minGopLength;
    f.closedGops = v.closedGopCount;
    f.firstGopClosed = v.firstGopClosed != 0;
    f.frames = v.frameCount;
    f.undisplayedFrames = v.undisplayedFrames;
    f.formatChanges = v.formatChangeCount;
    f.brokenLinks = v.brokenLinkCount;
    f.iFrames = v.iFrameCount;
    f.pFrames = v.pFrameCount;
    f.bFrames = v.bFrameCount;
    f.frameSizeMax = v.maxFrameSize;
    f.frameSizeMin = v.minFrameSize;
    f.durationSeconds = VideoDurationSeconds(v);
    f.firstPtsMs = FirstPtsFromClockStartMs(t, id);
    f.averageKbps = v.averageKbps;
    f.peakKbps = v.peakKbps;
    return f;
}

// The Mode key is a mask of one bit per mode: mode (ISO/IEC 11172-3, 2.4.2.3) 0 stereo is
// 1, 1 joint stereo 2, 2 dual channel 4, 3 single channel 8.
uint32_t ModeMaskBit(uint32_t mode) { return 1u << (mode & 3u); }

AudioStreamFigures AudioFigures(int id, const AudioStreamInfo& a, bool decoded,
                                const StreamIdTable& t) {
    AudioStreamFigures f;
    f.id = id;
    f.status = a.status;
    f.format = AudioFormatName(a);
    f.layer = a.layer == kLayerReserved ? 0 : 4 - a.layer;
    f.bitrateKbps = a.bitrateKbps;
    f.bitrateMinKbps = a.bitrateMinKbps;
    f.bitrateMaxKbps = a.bitrateMaxKbps;
    f.samplingFrequencyHz = a.samplingFrequency;
    f.mode = ModeMaskBit(static_cast<uint32_t>(a.mode));
    f.modeExtension = a.modeExtension;
    f.protection = a.protectionBit == 0;
    f.emphasis = a.emphasis;
    f.syncWords = a.syncWords;
    f.syncLosses = a.syncLosses;
    f.firstPtsMs = FirstPtsFromClockStartMs(t, id);
    f.decoded = decoded;
    if (decoded) {
        f.levels = AudioLevels{a.dcLeft,      a.dcRight,      a.peakLeft,
                               a.peakRight,   a.rmsLeft,      a.rmsRight,
                               a.clippedLeft, a.clippedRight, a.decodedSeconds};
    }
    return f;
}

LoudnessFigures Loudness(int id, const ProgrammeLoudnessFigures& l, bool curve) {
    LoudnessFigures f{l.integratedLufs,
                      l.rangeLu,
                      l.maxMomentaryLufs,
                      l.maxShortTermLufs,
                      std::vector<double>(l.truePeakDbtp, l.truePeakDbtp + l.channels),
                      std::nullopt};
    if (curve) f.curve = LoudnessCurve{id, l.curve};
    return f;
}

void TakeStreamFigures(RunResult& result, std::vector<VideoSeries> series, bool loudnessCurves) {
    const StreamIdTable& table = GetStreamIdTable();
    result.programStream = ProgramFigures(table, result.sizeBytes);
    for (int id : GetRunState().videoStreams) {
        VideoStreamFigures video = VideoFigures(id, GetVideoStreamInfo(id), table);
        auto recorded = std::find_if(series.begin(), series.end(),
                                     [id](const VideoSeries& s) { return s.streamId == id; });
        if (recorded != series.end()) {
            video.series = std::move(*recorded);
        } else {
            video.series.streamId = id;
        }
        result.videoStreams.push_back(std::move(video));
    }
    bool decoded = DecodesAudio(ReferenceProfile.audio);
    for (int id = kFirstAudioStreamId; id <= kLastAudioStreamId; ++id) {
        if (table.packetCount[static_cast<size_t>(id)] == 0) continue;
        const AudioStreamInfo& a = decoded ? AudioDecodeRecord(id) : AudioHeaderRecord(id);
        AudioStreamFigures audio = AudioFigures(id, a, decoded, table);
        const ProgrammeLoudnessFigures& loudness = ProgrammeLoudnessRecord(id);
        if (decoded && loudness.measured) audio.loudness = Loudness(id, loudness, loudnessCurves);
        result.audioStreams.push_back(std::move(audio));
    }
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    uint64_t size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    return size;
}

JudgedCheck JudgedCheckOf(const CheckRecord& record) {
    JudgedCheck check;
    check.kind = record.kind;
    check.outcome = record.outcome;
    check.measured = record.measured;
    switch (record.kind) {
        case CheckKind::Equal:
            check.reference = ValueOf(record.reference, IntegerLimitSet(record.reference));
            break;
        case CheckKind::Mask:  // every value of a mask judges: 65535 allows bits 0 to 15
            check.reference = ValueOf(record.reference, true);
            break;
        case CheckKind::Range:
            check.min = ValueOf(record.min, IntegerLimitSet(record.min));
            check.max = ValueOf(record.max, IntegerLimitSet(record.max));
            break;
        case CheckKind::RealRange:
            check.min = ValueOf(record.min, RealLimitSet(record.min));
            check.max = ValueOf(record.max, RealLimitSet(record.max));
            break;
        case CheckKind::Tolerance:  // a tolerance of 0 is not set
            check.max = ValueOf(record.max, record.max.value != 0);
            break;
        case CheckKind::Forced:
            break;
    }
    check.unit = UnitOf(check);
    return check;
}

}  // namespace

RunResult CaptureRunResult(const char* path, const MemorySink& report,
                           std::vector<VideoSeries> series, double seconds, bool loudnessCurves) {
    RunResult result;
    result.path = path ? path : "";
    result.sizeBytes = RegularFileSize(result.path);
    result.seconds = seconds;
    for (const ReportLine& line : report.Lines()) {
        result.lines.push_back({line.kind, line.text, std::nullopt, false});
    }
    for (const CheckRecord& record : report.CheckRecords()) {
        if (record.line >= 0 && record.line < static_cast<int>(result.lines.size())) {
            result.lines[static_cast<size_t>(record.line)].check = JudgedCheckOf(record);
        }
    }
    for (const StreamSection& section : report.StreamSections()) {
        if (section.firstLine < static_cast<int>(result.lines.size())) {
            result.lines[static_cast<size_t>(section.firstLine)].streamStart = true;
        }
    }
    bool error = !path || IsError(GetStreamIdTable());
    if (error) {
        result.verdict = FileVerdict::Error;
        result.reason = ErrorReason(report, result.lines);
    } else if (!GetRunState().cancelledPhase.empty()) {
        // A signal cut the analysis short: its report covers only part of the file.
        result.verdict = FileVerdict::Interrupted;
        result.reason = "Interrupted during " + GetRunState().cancelledPhase;
    } else {
        result.verdict = GetRunState().runFailed ? FileVerdict::Fail : FileVerdict::Pass;
    }
    if (!error) TakeStreamFigures(result, std::move(series), loudnessCurves);
    return result;
}
