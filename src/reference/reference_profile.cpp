// Loading the reference profile.
#include "reference/reference_profile.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string_view>

#include "reference/ini_file.h"
#include "report/compliance_checks.h"

ReferenceProfileData ReferenceProfile{};

namespace {

constexpr int32_t kTimeKeyNotSet = 0;

// The values a key takes besides its not-set value: from `min` to `max`, or, where `only`
// lists them, just those. `takes` says it in the operator's words, after "KEY takes ".
struct Accepted {
    double min;
    double max;
    std::span<const int32_t> only;
    std::string_view takes;

    constexpr bool Holds(double value) const {
        if (!only.empty()) return std::find(only.begin(), only.end(), value) != only.end();
        return value >= min && value <= max;
    }
};

constexpr Accepted Range(double min, double max, std::string_view takes) {
    return {min, max, {}, takes};
}

constexpr int32_t kPictureStructures[] = {0, 3};
// ISO/IEC 11172-3 2.4.2.3 and ISO/IEC 13818-3 2.4.2.3 (lower sampling frequencies).
constexpr int32_t kSamplingFrequencies[] = {48000, 44100, 32000, 24000, 22050, 16000};

constexpr Accepted kCount = Range(0, 65535, "a count from 0 to 65535");
constexpr Accepted kFrames = Range(0, 65535, "a number of frames from 0 to 65535");
constexpr Accepted kSamples = Range(0, INT32_MAX, "a number of samples, 0 or more");
constexpr Accepted kMilliseconds = Range(0, 65535, "milliseconds from 0 to 65535");
constexpr Accepted kTimeDifference =
    Range(0, 65535, "milliseconds from 1 to 65535; 0 leaves it unchecked");
constexpr Accepted kTimeLimit = Range(
    0, INT32_MAX, "seconds of stream time, 300 or more; 0 (or less than 300) reads the whole file");
constexpr Accepted kSwitch = Range(0, 1, "1 (checked) or 0 (not checked)");
constexpr Accepted kYesNo = Range(0, 1, "1 (yes) or 0 (no)");
constexpr Accepted kPackSize = Range(1, 65535, "bytes from 1 to 65535");
constexpr Accepted kSystemVbr = Range(0, 1, "0 (fixed bitrate) or 1 (variable bitrate)");
constexpr Accepted kMuxRateSwitch =
    Range(0, 1, "1 (the mux rate is held to what the streams need) or 0 (it is not)");
constexpr Accepted kMpegAudioStreams =
    Range(0, 1, "1 (the video stream line passes) or 0 (DVD audio substream lines pass)");
constexpr Accepted kMpegVideoStreams = Range(0, 1, "1 (MPEG audio stream lines pass) or 0");
constexpr Accepted kProgramEndCode =
    Range(0, 1, "1 (a missing program end code passes) or 0 (it fails)");
constexpr Accepted kWidth = Range(1, 16383, "pixels from 1 to 16383");
constexpr Accepted kHeight = Range(1, 16383, "lines from 1 to 16383");
// ISO/IEC 13818-2 6.3.3: frame_rate_code, aspect_ratio_information, vbv_buffer_size_value,
// chroma_format; 6.3.10: intra_dc_precision and the picture coding extension's flags.
constexpr Accepted kFrameRateCode =
    Range(1, 8,
          "frame_rate_code: 3 for 25 fps, 4 for 29.97 fps, 1 for 23.976 fps, 2 for 24 fps, "
          "5 for 30 fps, 6 for 50 fps, 7 for 59.94 fps, 8 for 60 fps");
constexpr Accepted kAspectRatioCode =
    Range(1, 4,
          "aspect_ratio_information: 1 for square samples, 2 for 4:3, 3 for 16:9, "
          "4 for 2.21:1");
constexpr Accepted kVbvBufferSize =
    Range(0, 1023, "vbv_buffer_size_value in units of 16 kbit, from 0 to 1023");
constexpr Accepted kProfileAndLevel =
    Range(0, 255,
          "0 (every profile and level other than MP@ML passes), 1 (none passes) or the "
          "profile_and_level_indication that passes, such as 68 for MP@HL or 130 for 422P@HL");
constexpr Accepted kCbrVbr = Range(0, 1, "0 (constant bitrate) or 1 (variable bitrate)");
constexpr Accepted kChromaFormat =
    Range(0, 3, "chroma_format: 1 for 4:2:0, 2 for 4:2:2, 3 for 4:4:4, or 0 for any but 4:2:0");
constexpr Accepted kPictureStructure = {0, 0, kPictureStructures,
                                        "3 (frame pictures) or 0 (field pictures)"};
constexpr Accepted kIntraDcPrecision =
    Range(0, 3, "intra_dc_precision: 0, 1, 2 or 3 for 8, 9, 10 or 11 bits");
constexpr Accepted kTopFieldFirst = Range(0, 1, "top_field_first: 1 or 0");
constexpr Accepted kDctType = Range(0, 1, "frame_pred_frame_dct: 1 (frame) or 0 (field)");
constexpr Accepted kQScaleType = Range(0, 1, "q_scale_type: 1 (nonlinear) or 0 (linear)");
constexpr Accepted kAlternateScan = Range(0, 1, "alternate_scan: 1 (alternate) or 0 (zigzag)");
constexpr Accepted kProgressiveFrame =
    Range(0, 1, "progressive_frame: 1 (progressive) or 0 (interlaced)");
constexpr Accepted kFirstGopClosed = Range(0, 1, "1 (closed) or 0 (open)");
constexpr Accepted kAllGopClosed = Range(0, 1, "1 (all closed) or 0 (at least one open)");
constexpr Accepted kGopLength = Range(1, 65535, "a number of frames from 1 to 65535");
constexpr Accepted kVideoBitrate = Range(0, 1000000, "Kbps from 0 to 1000000");
constexpr Accepted kVideoEndCode =
    Range(0, 1, "1 (a missing sequence end code fails) or 0 (it passes)");
constexpr Accepted kFormatChanges = Range(0, 1, "1 (a change of format passes) or 0 (it fails)");
constexpr Accepted kDecodeAudio =
    Range(0, 1, "1 (decode the audio and measure its levels) or 0 (read its headers only)");
constexpr Accepted kMpegAudioId =
    Range(1, 2, "1 (MPEG-1 audio) or 2 (MPEG-2 audio at lower sampling frequencies)");
constexpr Accepted kLayer = Range(1, 3, "the layer: 1, 2 or 3");
constexpr Accepted kAudioBitrate = Range(0, 448, "kbit/s from 8 to 448 (0: free format)");
constexpr Accepted kSamplingFrequency = {0, 0, kSamplingFrequencies,
                                         "Hz: 48000, 44100, 32000, 24000, 22050 or 16000"};
constexpr Accepted kProtectionBit = Range(0, 1, "protection_bit: 1 (no CRC) or 0 (CRC)");
constexpr Accepted kPrivateBit = Range(0, 1, "private_bit: 1 or 0");
constexpr Accepted kCopyrightBit = Range(0, 1, "copyright: 1 or 0");
constexpr Accepted kOriginalBit = Range(0, 1, "original_copy: 1 or 0");
constexpr Accepted kModeMask =
    Range(0, 15,
          "the modes that pass, added together: 1 stereo, 2 joint stereo, "
          "4 dual channel, 8 single channel (0 to 15)");
constexpr Accepted kModeExtension = Range(0, 3, "mode_extension: 0 to 3");
constexpr Accepted kEmphasis =
    Range(0, 3, "emphasis: 0 (none), 1 (50/15 microsec.), 2 (reserved) or 3 (CCITT J.17)");
constexpr Accepted kDbfs = Range(-200, 0, "dBFS from -200 to 0");
constexpr Accepted kRmsLevel = Range(-100, 50, "dB from -100 to 50");
constexpr Accepted kDbWidth = Range(0, 200, "dB from 0 to 200");
// ITU-R BS.1770-4: the absolute gate lies at -70 LUFS.
constexpr Accepted kLufs = Range(-70, 0, "LUFS from -70 to 0");
constexpr Accepted kLu = Range(0, 100, "LU from 0 to 100");
constexpr Accepted kDbtp = Range(-200, 6, "dBTP from -200 to 6");
constexpr Accepted kSpotLength =
    Range(1, 3600, "whole seconds from 1 to 3600 separated by commas, such as 10,15,20,30,60");

enum class ValueKind { Integer, Real, List };

// What the loader knows of a key: how its value is written, what it takes, and the value
// that stands for not set, which any key takes.
struct KnownKey {
    std::string_view name;  // as the profile's tables spell it
    ValueKind kind;
    const Accepted* accepted;
    double notSet;
};

// Whole numbers separated by commas; an empty text is an empty list.
std::optional<std::vector<int32_t>> ParseList(const std::string& text) {
    std::vector<int32_t> values;
    if (text.empty()) return values;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma - start);
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        std::optional<int32_t> value = ParseIniInt(item);
        if (!value) return std::nullopt;
        values.push_back(*value);
        if (comma == std::string::npos) return values;
        start = comma + 1;
    }
}

// The numbers a value holds, one for a number; nothing when it is no number of its kind
// ("720px", "720 # PAL").
std::optional<std::vector<double>> NumbersOf(ValueKind kind, const std::string& text) {
    switch (kind) {
        case ValueKind::Integer:
            if (std::optional<int32_t> value = ParseIniInt(text)) {
                return std::vector<double>{static_cast<double>(*value)};
            }
            return std::nullopt;
        case ValueKind::Real:
            if (std::optional<double> value = ParseIniReal(text))
                return std::vector<double>{*value};
            return std::nullopt;
        case ValueKind::List:
            if (std::optional<std::vector<int32_t>> list = ParseList(text)) {
                return std::vector<double>(list->begin(), list->end());
            }
            return std::nullopt;
    }
    return std::nullopt;
}

// Why a value written for the key is not applied: unreadable, or out of the key's range.
// Nothing for a value it takes, and for an empty one, which leaves the key not set.
std::optional<ProfileWarningKind> ValueProblem(const KnownKey& key, const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::optional<std::vector<double>> numbers = NumbersOf(key.kind, text);
    if (!numbers) return ProfileWarningKind::UnreadableValue;
    for (double number : *numbers) {
        if (number != key.notSet && !key.accepted->Holds(number)) {
            return ProfileWarningKind::OutOfRange;
        }
    }
    return std::nullopt;
}

// Reads the profile's values and remembers every key it is asked for: exactly those are
// the keys Zembra knows. A value the key does not take is not applied: the key keeps its
// not-set value.
class ProfileReader {
  public:
    explicit ProfileReader(const IniFile& ini) : ini_(ini) {}

    int32_t Read(std::string_view section, std::string_view key, int32_t notSet,
                 const Accepted& accepted) {
        std::optional<std::string> text =
            Known(section, {key, ValueKind::Integer, &accepted, static_cast<double>(notSet)});
        return text ? ParseIniInt(*text).value_or(notSet) : notSet;
    }
    double Read(std::string_view section, std::string_view key, double notSet,
                const Accepted& accepted) {
        std::optional<std::string> text = Known(section, {key, ValueKind::Real, &accepted, notSet});
        return text ? ParseIniReal(*text).value_or(notSet) : notSet;
    }
    // Empty when the key is absent or not applied.
    std::vector<int32_t> ReadList(std::string_view section, std::string_view key,
                                  const Accepted& accepted) {
        // An empty list leaves the key not set; no number in a list stands for that.
        constexpr double kNoNotSet = std::numeric_limits<double>::quiet_NaN();
        std::optional<std::string> text =
            Known(section, {key, ValueKind::List, &accepted, kNoNotSet});
        return text ? ParseList(*text).value_or(std::vector<int32_t>{}) : std::vector<int32_t>{};
    }

    const KnownKey* Find(const std::string& section, const std::string& key) const {
        auto found = known_.find(KnownName(section, key));
        return found == known_.end() ? nullptr : &found->second;
    }

  private:
    static std::string KnownName(std::string_view section, std::string_view key) {
        return LowerIniName(std::string(section)) + '\n' + LowerIniName(std::string(key));
    }

    // Remembers the key; its value when one is written that the key takes.
    std::optional<std::string> Known(std::string_view section, const KnownKey& key) {
        known_.emplace(KnownName(section, key.name), key);
        std::optional<std::string> text = ini_.Value(std::string(section), std::string(key.name));
        if (!text || ValueProblem(key, *text)) return std::nullopt;
        return text;
    }

    const IniFile& ini_;
    std::map<std::string, KnownKey> known_;
};

// The labels table takes any name=value line of its section.
constexpr std::string_view kLabelsSection = "labels";
constexpr std::array<std::string_view, 5> kKnownSections = {"system", "processing", "video",
                                                            "audio", kLabelsSection};

std::vector<ProfileWarning> profileWarnings;
ProfileOrigin profileOrigin;

// Each key of a section: where the profile holds it, the field it is read into and its
// value when absent. The loader reads these and the checks name their keys from them, so
// each name is written once.
template <typename Section, typename Value>
struct KeyField {
    std::string_view section;
    std::string_view name;
    Value Section::*field;
    Value defaultValue;
    const Accepted& accepted;
};

using SystemKey = KeyField<SystemReference, int32_t>;
using VideoKey = KeyField<VideoReference, int32_t>;
using AudioKey = KeyField<AudioReference, int32_t>;
using AudioRealKey = KeyField<AudioReference, double>;

constexpr SystemKey kSystemKeys[] = {
    {"System", "SystemHeadersMin", &SystemReference::SystemHeadersMin, kNotSet, kCount},
    {"System", "MPEGPackSize", &SystemReference::MPEGPackSize, kNotSet, kPackSize},
    {"System", "PacketsPerPack", &SystemReference::PacketsPerPack, kNotSet, kCount},
    {"System", "PacketSCRTimingError", &SystemReference::PacketSCRTimingError, kNotSet, kCount},
    {"System", "PacketPTSDTSOutSync", &SystemReference::PacketPTSDTSOutSync, kNotSet, kCount},
    {"System", "SystemVBR", &SystemReference::SystemVBR, kNotSet, kSystemVbr},
    {"System", "ProgramMuxRateMin", &SystemReference::ProgramMuxRateMin, kNotSet, kMuxRateSwitch},
    {"System", "VideoStreams", &SystemReference::VideoStreams, kNotSet, kCount},
    {"System", "AudioStreams", &SystemReference::AudioStreams, kNotSet, kCount},
    {"System", "MPEGAudioStreams", &SystemReference::MPEGAudioStreams, kNotSet, kMpegAudioStreams},
    {"System", "MPEGVideoStreams", &SystemReference::MPEGVideoStreams, kNotSet, kMpegVideoStreams},
    {"System", "ProgramEndCodeRequired", &SystemReference::ProgramEndCodeRequired, kNotSet,
     kProgramEndCode},
    {"System", "DurationAudioVideoDifference", &SystemReference::DurationAudioVideoDifference,
     kTimeKeyNotSet, kTimeDifference},
    {"System", "DelayAudioVideoDifference", &SystemReference::DelayAudioVideoDifference,
     kTimeKeyNotSet, kTimeDifference},
    {"Processing", "MaxTimeToProcess", &SystemReference::MaxTimeToProcess, kTimeKeyNotSet,
     kTimeLimit},
    {"System", "AudioVideoStartMax", &SystemReference::AudioVideoStartMax, kNotSet, kMilliseconds},
    {"System", "AudioVideoEndMax", &SystemReference::AudioVideoEndMax, kNotSet, kMilliseconds},
    {"System", "SpotDurationTolerance", &SystemReference::SpotDurationTolerance, kNotSet, kFrames},
    {"System", "MuxRateCheck", &SystemReference::MuxRateCheck, kNotSet, kSwitch},
    {"System", "ClockDiscontinuitiesMax", &SystemReference::ClockDiscontinuitiesMax, kNotSet,
     kCount},
};

constexpr VideoKey kVideoKeys[] = {
    {"Video", "SequenceHeaderAligned", &VideoReference::SequenceHeaderAligned, kNotSet, kYesNo},
    {"Video", "SequenceHeadersMin", &VideoReference::SequenceHeadersMin, kNotSet, kCount},
    {"Video", "HorizontalSize", &VideoReference::HorizontalSize, kNotSet, kWidth},
    {"Video", "VerticalSize", &VideoReference::VerticalSize, kNotSet, kHeight},
    {"Video", "FrameRate", &VideoReference::FrameRate, kNotSet, kFrameRateCode},
    {"Video", "AspectRatio", &VideoReference::AspectRatio, kNotSet, kAspectRatioCode},
    {"Video", "VBVBufferSize", &VideoReference::VBVBufferSize, kNotSet, kVbvBufferSize},
    {"Video", "ProfileAndLevel", &VideoReference::ProfileAndLevel, kNotSet, kProfileAndLevel},
    {"Video", "CBR_VBR", &VideoReference::CBR_VBR, kNotSet, kCbrVbr},
    {"Video", "ChromaFormat", &VideoReference::ChromaFormat, kNotSet, kChromaFormat},
    {"Video", "PictureStructure", &VideoReference::PictureStructure, kNotSet, kPictureStructure},
    {"Video", "IntraDCPrecision", &VideoReference::IntraDCPrecision, kNotSet, kIntraDcPrecision},
    {"Video", "TopFieldFirst", &VideoReference::TopFieldFirst, kNotSet, kTopFieldFirst},
    {"Video", "DCTType", &VideoReference::DCTType, kNotSet, kDctType},
    {"Video", "QuantizationScale", &VideoReference::QuantizationScale, kNotSet, kQScaleType},
    {"Video", "ScanType", &VideoReference::ScanType, kNotSet, kAlternateScan},
    {"Video", "ProgressiveFrame", &VideoReference::ProgressiveFrame, kNotSet, kProgressiveFrame},
    {"Video", "FirstGOPClosed", &VideoReference::FirstGOPClosed, kNotSet, kFirstGopClosed},
    {"Video", "AllGOPClosed", &VideoReference::AllGOPClosed, kNotSet, kAllGopClosed},
    {"Video", "GOPLengthMax", &VideoReference::GOPLengthMax, kNotSet, kGopLength},
    {"Video", "FramesIRequired", &VideoReference::FramesIRequired, kNotSet, kFrames},
    {"Video", "FramesPRequired", &VideoReference::FramesPRequired, kNotSet, kFrames},
    {"Video", "FramesBRequired", &VideoReference::FramesBRequired, kNotSet, kFrames},
    {"Video", "VideoPeakBitrate", &VideoReference::VideoPeakBitrate, kNotSet, kVideoBitrate},
    {"Video", "VideoAvgBitrate", &VideoReference::VideoAvgBitrate, kNotSet, kVideoBitrate},
    {"Video", "VideoEndCodeRequired", &VideoReference::VideoEndCodeRequired, kNotSet,
     kVideoEndCode},
    {"Video", "VBVCheck", &VideoReference::VBVCheck, kNotSet, kSwitch},
    {"Video", "DeclaredBitrateCheck", &VideoReference::DeclaredBitrateCheck, kNotSet, kSwitch},
    {"Video", "SpliceReady", &VideoReference::SpliceReady, kNotSet, kSwitch},
    {"Video", "SequenceHeaderEveryGOP", &VideoReference::SequenceHeaderEveryGOP, kNotSet, kSwitch},
    {"Video", "FormatChangesAllowed", &VideoReference::FormatChangesAllowed, kNotSet,
     kFormatChanges},
};

constexpr AudioKey kAudioKeys[] = {
    {"Audio", "DecodeAudio", &AudioReference::DecodeAudio, kNotSet, kDecodeAudio},
    {"Audio", "AudioSyncLossesMax", &AudioReference::AudioSyncLossesMax, kNotSet, kCount},
    {"Audio", "MPEG", &AudioReference::MPEG, kNotSet, kMpegAudioId},
    {"Audio", "Layer", &AudioReference::Layer, kNotSet, kLayer},
    {"Audio", "AudioBitrate", &AudioReference::AudioBitrate, kNotSet, kAudioBitrate},
    {"Audio", "SamplingFrequency", &AudioReference::SamplingFrequency, kNotSet, kSamplingFrequency},
    {"Audio", "ErrorProtection", &AudioReference::ErrorProtection, kNotSet, kProtectionBit},
    {"Audio", "PrivateFlag", &AudioReference::PrivateFlag, kNotSet, kPrivateBit},
    {"Audio", "Mode", &AudioReference::Mode, kNotSet, kModeMask},
    {"Audio", "ModeExtension", &AudioReference::ModeExtension, kNotSet, kModeExtension},
    {"Audio", "CopyrightFlag", &AudioReference::CopyrightFlag, kNotSet, kCopyrightBit},
    {"Audio", "OriginalFlag", &AudioReference::OriginalFlag, kNotSet, kOriginalBit},
    {"Audio", "Emphasis", &AudioReference::Emphasis, kNotSet, kEmphasis},
    {"Audio", "MaxSamplesClipped", &AudioReference::MaxSamplesClipped, kNotSet, kSamples},
};

constexpr AudioRealKey kAudioRealKeys[] = {
    {"Audio", "MaxDCLevel", &AudioReference::MaxDCLevel, kRealNotSet, kDbfs},
    {"Audio", "MaxPeakValue", &AudioReference::MaxPeakValue, kRealNotSet, kDbfs},
    {"Audio", "RMSReference", &AudioReference::RMSReference, kRealNotSet, kRmsLevel},
    {"Audio", "RMSTolerance", &AudioReference::RMSTolerance, kRealNotSet, kDbWidth},
    {"Audio", "RMSLeftRightDiff", &AudioReference::RMSLeftRightDiff, kRealNotSet, kDbWidth},
    {"Audio", "LoudnessTarget", &AudioReference::LoudnessTarget, kRealNotSet, kLufs},
    {"Audio", "LoudnessTolerance", &AudioReference::LoudnessTolerance, kRealNotSet, kLu},
    {"Audio", "TruePeakMax", &AudioReference::TruePeakMax, kRealNotSet, kDbtp},
    {"Audio", "LoudnessRangeMax", &AudioReference::LoudnessRangeMax, kRealNotSet, kLu},
    {"Audio", "ShortTermLoudnessMax", &AudioReference::ShortTermLoudnessMax, kRealNotSet, kLufs},
};

template <typename Section, typename Value, size_t N>
constexpr bool EachFieldOnce(const KeyField<Section, Value> (&table)[N]) {
    for (size_t i = 0; i < N; ++i) {
        for (size_t j = i + 1; j < N; ++j) {
            if (table[i].field == table[j].field || table[i].name == table[j].name) return false;
        }
    }
    return true;
}

// Every field has exactly one row: no field is missed by the loader, and KeyOf finds each.
// (The sizes assume fields without padding between them, as they are laid out now.)
static_assert(EachFieldOnce(kSystemKeys) && EachFieldOnce(kVideoKeys) &&
              EachFieldOnce(kAudioKeys) && EachFieldOnce(kAudioRealKeys));
static_assert(sizeof(SystemReference) == std::size(kSystemKeys) * sizeof(int32_t));
static_assert(sizeof(VideoReference) == std::size(kVideoKeys) * sizeof(int32_t));
static_assert(sizeof(AudioReference) ==
              std::size(kAudioKeys) * sizeof(int32_t) + std::size(kAudioRealKeys) * sizeof(double));

template <typename Section, typename Value, size_t N>
void LoadSection(ProfileReader& reader, const KeyField<Section, Value> (&table)[N],
                 Section& section) {
    for (const KeyField<Section, Value>& row : table) {
        section.*row.field = reader.Read(row.section, row.name, row.defaultValue, row.accepted);
    }
}

void LoadAll(ProfileReader& reader) {
    LoadSection(reader, kSystemKeys, ReferenceProfile.system);
    LoadSection(reader, kVideoKeys, ReferenceProfile.video);
    LoadSection(reader, kAudioKeys, ReferenceProfile.audio);
    LoadSection(reader, kAudioRealKeys, ReferenceProfile.audio);
    ReferenceProfile.spotDurations =
        reader.ReadList(kSpotDurationsKey.section, kSpotDurationsKey.key, kSpotLength);
}

template <typename Section, typename Value, size_t N>
const KeyField<Section, Value>& RowOf(const KeyField<Section, Value> (&table)[N],
                                      Value Section::*field) {
    // Never the end: every field has a row (asserted above).
    return *std::find_if(std::begin(table), std::end(table),
                         [&](const KeyField<Section, Value>& row) { return row.field == field; });
}

template <typename Key, typename Section, typename Value, size_t N>
Key KeyIn(const KeyField<Section, Value> (&table)[N], const Section& section,
          Value Section::*field) {
    const KeyField<Section, Value>& row = RowOf(table, field);
    return Key{{row.section, row.name}, section.*field};
}

bool IsKnownSection(const std::string& name) {
    return std::find(kKnownSections.begin(), kKnownSections.end(), LowerIniName(name)) !=
           kKnownSections.end();
}

// A key is warned about unless it stands in [Labels], is known in its section, or stands
// in an unknown section, whose own warning covers it.
bool IsUnknownKey(const IniEntry& entry, bool beforeAnyHeader, const ProfileReader& reader) {
    if (beforeAnyHeader) return true;
    if (!IsKnownSection(entry.section) || LowerIniName(entry.section) == kLabelsSection) {
        return false;
    }
    return !reader.Find(entry.section, entry.name);
}

std::vector<ProfileWarning> FindUnknownNames(const IniFile& ini, const ProfileReader& reader,
                                             const std::string& path) {
    std::vector<ProfileWarning> warnings;
    for (const IniSectionHeader& header : ini.SectionHeaders()) {
        if (IsKnownSection(header.name)) continue;
        warnings.push_back(
            {ProfileWarningKind::UnknownSection, path, header.line, header.name, "", "", ""});
    }
    int firstHeaderLine = ini.SectionHeaders().empty() ? INT_MAX : ini.SectionHeaders()[0].line;
    for (const IniEntry& entry : ini.Entries()) {
        if (IsUnknownKey(entry, entry.line < firstHeaderLine, reader)) {
            warnings.push_back({ProfileWarningKind::UnknownKey, path, entry.line, entry.section,
                                entry.name, "", ""});
        } else if (const KnownKey* key = reader.Find(entry.section, entry.name)) {
            if (std::optional<ProfileWarningKind> problem = ValueProblem(*key, entry.value)) {
                warnings.push_back(
                    {*problem, path, entry.line, entry.section, entry.name, entry.value,
                     std::string(key->name) + " takes " + std::string(key->accepted->takes)});
            }
        }
    }
    std::stable_sort(
        warnings.begin(), warnings.end(),
        [](const ProfileWarning& a, const ProfileWarning& b) { return a.line < b.line; });
    return warnings;
}

}  // namespace

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "./";
    std::string exe(path, static_cast<size_t>(length));
    return exe.substr(0, exe.rfind('/') + 1);
}

std::string DefaultReferenceProfilePath() { return ExecutableDirectory() + "MpegReference.ini"; }

void LoadReferenceProfileFrom(const std::string& path) {
    std::optional<std::string> error = IniFileReadError(path);
    LoadReferenceProfileFromText(path, error ? "" : ReadIniFileBytes(path).value_or(""));
    profileOrigin.readError = error.value_or("");
}

void LoadReferenceProfileFromText(const std::string& path, const std::string& text) {
    profileOrigin = {false, path, "", 0};
    IniFile ini = IniFile::Parse(text);
    ProfileReader reader(ini);
    LoadAll(reader);
    profileWarnings = FindUnknownNames(ini, reader, path);
    profileOrigin.keysSet = static_cast<int>(
        std::count_if(ini.Entries().begin(), ini.Entries().end(), [&](const IniEntry& entry) {
            return LowerIniName(entry.section) != kLabelsSection &&
                   reader.Find(entry.section, entry.name);
        }));
}

void LoadReferenceProfile() { LoadReferenceProfileFrom(DefaultReferenceProfilePath()); }

void LoadNoReferenceProfile() {
    IniFile nothing;
    ProfileReader reader(nothing);
    LoadAll(reader);
    profileWarnings.clear();
    profileOrigin = ProfileOrigin{};
}

const ProfileOrigin& ReferenceProfileOrigin() { return profileOrigin; }

ProfileKey KeyOf(const SystemReference& section, int32_t SystemReference::*field) {
    return KeyIn<ProfileKey>(kSystemKeys, section, field);
}

ProfileKey KeyOf(const VideoReference& section, int32_t VideoReference::*field) {
    return KeyIn<ProfileKey>(kVideoKeys, section, field);
}

ProfileKey KeyOf(const AudioReference& section, int32_t AudioReference::*field) {
    return KeyIn<ProfileKey>(kAudioKeys, section, field);
}

RealProfileKey KeyOf(const AudioReference& section, double AudioReference::*field) {
    return KeyIn<RealProfileKey>(kAudioRealKeys, section, field);
}

const std::vector<ProfileWarning>& ProfileWarnings() { return profileWarnings; }

bool IsValueNotApplied(const ProfileWarning& warning) {
    return warning.kind == ProfileWarningKind::UnreadableValue ||
           warning.kind == ProfileWarningKind::OutOfRange;
}

std::string ProfileWarningText(const ProfileWarning& warning) {
    std::string where =
        " of profile \"" + warning.path + "\", line " + std::to_string(warning.line);
    if (warning.kind == ProfileWarningKind::UnknownSection) {
        return "Unknown section [" + warning.section + "]" + where;
    }
    std::string key = "key \"" + warning.key + "\" in [" + warning.section + "]";
    if (warning.kind == ProfileWarningKind::UnreadableValue) {
        return "Unreadable value \"" + warning.value + "\" of " + key + where + "; " +
               warning.takes;
    }
    if (warning.kind == ProfileWarningKind::OutOfRange) {
        return "Value \"" + warning.value + "\" of " + key + where + " is out of range; " +
               warning.takes;
    }
    return "Unknown key \"" + warning.key + "\" in [" + warning.section + "]" + where;
}
