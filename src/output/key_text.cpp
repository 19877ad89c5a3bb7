// The key and value behind a judged line, as `--explain` appends them.
#include "output/key_text.h"

#include <cstdio>
#include <vector>

namespace {

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// "AspectRatio = 3: 16:9", "VideoPeakBitrate = 15000 Kbps", "AspectRatio not set".
std::string KeyValueText(const JudgedValue& value) {
    if (!value.set) return value.key + " not set";
    std::string text = value.key + " = " + Number(value.value);
    std::string meaning = KeyMeaning(value.key, value.value);
    if (!meaning.empty()) return text + ": " + meaning;
    std::string unit = KeyUnit(value.key);
    if (unit.empty() || unit == "code" || unit == "count") return text;
    return text + " " + unit;
}

std::string LimitText(const JudgedValue& value, const char* side) {
    return std::string(side) + " " + Number(value.value);
}

}  // namespace

std::string ExplainCheck(const JudgedCheck& check) {
    if (check.kind == CheckKind::Forced) return "[no key: fails whatever the profile says]";
    std::vector<std::string> parts;
    std::vector<std::string> fixedLimits;  // shown only when no key judges the line
    if (check.reference) parts.push_back(KeyValueText(*check.reference));
    for (const auto& [limit, side] : {std::pair{&check.min, "min"}, std::pair{&check.max, "max"}}) {
        if (!*limit) continue;
        const JudgedValue& value = **limit;
        if (value.key.empty()) {
            if (value.set) fixedLimits.push_back(LimitText(value, side));
        } else if (value.key == "ProgramMuxRateMin") {
            parts.push_back("ProgramMuxRateMin = 1: recommended minimum " + Number(value.value) +
                            " bit/s");
        } else if (value.key == "RMSTolerance" && check.min && check.min->set && value.set) {
            parts.push_back("RMSTolerance = " + Number(value.value - check.min->value) + " dB");
        } else if (value.key == "LoudnessTarget" && check.max && value.set) {
            // The limits are the target less and plus the tolerance.
            parts.push_back("LoudnessTarget = " + Number((value.value + check.max->value) / 2) +
                            " LUFS");
        } else if (value.key == "LoudnessTolerance" && check.min && value.set) {
            parts.push_back("LoudnessTolerance = " + Number((value.value - check.min->value) / 2) +
                            " LU");
        } else {
            parts.push_back(KeyValueText(value));
        }
    }
    if (parts.empty()) parts = fixedLimits;
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text.empty() ? "" : "[" + text + "]";
}
