// Units and meanings of the profile keys.
#include "reference/key_table.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>

#include "video/video_codes.h"

namespace {

// Units of the keys' values (docs/profile.md, "Keys by section"). A key whose value is a code or a
// switch reads "code"; Kbps counts 1024 bit/s for video and 1000 bit/s for audio.
const std::map<std::string, std::string, std::less<>>& Units() {
    static const std::map<std::string, std::string, std::less<>> units = {
        {"SystemHeadersMin", "count"},
        {"MPEGPackSize", "bytes"},
        {"PacketsPerPack", "count"},
        {"PacketSCRTimingError", "count"},
        {"PacketPTSDTSOutSync", "count"},
        {"SystemVBR", "code"},
        {"ProgramMuxRateMin", "bit/s"},  // judged against the recommended rate
        {"VideoStreams", "count"},
        {"AudioStreams", "count"},
        {"MPEGAudioStreams", "code"},
        {"MPEGVideoStreams", "code"},
        {"ProgramEndCodeRequired", "code"},
        {"DurationAudioVideoDifference", "ms"},
        {"DelayAudioVideoDifference", "ms"},
        {"SequenceHeaderAligned", "code"},
        {"SequenceHeadersMin", "count"},
        {"HorizontalSize", "pixels"},
        {"VerticalSize", "lines"},
        {"FrameRate", "code"},
        {"AspectRatio", "code"},
        {"VBVBufferSize", "16 kbit"},
        {"ProfileAndLevel", "code"},
        {"CBR_VBR", "code"},
        {"ChromaFormat", "code"},
        {"PictureStructure", "code"},
        {"IntraDCPrecision", "code"},
        {"TopFieldFirst", "code"},
        {"DCTType", "code"},
        {"QuantizationScale", "code"},
        {"ScanType", "code"},
        {"ProgressiveFrame", "code"},
        {"FirstGOPClosed", "code"},
        {"AllGOPClosed", "code"},
        {"GOPLengthMax", "frames"},
        {"FramesIRequired", "frames"},
        {"FramesPRequired", "frames"},
        {"FramesBRequired", "frames"},
        {"VideoPeakBitrate", "Kbps"},
        {"VideoAvgBitrate", "Kbps"},
        {"VideoEndCodeRequired", "code"},
        {"AudioSyncLossesMax", "count"},
        {"Layer", "code"},
        {"AudioBitrate", "kbit/s"},
        {"SamplingFrequency", "Hz"},
        {"ErrorProtection", "code"},
        {"PrivateFlag", "code"},
        {"Mode", "bit mask"},
        {"CopyrightFlag", "code"},
        {"OriginalFlag", "code"},
        {"Emphasis", "code"},
        {"MaxSamplesClipped", "samples"},
        {"MaxDCLevel", "dBFS"},
        {"MaxPeakValue", "dBFS"},
        {"RMSReference", "dB"},
        {"RMSTolerance", "dB"},
        {"RMSLeftRightDiff", "dB"},
        {"LoudnessTarget", "LUFS"},
        {"LoudnessTolerance", "LU"},
        {"TruePeakMax", "dBTP"},
        {"LoudnessRangeMax", "LU"},
        {"ShortTermLoudnessMax", "LUFS"},
        {"VBVCheck", "code"},
        {"DeclaredBitrateCheck", "code"},
        {"SpliceReady", "code"},
        {"SequenceHeaderEveryGOP", "code"},
        {"MuxRateCheck", "code"},
        {"ClockDiscontinuitiesMax", "count"},
        {"FormatChangesAllowed", "code"},
        {"AudioVideoStartMax", "ms"},
        {"AudioVideoEndMax", "ms"},
        {"SpotDurationTolerance", "frames"},
    };
    return units;
}

using Codes = std::map<int, std::string>;

// Meanings of coded values: the layer and emphasis of ISO/IEC 11172-3 (2.4.2.3), and the
// profile's own switches. The codes of the video headers are named as the report names
// them (VideoCodeMeaning).
const std::map<std::string, Codes, std::less<>>& Meanings() {
    static const std::map<std::string, Codes, std::less<>> meanings = {
        {"Layer", {{1, "Layer I"}, {2, "Layer II"}, {3, "Layer III"}}},
        {"Emphasis", {{0, "none"}, {1, "50/15 us"}, {2, "reserved"}, {3, "CCITT J.17"}}},
        {"SystemVBR", {{0, "constant bitrate"}, {1, "variable bitrate"}}},
        {"CBR_VBR", {{0, "constant bitrate"}, {1, "variable bitrate"}}},
        {"ChromaFormat", {{0, "any chroma format"}}},
        {"PictureStructure", {{0, "field pictures"}, {3, "frame pictures"}}},
        {"ProfileAndLevel", {{0, "streams other than MP@ML accepted"}}},
        {"ErrorProtection", {{0, "CRC"}, {1, "no CRC"}}},
        {"ProgramEndCodeRequired", {{1, "a missing end code accepted"}}},
        {"VideoEndCodeRequired", {{0, "a missing end code accepted"}, {1, "end code required"}}},
        {"MPEGAudioStreams", {{0, "DVD audio substreams accepted"}, {1, "video streams accepted"}}},
        {"MPEGVideoStreams", {{1, "MPEG audio streams accepted"}}},
        {"FirstGOPClosed", {{0, "open"}, {1, "closed"}}},
        {"AllGOPClosed", {{0, "at least one open"}, {1, "all closed"}}},
        {"TopFieldFirst", {{0, "no"}, {1, "yes"}}},
        {"DCTType", {{0, "field"}, {1, "frame"}}},
        {"QuantizationScale", {{0, "linear"}, {1, "nonlinear"}}},
        {"ScanType", {{0, "zigzag"}, {1, "alternate"}}},
        {"ProgressiveFrame", {{0, "interlaced"}, {1, "progressive"}}},
        {"SequenceHeaderAligned", {{0, "no"}, {1, "yes"}}},
        {"FormatChangesAllowed", {{0, "no format change"}, {1, "format changes accepted"}}},
        {"IntraDCPrecision", {{0, "8 bits"}, {1, "9 bits"}, {2, "10 bits"}, {3, "11 bits"}}},
    };
    return meanings;
}

// The audio modes a Mode mask accepts (ISO/IEC 11172-3, 2.4.2.3 mode, one bit each).
std::string ModeMeaning(double value) {
    static const char* const kModes[] = {"stereo", "joint stereo", "dual channel",
                                         "single channel"};
    auto mask = static_cast<uint32_t>(static_cast<int64_t>(value));
    std::string text;
    for (uint32_t bit = 0; bit < 4; ++bit) {
        if (!((mask >> bit) & 1)) continue;
        if (!text.empty()) text += ", ";
        text += kModes[bit];
    }
    return text.empty() ? "no mode" : text;
}

// frame_rate_code, aspect_ratio_information, chroma_format and profile_and_level_indication
// of ISO/IEC 13818-2; empty for any other key or code.
std::string VideoCodeMeaning(std::string_view key, double value) {
    if (value != std::floor(value) || value < 1 || value > 255) return "";
    auto code = static_cast<uint32_t>(value);
    const char* name = key == "FrameRate"      ? FrameRateName(code)
                       : key == "AspectRatio"  ? AspectRatioName(code)
                       : key == "ChromaFormat" ? ChromaFormatName(code)
                                               : nullptr;
    if (name) return name;
    return key == "ProfileAndLevel" ? ProfileAndLevelName(code) : "";
}

}  // namespace

std::string KeyUnit(std::string_view key) {
    auto found = Units().find(key);
    return found == Units().end() ? "count" : found->second;
}

std::string KeyMeaning(std::string_view key, double value) {
    if (key == "Mode") return ModeMeaning(value);
    if (std::string video = VideoCodeMeaning(key, value); !video.empty()) return video;
    auto codes = Meanings().find(key);
    if (codes == Meanings().end() || value != std::floor(value)) return "";
    auto meaning = codes->second.find(static_cast<int>(value));
    return meaning == codes->second.end() ? "" : meaning->second;
}
