// Video section of the report.
#include "video/video_summary.h"

#include <iterator>
#include <string>

#include "program/program_stream_scan.h"
#include "program/program_stream_summary.h"
#include "reference/reference_profile.h"
#include "report/compliance_checks.h"
#include "report/report_format.h"
#include "report/report_log.h"
#include "video/vbv_model.h"
#include "video/video_codes.h"
#include "video/video_parser.h"
#include "video/video_statistics.h"

namespace {

constexpr uint32_t kMainProfileAtMainLevel = 0x48;  // profile_and_level_indication
constexpr uint32_t kChroma420 = 1;
// frame_rate_code (ISO/IEC 13818-2, table 6-4): the two rates every profile has judged.
constexpr uint32_t kFrameRate25 = 3;
constexpr uint32_t kFrameRate2997 = 4;
// ProfileAndLevel 0 accepts a stream other than MP@ML.
constexpr int32_t kOtherThanMainProfileAccepted = 0;
// FormatChangesAllowed 1 accepts a change of format inside the stream.
constexpr int32_t kFormatChangesAccepted = 1;
// VideoEndCodeRequired 0 accepts a stream without a sequence end code.
constexpr int32_t kNoEndCodeAccepted = 0;
// The shortest GOP there is: a minimum that is judged even without GOPLengthMax.
constexpr uint32_t kShortestGop = 1;

// Quotients that have no value for an empty divisor print 0.
uint64_t Quotient(uint64_t dividend, uint64_t divisor) {
    return divisor == 0 ? 0 : dividend / divisor;
}
double RealQuotient(double dividend, double divisor) {
    return divisor == 0 ? 0.0 : dividend / divisor;
}

// "Yes"/"No" style lines: the text for the measured flag, judged by the key.
void CheckFlag(const char* yesText, const char* noText, ProfileKey key, uint32_t measured,
               bool& failed) {
    CheckEqual(measured ? yesText : noText, key, measured ? 1 : 0, failed);
}

// A value of studio and HD streams, once reported as "Invalid": judged as it always was,
// and accepted as well by a key set to the measured code (ProfileAndLevel=130 accepts
// 4:2:2@HL).
void CheckNamedCode(const std::string& line, ProfileKey key, uint32_t code, int32_t accepted,
                    bool& failed) {
    if (key.value == static_cast<int32_t>(code)) {
        CheckEqual(line, key, code, failed);
    } else {
        CheckAcceptedWhenKeyIs(line, key, accepted, failed);
    }
}

// "Aspect Ratio = 16:9"; square samples read "Square 1:1". Empty for a reserved code.
std::string AspectRatioText(uint32_t code) {
    const char* name = AspectRatioName(code);
    if (!name) return "";
    return std::string("Aspect Ratio = ") + (code == 1 ? "Square " : "") + name;
}

// Whether the stream's coded frames are frame pictures; without any frame, what its first
// picture said.
bool CodesFramePictures(const VideoStreamInfo& v) {
    return v.framePictureCount > 0 || (v.frameCount == 0 && v.pictureStructure == kFramePicture);
}

void WritePictureStructureLine(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    bool frames = CodesFramePictures(v);
    bool fields = v.fieldPairCount > 0;
    ProfileKey key = KeyOf(ref, &VideoReference::PictureStructure);
    if (frames && fields) {
        // Field pictures in use: judged as a field-picture stream.
        CheckAcceptedWhenKeyIs("Picture Structure = Frame and Field", key, kFieldPicturesAccepted,
                               failed);
    } else if (frames) {
        CheckAcceptedWhenKeyIs("Picture Structure = Frame", key, kFramePicturesAccepted, failed);
    } else {
        CheckAcceptedWhenKeyIs("Picture Structure = Field", key, kFieldPicturesAccepted, failed);
        LogInfo("Picture Structure = Field");
    }
}

// 25 and 29.97 fps are judged by FrameRate; a rate the key does not name fails, as every
// other rate always has, unless the key names it.
void WriteFrameRateLine(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    ProfileKey key = KeyOf(ref, &VideoReference::FrameRate);
    const char* rate = FrameRateName(v.frameRateCode);
    if (!rate) {
        CheckAlwaysFails("Frame Rate = Invalid", failed);
        return;
    }
    std::string line = std::string("Frame Rate = ") + rate;
    if (v.frameRateCode == kFrameRate25 || v.frameRateCode == kFrameRate2997) {
        CheckEqual(line, key, v.frameRateCode, failed);
    } else {
        CheckEqualWhenNamed(line, key, v.frameRateCode, failed);
    }
}

// MP@ML is judged by CBR_VBR; every other profile and level by ProfileAndLevel, which 0
// (any of them) or its own code accepts.
void WriteStreamTypeLine(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    ProfileKey cbrVbr = KeyOf(ref, &VideoReference::CBR_VBR);
    bool variable = v.vbvDelay == kNoVbvDelay;
    if (v.profileAndLevel == kMainProfileAtMainLevel) {
        CheckAcceptedWhenKeyIs(
            variable ? "Stream Type = MPEG-2 MP@ML VBR" : "Stream Type = MPEG-2 MP@ML CBR", cbrVbr,
            variable ? kVariableBitrateAccepted : kConstantBitrateAccepted, failed);
        return;
    }
    std::string name = ProfileAndLevelName(v.profileAndLevel);
    std::string line = name.empty() ? "Stream Type = Invalid"
                                    : "Stream Type = MPEG-2 " + name + (variable ? " VBR" : " CBR");
    CheckNamedCode(line, KeyOf(ref, &VideoReference::ProfileAndLevel), v.profileAndLevel,
                   kOtherThanMainProfileAccepted, failed);
}

void WriteChromaFormatLine(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    ProfileKey key = KeyOf(ref, &VideoReference::ChromaFormat);
    const char* name = ChromaFormatName(v.chromaFormat);
    std::string line = std::string("Chroma Format = ") + (name ? name : "Invalid");
    if (v.chromaFormat == kChroma420) {
        CheckEqual(line, key, 1, failed);
    } else {
        CheckNamedCode(line, key, v.chromaFormat, 0, failed);
    }
}

// A code's name, or "code N" for a reserved one.
std::string NameOrCode(const char* name, uint32_t code) {
    return name ? std::string(name) : FormatReportLine("code %u", code);
}

// "720x576 16:9 25 fps", with the chroma format when the other side has another one.
std::string FormatText(const SequenceFormat& f, const SequenceFormat& other) {
    std::string text =
        FormatReportLine("%ux%u %s %s", f.horizontalSize, f.verticalSize,
                         NameOrCode(AspectRatioName(f.aspectRatioCode), f.aspectRatioCode).c_str(),
                         NameOrCode(FrameRateName(f.frameRateCode), f.frameRateCode).c_str());
    if (f.chromaFormat != other.chromaFormat) {
        text += ' ';
        text += NameOrCode(ChromaFormatName(f.chromaFormat), f.chromaFormat);
    }
    return text;
}

// A sequence header whose format differs from the one before: each change once, judged
// by FormatChangesAllowed. Written only for a stream that has one, so that other reports
// stay as they were, or for a profile that judges it.
void WriteFormatChangeLines(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    ProfileKey key = KeyOf(ref, &VideoReference::FormatChangesAllowed);
    if (v.formatChanges.empty()) {
        // One format throughout: what either value of the key accepts.
        if (key.value != kNotSet) CheckHolds("Format Change = None", key, true, failed);
        return;
    }
    for (const FormatChange& c : v.formatChanges) {
        CheckAcceptedWhenKeyIs(
            FormatReportLine("Format Change at picture %u (%.2f s): %s -> %s", c.picture, c.seconds,
                             FormatText(c.from, c.to).c_str(), FormatText(c.to, c.from).c_str()),
            key, kFormatChangesAccepted, failed);
    }
    // A stream that goes back and forth repeats the changes listed.
    if (v.formatChangeCount > v.formatChanges.size()) {
        CheckAcceptedWhenKeyIs(FormatReportLine("Format Changes = %u in all", v.formatChangeCount),
                               key, kFormatChangesAccepted, failed);
    }
}

void WriteFormatLines(const VideoReference& ref, int id, const VideoStreamInfo& v,
                      const StreamIdTable& table, bool& failed) {
    CheckEqual(FormatReportLine("Horizontal Size = %d", v.horizontalSize),
               KeyOf(ref, &VideoReference::HorizontalSize), v.horizontalSize, failed);
    CheckEqual(FormatReportLine("Vertical Size = %d", v.verticalSize),
               KeyOf(ref, &VideoReference::VerticalSize), v.verticalSize, failed);
    if (std::string aspect = AspectRatioText(v.aspectRatioCode); !aspect.empty()) {
        CheckEqual(aspect, KeyOf(ref, &VideoReference::AspectRatio), v.aspectRatioCode, failed);
    } else {
        CheckAlwaysFails("Aspect Ratio = Invalid", failed);
    }
    WriteFrameRateLine(ref, v, failed);
    WriteBufferBoundLine(table, id);
    // The first number is vbv_buffer_size_value, which the key holds; the KB are the whole
    // buffer's, its extension included.
    CheckEqual(FormatReportLine("VBV Buffer Size = %d -> (%llu KB)", v.vbvBufferSize,
                                static_cast<unsigned long long>(VbvBufferSizeUnits(v) * 2)),
               KeyOf(ref, &VideoReference::VBVBufferSize), v.vbvBufferSize, failed);
    WriteStreamTypeLine(ref, v, failed);
    WriteChromaFormatLine(ref, v, failed);
    WritePictureStructureLine(ref, v, failed);
    CheckEqual(FormatReportLine("Intra DC Precision = %d", v.intraDcPrecision + 8),
               KeyOf(ref, &VideoReference::IntraDCPrecision), v.intraDcPrecision, failed);
    CheckFlag("Top Field First = Yes", "Top Field First = No",
              KeyOf(ref, &VideoReference::TopFieldFirst), v.topFieldFirst, failed);
    CheckFlag("DCT Type = Frame", "DCT Type = Field", KeyOf(ref, &VideoReference::DCTType),
              v.framePredFrameDct, failed);
    CheckFlag("Quant. Scale = Nonlinear", "Quant. Scale = Linear",
              KeyOf(ref, &VideoReference::QuantizationScale), v.qScaleType, failed);
    CheckFlag("Scan Type = Alternate", "Scan Type = ZigZag", KeyOf(ref, &VideoReference::ScanType),
              v.alternateScan, failed);
    CheckFlag("Frame Type = Progressive", "Frame Type = Interlaced",
              KeyOf(ref, &VideoReference::ProgressiveFrame), v.progressiveFrame, failed);
}

// An edit left GOPs whose leading B pictures refer to pictures that are gone: they are
// not shown, and a splicer must not cut there. Judged by SpliceReady.
void WriteBrokenLinkLines(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    ProfileKey ready = KeyOf(ref, &VideoReference::SpliceReady);
    for (const BrokenLinkGop& link : v.brokenLinks) {
        CheckHolds(FormatReportLine("Broken Link in GOP %u (%.2f s)", link.gop, link.seconds),
                   ready, false, failed);
    }
    if (v.brokenLinkCount > v.brokenLinks.size()) {
        CheckHolds(
            FormatReportLine("Broken Link in %u more GOPs",
                             v.brokenLinkCount - static_cast<uint32_t>(v.brokenLinks.size())),
            ready, false, failed);
    }
}

void WriteGopLines(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    LogInfo("Number of GOPs = %d", v.gopCount);
    CheckFlag("First GOP Closed = Yes", "First GOP Closed = No",
              KeyOf(ref, &VideoReference::FirstGOPClosed), v.firstGopClosed, failed);
    ProfileKey allClosed = KeyOf(ref, &VideoReference::AllGOPClosed);
    if (v.closedGopCount == v.gopCount) {
        CheckAcceptedWhenKeyIs("Number of Closed GOP = All", allClosed, kAllClosedAccepted, failed);
    } else {
        CheckAcceptedWhenKeyIs(FormatReportLine("Number of Closed GOP = %d", v.closedGopCount),
                               allClosed, kSomeOpenAccepted, failed);
    }
    WriteBrokenLinkLines(ref, v, failed);
    ProfileKey lengthMax = KeyOf(ref, &VideoReference::GOPLengthMax);
    std::string maxLine =
        FormatReportLine("Max. frames per GOP (without first & last) = %d", v.maxGopLength);
    std::string minLine =
        FormatReportLine("Min. frames per GOP (without first & last) = %d", v.minGopLength);
    // Fewer than three GOP headers (GOP headers are optional, and a short HD spot may have
    // one or two) leave no GOP between the first and the last to measure: a profile that
    // sets a GOP length cannot have it checked, which fails; without one it is information.
    if (v.maxGopLength == 0 && lengthMax.value == kNotSet) {
        LogInfo("%s", maxLine.c_str());
        LogInfo("%s", minLine.c_str());
    } else {
        CheckRange(maxLine, kShortestGop, lengthMax, v.maxGopLength, failed);
        CheckRange(minLine, kShortestGop, lengthMax, v.minGopLength, failed);
    }
    LogInfo("Avg. frames per GOP (Total) = %.2f", RealQuotient(v.frameCount, v.gopCount));
}

// The three lines of one picture type: count and share, average size, total and share.
void WritePictureTypeLines(const char* countFormat, const char* averageFormat,
                           const char* totalFormat, ProfileKey requiredKey, uint32_t count,
                           uint64_t bytes, const VideoStreamInfo& v, bool& failed) {
    auto share = static_cast<int32_t>(Quotient(uint64_t{count} * 100, v.frameCount));
    CheckRange(FormatReportLine(countFormat, count, share), requiredKey, kUnreachableMax, count,
               failed);
    LogInfo(averageFormat, static_cast<unsigned long long>(Quotient(bytes, count) >> 10));
    LogInfo(totalFormat, static_cast<unsigned long long>(bytes),
            static_cast<uint32_t>(RealQuotient(static_cast<double>(bytes) * 100.0,
                                               static_cast<double>(v.totalFrameBytes))));
}

void WriteFrameLines(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    LogInfo("Max. Frame Size = %d", v.maxFrameSize);
    LogInfo("Min. Frame Size = %d", v.minFrameSize);
    LogInfo("Average Frame Size = %llu",
            static_cast<unsigned long long>(Quotient(v.totalFrameBytes, v.frameCount)));
    WritePictureTypeLines("Frames I = %d -> %d%", "Avg. Frame I Size = %llu KB",
                          "Frames I Total Size = %llu bytes, size %d%",
                          KeyOf(ref, &VideoReference::FramesIRequired), v.iFrameCount,
                          v.iFrameBytes, v, failed);
    WritePictureTypeLines("Frames P = %d -> %d%", "Avg. Frame P Size = %llu KB",
                          "Frames P Total Size = %llu bytes, size %d%",
                          KeyOf(ref, &VideoReference::FramesPRequired), v.pFrameCount,
                          v.pFrameBytes, v, failed);
    WritePictureTypeLines("Frames B = %d -> %d%", "Avg. Frame B Size = %llu KB",
                          "Frames B Total Size = %llu bytes, size %d%",
                          KeyOf(ref, &VideoReference::FramesBRequired), v.bFrameCount,
                          v.bFrameBytes, v, failed);
}

void WriteBitrateLines(const VideoReference& ref, const VideoStreamInfo& v,
                       VideoPhaseResult& result) {
    bool& failed = result.failed;
    auto nominalBps = static_cast<unsigned long long>(BitRateBps(v));
    LogInfo("Nominal bitrate (Sequence Header) = %llu bps -> %llu Kbps", nominalBps,
            nominalBps >> 10);
    auto averageKbps = static_cast<uint32_t>(v.averageKbps);
    CheckRange(FormatReportLine("Average Bitrate = %d Kbps", averageKbps), 0,
               KeyOf(ref, &VideoReference::VideoAvgBitrate), averageKbps, failed);
    result.bitrateSumBps += averageKbps * kBitsPerKbit;
    auto peakKbps = static_cast<uint32_t>(v.peakKbps);
    CheckRange(FormatReportLine("Peak Bitrate (1 sec) = %d Kbps", peakKbps), 0,
               KeyOf(ref, &VideoReference::VideoPeakBitrate), peakKbps, failed);
}

// One buffer violation line: how many, and where the first one was.
void CheckVbvViolations(const char* name, uint32_t count, uint32_t firstPicture,
                        double firstSeconds, ProfileKey key, bool& failed) {
    std::string line = count == 0 ? FormatReportLine("VBV %s = 0", name)
                                  : FormatReportLine("VBV %s = %u (first at picture %u, %.2f s)",
                                                     name, count, firstPicture, firstSeconds);
    CheckHolds(line, key, count == 0, failed);
}

void WriteVbvLines(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    const VbvFigures& vbv = v.vbv;
    if (!vbv.modelled) {
        LogInfo("VBV Occupancy = not modelled (no bit rate, buffer size, frame rate or picture)");
        return;
    }
    LogInfo("VBV Occupancy = %.1f%% to %.1f%% of %llu bits", vbv.minPercent, vbv.maxPercent,
            static_cast<unsigned long long>(VbvBufferBits(v)));
    ProfileKey key = KeyOf(ref, &VideoReference::VBVCheck);
    CheckVbvViolations("Underflows", vbv.underflows, vbv.firstUnderflowPicture,
                       vbv.firstUnderflowSeconds, key, failed);
    CheckVbvViolations("Overflows", vbv.overflows, vbv.firstOverflowPicture,
                       vbv.firstOverflowSeconds, key, failed);
}

// The sequence header's bit_rate is the highest rate at which the decoder's buffer fills
// (ISO/IEC 13818-2, 6.3.3 and C.3): a second of pictures holds at most that second's bits
// and what the buffer had stored before it, vbv_buffer_size. A constant-rate stream that
// keeps its buffer model carries well over bit_rate in its I-picture seconds, so the peak
// is held to bit_rate plus the buffer.
void WriteDeclaredBitrateLine(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    uint64_t declaredBps = BitRateBps(v);
    uint64_t limitBps = declaredBps + VbvBufferBits(v);
    auto peakBps = static_cast<uint64_t>(v.peakKbps * kBitsPerKbit);
    CheckHolds(FormatReportLine("Declared Bitrate = %llu bps, Measured Peak (1 sec) = %llu bps, "
                                "Limit with the VBV Buffer = %llu bps",
                                static_cast<unsigned long long>(declaredBps),
                                static_cast<unsigned long long>(peakBps),
                                static_cast<unsigned long long>(limitBps)),
               KeyOf(ref, &VideoReference::DeclaredBitrateCheck), peakBps <= limitBps, failed);
}

void WriteSpliceLines(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    const SpliceFacts& splice = v.splice;
    ProfileKey ready = KeyOf(ref, &VideoReference::SpliceReady);
    bool startsBroken = !v.brokenLinks.empty() && v.brokenLinks.front().gop == 1;
    CheckHolds(splice.cleanStart
                   ? "Splice In = Yes (I picture of a closed GOP after a sequence header)"
               : startsBroken ? "Splice In = No (the first GOP has a broken link)"
                              : "Splice In = No (the first picture is not an I picture of a "
                                "closed GOP after a sequence header)",
               ready, splice.cleanStart, failed);
    CheckHolds(
        splice.danglingBPictures == 0
            ? "Splice Out = Yes (last GOP complete)"
            : FormatReportLine("Splice Out = No (%u B pictures need a picture after the end)",
                               splice.danglingBPictures),
        ready, splice.danglingBPictures == 0, failed);
    CheckHolds(splice.gopsWithoutSequenceHeader == 0
                   ? "Sequence Header before every GOP = Yes"
                   : FormatReportLine("Sequence Header before every GOP = No (%u GOPs without)",
                                      splice.gopsWithoutSequenceHeader),
               KeyOf(ref, &VideoReference::SequenceHeaderEveryGOP),
               splice.gopsWithoutSequenceHeader == 0, failed);
}

// The lines for a spot spliced into a channel, written only for a profile that asks for
// any of them, so that other profiles' reports stay as they are.
bool SpotChecksAsked(const VideoReference& ref) {
    for (int32_t key :
         {ref.VBVCheck, ref.DeclaredBitrateCheck, ref.SpliceReady, ref.SequenceHeaderEveryGOP}) {
        if (key != kNotSet) return true;
    }
    return false;
}

void WriteSpotLines(const VideoReference& ref, const VideoStreamInfo& v, bool& failed) {
    if (!SpotChecksAsked(ref)) return;
    WriteVbvLines(ref, v, failed);
    WriteDeclaredBitrateLine(ref, v, failed);
    WriteSpliceLines(ref, v, failed);
}

void WriteDetailLines(const VideoReference& ref, int id, const VideoStreamInfo& v,
                      const StreamIdTable& table, VideoPhaseResult& run) {
    bool& failed = run.failed;
    double seconds = VideoDurationSeconds(v);
    uint64_t framePeriods = DisplayFramePeriods(v);
    double delayMs = FirstPtsFromClockStartMs(table, id);
    run.measured = true;
    run.firstPtsMs = delayMs;
    run.durationSeconds = seconds;
    run.framePeriods = framePeriods;
    run.nominalFrameRate = v.nominalFrameRate;
    SecondsAndFrames timeCode = DisplayTimeCode(v);
    run.wholeSeconds = timeCode.seconds;
    run.remainingFrames = timeCode.frames;
    if (v.bytesBeforeSequenceHeader > 0) {
        LogWarning("%u bytes skipped before the first sequence header",
                   v.bytesBeforeSequenceHeader);
    }
    LogInfo("Video Delay Stream %X = %0.01f ms", id, delayMs);
    LogInfo("Number of Frames = %d -> %0.2f Sec", v.frameCount, seconds);
    CheckRange(FormatReportLine("Number of Sequence Headers = %d", v.sequenceHeaderCount),
               KeyOf(ref, &VideoReference::SequenceHeadersMin), kUnreachableMax,
               v.sequenceHeaderCount, failed);
    CheckFlag("Sequence Headers Aligned = Yes", "Sequence Headers Aligned = No",
              KeyOf(ref, &VideoReference::SequenceHeaderAligned), v.sequenceHeadersAligned, failed);
    WriteFormatChangeLines(ref, v, failed);
    WriteFormatLines(ref, id, v, table, failed);
    WriteGopLines(ref, v, failed);
    WriteFrameLines(ref, v, failed);
    WriteBitrateLines(ref, v, run);
    WriteSpotLines(ref, v, failed);
}

void WriteStreamLines(const VideoReference& ref, int id, VideoStatus status,
                      const StreamIdTable& table, VideoPhaseResult& run) {
    const VideoStreamInfo& info = GetVideoStreamInfo(id);
    switch (status) {
        case VideoOk:
            LogInfo("Elementary Stream %X is a MPEG-2 Video Stream", id);
            break;
        case VideoNoEndCode:
            CheckAcceptedWhenKeyIs(
                FormatReportLine("Sequence_end_code NOT FOUND, in Stream %X!!", id),
                KeyOf(ref, &VideoReference::VideoEndCodeRequired), kNoEndCodeAccepted, run.failed);
            break;
        case VideoNotMpeg2:
            ReportError(
                FormatReportLine("Elementary Stream %X is not a MPEG-2 Video Stream!!", id));
            run.failed = true;
            return;
        case VideoMpeg1:
            ReportError(FormatReportLine(
                "Elementary Stream %X is a MPEG-1 Video Stream (Not Valid)!!", id));
            run.failed = true;
            return;
        case VideoPictureTypeError:
            ReportError(FormatReportLine("Picture Type Error, in Stream %X!!", id));
            run.failed = true;
            return;
        default:
            ReportError(FormatReportLine("ERROR: Unknown Error, in Stream %X!!", id));
            run.failed = true;
            return;
    }
    WriteDetailLines(ref, id, info, table, run);
}

}  // namespace

int32_t PictureStructureAccepting(const VideoStreamInfo& v) {
    return CodesFramePictures(v) && v.fieldPairCount == 0 ? kFramePicturesAccepted
                                                          : kFieldPicturesAccepted;
}

VideoPhaseResult RunVideoPhase(const VideoReference& ref, const StreamIdTable& table,
                               const std::function<uint32_t(int id)>& finishPass) {
    VideoPhaseResult result;
    LogInfo(" ");
    LogHeading("Begin Video Streams Summary:");
    for (int id = kFirstVideoStreamId; id <= kLastVideoStreamId; ++id) {
        if (table.packetCount[id] == 0) continue;
        SetStatusText("Processing Elementary Video Stream...");
        SetProgress(0);
        auto status = static_cast<VideoStatus>(finishPass(id));
        result.streams.push_back(id);
        if (IsCancelRequested() && result.cancelledPhase.empty()) {
            result.cancelledPhase = FormatReportLine("video stream %X", id);
        }
        SetProgress(100);
        SetStatusText("");
        BeginStreamSection(id);
        WriteStreamLines(ref, id, status, table, result);
        EndStreamSection();
    }
    LogHeading("End Video Streams Summary.");
    LogHeading(" ");
    return result;
}
