// Program stream section of the report.
#include "program/program_stream_summary.h"

#include "reference/reference_profile.h"
#include "report/compliance_checks.h"
#include "report/report_format.h"
#include "report/report_log.h"

namespace {

// The report's KB and MB.
constexpr uint64_t kBytesPerKB = 1024;
constexpr double kBytesPerMB = kBytesPerKB * kBytesPerKB;
// The MPEG audio total has always been shown in units of 1,038,336 bytes.
constexpr double kAudioBytesPerMB = 1038336.0;
// MPEGAudioStreams and MPEGVideoStreams: 1 accepts the MPEG streams, and only 0 the DVD
// audio substreams.
constexpr int32_t kStreamAccepted = 1;
constexpr int32_t kSubstreamAccepted = 0;

void WriteSystemHeaderLines(const SystemReference& ref, const StreamIdTable& table, bool& failed) {
    uint32_t rateBoundBps = table.rateBound * kMuxRateUnitBitsPerSecond;
    LogInfo("Rate Bound = %d bps -> %d Kbps", rateBoundBps, rateBoundBps / kBitsPerKbit);
    LogInfo("Video Bound = %d active video streams", table.videoBound);
    LogInfo("Audio Bound = %d active audio streams", table.audioBound);
    ProfileKey systemVbr = KeyOf(ref, &SystemReference::SystemVBR);
    if (table.fixedFlag == 1) {
        CheckAcceptedWhenKeyIs("Fixed Bitrate Operation (System MPEG-2 CBR)", systemVbr,
                               kConstantBitrateAccepted, failed);
    } else {
        CheckAcceptedWhenKeyIs("Variable Bitrate Operation (System MPEG-2 VBR)", systemVbr,
                               kVariableBitrateAccepted, failed);
    }
    if (table.videoLockFlag == 1) LogInfo("Video Picture Rate is locked to SCR");
    if (table.audioLockFlag == 1) LogInfo("Audio Sampling Rate is locked to SCR");
}

// The rates the multiplex declares against what it does: a pack's bytes arrive at its
// program_mux_rate (ISO/IEC 13818-1, 2.5.3.3), and rate_bound is at least every pack's
// program_mux_rate (2.5.3.6). Muxers round each SCR to their own clock and deliver a few
// hundred parts per million over the rate (ffmpeg and mplex both): a peak within 0.1 % of
// the mux rate passes.
void WriteMuxRateLines(const SystemReference& ref, const StreamIdTable& table, bool& failed) {
    constexpr double kPeakTolerance = 1.001;
    ProfileKey key = KeyOf(ref, &SystemReference::MuxRateCheck);
    uint32_t highestBps = table.maxProgramMuxRate * kMuxRateUnitBitsPerSecond;
    CheckHolds(
        FormatReportLine("Multiplex Peak (1 sec) = %.0f bps, Highest Program Mux Rate = %u bps",
                         table.multiplexPeakBps, highestBps),
        key, table.multiplexPeakBps <= highestBps * kPeakTolerance, failed);
    if (table.systemHeaderCount == 0) return;
    CheckHolds(FormatReportLine("Rate Bound = %u bps, Highest Program Mux Rate = %u bps",
                                table.rateBound * kMuxRateUnitBitsPerSecond, highestBps),
               key, table.rateBound >= table.maxProgramMuxRate, failed);
}

// A clock that goes back or leaps (two spots joined, a recorder restarted): written when
// there is one, or when the profile judges it, so that other reports stay as they were.
void WriteClockDiscontinuityLine(const SystemReference& ref, const StreamIdTable& table,
                                 bool& failed) {
    ProfileKey key = KeyOf(ref, &SystemReference::ClockDiscontinuitiesMax);
    uint32_t count = table.clockDiscontinuities;
    if (count == 0 && key.value == kNotSet) return;
    std::string line =
        count == 0
            ? FormatReportLine("Clock Discontinuities = 0")
            : FormatReportLine("Clock Discontinuities = %u (first at %.2f s, byte %llu)", count,
                               table.firstDiscontinuitySeconds,
                               static_cast<unsigned long long>(table.firstDiscontinuityOffset));
    CheckRange(line, kNoLimit, key, count, failed);
}

void WriteTimingErrorLines(const SystemReference& ref, const StreamIdTable& table, bool& failed) {
    ProfileKey timingError = KeyOf(ref, &SystemReference::PacketSCRTimingError);
    if (table.ptsUnderflows > 0) {
        CheckRange("PTS underflow (Mux Error)...!!", kNoLimit, timingError, table.ptsUnderflows,
                   failed);
    }
    if (table.dtsUnderflows > 0) {
        CheckRange("DTS underflow (Mux Error)...!!", kNoLimit, timingError, table.dtsUnderflows,
                   failed);
    }
    if (table.ptsDtsOutOfSync > 0) {
        CheckRange("PTS//DTS Out of Sync (Mux Error)...!!", kNoLimit,
                   KeyOf(ref, &SystemReference::PacketPTSDTSOutSync), table.ptsDtsOutOfSync,
                   failed);
    }
}

void WriteSubstreamLines(const SystemReference& ref, const StreamIdTable& table, bool& failed) {
    const ProfileKey mpegAudio = KeyOf(ref, &SystemReference::MPEGAudioStreams);
    for (int sub = 0; sub <= 0xFF; ++sub) {
        uint32_t packets = table.substreamPacketCount[sub];
        if (packets == 0) continue;
        uint64_t kiloBytes = 0;
        if (sub >= kFirstAc3Substream && sub <= kLastAc3Substream) {
            CheckAcceptedWhenKeyIs(FormatReportLine("Substream (DVD): AC3 Audio substream %X", sub),
                                   mpegAudio, kSubstreamAccepted, failed);
            kiloBytes = table.ac3DtsBytes[sub - kFirstAc3Substream] / kBytesPerKB;
        } else if (sub >= kFirstDtsSubstream && sub <= kLastDtsSubstream) {
            CheckAcceptedWhenKeyIs(FormatReportLine("Substream (DVD): DTS Audio substream %X", sub),
                                   mpegAudio, kSubstreamAccepted, failed);
            kiloBytes = table.ac3DtsBytes[sub - kFirstAc3Substream] / kBytesPerKB;
        } else if (sub >= kFirstLpcmSubstream && sub <= kLastLpcmSubstream) {
            CheckAcceptedWhenKeyIs(
                FormatReportLine("Substream (DVD): LPCM Audio substream %X", sub), mpegAudio,
                kSubstreamAccepted, failed);
            kiloBytes = table.lpcmBytes[sub - kFirstLpcmSubstream] / kBytesPerKB;
        } else if (sub >= kFirstSubpictureSubstream && sub <= kLastSubpictureSubstream) {
            LogInfo(
                "Substream (DVD): Subpicture stream %X,        PES packets = %u,        "
                "total bytes = %llu",
                sub, packets,
                static_cast<unsigned long long>(
                    table.subpictureBytes[sub - kFirstSubpictureSubstream]));
            continue;
        } else {
            LogInfo("Substream 0x%02X,        packets = %u,        total bytes = %llu", sub,
                    packets, static_cast<unsigned long long>(table.substreamBytes[sub]));
            continue;
        }
        if (table.substreamScrambled[sub]) LogInfo(" Encrypted!!,");
        LogInfo("PES packets = %u,", packets);
        LogInfo("Total = %llu KB", static_cast<unsigned long long>(kiloBytes));
    }
}

void WriteStreamLines(const SystemReference& ref, const StreamIdTable& table, int id,
                      bool& failed) {
    uint32_t packets = table.packetCount[id];
    auto bytes = static_cast<unsigned long long>(table.payloadBytes[id]);
    if (id >= kFirstAudioStreamId && id <= kLastAudioStreamId) {
        // The MPEG audio line has always been judged by MPEGVideoStreams and the video
        // line by MPEGAudioStreams; operators' profiles are written for that.
        CheckAcceptedWhenKeyIs(FormatReportLine("MPEG Audio stream, ID: %X", id),
                               KeyOf(ref, &SystemReference::MPEGVideoStreams), kStreamAccepted,
                               failed);
        if (table.scrambled[id]) LogInfo(" Encrypted!!,");
        LogInfo("PES packets = %u,", packets);
        LogInfo("Total = %.2f MB", bytes / kAudioBytesPerMB);
        return;
    }
    if (id >= kFirstVideoStreamId && id <= kLastVideoStreamId) {
        CheckAcceptedWhenKeyIs(FormatReportLine("Video stream, ID: %X", id),
                               KeyOf(ref, &SystemReference::MPEGAudioStreams), kStreamAccepted,
                               failed);
        if (table.scrambled[id]) LogInfo(" Encrypted!!,");
        LogInfo("PES packets = %u,", packets);
        LogInfo("Total = %.2f MB", bytes / kBytesPerMB);
        return;
    }
    switch (id) {
        case kProgramStreamMapId:
            LogInfo("Program Stream Map, packets = %u, Total = %llu KB", packets,
                    bytes / kBytesPerKB);
            break;
        case kPrivateStream1Id:
            LogInfo("Private Stream 1, ID: %X, packets = %u, Total = %llu KB", id, packets,
                    bytes / kBytesPerKB);
            if (table.isDvd) WriteSubstreamLines(ref, table, failed);
            break;
        case kPaddingStreamId:
            LogInfo("Padding Stream, packets = %u, Total = %llu KB", packets, bytes / kBytesPerKB);
            break;
        case kPrivateStream2Id:
            LogInfo("Private Stream 2, packets = %u, Total = %llu KB", packets,
                    bytes / kBytesPerKB);
            break;
        case kEcmStreamId:
            LogInfo("ECM Stream packets = %u, total bytes = %llu", packets, bytes);
            break;
        case kEmmStreamId:
            LogInfo("EMM Stream packets = %u, total bytes = %llu", packets, bytes);
            break;
        case kDsmccStreamId:
            LogInfo("DSMCC Stream packets = %u, total bytes = %llu", packets, bytes);
            break;
        case kH2221TypeEStreamId:
            LogInfo("ITU-T Rec. H.222.1 type E packets = %u, total bytes = %llu", packets, bytes);
            break;
        case kProgramStreamDirectoryId:
            LogInfo("Program Stream Directory packets = %u, total bytes = %llu", packets, bytes);
            break;
        default:
            LogInfo("Other stream 0x%02X,    packets = %u,    Total = %llu KB", id, packets,
                    bytes / kBytesPerKB);
            break;
    }
}

}  // namespace

void WriteBufferBoundLine(const StreamIdTable& table, int id) {
    if (table.systemHeaderCount == 0) return;
    int entry = BufferBoundEntry(table, id);
    uint32_t unit = table.stdBufferBoundScale[entry] ? 1024 : 128;
    LogInfo("P-STD Buffer Size Bound = %d KB (From System Header)",
            (table.stdBufferSizeBound[entry] * unit) >> 10);
}

namespace {

// A truncated upload passes nothing it did not deliver; bytes after the end code are
// said, not judged, unless they are another program (two spots joined): the report covers
// only the first.
void WriteFileEndLines(const StreamIdTable& table, bool& failed) {
    if (table.bytesMissingAtEnd > 0) {
        failed = true;
        LogFail("*File ends inside a packet: the last packet lacks %llu bytes",
                static_cast<unsigned long long>(table.bytesMissingAtEnd));
    }
    auto bytesAfter = static_cast<unsigned long long>(table.bytesAfterEndCode);
    if (table.packsAfterEndCode > 0) {
        failed = true;
        LogFail("*%llu bytes after the Program End Code hold another program (%u packs)",
                bytesAfter, table.packsAfterEndCode);
    } else if (bytesAfter > 0) {
        LogWarning("%llu bytes after the Program End Code", bytesAfter);
    }
}

// Packets whose PES_packet_length cannot hold their own header: a damaged multiplex.
void WriteShortPacketLine(const StreamIdTable& table, bool& failed) {
    if (table.shortPesPackets == 0) return;
    failed = true;
    LogFail(
        "*PES packets shorter than their own header = %u (first at byte %llu, "
        "PES_packet_length %u)",
        table.shortPesPackets, static_cast<unsigned long long>(table.firstShortPesOffset),
        table.firstShortPesLength);
}

}  // namespace

int WriteProgramStreamSummary(const SystemReference& ref, const StreamIdTable& table,
                              const std::string& path, uint64_t fileSize, bool& failed) {
    if (table.isDvd) {
        LogInfo("File \"%s\" is a DVD MPEG-2 Program Stream", path.c_str());
    } else {
        LogInfo("File \"%s\" is a MPEG-2 Program Stream", path.c_str());
    }
    LogInfo("MPEG file size %.2f MB", static_cast<double>(fileSize) / kBytesPerMB);
    WriteFileEndLines(table, failed);
    LogInfo("MPEG Packs = %d", table.packCount);
    LogInfo("Sectors delay = %0.01f ms", table.firstScrMs);
    CheckRange(FormatReportLine("System headers = %d", table.systemHeaderCount),
               KeyOf(ref, &SystemReference::SystemHeadersMin), kUnreachableMax,
               table.systemHeaderCount, failed);
    if (table.systemHeaderCount > 0) WriteSystemHeaderLines(ref, table, failed);
    CheckEqual(FormatReportLine("MPEG Pack Size = %d", table.maxPackSize),
               KeyOf(ref, &SystemReference::MPEGPackSize), table.maxPackSize, failed);
    CheckEqual(FormatReportLine("Packets per Pack = %d", table.maxPacketsPerPack),
               KeyOf(ref, &SystemReference::PacketsPerPack), table.maxPacketsPerPack, failed);
    uint32_t muxRateKbps = table.programMuxRate * kMuxRateUnitBitsPerSecond / kBitsPerKbit;
    // Judged against what the streams need once they are measured (the run's
    // CheckRecommendedMuxRate).
    LogProvisionalPass(FormatReportLine("Program Mux Rate = %d Kbps", muxRateKbps));
    int muxRateLine = GetLineCounter();
    if (ref.MuxRateCheck != kNotSet) WriteMuxRateLines(ref, table, failed);
    WriteTimingErrorLines(ref, table, failed);
    WriteClockDiscontinuityLine(ref, table, failed);
    LogInfo("Total PES packets = %d", table.pesPacketCount);
    LogInfo("PES Packet Lenght Max. = %d", table.maxPesPacketLength);
    WriteShortPacketLine(table, failed);
    CheckEqual(FormatReportLine("Number of Video Streams: %d", table.videoStreamCount),
               KeyOf(ref, &SystemReference::VideoStreams), table.videoStreamCount, failed);
    CheckEqual(FormatReportLine("Number of Audio Streams: %d", table.audioStreamCount),
               KeyOf(ref, &SystemReference::AudioStreams), table.audioStreamCount, failed);
    for (int id = 0; id <= 0xFF; ++id) {
        if (table.packetCount[id] != 0) WriteStreamLines(ref, table, id, failed);
    }
    LogHeading("End Program Streams Summary.");
    LogHeading(" ");
    return muxRateLine;
}
