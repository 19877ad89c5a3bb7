// Loading the reference profile.
#include "reference/reference_profile.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>

#include "reference/ini_file.h"
#include "report/compliance_checks.h"

ReferenceProfileData ReferenceProfile{};

namespace {

constexpr int32_t kTimeKeyNotSet = 0;

// Reads the profile's values and remembers every key it is asked for: exactly those are
// the keys Zembra knows.
class ProfileReader {
  public:
    explicit ProfileReader(const IniFile& ini) : ini_(ini) {}

    int32_t Read(std::string_view section, std::string_view key, int32_t defaultValue) {
        known_.emplace(KnownName(section, key), ValueKind::Integer);
        return ini_.ReadInt(std::string(section), std::string(key), defaultValue);
    }
    double Read(std::string_view section, std::string_view key, double defaultValue) {
        known_.emplace(KnownName(section, key), ValueKind::Real);
        return ini_.ReadReal(std::string(section), std::string(key), defaultValue);
    }
    // Whole numbers separated by commas; empty when the key is absent or not such a list.
    std::vector<int32_t> ReadList(std::string_view section, std::string_view key) {
        known_.emplace(KnownName(section, key), ValueKind::List);
        return ParseList(ini_.Value(std::string(section), std::string(key)).value_or(""))
            .value_or(std::vector<int32_t>{});
    }
    bool KnowsKey(const std::string& section, const std::string& key) const {
        return known_.count(KnownName(section, key)) > 0;
    }
    // A known key whose value is written but is no number of its kind ("720px",
    // "720 # PAL"): it counts as not set, which the operator must hear of.
    bool IsUnreadable(const IniEntry& entry) const {
        auto found = known_.find(KnownName(entry.section, entry.name));
        if (found == known_.end() || entry.value.empty()) return false;
        switch (found->second) {
            case ValueKind::Integer:
                return !ParseIniInt(entry.value).has_value();
            case ValueKind::Real:
                return !ParseIniReal(entry.value).has_value();
            case ValueKind::List:
                return !ParseList(entry.value).has_value();
        }
        return false;
    }

  private:
    static std::string KnownName(std::string_view section, std::string_view key) {
        return LowerIniName(std::string(section)) + '\n' + LowerIniName(std::string(key));
    }

    static std::optional<std::vector<int32_t>> ParseList(const std::string& text) {
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

    enum class ValueKind { Integer, Real, List };
    const IniFile& ini_;
    std::map<std::string, ValueKind> known_;
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
};

using SystemKey = KeyField<SystemReference, int32_t>;
using VideoKey = KeyField<VideoReference, int32_t>;
using AudioKey = KeyField<AudioReference, int32_t>;
using AudioRealKey = KeyField<AudioReference, double>;

constexpr SystemKey kSystemKeys[] = {
    {"System", "SystemHeadersMin", &SystemReference::SystemHeadersMin, kNotSet},
    {"System", "MPEGPackSize", &SystemReference::MPEGPackSize, kNotSet},
    {"System", "PacketsPerPack", &SystemReference::PacketsPerPack, kNotSet},
    {"System", "PacketSCRTimingError", &SystemReference::PacketSCRTimingError, kNotSet},
    {"System", "PacketPTSDTSOutSync", &SystemReference::PacketPTSDTSOutSync, kNotSet},
    {"System", "SystemVBR", &SystemReference::SystemVBR, kNotSet},
    {"System", "ProgramMuxRateMin", &SystemReference::ProgramMuxRateMin, kNotSet},
    {"System", "VideoStreams", &SystemReference::VideoStreams, kNotSet},
    {"System", "AudioStreams", &SystemReference::AudioStreams, kNotSet},
    {"System", "MPEGAudioStreams", &SystemReference::MPEGAudioStreams, kNotSet},
    {"System", "MPEGVideoStreams", &SystemReference::MPEGVideoStreams, kNotSet},
    {"System", "ProgramEndCodeRequired", &SystemReference::ProgramEndCodeRequired, kNotSet},
    {"System", "DurationAudioVideoDifference", &SystemReference::DurationAudioVideoDifference,
     kTimeKeyNotSet},
    {"System", "DelayAudioVideoDifference", &SystemReference::DelayAudioVideoDifference,
     kTimeKeyNotSet},
    {"Processing", "MaxTimeToProcess", &SystemReference::MaxTimeToProcess, kTimeKeyNotSet},
    {"System", "AudioVideoStartMax", &SystemReference::AudioVideoStartMax, kNotSet},
    {"System", "AudioVideoEndMax", &SystemReference::AudioVideoEndMax, kNotSet},
    {"System", "SpotDurationTolerance", &SystemReference::SpotDurationTolerance, kNotSet},
    {"System", "MuxRateCheck", &SystemReference::MuxRateCheck, kNotSet},
    {"System", "ClockDiscontinuitiesMax", &SystemReference::ClockDiscontinuitiesMax, kNotSet},
};

constexpr VideoKey kVideoKeys[] = {
    {"Video", "SequenceHeaderAligned", &VideoReference::SequenceHeaderAligned, kNotSet},
    {"Video", "SequenceHeadersMin", &VideoReference::SequenceHeadersMin, kNotSet},
    {"Video", "HorizontalSize", &VideoReference::HorizontalSize, kNotSet},
    {"Video", "VerticalSize", &VideoReference::VerticalSize, kNotSet},
    {"Video", "FrameRate", &VideoReference::FrameRate, kNotSet},
    {"Video", "AspectRatio", &VideoReference::AspectRatio, kNotSet},
    {"Video", "VBVBufferSize", &VideoReference::VBVBufferSize, kNotSet},
    {"Video", "ProfileAndLevel", &VideoReference::ProfileAndLevel, kNotSet},
    {"Video", "CBR_VBR", &VideoReference::CBR_VBR, kNotSet},
    {"Video", "ChromaFormat", &VideoReference::ChromaFormat, kNotSet},
    {"Video", "PictureStructure", &VideoReference::PictureStructure, kNotSet},
    {"Video", "IntraDCPrecision", &VideoReference::IntraDCPrecision, kNotSet},
    {"Video", "TopFieldFirst", &VideoReference::TopFieldFirst, kNotSet},
    {"Video", "DCTType", &VideoReference::DCTType, kNotSet},
    {"Video", "QuantizationScale", &VideoReference::QuantizationScale, kNotSet},
    {"Video", "ScanType", &VideoReference::ScanType, kNotSet},
    {"Video", "ProgressiveFrame", &VideoReference::ProgressiveFrame, kNotSet},
    {"Video", "FirstGOPClosed", &VideoReference::FirstGOPClosed, kNotSet},
    {"Video", "AllGOPClosed", &VideoReference::AllGOPClosed, kNotSet},
    {"Video", "GOPLengthMax", &VideoReference::GOPLengthMax, kNotSet},
    {"Video", "FramesIRequired", &VideoReference::FramesIRequired, kNotSet},
    {"Video", "FramesPRequired", &VideoReference::FramesPRequired, kNotSet},
    {"Video", "FramesBRequired", &VideoReference::FramesBRequired, kNotSet},
    {"Video", "VideoPeakBitrate", &VideoReference::VideoPeakBitrate, kNotSet},
    {"Video", "VideoAvgBitrate", &VideoReference::VideoAvgBitrate, kNotSet},
    {"Video", "VideoEndCodeRequired", &VideoReference::VideoEndCodeRequired, kNotSet},
    {"Video", "VBVCheck", &VideoReference::VBVCheck, kNotSet},
    {"Video", "DeclaredBitrateCheck", &VideoReference::DeclaredBitrateCheck, kNotSet},
    {"Video", "SpliceReady", &VideoReference::SpliceReady, kNotSet},
    {"Video", "SequenceHeaderEveryGOP", &VideoReference::SequenceHeaderEveryGOP, kNotSet},
    {"Video", "FormatChangesAllowed", &VideoReference::FormatChangesAllowed, kNotSet},
};

constexpr AudioKey kAudioKeys[] = {
    {"Audio", "DecodeAudio", &AudioReference::DecodeAudio, kNotSet},
    {"Audio", "AudioSyncLossesMax", &AudioReference::AudioSyncLossesMax, kNotSet},
    {"Audio", "MPEG", &AudioReference::MPEG, kNotSet},
    {"Audio", "Layer", &AudioReference::Layer, kNotSet},
    {"Audio", "AudioBitrate", &AudioReference::AudioBitrate, kNotSet},
    {"Audio", "SamplingFrequency", &AudioReference::SamplingFrequency, kNotSet},
    {"Audio", "ErrorProtection", &AudioReference::ErrorProtection, kNotSet},
    {"Audio", "PrivateFlag", &AudioReference::PrivateFlag, kNotSet},
    {"Audio", "Mode", &AudioReference::Mode, kNotSet},
    {"Audio", "ModeExtension", &AudioReference::ModeExtension, kNotSet},
    {"Audio", "CopyrightFlag", &AudioReference::CopyrightFlag, kNotSet},
    {"Audio", "OriginalFlag", &AudioReference::OriginalFlag, kNotSet},
    {"Audio", "Emphasis", &AudioReference::Emphasis, kNotSet},
    {"Audio", "MaxSamplesClipped", &AudioReference::MaxSamplesClipped, kNotSet},
};

constexpr AudioRealKey kAudioRealKeys[] = {
    {"Audio", "MaxDCLevel", &AudioReference::MaxDCLevel, kRealNotSet},
    {"Audio", "MaxPeakValue", &AudioReference::MaxPeakValue, kRealNotSet},
    {"Audio", "RMSReference", &AudioReference::RMSReference, kRealNotSet},
    {"Audio", "RMSTolerance", &AudioReference::RMSTolerance, kRealNotSet},
    {"Audio", "RMSLeftRightDiff", &AudioReference::RMSLeftRightDiff, kRealNotSet},
    {"Audio", "LoudnessTarget", &AudioReference::LoudnessTarget, kRealNotSet},
    {"Audio", "LoudnessTolerance", &AudioReference::LoudnessTolerance, kRealNotSet},
    {"Audio", "TruePeakMax", &AudioReference::TruePeakMax, kRealNotSet},
    {"Audio", "LoudnessRangeMax", &AudioReference::LoudnessRangeMax, kRealNotSet},
    {"Audio", "ShortTermLoudnessMax", &AudioReference::ShortTermLoudnessMax, kRealNotSet},
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
        section.*row.field = reader.Read(row.section, row.name, row.defaultValue);
    }
}

void LoadAll(ProfileReader& reader) {
    LoadSection(reader, kSystemKeys, ReferenceProfile.system);
    LoadSection(reader, kVideoKeys, ReferenceProfile.video);
    LoadSection(reader, kAudioKeys, ReferenceProfile.audio);
    LoadSection(reader, kAudioRealKeys, ReferenceProfile.audio);
    ReferenceProfile.spotDurations =
        reader.ReadList(kSpotDurationsKey.section, kSpotDurationsKey.key);
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
    return !reader.KnowsKey(entry.section, entry.name);
}

std::vector<ProfileWarning> FindUnknownNames(const IniFile& ini, const ProfileReader& reader,
                                             const std::string& path) {
    std::vector<ProfileWarning> warnings;
    for (const IniSectionHeader& header : ini.SectionHeaders()) {
        if (IsKnownSection(header.name)) continue;
        warnings.push_back(
            {ProfileWarningKind::UnknownSection, path, header.line, header.name, "", ""});
    }
    int firstHeaderLine = ini.SectionHeaders().empty() ? INT_MAX : ini.SectionHeaders()[0].line;
    for (const IniEntry& entry : ini.Entries()) {
        if (IsUnknownKey(entry, entry.line < firstHeaderLine, reader)) {
            warnings.push_back(
                {ProfileWarningKind::UnknownKey, path, entry.line, entry.section, entry.name, ""});
        } else if (reader.IsUnreadable(entry)) {
            warnings.push_back({ProfileWarningKind::UnreadableValue, path, entry.line,
                                entry.section, entry.name, entry.value});
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
    profileOrigin = {false, path, IniFileReadError(path).value_or(""), 0};
    IniFile ini = IniFile::Load(path);
    ProfileReader reader(ini);
    LoadAll(reader);
    profileWarnings = FindUnknownNames(ini, reader, path);
    profileOrigin.keysSet = static_cast<int>(
        std::count_if(ini.Entries().begin(), ini.Entries().end(), [&](const IniEntry& entry) {
            return LowerIniName(entry.section) != kLabelsSection &&
                   reader.KnowsKey(entry.section, entry.name);
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

std::string ProfileWarningText(const ProfileWarning& warning) {
    std::string where =
        " of profile \"" + warning.path + "\", line " + std::to_string(warning.line);
    if (warning.kind == ProfileWarningKind::UnknownSection) {
        return "Unknown section [" + warning.section + "]" + where;
    }
    if (warning.kind == ProfileWarningKind::UnreadableValue) {
        return "Unreadable value \"" + warning.value + "\" of key \"" + warning.key + "\" in [" +
               warning.section + "]" + where;
    }
    return "Unknown key \"" + warning.key + "\" in [" + warning.section + "]" + where;
}
