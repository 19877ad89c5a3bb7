// Compliance checks: outcome, line kind, "*" marking, failure flag.
#include "report/compliance_checks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "report/report_format.h"
#include "report/report_log.h"
#include "support/test_files.h"

namespace {

ProfileKey TestKey(int32_t value) { return {{"Video", "HorizontalSize"}, value}; }
RealProfileKey TestRealKey(double value) { return {{"Audio", "MaxDCLevel"}, value}; }

enum class Kind { None, Info, Pass, Warning, Fail };

struct Outcome {
    Kind kind;
    std::string text;
    bool failed;
};

Kind KindOf(const ReportLine& line) {
    switch (line.kind) {
        case LineKind::Pass:
            return Kind::Pass;
        case LineKind::Warning:
            return Kind::Warning;
        case LineKind::Fail:
            return Kind::Fail;
        case LineKind::Info:
            return Kind::Info;
        case LineKind::Heading:
            return Kind::None;
    }
    return Kind::None;
}

template <typename Check>
Outcome RunCheck(Check check, bool printOnlyErrors = false) {
    BoundSink bound;
    SetPrintOnlyErrors(printOnlyErrors);
    bool failed = false;
    check(failed);
    const auto& lines = bound.sink.Lines();
    if (lines.empty()) return {Kind::None, "", failed};
    EXPECT_EQ(1u, lines.size());
    return {KindOf(lines[0]), lines[0].text, failed};
}

struct EqualCase {
    int32_t reference;
    int32_t measured;
    Kind kind;
    const char* text;
};

class CheckEqualTest : public ::testing::TestWithParam<EqualCase> {};

TEST_P(CheckEqualTest, Outcome) {
    const EqualCase& c = GetParam();
    Outcome o = RunCheck([&](bool& failed) {
        CheckEqual(FormatReportLine("Horizontal Size = %d", c.measured), TestKey(c.reference),
                   c.measured, failed);
    });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.text, o.text);
    EXPECT_EQ(c.kind == Kind::Fail, o.failed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckEqualTest,
    ::testing::Values(EqualCase{65535, 704, Kind::Info, "Horizontal Size = 704"},
                      EqualCase{65535, 65535, Kind::Info, "Horizontal Size = 65535"},
                      EqualCase{720, 720, Kind::Pass, "Horizontal Size = 720"},
                      EqualCase{720, 704, Kind::Fail, "*Horizontal Size = 704"},
                      EqualCase{720, 65535, Kind::Fail, "*Horizontal Size = 65535"},
                      EqualCase{-1, -1, Kind::Pass, "Horizontal Size = -1"}),
    CaseNumber());

struct RangeCase {
    uint32_t min;
    uint32_t max;
    uint32_t value;
    Kind kind;
};

class CheckRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(CheckRangeTest, Outcome) {
    const RangeCase& c = GetParam();
    Outcome o = RunCheck([&](bool& failed) {
        CheckRange(FormatReportLine("Value = %d", static_cast<int32_t>(c.value)),
                   TestKey(static_cast<int32_t>(c.min)), c.max, c.value, failed);
    });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.kind == Kind::Fail, o.failed);
    EXPECT_EQ(c.kind == Kind::Fail, o.text[0] == '*');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckRangeTest,
    ::testing::Values(RangeCase{0, 65535, 0, Kind::Pass},
                      RangeCase{0, 65535, 4000000000u, Kind::Pass},
                      RangeCase{3, 65535, 3, Kind::Pass}, RangeCase{3, 65535, 2, Kind::Fail},
                      RangeCase{65535, 65535, 7, Kind::Info},
                      RangeCase{65535, 4294967295u, 0, Kind::Pass},
                      RangeCase{65535, 0, 0, Kind::Pass}, RangeCase{65535, 0, 1, Kind::Fail},
                      RangeCase{1, 15, 15, Kind::Pass}, RangeCase{1, 15, 16, Kind::Fail}),
    CaseNumber());

struct RealCase {
    double min;
    double max;
    double value;
    Kind kind;
    const char* text;
};

class CheckRangeRealTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(CheckRangeRealTest, Outcome) {
    const RealCase& c = GetParam();
    Outcome o = RunCheck([&](bool& failed) {
        CheckRangeReal(FormatReportLine("RMS Level = %0.1f dB", c.value), c.min, TestRealKey(c.max),
                       c.value, failed);
    });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.text, o.text);
    EXPECT_EQ(c.kind == Kind::Fail || c.kind == Kind::Warning, o.failed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckRangeRealTest,
    ::testing::Values(RealCase{1000, 1000, -5, Kind::Info, "RMS Level = -5.0 dB"},
                      RealCase{2000, 1500, -5, Kind::Info, "RMS Level = -5.0 dB"},
                      RealCase{1000, -3.0, -2.5, Kind::Fail, "*RMS Level = -2.5 dB"},
                      RealCase{1000, -3.0, -3.0, Kind::Pass, "RMS Level = -3.0 dB"},
                      RealCase{-20.0, -17.0, -25.0, Kind::Warning, "*RMS Level = -25.0 dB"},
                      RealCase{-20.0, -17.0, -20.0, Kind::Pass, "RMS Level = -20.0 dB"},
                      RealCase{-20.0, -17.0, -16.0, Kind::Fail, "*RMS Level = -16.0 dB"},
                      RealCase{-20.0, 1000, 500, Kind::Pass, "RMS Level = 500.0 dB"}),
    CaseNumber());

// Edge values as call sites hand them over: keys as the profile holds them (0xFFFFFFFF
// reads as -1), measured values as the summaries have them (unsigned video fields, signed
// audio fields). An equal check compares the 32 bits both sides share.
struct EqualEdgeCase {
    int32_t key;
    int64_t measured;
    Kind kind;
};

class CheckEqualEdgeTest : public ::testing::TestWithParam<EqualEdgeCase> {};

TEST_P(CheckEqualEdgeTest, Outcome) {
    const EqualEdgeCase& c = GetParam();
    auto measured = static_cast<int32_t>(c.measured);
    Outcome o = RunCheck([&](bool& failed) {
        CheckEqual(FormatReportLine("Value = %d", measured), TestKey(c.key), c.measured, failed);
    });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.kind == Kind::Fail, o.failed);
    EXPECT_EQ(c.kind == Kind::Fail, o.text[0] == '*');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckEqualEdgeTest,
    ::testing::Values(
        EqualEdgeCase{65535, 0, Kind::Info}, EqualEdgeCase{65535, 65535, Kind::Info},
        EqualEdgeCase{65535, 0xFFFFFFFF, Kind::Info}, EqualEdgeCase{65535, -1, Kind::Info},
        EqualEdgeCase{0, 0, Kind::Pass}, EqualEdgeCase{0, 65535, Kind::Fail},
        EqualEdgeCase{0, 0xFFFFFFFF, Kind::Fail}, EqualEdgeCase{65534, 65534, Kind::Pass},
        EqualEdgeCase{65534, 65535, Kind::Fail}, EqualEdgeCase{65536, 65536, Kind::Pass},
        EqualEdgeCase{65536, 65535, Kind::Fail}, EqualEdgeCase{-1, 0xFFFFFFFF, Kind::Pass},
        EqualEdgeCase{-1, -1, Kind::Pass}, EqualEdgeCase{-1, 0, Kind::Fail},
        EqualEdgeCase{-1, 65535, Kind::Fail}, EqualEdgeCase{INT32_MIN, 0x80000000, Kind::Pass},
        EqualEdgeCase{INT32_MAX, 0x7FFFFFFF, Kind::Pass},
        EqualEdgeCase{INT32_MAX, 0x80000000, Kind::Fail}),
    CaseNumber());

// A range check's key sets one limit and the line fixes the other, as at the call sites:
// a fixed minimum of 0 or 1 under a maximum key, none (65535) under the clipping and
// timing keys, and a maximum of 0xFFFFFFFF above a minimum key. Everything compares as
// unsigned 32-bit values: a key of -1 is 4294967295, a negative count wraps.
enum class KeySets { Min, Max };

struct RangeEdgeCase {
    KeySets side;
    int32_t key;
    uint32_t fixed;  // the other limit
    int64_t measured;
    Kind kind;
};

class CheckRangeEdgeTest : public ::testing::TestWithParam<RangeEdgeCase> {};

TEST_P(CheckRangeEdgeTest, Outcome) {
    const RangeEdgeCase& c = GetParam();
    std::string line = FormatReportLine("Value = %d", static_cast<int32_t>(c.measured));
    Outcome o = RunCheck([&](bool& failed) {
        if (c.side == KeySets::Min) {
            CheckRange(line, TestKey(c.key), c.fixed, c.measured, failed);
        } else {
            CheckRange(line, c.fixed, TestKey(c.key), c.measured, failed);
        }
    });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.kind == Kind::Fail, o.failed);
    EXPECT_EQ(c.kind == Kind::Fail, o.text[0] == '*');
}

constexpr uint32_t kNoneFixed = 65535;
constexpr uint32_t kAllFixed = 0xFFFFFFFF;

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckRangeEdgeTest,
    ::testing::Values(
        // a key not set under a fixed minimum: no maximum, yet judged: a pass
        RangeEdgeCase{KeySets::Max, 65535, 0, 0xFFFFFFFF, Kind::Pass},
        RangeEdgeCase{KeySets::Max, 65535, 0, -1, Kind::Pass},
        RangeEdgeCase{KeySets::Max, 0, 0, 0, Kind::Pass},
        RangeEdgeCase{KeySets::Max, 0, 0, 1, Kind::Fail},
        RangeEdgeCase{KeySets::Max, 0, 0, -1, Kind::Fail},
        RangeEdgeCase{KeySets::Max, 65534, 0, 65534, Kind::Pass},
        RangeEdgeCase{KeySets::Max, 65534, 0, 65535, Kind::Fail},
        RangeEdgeCase{KeySets::Max, 65536, 0, 65536, Kind::Pass},
        RangeEdgeCase{KeySets::Max, 65536, 0, 65537, Kind::Fail},
        RangeEdgeCase{KeySets::Max, -1, 0, 0xFFFFFFFF, Kind::Pass},
        RangeEdgeCase{KeySets::Max, -1, 0, -1, Kind::Pass},
        RangeEdgeCase{KeySets::Max, INT32_MIN, 0, 0x80000000, Kind::Pass},
        RangeEdgeCase{KeySets::Max, INT32_MIN, 0, 0x80000001, Kind::Fail},
        // the fixed minimum 1 fails a count of 0 whatever the key
        RangeEdgeCase{KeySets::Max, 65535, 1, 0, Kind::Fail},
        RangeEdgeCase{KeySets::Max, 15, 1, 15, Kind::Pass},
        RangeEdgeCase{KeySets::Max, 15, 1, 16, Kind::Fail},
        // no fixed limit: a key not set gives an information line
        RangeEdgeCase{KeySets::Max, 65535, kNoneFixed, 7, Kind::Info},
        RangeEdgeCase{KeySets::Max, 65535, kNoneFixed, 0xFFFFFFFF, Kind::Info},
        RangeEdgeCase{KeySets::Max, 0, kNoneFixed, 1, Kind::Fail},
        RangeEdgeCase{KeySets::Max, -1, kNoneFixed, 0xFFFFFFFF, Kind::Pass},
        RangeEdgeCase{KeySets::Min, 65535, kNoneFixed, 5, Kind::Info},
        // a minimum key under the fixed maximum 0xFFFFFFFF: not set is a pass
        RangeEdgeCase{KeySets::Min, 65535, kAllFixed, 0, Kind::Pass},
        RangeEdgeCase{KeySets::Min, 0, kAllFixed, 0, Kind::Pass},
        RangeEdgeCase{KeySets::Min, 65534, kAllFixed, 65533, Kind::Fail},
        RangeEdgeCase{KeySets::Min, 65534, kAllFixed, 65534, Kind::Pass},
        RangeEdgeCase{KeySets::Min, 65536, kAllFixed, 65535, Kind::Fail},
        RangeEdgeCase{KeySets::Min, 65536, kAllFixed, 65536, Kind::Pass},
        RangeEdgeCase{KeySets::Min, -1, kAllFixed, 0xFFFFFFFE, Kind::Fail},
        RangeEdgeCase{KeySets::Min, -1, kAllFixed, 0xFFFFFFFF, Kind::Pass},
        RangeEdgeCase{KeySets::Min, -1, kAllFixed, -1, Kind::Pass},
        RangeEdgeCase{KeySets::Min, 1, kAllFixed, -1, Kind::Pass},
        RangeEdgeCase{KeySets::Min, INT32_MIN, kAllFixed, 0x7FFFFFFF, Kind::Fail},
        RangeEdgeCase{KeySets::Min, INT32_MIN, kAllFixed, 0x80000000, Kind::Pass}),
    CaseNumber());

// Real limits: 1000 and above are not set, any lower value (negative ones too) is; a
// silent channel measures -inf dBFS; NaN lies outside no limit.
struct RealEdgeCase {
    double min;
    double max;
    double value;
    Kind kind;
};

class CheckRangeRealEdgeTest : public ::testing::TestWithParam<RealEdgeCase> {};

TEST_P(CheckRangeRealEdgeTest, Outcome) {
    const RealEdgeCase& c = GetParam();
    Outcome o = RunCheck([&](bool& failed) {
        CheckRangeReal(FormatReportLine("Level = %0.1f dB", c.value), c.min, TestRealKey(c.max),
                       c.value, failed);
    });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.kind == Kind::Fail || c.kind == Kind::Warning, o.failed);
    EXPECT_EQ(c.kind == Kind::Fail || c.kind == Kind::Warning, o.text[0] == '*');
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Cases, CheckRangeRealEdgeTest,
                         ::testing::Values(RealEdgeCase{1000, 1000, -kInf, Kind::Info},
                                           RealEdgeCase{1000, 1000.5, 5000, Kind::Info},
                                           RealEdgeCase{1000, 999.99, 1000, Kind::Fail},
                                           RealEdgeCase{1000, 999.99, 999.99, Kind::Pass},
                                           RealEdgeCase{999.99, 1000, 999.98, Kind::Warning},
                                           RealEdgeCase{999.99, 1000, 5000, Kind::Pass},
                                           RealEdgeCase{-1000, 1000, -1000.5, Kind::Warning},
                                           RealEdgeCase{-1000, 1000, -1000, Kind::Pass},
                                           RealEdgeCase{1000, -1000, -999.5, Kind::Fail},
                                           RealEdgeCase{1000, -40, -kInf, Kind::Pass},
                                           RealEdgeCase{1000, -3, kInf, Kind::Fail},
                                           RealEdgeCase{-20, -17, -kInf, Kind::Warning},
                                           RealEdgeCase{-20, -17, kNaN, Kind::Pass},
                                           RealEdgeCase{-20, -40, -30, Kind::Warning},
                                           RealEdgeCase{-20, -40, -10, Kind::Fail}),
                         CaseNumber());

// The CheckRangeRealWithTolerance lines: at least the reference, at most reference plus
// tolerance; either key 1000 or more can lift a limit out of reach.
struct ToleranceCase {
    double reference;
    double tolerance;
    double value;
    Kind kind;
};

class CheckRangeRealWithToleranceTest : public ::testing::TestWithParam<ToleranceCase> {};

TEST_P(CheckRangeRealWithToleranceTest, Outcome) {
    const ToleranceCase& c = GetParam();
    Outcome o = RunCheck([&](bool& failed) {
        CheckRangeRealWithTolerance(FormatReportLine("RMS Level = %0.1f dB", c.value),
                                    {{"Audio", "RMSReference"}, c.reference},
                                    {{"Audio", "RMSTolerance"}, c.tolerance}, c.value, failed);
    });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.kind == Kind::Fail || c.kind == Kind::Warning, o.failed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckRangeRealWithToleranceTest,
    ::testing::Values(ToleranceCase{-20, 3, -20, Kind::Pass},
                      ToleranceCase{-20, 3, -17, Kind::Pass},
                      ToleranceCase{-20, 3, -16.9, Kind::Fail},
                      ToleranceCase{-20, 3, -20.1, Kind::Warning},
                      ToleranceCase{1000, 1000, -20, Kind::Info},
                      ToleranceCase{1000, -5, 1200, Kind::Fail},  // max 995 is set
                      ToleranceCase{-20, 1000, 979, Kind::Pass},  // max 980 is set
                      ToleranceCase{-20, 1000, 981, Kind::Fail},
                      ToleranceCase{-20, 1020, 5000, Kind::Pass}),  // max 1000: not set
    CaseNumber());

// CheckWithinTolerance: the absolute value at most the key, read as unsigned; 0 is not set.
struct WithinCase {
    int32_t key;
    double value;
    Kind kind;
};

class CheckWithinToleranceTest : public ::testing::TestWithParam<WithinCase> {};

TEST_P(CheckWithinToleranceTest, Outcome) {
    const WithinCase& c = GetParam();
    Outcome o = RunCheck([&](bool& failed) {
        CheckWithinTolerance(FormatReportLine("Delay = %0.0f msec", c.value),
                             {{"System", "DelayAudioVideoDifference"}, c.key}, c.value, failed);
    });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.kind == Kind::Fail, o.failed);
    EXPECT_EQ(c.kind == Kind::Fail, o.text[0] == '*');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckWithinToleranceTest,
    ::testing::Values(WithinCase{0, 5000, Kind::Info}, WithinCase{100, 100, Kind::Pass},
                      WithinCase{100, -100, Kind::Pass}, WithinCase{100, 100.5, Kind::Fail},
                      WithinCase{100, -100.5, Kind::Fail}, WithinCase{65535, 65535, Kind::Pass},
                      WithinCase{-1, 1e9, Kind::Pass}, WithinCase{100, kNaN, Kind::Fail}),
    CaseNumber());

// Mode-style keys: a bit mask over the measured codes.
struct MaskCase {
    int32_t mask;
    uint32_t bit;
    Kind kind;
};

class CheckMaskAllowsTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(CheckMaskAllowsTest, Outcome) {
    const MaskCase& c = GetParam();
    Outcome o = RunCheck([&](bool& failed) {
        CheckMaskAllows("Mode = dual_channel", {{"Audio", "Mode"}, c.mask}, c.bit, failed);
    });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.kind == Kind::Fail, o.failed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckMaskAllowsTest,
    ::testing::Values(MaskCase{4, 2, Kind::Pass}, MaskCase{3, 2, Kind::Fail},
                      MaskCase{0, 0, Kind::Fail}, MaskCase{65535, 3, Kind::Pass},
                      MaskCase{65535, 16, Kind::Fail}, MaskCase{-1, 31, Kind::Pass},
                      MaskCase{INT32_MIN, 31, Kind::Pass}, MaskCase{INT32_MIN, 30, Kind::Fail}),
    CaseNumber());

TEST(ComplianceChecks, AlwaysFailsWhateverTheProfile) {
    Outcome o = RunCheck([](bool& f) { CheckAlwaysFails("Aspect Ratio = Invalid", f); }, true);
    EXPECT_EQ(Kind::Fail, o.kind);
    EXPECT_EQ("*Aspect Ratio = Invalid", o.text);
    EXPECT_TRUE(o.failed);
}

// A value only a key that names it accepts: not set is no information line.
TEST(ComplianceChecks, EqualWhenNamedFailsWithoutItsKey) {
    const struct {
        int32_t key;
        Kind kind;
    } cases[] = {{6, Kind::Pass}, {3, Kind::Fail}, {65535, Kind::Fail}};
    for (const auto& c : cases) {
        Outcome o = RunCheck(
            [&](bool& f) { CheckEqualWhenNamed("Frame Rate = 50 fps", TestKey(c.key), 6, f); });
        EXPECT_EQ(c.kind, o.kind) << c.key;
        EXPECT_EQ(c.kind == Kind::Fail, o.failed) << c.key;
    }
}

TEST(ComplianceChecks, ProvisionalPassIsAPassLineThatJudgesNothing) {
    Outcome o = RunCheck([](bool&) { LogProvisionalPass("Program Mux Rate = 5179 Kbps"); });
    EXPECT_EQ(Kind::Pass, o.kind);
    EXPECT_EQ("Program Mux Rate = 5179 Kbps", o.text);
    EXPECT_EQ(Kind::None, RunCheck([](bool&) { LogProvisionalPass("x"); }, true).kind);
}

constexpr KeyName kNoKey{};

CheckLimit Limit(std::string_view section, std::string_view key, double value) {
    return {{section, key}, value};
}

CheckRecord Record(CheckKind kind, CheckOutcome outcome, double measured, int line) {
    CheckRecord record;
    record.kind = kind;
    record.outcome = outcome;
    record.measured = measured;
    record.line = line;
    return record;
}

// Each check hands the sink the key that judged its line, the values compared and the
// index of its line.
TEST(CheckRecords, SayWhichKeyJudgedWhichLine) {
    BoundSink bound;
    ClearReport();
    bool failed = false;
    CheckEqual("Horizontal Size = 720", {{"Video", "HorizontalSize"}, 720}, 720, failed);
    CheckEqual("Vertical Size = 480", {{"Video", "VerticalSize"}, 576}, 480, failed);
    CheckEqual("Intra DC Precision = 8", {{"Video", "IntraDCPrecision"}, kNotSet}, 0, failed);
    CheckAlwaysFails("Aspect Ratio = Invalid", failed);
    CheckRange("Max. frames per GOP = 18", 1, {{"Video", "GOPLengthMax"}, 15}, 18, failed);
    CheckRange("System headers = 0", {{"System", "SystemHeadersMin"}, -1}, kUnreachableMax, 0,
               failed);
    CheckRangeReal("Left Channel Peak Level = -0.2 dBFS", kRealNotSet,
                   {{"Audio", "MaxPeakValue"}, -0.5}, -0.2, failed);
    CheckRangeRealWithTolerance("Left Channel RMS Level = -25.0 dB",
                                {{"Audio", "RMSReference"}, -20}, {{"Audio", "RMSTolerance"}, 3},
                                -25, failed);
    CheckMaskAllows("Mode = joint_stereo", {{"Audio", "Mode"}, 1}, 1, failed);
    CheckWithinTolerance("Delay = -250 msec", {{"System", "DelayAudioVideoDifference"}, 200}, -250,
                         failed);

    std::vector<CheckRecord> expected(10);
    expected[0] = Record(CheckKind::Equal, CheckOutcome::Pass, 720, 0);
    expected[0].reference = Limit("Video", "HorizontalSize", 720);
    expected[1] = Record(CheckKind::Equal, CheckOutcome::Failure, 480, 1);
    expected[1].reference = Limit("Video", "VerticalSize", 576);
    expected[2] = Record(CheckKind::Equal, CheckOutcome::Information, 0, 2);
    expected[2].reference = Limit("Video", "IntraDCPrecision", kNotSet);
    expected[3] = Record(CheckKind::Forced, CheckOutcome::Failure, 0, 3);
    expected[4] = Record(CheckKind::Range, CheckOutcome::Failure, 18, 4);
    expected[4].min = {kNoKey, 1};
    expected[4].max = Limit("Video", "GOPLengthMax", 15);
    // A range holds the limit as it compared it: -1 is 4294967295.
    expected[5] = Record(CheckKind::Range, CheckOutcome::Failure, 0, 5);
    expected[5].min = Limit("System", "SystemHeadersMin", 4294967295.0);
    expected[5].max = {kNoKey, 4294967295.0};
    expected[6] = Record(CheckKind::RealRange, CheckOutcome::Failure, -0.2, 6);
    expected[6].min = {kNoKey, kRealNotSet};
    expected[6].max = Limit("Audio", "MaxPeakValue", -0.5);
    expected[7] = Record(CheckKind::RealRange, CheckOutcome::Warning, -25, 7);
    expected[7].min = Limit("Audio", "RMSReference", -20);
    expected[7].max = Limit("Audio", "RMSTolerance", -17);
    expected[8] = Record(CheckKind::Mask, CheckOutcome::Failure, 1, 8);
    expected[8].reference = Limit("Audio", "Mode", 1);
    expected[9] = Record(CheckKind::Tolerance, CheckOutcome::Failure, -250, 9);
    expected[9].max = Limit("System", "DelayAudioVideoDifference", 200);
    ASSERT_EQ(expected.size(), bound.sink.CheckRecords().size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i], bound.sink.CheckRecords()[i]) << "record " << i;
    }
    EXPECT_EQ("*Vertical Size = 480", bound.sink.Lines()[1].text);
}

TEST(CheckRecords, LinesLeftOutAreStillRecorded) {
    BoundSink bound;
    ClearReport();
    SetPrintOnlyErrors(true);
    bool failed = false;
    CheckEqual("Horizontal Size = 720", {{"Video", "HorizontalSize"}, 720}, 720, failed);
    CheckEqual("Intra DC Precision = 8", {{"Video", "IntraDCPrecision"}, kNotSet}, 0, failed);
    CheckEqual("Vertical Size = 480", {{"Video", "VerticalSize"}, 576}, 480, failed);
    const std::vector<CheckRecord>& records = bound.sink.CheckRecords();
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(CheckOutcome::Pass, records[0].outcome);
    EXPECT_EQ(kLineNotWritten, records[0].line);
    EXPECT_EQ(CheckOutcome::Information, records[1].outcome);
    EXPECT_EQ(kLineNotWritten, records[1].line);
    EXPECT_EQ(0, records[2].line);
}

// A line inserted later (the mux rate judged at the end of a run) moves the records of
// the lines after it; a line judged again replaces its record; clearing the report
// clears them.
TEST(CheckRecords, FollowTheirLines) {
    BoundSink bound;
    ClearReport();
    bool failed = false;
    CheckEqual("a", TestKey(1), 1, failed);
    CheckEqual("b", TestKey(1), 0, failed);
    LogFailInsertAt("*inserted", 1);
    ASSERT_EQ(2u, bound.sink.CheckRecords().size());
    EXPECT_EQ(0, bound.sink.CheckRecords()[0].line);
    EXPECT_EQ(2, bound.sink.CheckRecords()[1].line);
    EXPECT_EQ("*b", bound.sink.Lines()[2].text);

    CheckRecord again = bound.sink.CheckRecords()[0];
    again.outcome = CheckOutcome::Failure;
    RecordCheck(again);
    ASSERT_EQ(2u, bound.sink.CheckRecords().size());
    EXPECT_EQ(again, bound.sink.CheckRecords()[0]);

    ClearReport();
    EXPECT_TRUE(bound.sink.CheckRecords().empty());
}

TEST(ComplianceChecks, PrintOnlyErrorsWritesOnlyFailures) {
    EXPECT_EQ(Kind::None,
              RunCheck([](bool& f) { CheckEqual("x", TestKey(65535), 1, f); }, true).kind);
    EXPECT_EQ(Kind::None, RunCheck([](bool& f) { CheckEqual("x", TestKey(1), 1, f); }, true).kind);
    EXPECT_EQ(Kind::Fail, RunCheck([](bool& f) { CheckEqual("x", TestKey(1), 0, f); }, true).kind);
    EXPECT_EQ(
        Kind::Warning,
        RunCheck([](bool& f) { CheckRangeReal("x", 0, TestRealKey(1000), -1, f); }, true).kind);
    BoundSink bound;
    ClearReport();
    SetPrintOnlyErrors(true);
    bool failed = false;
    CheckRange("x", 0, TestKey(10), 5, failed);
    EXPECT_EQ(0, GetLineCounter());
}

TEST(ComplianceChecks, APassNeverClearsTheFlag) {
    BoundSink bound;
    bool failed = false;
    CheckEqual("a", TestKey(1), 0, failed);
    CheckEqual("b", TestKey(1), 1, failed);
    CheckRange("c", 0, TestKey(5), 1, failed);
    CheckRangeReal(FormatReportLine("d %f", 1.0), 0, TestRealKey(5), 1, failed);
    EXPECT_TRUE(failed);
}

TEST(ComplianceChecks, FormatPrintsBothValuesWhateverTheOutcome) {
    Outcome o = RunCheck([](bool& f) {
        CheckEqual(FormatReportLine("Stream %X of %d", 0xE0, 3), TestKey(1), 0, f);
    });
    EXPECT_EQ("*Stream E0 of 3", o.text);
}

}  // namespace
