// Compliance checks.
#include "report/compliance_checks.h"

#include <cmath>

#include "report/report_log.h"

namespace {

// Writes the line as its outcome shows it and returns its index in the report.
int WriteLine(const std::string& line, CheckOutcome outcome) {
    switch (outcome) {
        case CheckOutcome::Information:
            if (GetPrintOnlyErrors()) return kLineNotWritten;
            return LogInfo("%s", line.c_str()) - 1;
        case CheckOutcome::Pass:
            if (GetPrintOnlyErrors()) return kLineNotWritten;
            return LogPass("%s", line.c_str()) - 1;
        case CheckOutcome::Warning:
            return LogWarning("*%s", line.c_str()) - 1;
        case CheckOutcome::Failure:
            break;
    }
    return LogFail("*%s", line.c_str()) - 1;
}

CheckRecord Record(CheckKind kind, CheckOutcome outcome, double measured) {
    CheckRecord record;
    record.kind = kind;
    record.outcome = outcome;
    record.measured = measured;
    return record;
}

// Every value a check compares (int32_t, uint32_t, double) is exact in a double.
CheckLimit Limit(KeyName key, double value) { return CheckLimit{key, value}; }

void Judge(const std::string& line, CheckRecord record, bool& failed) {
    if (record.outcome == CheckOutcome::Warning || record.outcome == CheckOutcome::Failure) {
        failed = true;
    }
    record.line = WriteLine(line, record.outcome);
    RecordCheck(record);
}

CheckOutcome EqualOutcome(int32_t key, int64_t measured) {
    if (key == kNotSet) return CheckOutcome::Information;
    return key == static_cast<int32_t>(measured) ? CheckOutcome::Pass : CheckOutcome::Failure;
}

// The unsigned 32-bit terms a range compares in.
uint32_t RangeValue(int64_t value) { return static_cast<uint32_t>(value); }

CheckOutcome RangeOutcome(uint32_t min, uint32_t max, uint32_t value) {
    constexpr uint32_t notSet = kNotSet;
    if (min == notSet && max == notSet) return CheckOutcome::Information;
    if ((min != notSet && value < min) || (max != notSet && value > max)) {
        return CheckOutcome::Failure;
    }
    return CheckOutcome::Pass;
}

void JudgeRange(const std::string& line, uint32_t min, KeyName minKey, uint32_t max, KeyName maxKey,
                int64_t measured, bool& failed) {
    CheckOutcome outcome = RangeOutcome(min, max, RangeValue(measured));
    CheckRecord record = Record(CheckKind::Range, outcome, static_cast<double>(measured));
    record.min = Limit(minKey, min);
    record.max = Limit(maxKey, max);
    Judge(line, record, failed);
}

CheckOutcome RealRangeOutcome(double min, double max, double value) {
    bool hasMin = min < kRealNotSet;
    bool hasMax = max < kRealNotSet;
    if (!hasMin && !hasMax) return CheckOutcome::Information;
    if (hasMin && value < min) return CheckOutcome::Warning;
    if (hasMax && value > max) return CheckOutcome::Failure;
    return CheckOutcome::Pass;
}

void JudgeRealRange(const std::string& line, CheckLimit min, CheckLimit max, double measured,
                    bool& failed) {
    CheckOutcome outcome = RealRangeOutcome(min.value, max.value, measured);
    CheckRecord record = Record(CheckKind::RealRange, outcome, measured);
    record.min = min;
    record.max = max;
    Judge(line, record, failed);
}

CheckOutcome ToleranceOutcome(uint32_t tolerance, double value) {
    if (tolerance == kTimeKeyNotSet) return CheckOutcome::Information;
    return std::fabs(value) <= tolerance ? CheckOutcome::Pass : CheckOutcome::Failure;
}

}  // namespace

void CheckEqual(const std::string& line, ProfileKey key, int64_t measured, bool& failed) {
    CheckOutcome outcome = EqualOutcome(key.value, measured);
    CheckRecord record = Record(CheckKind::Equal, outcome, static_cast<double>(measured));
    record.reference = Limit(key.name, key.value);
    Judge(line, record, failed);
}

void CheckEqualWhenNamed(const std::string& line, ProfileKey key, int64_t measured, bool& failed) {
    bool named = key.value == static_cast<int32_t>(measured);
    CheckRecord record =
        Record(CheckKind::Equal, named ? CheckOutcome::Pass : CheckOutcome::Failure,
               static_cast<double>(measured));
    record.reference = Limit(key.name, key.value);
    Judge(line, record, failed);
}

void CheckAcceptedWhenKeyIs(const std::string& line, ProfileKey key, int32_t accepted,
                            bool& failed) {
    CheckEqual(line, key, accepted, failed);
}

void CheckRange(const std::string& line, ProfileKey min, uint32_t max, int64_t measured,
                bool& failed) {
    JudgeRange(line, RangeValue(min.value), min.name, max, {}, measured, failed);
}

void CheckRange(const std::string& line, uint32_t min, ProfileKey max, int64_t measured,
                bool& failed) {
    JudgeRange(line, min, {}, RangeValue(max.value), max.name, measured, failed);
}

void CheckRangeReal(const std::string& line, double min, RealProfileKey max, double measured,
                    bool& failed) {
    JudgeRealRange(line, Limit({}, min), Limit(max.name, max.value), measured, failed);
}

void CheckRangeRealWithTolerance(const std::string& line, RealProfileKey reference,
                                 RealProfileKey tolerance, double measured, bool& failed) {
    JudgeRealRange(line, Limit(reference.name, reference.value),
                   Limit(tolerance.name, reference.value + tolerance.value), measured, failed);
}

void CheckRangeRealAround(const std::string& line, RealProfileKey centre, RealProfileKey tolerance,
                          double measured, bool& failed) {
    bool set = centre.value < kRealNotSet && tolerance.value < kRealNotSet;
    JudgeRealRange(line, Limit(centre.name, set ? centre.value - tolerance.value : kRealNotSet),
                   Limit(tolerance.name, set ? centre.value + tolerance.value : kRealNotSet),
                   measured, failed);
}

void CheckWithinTolerance(const std::string& line, ProfileKey tolerance, double measured,
                          bool& failed) {
    uint32_t limit = RangeValue(tolerance.value);
    CheckRecord record = Record(CheckKind::Tolerance, ToleranceOutcome(limit, measured), measured);
    record.max = Limit(tolerance.name, limit);
    Judge(line, record, failed);
}

void CheckMaskAllows(const std::string& line, ProfileKey mask, uint32_t bit, bool& failed) {
    bool allowed = (static_cast<uint32_t>(mask.value) >> bit) & 1;
    CheckOutcome outcome = allowed ? CheckOutcome::Pass : CheckOutcome::Failure;
    CheckRecord record = Record(CheckKind::Mask, outcome, bit);
    record.reference = Limit(mask.name, mask.value);
    Judge(line, record, failed);
}

void CheckAlwaysFails(const std::string& line, bool& failed) {
    Judge(line, Record(CheckKind::Forced, CheckOutcome::Failure, 0), failed);
}

void LogProvisionalPass(const std::string& line) { WriteLine(line, CheckOutcome::Pass); }

void CheckHolds(const std::string& line, ProfileKey key, bool holds, bool& failed) {
    CheckRange(line, key, kNoLimit, holds ? 1 : 0, failed);
}
