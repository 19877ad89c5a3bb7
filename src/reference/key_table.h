// The keys of the reference profile, one row each: where the profile holds the key, the field
// it is read into, its not-set value, the unit and range of its values and what it means. The
// loader reads the keys from it, the outputs take their units and code meanings from it, and
// a test holds the key tables of docs/profile.md to it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "reference/reference_profile.h"

// "pixels", "Kbps", "code", ...; empty for a key the table does not know.
std::string KeyUnit(std::string_view key);
// "16:9" for AspectRatio 3; empty when the key holds no code or the code is unknown.
std::string KeyMeaning(std::string_view key, double value);

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

// The field a key is read into; its type says how the value is written: a whole number, a
// real, or whole numbers separated by commas.
using KeyField =
    std::variant<int32_t SystemReference::*, int32_t VideoReference::*, int32_t AudioReference::*,
                 double AudioReference::*, std::vector<int32_t> ReferenceProfileData::*>;

enum class ValueKind { Integer, Real, List };

// How the limit a check holds the measured value against follows from the value written
// for its key, so that `--explain` can give the value the operator wrote.
enum class KeyLimit {
    Written,             // the limit is the value written
    RecommendedMinimum,  // a switch: 1 holds the value to a minimum the analysis works out
    AboveOtherLimit,     // the maximum is the other limit (the reference) plus the value
    CentreOfLimits,      // the limits are the value less and plus a tolerance
    HalfWidthOfLimits,   // the limits are a target less and plus the value
};

// A coded value's meaning: 2 of Layer is "Layer II".
struct CodeName {
    int32_t code;
    std::string_view name;
};

struct KeyRow {
    std::string_view section;  // as the profile spells it: "System"
    std::string_view name;     // "SystemHeadersMin"
    KeyField field;
    double notSet;             // the value an absent key reads as; NaN for a list (empty)
    std::string_view unit;     // of the limit its checks compare: "code" for a code or switch
    const Accepted* accepted;  // the values written that are applied
    std::string_view meaning;  // docs/profile.md, "Keys by section", without its markup
    KeyLimit limit = KeyLimit::Written;
    std::span<const CodeName> codes = {};
    // Meanings worked out rather than listed (a mask, the video headers' codes), asked before
    // `codes`; nullptr for none.
    std::string (*meaningOf)(double value) = nullptr;
};

// Every key, [System], [Processing], [Video] and [Audio] in turn.
std::span<const KeyRow> KeyTable();
// The key of that name, spelt as the table spells it; nullptr for none.
const KeyRow* FindKeyRow(std::string_view name);
ValueKind KindOf(const KeyRow& row);
