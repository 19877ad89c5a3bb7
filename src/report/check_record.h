// What one compliance check judged, handed to the report sink beside the line it wrote:
// the profile key that judged it, the values compared and the outcome. From these,
// outputs other than the text (JSON, JUnit, the window) can say which key passed or
// failed which line.
#pragma once

#include <string_view>

// A key of the reference profile as the profile spells it: [Video] AspectRatio. Empty
// where no key judges.
struct KeyName {
    std::string_view section;
    std::string_view key;

    bool operator==(const KeyName&) const = default;
};

enum class CheckKind {
    Equal,      // the measured value equals the key
    Range,      // between two limits, one of them a key; unsigned 32-bit values
    RealRange,  // between two real limits
    Tolerance,  // the absolute value within the key
    Mask,       // the measured value's bit is set in the key
    Forced,     // no key: the outcome is the line's own
};

enum class CheckOutcome { Information, Pass, Warning, Failure };

// A value a check holds the measured one against, as the check compared it, and the key
// that set it; no key where the line fixes the value itself.
struct CheckLimit {
    KeyName key;
    double value = 0;

    bool operator==(const CheckLimit&) const = default;
};

// A check's line when only errors are printed and its line was left out.
constexpr int kLineNotWritten = -1;

struct CheckRecord {
    CheckKind kind = CheckKind::Forced;
    CheckOutcome outcome = CheckOutcome::Information;
    double measured = 0;   // Mask: the bit; Forced: 0
    CheckLimit reference;  // Equal: the key; Mask: the key, a bit mask
    // Range, RealRange: the limits; Tolerance: max, the tolerance. A limit that is not set
    // keeps its not-set value (65535, 1000 or more, a tolerance of 0).
    CheckLimit min;
    CheckLimit max;
    int line = kLineNotWritten;  // 0-based index of the check's line in the report

    bool operator==(const CheckRecord&) const = default;
};
