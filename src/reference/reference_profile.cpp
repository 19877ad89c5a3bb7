// Loading the reference profile.
#include "reference/reference_profile.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <map>
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

    int32_t ReadInt(const char* section, const char* key, int32_t defaultValue) {
        known_.emplace(KnownName(section, key), ValueKind::Integer);
        return ini_.ReadInt(section, key, defaultValue);
    }
    double ReadReal(const char* section, const char* key, double defaultValue) {
        known_.emplace(KnownName(section, key), ValueKind::Real);
        return ini_.ReadReal(section, key, defaultValue);
    }
    bool KnowsKey(const std::string& section, const std::string& key) const {
        return known_.count(KnownName(section, key)) > 0;
    }
    // A known key whose value is written but is no number of its kind ("720px",
    // "720 # PAL"): it counts as not set, which the operator must hear of.
    bool IsUnreadable(const IniEntry& entry) const {
        auto found = known_.find(KnownName(entry.section, entry.name));
        if (found == known_.end() || entry.value.empty()) return false;
        return found->second == ValueKind::Integer ? !ParseIniInt(entry.value).has_value()
                                                   : !ParseIniReal(entry.value).has_value();
    }

  private:
    static std::string KnownName(const std::string& section, const std::string& key) {
        return LowerIniName(section) + '\n' + LowerIniName(key);
    }

    enum class ValueKind { Integer, Real };
    const IniFile& ini_;
    std::map<std::string, ValueKind> known_;
};

// The labels table takes any name=value line of its section.
constexpr std::string_view kLabelsSection = "labels";
constexpr std::array<std::string_view, 5> kKnownSections = {"system", "processing", "video",
                                                            "audio", kLabelsSection};

std::vector<ProfileWarning> profileWarnings;
ProfileOrigin profileOrigin;

void LoadSystem(ProfileReader& reader, SystemReference& s) {
    auto read = [&](const char* key, int32_t defaultValue = kNotSet) {
        return reader.ReadInt("System", key, defaultValue);
    };
    s.SystemHeadersMin = read("SystemHeadersMin");
    s.MPEGPackSize = read("MPEGPackSize");
    s.PacketsPerPack = read("PacketsPerPack");
    s.PacketSCRTimingError = read("PacketSCRTimingError");
    s.PacketPTSDTSOutSync = read("PacketPTSDTSOutSync");
    s.SystemVBR = read("SystemVBR");
    s.ProgramMuxRateMin = read("ProgramMuxRateMin");
    s.VideoStreams = read("VideoStreams");
    s.AudioStreams = read("AudioStreams");
    s.MPEGAudioStreams = read("MPEGAudioStreams");
    s.MPEGVideoStreams = read("MPEGVideoStreams");
    s.ProgramEndCodeRequired = read("ProgramEndCodeRequired");
    s.DurationAudioVideoDifference = read("DurationAudioVideoDifference", kTimeKeyNotSet);
    s.DelayAudioVideoDifference = read("DelayAudioVideoDifference", kTimeKeyNotSet);
    s.MaxTimeToProcess = reader.ReadInt("Processing", "MaxTimeToProcess", kTimeKeyNotSet);
}

void LoadVideo(ProfileReader& reader, VideoReference& v) {
    auto read = [&](const char* key) { return reader.ReadInt("Video", key, kNotSet); };
    v.SequenceHeaderAligned = read("SequenceHeaderAligned");
    v.SequenceHeadersMin = read("SequenceHeadersMin");
    v.HorizontalSize = read("HorizontalSize");
    v.VerticalSize = read("VerticalSize");
    v.FrameRate = read("FrameRate");
    v.AspectRatio = read("AspectRatio");
    v.VBVBufferSize = read("VBVBufferSize");
    v.ProfileAndLevel = read("ProfileAndLevel");
    v.CBR_VBR = read("CBR_VBR");
    v.ChromaFormat = read("ChromaFormat");
    v.PictureStructure = read("PictureStructure");
    v.IntraDCPrecision = read("IntraDCPrecision");
    v.TopFieldFirst = read("TopFieldFirst");
    v.DCTType = read("DCTType");
    v.QuantizationScale = read("QuantizationScale");
    v.ScanType = read("ScanType");
    v.ProgressiveFrame = read("ProgressiveFrame");
    v.FirstGOPClosed = read("FirstGOPClosed");
    v.AllGOPClosed = read("AllGOPClosed");
    v.GOPLengthMax = read("GOPLengthMax");
    v.FramesIRequired = read("FramesIRequired");
    v.FramesPRequired = read("FramesPRequired");
    v.FramesBRequired = read("FramesBRequired");
    v.VideoPeakBitrate = read("VideoPeakBitrate");
    v.VideoAvgBitrate = read("VideoAvgBitrate");
    v.VideoEndCodeRequired = read("VideoEndCodeRequired");
}

void LoadAudio(ProfileReader& reader, AudioReference& a) {
    auto read = [&](const char* key) { return reader.ReadInt("Audio", key, kNotSet); };
    auto readReal = [&](const char* key) { return reader.ReadReal("Audio", key, kRealNotSet); };
    a.DecodeAudio = read("DecodeAudio");
    a.AudioSyncLossesMax = read("AudioSyncLossesMax");
    a.MPEG = read("MPEG");
    a.Layer = read("Layer");
    a.AudioBitrate = read("AudioBitrate");
    a.SamplingFrequency = read("SamplingFrequency");
    a.ErrorProtection = read("ErrorProtection");
    a.PrivateFlag = read("PrivateFlag");
    a.Mode = read("Mode");
    a.ModeExtension = read("ModeExtension");
    a.CopyrightFlag = read("CopyrightFlag");
    a.OriginalFlag = read("OriginalFlag");
    a.Emphasis = read("Emphasis");
    a.MaxSamplesClipped = read("MaxSamplesClipped");
    a.MaxDCLevel = readReal("MaxDCLevel");
    a.MaxPeakValue = readReal("MaxPeakValue");
    a.RMSReference = readReal("RMSReference");
    a.RMSTolerance = readReal("RMSTolerance");
    a.RMSLeftRightDiff = readReal("RMSLeftRightDiff");
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
    profileOrigin = {false, path, IniFileReadError(path).value_or("")};
    IniFile ini = IniFile::Load(path);
    ProfileReader reader(ini);
    LoadSystem(reader, ReferenceProfile.system);
    LoadVideo(reader, ReferenceProfile.video);
    LoadAudio(reader, ReferenceProfile.audio);
    profileWarnings = FindUnknownNames(ini, reader, path);
}

void LoadReferenceProfile() { LoadReferenceProfileFrom(DefaultReferenceProfilePath()); }

void LoadNoReferenceProfile() {
    IniFile nothing;
    ProfileReader reader(nothing);
    LoadSystem(reader, ReferenceProfile.system);
    LoadVideo(reader, ReferenceProfile.video);
    LoadAudio(reader, ReferenceProfile.audio);
    profileWarnings.clear();
    profileOrigin = ProfileOrigin{};
}

const ProfileOrigin& ReferenceProfileOrigin() { return profileOrigin; }

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
