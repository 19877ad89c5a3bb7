// The key and value behind a judged line, as `--explain` appends them.
#include "output/key_text.h"

#include <cstdio>
#include <optional>
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

// The value written for a key whose check compares a limit worked out from it, as the key
// table says how: "LoudnessTarget = -23 LUFS" from the limits -24 and -22. Empty where the
// limit is the value written, or the other limit it is worked out with is missing.
std::string WrittenKeyText(const JudgedValue& value, const std::optional<JudgedValue>& other) {
    const KeyRow* key = FindKeyRow(value.key);
    if (!key) return "";
    std::string unit = " " + std::string(key->unit);
    if (key->limit == KeyLimit::RecommendedMinimum) {
        return value.key + " = 1: recommended minimum " + Number(value.value) + unit;
    }
    if (key->limit == KeyLimit::Written || !value.set || !other || !other->set) return "";
    double written = value.value - other->value;  // AboveOtherLimit
    if (key->limit == KeyLimit::CentreOfLimits) written = (value.value + other->value) / 2;
    if (key->limit == KeyLimit::HalfWidthOfLimits) written = (value.value - other->value) / 2;
    return value.key + " = " + Number(written) + unit;
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
        } else if (std::string written =
                       WrittenKeyText(value, limit == &check.min ? check.max : check.min);
                   !written.empty()) {
            parts.push_back(written);
        } else {
            parts.push_back(KeyValueText(value));
        }
    }
    if (parts.empty()) parts = fixedLimits;
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text.empty() ? "" : "[" + text + "]";
}
