// Video section of the report.
#include "video/video_summary.h"

#include "program/program_stream_scan.h"
#include "program/program_stream_summary.h"
#include "reference/reference_profile.h"
#include "report/compliance_checks.h"
#include "report/report_format.h"
#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "video/video_parser.h"
#include "video/video_statistics.h"

namespace {

constexpr uint32_t kNoMaximum = 0xFFFFFFFFu;
constexpr uint32_t kMainProfileAtMainLevel = 0x48;  // profile_and_level_indication
constexpr uint32_t kVariableBitrateVbvDelay = 0xFFFF;
constexpr uint32_t kChroma420 = 1;
constexpr uint32_t kFramePicture = 3;

// Quotients that have no value for an empty divisor print 0.
uint64_t Quotient(uint64_t dividend, uint64_t divisor) {
    return divisor == 0 ? 0 : dividend / divisor;
}
double RealQuotient(double dividend, double divisor) {
    return divisor == 0 ? 0.0 : dividend / divisor;
}

// "Yes"/"No" style lines: the text for the measured flag, judged by the key.
void CheckFlag(const char* yesText, const char* noText, int32_t key, uint32_t measured,
               bool& failed) {
    CheckEqual(measured ? yesText : noText, key, measured ? 1 : 0, 0, 0, failed);
}

const char* AspectRatioText(uint32_t code) {
    switch (code) {
        case 1:
            return "Aspect Ratio = Square 1:1";
        case 2:
            return "Aspect Ratio = 4:3";
        case 3:
            return "Aspect Ratio = 16:9";
        case 4:
            return "Aspect Ratio = 2.21:1";
        default:
            return nullptr;
    }
}

// What the stream's coded frames use; without any frame, what its first picture said.
void WritePictureStructureLine(const VideoStreamInfo& v, bool& failed) {
    const VideoReference& ref = ReferenceProfile.video;
    bool frames = v.framePictureCount > 0 || (v.frameCount == 0 && v.pictureStructure == kFramePicture);
    bool fields = v.fieldPairCount > 0;
    if (frames && fields) {
        // Field pictures in use: judged as a field-picture stream.
        CheckEqual("Picture Structure = Frame and Field", ref.PictureStructure, 0, 0, 0, failed);
    } else if (frames) {
        CheckEqual("Picture Structure = Frame", ref.PictureStructure, 3, 0, 0, failed);
    } else {
        CheckEqual("Picture Structure = Field", ref.PictureStructure, 0, 0, 0, failed);
        LogInfo("Picture Structure = Field");
    }
}

void WriteFormatLines(int id, const VideoStreamInfo& v, const StreamIdTable& table, bool& failed) {
    const VideoReference& ref = ReferenceProfile.video;
    CheckEqual("Horizontal Size = %d", ref.HorizontalSize, v.horizontalSize, v.horizontalSize, 0,
               failed);
    CheckEqual("Vertical Size = %d", ref.VerticalSize, v.verticalSize, v.verticalSize, 0, failed);
    if (const char* aspect = AspectRatioText(v.aspectRatioCode)) {
        CheckEqual(aspect, ref.AspectRatio, v.aspectRatioCode, 0, 0, failed);
    } else {
        CheckEqual("Aspect Ratio = Invalid", 0, 1, 0, 0, failed);
    }
    if (v.frameRateCode == 3) {
        CheckEqual("Frame Rate = 25 fps", ref.FrameRate, 3, 0, 0, failed);
    } else if (v.frameRateCode == 4) {
        CheckEqual("Frame Rate = 29.97 fps", ref.FrameRate, 4, 0, 0, failed);
    } else {
        CheckEqual("Frame Rate = Invalid", 0, 1, 0, 0, failed);
    }
    WriteBufferBoundLine(table, id);
    CheckEqual("VBV Buffer Size = %d -> (%d KB)", ref.VBVBufferSize, v.vbvBufferSize,
               v.vbvBufferSize, v.vbvBufferSize * 2, failed);
    if (v.profileAndLevel != kMainProfileAtMainLevel) {
        CheckEqual("Stream Type = Invalid", ref.ProfileAndLevel, 0, 0, 0, failed);
    } else if (v.vbvDelay == kVariableBitrateVbvDelay) {
        CheckEqual("Stream Type = MPEG-2 MP@ML VBR", ref.CBR_VBR, 1, 0, 0, failed);
    } else {
        CheckEqual("Stream Type = MPEG-2 MP@ML CBR", ref.CBR_VBR, 0, 0, 0, failed);
    }
    CheckFlag("Chroma Format = 4:2:0", "Chroma Format = Invalid", ref.ChromaFormat,
              v.chromaFormat == kChroma420, failed);
    WritePictureStructureLine(v, failed);
    CheckEqual("Intra DC Precision = %d", ref.IntraDCPrecision, v.intraDcPrecision,
               v.intraDcPrecision + 8, 0, failed);
    CheckFlag("Top Field First = Yes", "Top Field First = No", ref.TopFieldFirst, v.topFieldFirst,
              failed);
    CheckFlag("DCT Type = Frame", "DCT Type = Field", ref.DCTType, v.framePredFrameDct, failed);
    CheckFlag("Quant. Scale = Nonlinear", "Quant. Scale = Linear", ref.QuantizationScale,
              v.qScaleType, failed);
    CheckFlag("Scan Type = Alternate", "Scan Type = ZigZag", ref.ScanType, v.alternateScan, failed);
    CheckFlag("Frame Type = Progressive", "Frame Type = Interlaced", ref.ProgressiveFrame,
              v.progressiveFrame, failed);
}

void WriteGopLines(const VideoStreamInfo& v, bool& failed) {
    const VideoReference& ref = ReferenceProfile.video;
    LogInfo("Number of GOPs = %d", v.gopCount);
    CheckFlag("First GOP Closed = Yes", "First GOP Closed = No", ref.FirstGOPClosed,
              v.firstGopClosed, failed);
    if (v.closedGopCount == v.gopCount) {
        CheckEqual("Number of Closed GOP = All", ref.AllGOPClosed, 1, 0, 0, failed);
    } else {
        CheckEqual("Number of Closed GOP = %d", ref.AllGOPClosed, 0, v.closedGopCount, 0, failed);
    }
    CheckRange("Max. frames per GOP (without first & last) = %d", 1, ref.GOPLengthMax,
               v.maxGopLength, v.maxGopLength, 0, failed);
    CheckRange("Min. frames per GOP (without first & last) = %d", 1, ref.GOPLengthMax,
               v.minGopLength, v.minGopLength, 0, failed);
    LogInfo("Avg. frames per GOP (Total) = %.2f", RealQuotient(v.frameCount, v.gopCount));
}

// The three lines of one picture type: count and share, average size, total and share.
void WritePictureTypeLines(const char* countFormat, const char* averageFormat,
                           const char* totalFormat, int32_t requiredKey, uint32_t count,
                           uint64_t bytes, const VideoStreamInfo& v, bool& failed) {
    auto share = static_cast<int32_t>(Quotient(uint64_t{count} * 100, v.frameCount));
    CheckRange(countFormat, requiredKey, kNoMaximum, count, count, share, failed);
    LogInfo(averageFormat, static_cast<unsigned long long>(Quotient(bytes, count) >> 10));
    LogInfo(totalFormat, static_cast<unsigned long long>(bytes),
            static_cast<uint32_t>(RealQuotient(static_cast<double>(bytes) * 100.0,
                                               static_cast<double>(v.totalFrameBytes))));
}

void WriteFrameLines(const VideoStreamInfo& v, bool& failed) {
    const VideoReference& ref = ReferenceProfile.video;
    LogInfo("Max. Frame Size = %d", v.maxFrameSize);
    LogInfo("Min. Frame Size = %d", v.minFrameSize);
    LogInfo("Average Frame Size = %llu",
            static_cast<unsigned long long>(Quotient(v.totalFrameBytes, v.frameCount)));
    WritePictureTypeLines("Frames I = %d -> %d%", "Avg. Frame I Size = %llu KB",
                          "Frames I Total Size = %llu bytes, size %d%", ref.FramesIRequired,
                          v.iFrameCount, v.iFrameBytes, v, failed);
    WritePictureTypeLines("Frames P = %d -> %d%", "Avg. Frame P Size = %llu KB",
                          "Frames P Total Size = %llu bytes, size %d%", ref.FramesPRequired,
                          v.pFrameCount, v.pFrameBytes, v, failed);
    WritePictureTypeLines("Frames B = %d -> %d%", "Avg. Frame B Size = %llu KB",
                          "Frames B Total Size = %llu bytes, size %d%", ref.FramesBRequired,
                          v.bFrameCount, v.bFrameBytes, v, failed);
}

void WriteBitrateLines(const VideoStreamInfo& v, bool& failed) {
    const VideoReference& ref = ReferenceProfile.video;
    uint32_t nominalBps = v.bitRateValue * kBitRateValueUnitBitsPerSecond;
    LogInfo("Nominal bitrate (Sequence Header) = %d bps -> %d Kbps", nominalBps, nominalBps >> 10);
    auto averageKbps = static_cast<uint32_t>(v.averageKbps);
    CheckRange("Average Bitrate = %d Kbps", 0, ref.VideoAvgBitrate, averageKbps, averageKbps, 0,
               failed);
    GetRunState().elementaryBitrateSum += averageKbps * 1024;
    auto peakKbps = static_cast<uint32_t>(v.peakKbps);
    CheckRange("Peak Bitrate (1 sec) = %d Kbps", 0, ref.VideoPeakBitrate, peakKbps, peakKbps, 0,
               failed);
}

void WriteDetailLines(int id, const VideoStreamInfo& v, const StreamIdTable& table) {
    RunState& run = GetRunState();
    bool& failed = run.runFailed;
    const VideoReference& ref = ReferenceProfile.video;
    double seconds = VideoDurationSeconds(v);
    uint64_t framePeriods = DisplayFramePeriods(v);
    double delayMs = FirstPtsFromClockStartMs(table, id);
    run.videoMeasured = true;
    run.videoFirstPtsMs = delayMs;
    run.videoDurationSeconds = seconds;
    run.videoWholeSeconds = static_cast<uint32_t>(Quotient(framePeriods, v.nominalFrameRate));
    run.videoRemainingFrames =
        v.nominalFrameRate == 0 ? 0 : static_cast<uint32_t>(framePeriods % v.nominalFrameRate);
    if (v.bytesBeforeSequenceHeader > 0) {
        LogWarning("%u bytes skipped before the first sequence header",
                   v.bytesBeforeSequenceHeader);
    }
    LogInfo("Video Delay Stream %X = %0.01f ms", id, delayMs);
    LogInfo("Number of Frames = %d -> %0.2f Sec", v.frameCount, seconds);
    CheckRange("Number of Sequence Headers = %d", ref.SequenceHeadersMin, kNoMaximum,
               v.sequenceHeaderCount, v.sequenceHeaderCount, 0, failed);
    CheckFlag("Sequence Headers Aligned = Yes", "Sequence Headers Aligned = No",
              ref.SequenceHeaderAligned, v.sequenceHeadersAligned, failed);
    WriteFormatLines(id, v, table, failed);
    WriteGopLines(v, failed);
    WriteFrameLines(v, failed);
    WriteBitrateLines(v, failed);
}

void WriteStreamLines(int id, VideoStatus status, const StreamIdTable& table) {
    RunState& run = GetRunState();
    const VideoStreamInfo& info = GetVideoStreamInfo(id);
    switch (status) {
        case VideoOk:
            LogInfo("Elementary Stream %X is a MPEG-2 Video Stream", id);
            break;
        case VideoNoEndCode:
            CheckEqual("Sequence_end_code NOT FOUND, in Stream %X!!",
                       ReferenceProfile.video.VideoEndCodeRequired, 0, id, 0, run.runFailed);
            break;
        case VideoNotMpeg2:
            ReportError(
                FormatReportLine("Elementary Stream %X is not a MPEG-2 Video Stream!!", id));
            run.runFailed = true;
            return;
        case VideoMpeg1:
            ReportError(FormatReportLine(
                "Elementary Stream %X is a MPEG-1 Video Stream (Not Valid)!!", id));
            run.runFailed = true;
            return;
        case VideoPictureTypeError:
            ReportError(FormatReportLine("Picture Type Error, in Stream %X!!", id));
            run.runFailed = true;
            return;
        default:
            ReportError(FormatReportLine("ERROR: Unknown Error, in Stream %X!!", id));
            run.runFailed = true;
            return;
    }
    WriteDetailLines(id, info, table);
}

}  // namespace

void RunVideoPhase(const std::string& path, const StreamIdTable& table) {
    LogInfo(" ");
    LogHeading("Begin Video Streams Summary:");
    for (int id = kFirstVideoStreamId; id <= kLastVideoStreamId; ++id) {
        if (table.packetCount[id] == 0) continue;
        SetStatusText("Processing Elementary Video Stream...");
        ClearCancelRequest();
        SetProgress(0);
        VideoStatus status = AnalyzeVideoStream(path, id, GetRunState().timeLimitSeconds);
        NoteCancelledPhase(FormatReportLine("video stream %X", id));
        SetProgress(100);
        SetStatusText("");
        WriteStreamLines(id, status, table);
    }
    LogHeading("End Video Streams Summary.");
    LogHeading(" ");
}
