// Writing a profile from a reference spot.
#include "cli/make_profile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "reference/reference_profile.h"

namespace {

// DecodeAudio 1 decodes the audio; ProgramMuxRateMin 1 holds the mux rate to what the
// streams need.
constexpr int32_t kSwitchOn = 1;
constexpr const char* kSections[] = {"System", "Processing", "Video", "Audio"};
// Levels are written to a hundredth of a dB, rounded away from the limit they set.
constexpr double kLevelStep = 100;

struct KeyValue {
    std::string text;     // as the INI file holds it
    std::string comment;  // what was measured
    size_t order = 0;     // first seen
    bool numeric = false;
    double value = 0;
};

class ProfileBuilder {
  public:
    // One value per key: the first stream's, or the lowest (highest) over the streams for
    // a minimum (maximum), so that every stream passes.
    void Set(const std::string& section, const std::string& key, double value,
             const std::string& comment, int prefer = 0) {
        KeyValue& entry = keys_[{section, key}];
        if (entry.text.empty()) {
            entry = {"", comment, order_++, true, value};
        } else if ((prefer < 0 && value < entry.value) || (prefer > 0 && value > entry.value)) {
            entry.value = value;
        } else {
            return;
        }
        entry.text = Number(value);
    }
    void SetText(const std::string& section, const std::string& key, const std::string& text,
                 const std::string& comment) {
        KeyValue& entry = keys_[{section, key}];
        if (!entry.text.empty()) return;
        entry = {text, comment, order_++, false, 0};
    }
    void Mask(const std::string& section, const std::string& key, uint32_t bit,
              const std::string& comment) {
        KeyValue& entry = keys_[{section, key}];
        uint32_t mask = entry.text.empty() ? 0 : static_cast<uint32_t>(entry.value);
        if (entry.text.empty()) entry = {"", comment, order_++, true, 0};
        mask |= 1u << bit;
        entry.value = mask;
        entry.text = Number(mask);
    }
    bool Has(const std::string& section, const std::string& key) const {
        return keys_.count({section, key}) > 0;
    }
    std::string Text(const std::string& referencePath) const;

  private:
    static std::string Number(double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%.10g", value);
        return text;
    }

    std::map<std::pair<std::string, std::string>, KeyValue> keys_;
    size_t order_ = 0;
};

std::string ProfileBuilder::Text(const std::string& referencePath) const {
    std::string text =
        "; Zembra reference profile measured from the reference spot\n"
        "; \"" +
        referencePath +
        "\".\n"
        "; Each key holds the value that spot measured; edit them to the house rules.\n"
        "; A key left out (or set to 65535) judges nothing; its line is information.\n";
    for (const char* section : kSections) {
        std::vector<std::pair<size_t, std::pair<std::string, const KeyValue*>>> entries;
        for (const auto& [name, entry] : keys_) {
            if (name.first == section) entries.push_back({entry.order, {name.second, &entry}});
        }
        if (entries.empty()) continue;
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        text += "\n[" + std::string(section) + "]\n";
        for (const auto& [order, named] : entries) {
            text +=
                "; " + named.second->comment + "\n" + named.first + "=" + named.second->text + "\n";
        }
    }
    return text;
}

std::string Measured(const ResultLine& line) {
    std::string text = line.text.starts_with("*") ? line.text.substr(1) : line.text;
    return "measured: " + text;
}

void AddLimit(ProfileBuilder& builder, const JudgedValue& limit, const JudgedCheck& check,
              const std::string& comment, bool isMax) {
    if (limit.key.empty()) return;
    if (limit.key == "ProgramMuxRateMin") {
        if (check.outcome == CheckOutcome::Pass) {
            builder.Set(limit.section, limit.key, kSwitchOn,
                        comment + " (at least the recommended rate)");
        }
        return;
    }
    if (check.kind == CheckKind::RealRange) {
        // An RMS window is the operator's choice of loudness, not a measurement.
        if (!isMax || limit.key == "RMSTolerance" || !std::isfinite(check.measured)) return;
        builder.Set(limit.section, limit.key, std::ceil(check.measured * kLevelStep) / kLevelStep,
                    comment, 1);
        return;
    }
    builder.Set(limit.section, limit.key, check.measured, comment, isMax ? 1 : -1);
}

void AddCheck(ProfileBuilder& builder, const ResultLine& line) {
    const JudgedCheck& check = *line.check;
    std::string comment = Measured(line);
    switch (check.kind) {
        case CheckKind::Equal:
            builder.Set(check.reference->section, check.reference->key,
                        static_cast<int32_t>(static_cast<int64_t>(check.measured)), comment);
            break;
        case CheckKind::Mask:
            builder.Mask(check.reference->section, check.reference->key,
                         static_cast<uint32_t>(check.measured), comment);
            break;
        case CheckKind::Range:
        case CheckKind::RealRange:
            if (check.min) AddLimit(builder, *check.min, check, comment, false);
            if (check.max) AddLimit(builder, *check.max, check, comment, true);
            break;
        case CheckKind::Tolerance:
            // A tolerance of 0 means not set: at least 1 ms.
            builder.Set(check.max->section, check.max->key,
                        std::max(1.0, std::ceil(std::fabs(check.measured))), comment, 1);
            break;
        case CheckKind::Forced:
            break;
    }
}

// Keys whose line appears only when there is something to count or above the key: a
// reference with nothing to count sets them to 0.
void AddCountsWithoutLines(ProfileBuilder& builder) {
    const std::pair<const char*, const char*> keys[] = {{"System", "PacketSCRTimingError"},
                                                        {"System", "PacketPTSDTSOutSync"},
                                                        {"System", "ClockDiscontinuitiesMax"},
                                                        {"Audio", "MaxSamplesClipped"}};
    for (const auto& [section, key] : keys) {
        builder.Set(section, key, 0, "nothing counted in the reference");
    }
}

}  // namespace

void LoadMeasuringProfile() {
    LoadNoReferenceProfile();
    ReferenceProfile.audio.DecodeAudio = kSwitchOn;
    ReferenceProfile.system.ProgramMuxRateMin = kSwitchOn;
}

std::string ProfileText(const FileResult& reference) {
    ProfileBuilder builder;
    for (const ResultLine& line : reference.lines) {
        if (line.check) AddCheck(builder, line);
    }
    AddCountsWithoutLines(builder);
    builder.SetText("Processing", "MaxTimeToProcess", "0", "the whole file is analysed");
    // A reference whose format changes has the line that sets the key to accept it.
    if (!reference.streams.value("videoStreams", nlohmann::ordered_json::array()).empty()) {
        builder.SetText("Video", "FormatChangesAllowed", "0",
                        "one format throughout the reference");
    }
    // A stream judged by CBR_VBR is MP@ML; ProfileAndLevel 1 rejects every other.
    if (builder.Has("Video", "CBR_VBR")) {
        builder.SetText("Video", "ProfileAndLevel", "1", "measured: MPEG-2 MP@ML");
    }
    if (!reference.streams.value("audioStreams", nlohmann::ordered_json::array()).empty()) {
        builder.SetText("Audio", "DecodeAudio", "1", "the audio is decoded and its levels checked");
    }
    return builder.Text(reference.path);
}
