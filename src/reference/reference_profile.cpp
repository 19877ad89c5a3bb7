// Loading the reference profile.
#include "reference/reference_profile.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>

#include "reference/ini_file.h"
#include "reference/key_table.h"
#include "report/compliance_checks.h"

ReferenceProfileData ReferenceProfile{};

namespace {

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
std::optional<ProfileWarningKind> ValueProblem(const KeyRow& key, const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::optional<std::vector<double>> numbers = NumbersOf(KindOf(key), text);
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

    int32_t ReadInteger(const KeyRow& key) {
        auto notSet = static_cast<int32_t>(key.notSet);
        std::optional<std::string> text = Known(key);
        return text ? ParseIniInt(*text).value_or(notSet) : notSet;
    }
    double ReadReal(const KeyRow& key) {
        std::optional<std::string> text = Known(key);
        return text ? ParseIniReal(*text).value_or(key.notSet) : key.notSet;
    }
    // Empty when the key is absent or not applied.
    std::vector<int32_t> ReadList(const KeyRow& key) {
        std::optional<std::string> text = Known(key);
        return text ? ParseList(*text).value_or(std::vector<int32_t>{}) : std::vector<int32_t>{};
    }

    const KeyRow* Find(const std::string& section, const std::string& key) const {
        auto found = known_.find(KnownName(section, key));
        return found == known_.end() ? nullptr : found->second;
    }

  private:
    static std::string KnownName(std::string_view section, std::string_view key) {
        return LowerIniName(std::string(section)) + '\n' + LowerIniName(std::string(key));
    }

    // Remembers the key; its value when one is written that the key takes.
    std::optional<std::string> Known(const KeyRow& key) {
        known_.emplace(KnownName(key.section, key.name), &key);
        std::optional<std::string> text =
            ini_.Value(std::string(key.section), std::string(key.name));
        if (!text || ValueProblem(key, *text)) return std::nullopt;
        return text;
    }

    const IniFile& ini_;
    std::map<std::string, const KeyRow*> known_;
};

// The labels table takes any name=value line of its section.
constexpr std::string_view kLabelsSection = "labels";
constexpr std::array<std::string_view, 5> kKnownSections = {"system", "processing", "video",
                                                            "audio", kLabelsSection};

std::vector<ProfileWarning> profileWarnings;
ProfileOrigin profileOrigin;

// The part of the profile a field lies in.
template <typename Section>
Section& PartOf(ReferenceProfileData& profile) {
    if constexpr (std::is_same_v<Section, SystemReference>) {
        return profile.system;
    } else if constexpr (std::is_same_v<Section, VideoReference>) {
        return profile.video;
    } else if constexpr (std::is_same_v<Section, AudioReference>) {
        return profile.audio;
    } else {
        return profile;
    }
}

void LoadAll(ProfileReader& reader) {
    for (const KeyRow& key : KeyTable()) {
        std::visit(
            [&]<typename Section, typename Value>(Value Section::*field) {
                Value& value = PartOf<Section>(ReferenceProfile).*field;
                if constexpr (std::is_same_v<Value, int32_t>) value = reader.ReadInteger(key);
                if constexpr (std::is_same_v<Value, double>) value = reader.ReadReal(key);
                if constexpr (std::is_same_v<Value, std::vector<int32_t>>) {
                    value = reader.ReadList(key);
                }
            },
            key.field);
    }
}

// The row of a field: never missing, the table has one for each field.
template <typename Key, typename Section, typename Value>
Key KeyIn(const Section& section, Value Section::*field) {
    const KeyRow& row = *std::find_if(KeyTable().begin(), KeyTable().end(), [&](const KeyRow& key) {
        return key.field == KeyField(field);
    });
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
        } else if (const KeyRow* key = reader.Find(entry.section, entry.name)) {
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

std::string ExecutablePath() {
    char path[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

std::string ExecutableDirectory() {
    std::string exe = ExecutablePath();
    if (exe.empty()) return "./";
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
    return KeyIn<ProfileKey>(section, field);
}

ProfileKey KeyOf(const VideoReference& section, int32_t VideoReference::*field) {
    return KeyIn<ProfileKey>(section, field);
}

ProfileKey KeyOf(const AudioReference& section, int32_t AudioReference::*field) {
    return KeyIn<ProfileKey>(section, field);
}

RealProfileKey KeyOf(const AudioReference& section, double AudioReference::*field) {
    return KeyIn<RealProfileKey>(section, field);
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
