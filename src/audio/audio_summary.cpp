// Audio section of the report.
#include "audio/audio_summary.h"

#include <cmath>
#include <limits>
#include <string>

#include "audio/audio_header_scan.h"
#include "audio/audio_levels.h"
#include "audio/loudness_listener.h"
#include "audio/programme_loudness.h"
#include "program/program_stream_scan.h"
#include "program/program_stream_summary.h"
#include "reference/reference_profile.h"
#include "report/compliance_checks.h"
#include "report/report_format.h"
#include "report/report_log.h"

namespace {

const char* LayerText(int32_t layer) {
    switch (layer) {
        case kLayerIII:
            return "Layer = 3";
        case kLayerII:
            return "Layer = 2";
        case kLayerI:
            return "layer = 1";
        default:
            return "Layer = Reserved";
    }
}

int32_t LayerNumber(int32_t layer) { return layer == kLayerReserved ? 0 : 4 - layer; }

const char* ModeText(int32_t mode) {
    switch (mode) {
        case 0:
            return "Mode = stereo";
        case 1:
            return "Mode = joint_stereo (intensity_stereo and/or ms_stereo)";
        case 2:
            return "Mode = dual_channel";
        default:
            return "Mode = single_channel";
    }
}

// mode_extension (ISO/IEC 11172-3, 2.4.2.3): Layer III's stereo tools, or the first
// subband in intensity stereo for Layers I and II in joint stereo.
const char* ModeExtensionText(int32_t layer, int32_t mode, int32_t modeExtension) {
    static const char* const kLayerIIIText[] = {
        "Mode ext = intensity stereo is off, ms stereo is off",
        "Mode ext = intensity stereo is on, ms stereo is off",
        "Mode ext = intensity stereo is off, ms stereo is on",
        "Mode ext = intensity stereo is on, ms stereo is on"};
    static const char* const kBoundText[] = {
        "Mode ext = subbands  4-31 in intensity_stereo, bound==4",
        "Mode ext = subbands  8-31 in intensity_stereo, bound==8",
        "Mode ext = subbands 12-31 in intensity_stereo, bound==12",
        "Mode ext = subbands 16-31 in intensity_stereo, bound==16"};
    int index = modeExtension & 3;
    if (layer == kLayerIII) return kLayerIIIText[index];
    if (mode == 1) return kBoundText[index];
    return nullptr;
}

const char* EmphasisText(int32_t emphasis) {
    switch (emphasis) {
        case 0:
            return "Emphasis = none";
        case 1:
            return "Emphasis = 50/15 microsec.";
        case 2:
            return "Emphasis = reserved";
        default:
            return "emphasis = CCITT J.17";
    }
}

void WriteHeaderLines(const AudioReference& ref, const AudioStreamInfo& a,
                      AudioPhaseResult& result) {
    bool& failed = result.failed;
    LogInfo("Found %u sync words", static_cast<uint32_t>(a.syncWords));
    CheckRange(FormatReportLine("Audio Sync Losses: %d", a.syncLosses), 0,
               KeyOf(ref, &AudioReference::AudioSyncLossesMax), a.syncLosses, failed);
    if (a.layer == kLayerReserved) {
        CheckAlwaysFails(LayerText(a.layer), failed);
    } else {
        CheckEqual(LayerText(a.layer), KeyOf(ref, &AudioReference::Layer), LayerNumber(a.layer),
                   failed);
    }
    // A switching bitrate prints the mean of the frames, judged as a constant one would be.
    CheckEqual(FormatReportLine("bitrate = %d Kbps", a.bitrateKbps),
               KeyOf(ref, &AudioReference::AudioBitrate), a.bitrateKbps, failed);
    if (a.bitrateMinKbps != a.bitrateMaxKbps) {
        LogInfo("Variable bitrate: %d to %d Kbps", a.bitrateMinKbps, a.bitrateMaxKbps);
    }
    result.bitrateSumBps += static_cast<uint32_t>(a.bitrateKbps) * 1024;
    CheckEqual(FormatReportLine("Frequency = %d Hz", a.samplingFrequency),
               KeyOf(ref, &AudioReference::SamplingFrequency), a.samplingFrequency, failed);
    bool noCrc = a.protectionBit != 0;
    CheckEqual(noCrc ? "Error protection = Disabled" : "Error protection = Enabled",
               KeyOf(ref, &AudioReference::ErrorProtection), noCrc ? 1 : 0, failed);
    CheckEqual(FormatReportLine("Private flag = %d", a.privateBit),
               KeyOf(ref, &AudioReference::PrivateFlag), a.privateBit, failed);
    int32_t mode = a.mode & 3;
    CheckMaskAllows(ModeText(mode), KeyOf(ref, &AudioReference::Mode), static_cast<uint32_t>(mode),
                    failed);
    if (const char* extension = ModeExtensionText(a.layer, mode, a.modeExtension)) {
        LogInfo("%s", extension);
    }
    CheckEqual(FormatReportLine("Copyright flag = %d", a.copyrightFlag),
               KeyOf(ref, &AudioReference::CopyrightFlag), a.copyrightFlag, failed);
    CheckEqual(FormatReportLine("Original flag = %d", a.originalFlag),
               KeyOf(ref, &AudioReference::OriginalFlag), a.originalFlag, failed);
    CheckEqual(EmphasisText(a.emphasis & 3), KeyOf(ref, &AudioReference::Emphasis), a.emphasis,
               failed);
}

// Written only for more clipped samples than the key allows, compared as the range
// check compares: a key that is not set gives an information line above 65535.
void WriteClippedLine(const AudioReference& ref, const char* format, int32_t clipped,
                      bool& failed) {
    ProfileKey key = KeyOf(ref, &AudioReference::MaxSamplesClipped);
    if (static_cast<uint32_t>(clipped) > static_cast<uint32_t>(key.value)) {
        CheckRange(FormatReportLine(format, clipped), kNoLimit, key, clipped, failed);
    }
}

// A level line is judged when the stream was decoded; in header mode nothing was
// measured, and the line says so without a check.
bool WroteNotMeasured(const char* label, bool decoded) {
    if (!decoded) LogInfo("%s = not measured", label);
    return !decoded;
}

std::string LevelLine(const char* label, const char* unit, double value) {
    std::string format = std::string(label) + " = %0.1f " + unit;
    return FormatReportLine(format.c_str(), value);
}

void WriteLevelLine(const char* label, const char* unit, RealProfileKey max, double value,
                    bool decoded, bool& failed) {
    if (WroteNotMeasured(label, decoded)) return;
    CheckRangeReal(LevelLine(label, unit, value), kRealNotSet, max, value, failed);
}

// At least RMSReference, at most RMSReference + RMSTolerance.
void WriteRmsLine(const AudioReference& ref, const char* label, double value, bool decoded,
                  bool& failed) {
    if (WroteNotMeasured(label, decoded)) return;
    CheckRangeRealWithTolerance(LevelLine(label, "dB", value),
                                KeyOf(ref, &AudioReference::RMSReference),
                                KeyOf(ref, &AudioReference::RMSTolerance), value, failed);
}

void WriteLevelLines(const AudioReference& ref, const AudioStreamInfo& a, bool decoded,
                     bool& failed) {
    RealProfileKey maxDc = KeyOf(ref, &AudioReference::MaxDCLevel);
    RealProfileKey maxPeak = KeyOf(ref, &AudioReference::MaxPeakValue);
    WriteLevelLine("Left Channel DC Level", "dBFS", maxDc, a.dcLeft, decoded, failed);
    WriteLevelLine("Right Channel DC Level", "dBFS", maxDc, a.dcRight, decoded, failed);
    WriteLevelLine("Left Channel Peak Level", "dBFS", maxPeak, a.peakLeft, decoded, failed);
    if (decoded) {
        WriteClippedLine(ref, "Possibly %d Samples Clipped on Left Channel...!!", a.clippedLeft,
                         failed);
    }
    WriteLevelLine("Right Channel Peak Level", "dBFS", maxPeak, a.peakRight, decoded, failed);
    if (decoded) {
        WriteClippedLine(ref, "Possibly %d Samples Clipped on Right Channel...!!", a.clippedRight,
                         failed);
    }
    WriteRmsLine(ref, "Left Channel RMS Level", a.rmsLeft, decoded, failed);
    WriteRmsLine(ref, "Right Channel RMS Level", a.rmsRight, decoded, failed);
    WriteLevelLine("Difference Left-Right RMS Level", "dB",
                   KeyOf(ref, &AudioReference::RMSLeftRightDiff), std::fabs(a.rmsLeft - a.rmsRight),
                   decoded, failed);
}

bool JudgesLoudness(const AudioReference& ref) {
    for (double key : {ref.LoudnessTarget, ref.LoudnessTolerance, ref.TruePeakMax,
                       ref.LoudnessRangeMax, ref.ShortTermLoudnessMax}) {
        if (key < kRealNotSet) return true;
    }
    return false;
}

// One decimal, or "-inf" for silence.
std::string LoudnessLine(const char* label, double value, const char* unit) {
    if (std::isfinite(value)) return LevelLine(label, unit, value);
    return FormatReportLine("%s = -inf %s", label, unit);
}

// Silence never reaches a minimum, and a stream shorter than one gating block has no
// integrated loudness at all: the line says which it is.
void WriteIntegratedLine(const AudioReference& ref, const ProgrammeLoudnessFigures& l,
                         bool& failed) {
    std::string line = LoudnessLine("Integrated Loudness", l.integratedLufs, "LUFS");
    if (l.seconds < kGatingBlockSeconds) {
        line += " (shorter than one 400 ms gating block)";
    } else if (!std::isfinite(l.integratedLufs)) {
        line += " (silence: below every minimum)";
    }
    CheckRangeRealAround(line, KeyOf(ref, &AudioReference::LoudnessTarget),
                         KeyOf(ref, &AudioReference::LoudnessTolerance), l.integratedLufs, failed);
}

void WriteTruePeakLines(const AudioReference& ref, const ProgrammeLoudnessFigures& l,
                        bool& failed) {
    RealProfileKey max = KeyOf(ref, &AudioReference::TruePeakMax);
    if (l.channels == 1) {
        CheckRangeReal(LoudnessLine("True Peak", l.truePeakDbtp[0], "dBTP"), kRealNotSet, max,
                       l.truePeakDbtp[0], failed);
        return;
    }
    CheckRangeReal(LoudnessLine("True Peak Left", l.truePeakDbtp[0], "dBTP"), kRealNotSet, max,
                   l.truePeakDbtp[0], failed);
    CheckRangeReal(LoudnessLine("True Peak Right", l.truePeakDbtp[1], "dBTP"), kRealNotSet, max,
                   l.truePeakDbtp[1], failed);
}

// The programme loudness of ITU-R BS.1770-4, after the RMS lines: written when it was
// measured, and "not measured" lines when the profile judges it and it could not be (header
// mode, or no audio decoded).
void WriteLoudnessLines(const AudioReference& ref, const ProgrammeLoudnessFigures& l,
                        bool& failed) {
    if (!l.measured) {
        if (!JudgesLoudness(ref)) return;
        for (const char* label : {"Integrated Loudness", "Loudness Range",
                                  "Maximum Short-Term Loudness", "True Peak"}) {
            LogInfo("%s = not measured", label);
        }
        return;
    }
    WriteIntegratedLine(ref, l, failed);
    CheckRangeReal(LoudnessLine("Loudness Range", l.rangeLu, "LU"), kRealNotSet,
                   KeyOf(ref, &AudioReference::LoudnessRangeMax), l.rangeLu, failed);
    LogInfo("%s", LoudnessLine("Maximum Momentary Loudness", l.maxMomentaryLufs, "LUFS").c_str());
    CheckRangeReal(LoudnessLine("Maximum Short-Term Loudness", l.maxShortTermLufs, "LUFS"),
                   kRealNotSet, KeyOf(ref, &AudioReference::ShortTermLoudnessMax),
                   l.maxShortTermLufs, failed);
    WriteTruePeakLines(ref, l, failed);
}

double KeyOrNaN(double key) {
    return key < kRealNotSet ? key : std::numeric_limits<double>::quiet_NaN();
}

// The stream's loudness curve to the registered listener, with the target it is judged by.
void TellLoudnessCurve(const AudioReference& ref, int id, const ProgrammeLoudnessFigures& l) {
    if (!l.measured) return;
    LoudnessListener& listener = CurrentLoudnessListener();
    listener.BeginLoudnessCurve(id);
    for (const LoudnessPoint& point : l.curve) listener.AddLoudnessPoint(point);
    listener.DrawLoudnessGraph(KeyOrNaN(ref.LoudnessTarget), KeyOrNaN(ref.LoudnessTolerance));
}

// The playing time the cross-stream check compares with the video: decoded, or in
// header mode counted from the accepted frames.
double AudioDurationSeconds(const AudioStreamInfo& a, bool decoded) {
    if (decoded) return a.decodedSeconds;
    if (a.samplingFrequency == 0) return 0.0;
    return static_cast<double>(static_cast<uint32_t>(a.syncWords)) *
           SamplesPerFrame(a.idBit, a.layer) / a.samplingFrequency;
}

void WriteDetailLines(const AudioReference& ref, int id, const AudioStreamInfo& a, bool decoded,
                      const StreamIdTable& table, AudioPhaseResult& run) {
    double delayMs = FirstPtsFromClockStartMs(table, id);
    LogInfo("Audio Delay Stream %X = %0.01f ms", id, delayMs);
    run.measured = true;
    run.firstPtsMs = delayMs;
    LogInfo("Audio decoded bytes = %d -> %0.2f Sec", a.decodedBytes, a.decodedSeconds);
    run.durationSeconds = AudioDurationSeconds(a, decoded);
    WriteBufferBoundLine(table, id);
    WriteHeaderLines(ref, a, run);
    WriteLevelLines(ref, a, decoded, run.failed);
    static const ProgrammeLoudnessFigures kNotMeasured;
    const ProgrammeLoudnessFigures& loudness = decoded ? ProgrammeLoudnessRecord(id) : kNotMeasured;
    WriteLoudnessLines(ref, loudness, run.failed);
    TellLoudnessCurve(ref, id, loudness);
}

// The status line; false when the stream has no detail lines.
bool WriteStatusLine(int id, AudioStatus status, AudioPhaseResult& run) {
    switch (status) {
        case AudioOk:
            LogInfo("Elementary Stream %X is a MPEG Audio Stream", id);
            return true;
        case AudioBadIdBit:
            CheckAlwaysFails("Bad ID Bit", run.failed);
            return true;
        case AudioNoInitialSync:
            ReportError(FormatReportLine("Elementary Stream %X is not a MPEG Audio Stream", id));
            break;
        default:
            ReportError(FormatReportLine("ERROR: Unknown Error, in Stream %X!!", id));
            break;
    }
    run.failed = true;
    return false;
}

}  // namespace

bool DecodesAudio(const AudioReference& ref) {
    return ref.DecodeAudio == kDecodeAudioOn || JudgesLoudness(ref);
}

bool MeasuresLoudness(const AudioReference& ref, bool curveWanted) {
    return DecodesAudio(ref) && (JudgesLoudness(ref) || curveWanted);
}

AudioPhaseResult RunAudioPhase(const AudioReference& ref, const StreamIdTable& table,
                               const std::function<uint32_t(int id)>& finishPass) {
    AudioPhaseResult result;
    LogInfo(" ");
    LogHeading("Begin Audio Streams Summary:");
    bool decode = DecodesAudio(ref);
    // A set key is judged: loudness needs the decoded samples whatever DecodeAudio says.
    bool anyStream = false;
    for (int id = kFirstAudioStreamId; id <= kLastAudioStreamId; ++id) {
        anyStream = anyStream || table.packetCount[id] > 0;
    }
    if (decode && ref.DecodeAudio != kDecodeAudioOn && anyStream) {
        LogInfo("Audio decoded for the loudness keys (DecodeAudio is not 1)");
    }
    for (int id = kFirstAudioStreamId; id <= kLastAudioStreamId; ++id) {
        if (table.packetCount[id] == 0) continue;
        SetStatusText("Processing Elementary Audio Stream...");
        SetProgress(0);
        auto status = static_cast<AudioStatus>(finishPass(id));
        if (IsCancelRequested() && result.cancelledPhase.empty()) {
            result.cancelledPhase = FormatReportLine("audio stream %X", id);
        }
        SetProgress(100);
        SetStatusText("");
        BeginStreamSection(id);
        if (WriteStatusLine(id, status, result)) {
            const AudioStreamInfo& a = decode ? AudioDecodeRecord(id) : AudioHeaderRecord(id);
            // A capture cut inside a frame: the skip is a warning (its sync loss is judged
            // by AudioSyncLossesMax).
            if (a.skippedBytes > 0) {
                LogWarning("%u bytes skipped before the first audio frame", a.skippedBytes);
            }
            WriteDetailLines(ref, id, a, decode, table, result);
        }
        EndStreamSection();
    }
    LogHeading("End Audio Streams Summary.");
    return result;
}
