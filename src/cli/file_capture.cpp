// Capture of one run into a FileResult.
#include "cli/file_capture.h"

#include <filesystem>

#include "audio/audio_stream_info.h"
#include "audio/audio_summary.h"
#include "audio/programme_loudness.h"
#include "input/pes_header.h"
#include "output/key_text.h"
#include "program/program_stream_scan.h"
#include "reference/reference_profile.h"
#include "run/analysis_driver.h"
#include "video/video_statistics.h"
#include "video/video_summary.h"

using json = nlohmann::ordered_json;

namespace {

// program_mux_rate and rate_bound count units of 50 bytes/s (ISO/IEC 13818-1, 2.5.3.4).
constexpr uint64_t kMuxRateUnitBitsPerSecond = 400;
constexpr int kAudioStreamIdCount = 32;  // 0xC0 to 0xDF

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
std::string ErrorReason(const ConsoleSink& sink, const std::vector<ResultLine>& lines) {
    std::string reason;
    if (!sink.ErrorBoxes().empty()) {
        reason = sink.ErrorBoxes().back();
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

json ProgramStreamFigures(const StreamIdTable& t, std::optional<uint64_t> size) {
    json streams = json::array();
    for (int id = 0; id < 256; ++id) {
        if (t.packetCount[static_cast<size_t>(id)] == 0) continue;
        streams.push_back({{"id", id},
                           {"packets", t.packetCount[static_cast<size_t>(id)]},
                           {"payloadBytes", t.payloadBytes[static_cast<size_t>(id)]}});
    }
    return {{"fileSizeBytes", size ? json(*size) : json(nullptr)},
            {"dvd", t.isDvd},
            {"endCode", t.result == ScanOk},
            {"packs", t.packCount},
            {"systemHeaders", t.systemHeaderCount},
            {"pesPackets", t.pesPacketCount},
            {"packSizeMax", t.maxPackSize},
            {"packetsPerPackMax", t.maxPacketsPerPack},
            {"pesPacketLengthMax", t.maxPesPacketLength},
            {"programMuxRateBps", t.programMuxRate * kMuxRateUnitBitsPerSecond},
            {"rateBoundBps", t.rateBound * kMuxRateUnitBitsPerSecond},
            {"fixedBitrate", t.fixedFlag == 1},
            {"firstScrMs", t.firstScrMs},
            {"ptsUnderflows", t.ptsUnderflows},
            {"dtsUnderflows", t.dtsUnderflows},
            {"ptsDtsOutOfSync", t.ptsDtsOutOfSync},
            {"clockDiscontinuities", t.clockDiscontinuities},
            {"shortPesPackets", t.shortPesPackets},
            {"packsAfterEndCode", t.packsAfterEndCode},
            {"videoStreams", t.videoStreamCount},
            {"audioStreams", t.audioStreamCount},
            {"streams", streams}};
}

// A figure that a profile key judges is written as the key takes it, so that a JSON value
// can be copied into the profile as it stands.

// The Mode key is a mask of one bit per mode: mode (ISO/IEC 11172-3, 2.4.2.3) 0 stereo is
// 1, 1 joint stereo 2, 2 dual channel 4, 3 single channel 8.
uint32_t ModeMaskBit(uint32_t mode) { return 1u << (mode & 3u); }

json VideoFigures(int id, const VideoStreamInfo& v, const StreamIdTable& t) {
    return {{"id", id},
            {"status", v.status},
            {"horizontalSize", v.horizontalSize},
            {"verticalSize", v.verticalSize},
            {"aspectRatioCode", v.aspectRatioCode},
            {"frameRateCode", v.frameRateCode},
            {"nominalFrameRate", v.nominalFrameRate},
            {"bitRateBps", BitRateBps(v)},
            {"vbvBufferSize", v.vbvBufferSize},
            {"vbvBufferBits", VbvBufferBits(v)},
            {"profileAndLevel", v.profileAndLevel},
            {"chromaFormat", v.chromaFormat},
            {"pictureStructure", PictureStructureAccepting(v)},
            {"progressiveFrame", v.progressiveFrame},
            {"topFieldFirst", v.topFieldFirst},
            {"vbvDelay", v.vbvDelay},
            {"sequenceHeaders", v.sequenceHeaderCount},
            {"gopCount", v.gopCount},
            {"gopLengthMax", v.maxGopLength},
            {"gopLengthMin", v.minGopLength},
            {"closedGops", v.closedGopCount},
            {"firstGopClosed", v.firstGopClosed != 0},
            {"frames", v.frameCount},
            {"undisplayedFrames", v.undisplayedFrames},
            {"formatChanges", v.formatChangeCount},
            {"brokenLinks", v.brokenLinkCount},
            {"iFrames", v.iFrameCount},
            {"pFrames", v.pFrameCount},
            {"bFrames", v.bFrameCount},
            {"frameSizeMax", v.maxFrameSize},
            {"frameSizeMin", v.minFrameSize},
            {"durationSeconds", VideoDurationSeconds(v)},
            {"firstPtsMs", FirstPtsFromClockStartMs(t, id)},
            {"averageKbps", v.averageKbps},
            {"peakKbps", v.peakKbps}};
}

json AudioFigures(int id, const AudioStreamInfo& a, bool decoded, const StreamIdTable& t) {
    json figures = {{"id", id},
                    {"status", a.status},
                    {"format", AudioFormatName(a)},
                    {"layer", a.layer == kLayerReserved ? 0 : 4 - a.layer},
                    {"bitrateKbps", a.bitrateKbps},
                    {"bitrateMinKbps", a.bitrateMinKbps},
                    {"bitrateMaxKbps", a.bitrateMaxKbps},
                    {"samplingFrequencyHz", a.samplingFrequency},
                    {"mode", ModeMaskBit(static_cast<uint32_t>(a.mode))},
                    {"modeExtension", a.modeExtension},
                    {"protection", a.protectionBit == 0},
                    {"emphasis", a.emphasis},
                    {"syncWords", a.syncWords},
                    {"syncLosses", a.syncLosses},
                    {"firstPtsMs", FirstPtsFromClockStartMs(t, id)},
                    {"decoded", decoded}};
    if (decoded) {
        figures["levels"] = {{"dcLeftDbfs", a.dcLeft},
                             {"dcRightDbfs", a.dcRight},
                             {"peakLeftDbfs", a.peakLeft},
                             {"peakRightDbfs", a.peakRight},
                             {"rmsLeftDb", a.rmsLeft},
                             {"rmsRightDb", a.rmsRight},
                             {"clippedLeft", a.clippedLeft},
                             {"clippedRight", a.clippedRight},
                             {"decodedSeconds", a.decodedSeconds}};
    }
    return figures;
}

// BS.1770 loudness, when it was measured: -infinity (silence) is written as null.
json LoudnessFigures(const ProgrammeLoudnessFigures& l, bool curve) {
    json figures = {
        {"integratedLufs", l.integratedLufs},
        {"rangeLu", l.rangeLu},
        {"maxMomentaryLufs", l.maxMomentaryLufs},
        {"maxShortTermLufs", l.maxShortTermLufs},
        {"truePeakDbtp", std::vector<double>(l.truePeakDbtp, l.truePeakDbtp + l.channels)}};
    if (curve) {
        json points = json::array();
        for (const LoudnessPoint& p : l.curve) {
            points.push_back({p.seconds, p.momentaryLufs, p.shortTermLufs});
        }
        figures["curve"] = points;
    }
    return figures;
}

json StreamFigures(bool analysed, const VideoCsv& video, std::optional<uint64_t> size,
                   bool loudnessCurves) {
    json figures = {{"programStream", nullptr},
                    {"videoStreams", json::array()},
                    {"audioStreams", json::array()}};
    if (!analysed) return figures;
    const StreamIdTable& table = GetStreamIdTable();
    figures["programStream"] = ProgramStreamFigures(table, size);
    for (const VideoSeries& series : video.Streams()) {
        json stream = VideoFigures(series.streamId, GetVideoStreamInfo(series.streamId), table);
        stream.update(SeriesJson(series));
        figures["videoStreams"].push_back(stream);
    }
    bool decoded = DecodesAudio(ReferenceProfile.audio);
    for (int id = kFirstAudioStreamId; id < kFirstAudioStreamId + kAudioStreamIdCount; ++id) {
        if (table.packetCount[static_cast<size_t>(id)] == 0) continue;
        const AudioStreamInfo& a = decoded ? AudioDecodeRecord(id) : AudioHeaderRecord(id);
        json stream = AudioFigures(id, a, decoded, table);
        const ProgrammeLoudnessFigures& loudness = ProgrammeLoudnessRecord(id);
        if (decoded && loudness.measured) {
            stream["loudness"] = LoudnessFigures(loudness, loudnessCurves);
        }
        figures["audioStreams"].push_back(stream);
    }
    return figures;
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    uint64_t size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    return size;
}

}  // namespace

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

FileResult CaptureFileResult(const std::string& path, const ConsoleSink& sink,
                             const VideoCsv& video, double seconds, bool loudnessCurves) {
    FileResult result;
    result.path = path;
    result.sizeBytes = RegularFileSize(path);
    result.seconds = seconds;
    for (const ReportLine& line : sink.Lines()) {
        result.lines.push_back({line.kind, line.text, std::nullopt, false});
    }
    for (const CheckRecord& record : sink.CheckRecords()) {
        if (record.line >= 0 && record.line < static_cast<int>(result.lines.size())) {
            result.lines[static_cast<size_t>(record.line)].check = JudgedCheckOf(record);
        }
    }
    for (const StreamSection& section : sink.StreamSections()) {
        if (section.firstLine < static_cast<int>(result.lines.size())) {
            result.lines[static_cast<size_t>(section.firstLine)].streamStart = true;
        }
    }
    bool error = IsError(GetStreamIdTable());
    if (error) {
        result.verdict = FileVerdict::Error;
        result.reason = ErrorReason(sink, result.lines);
    } else if (!GetRunState().cancelledPhase.empty()) {
        // A signal cut the analysis short: its report covers only part of the file.
        result.verdict = FileVerdict::Interrupted;
        result.reason = "Interrupted during " + GetRunState().cancelledPhase;
    } else {
        result.verdict = GetRunState().runFailed ? FileVerdict::Fail : FileVerdict::Pass;
    }
    result.streams = StreamFigures(!error, video, result.sizeBytes, loudnessCurves);
    return result;
}
