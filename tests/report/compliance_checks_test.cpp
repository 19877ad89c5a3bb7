// Compliance checks: outcome, line kind, "*" marking, failure flag.
#include "report/compliance_checks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "report/report_log.h"
#include "support/test_files.h"

namespace {

enum class Kind { None, Info, Pass, Warning, Fail };

struct Outcome {
    Kind kind;
    std::string text;
    bool failed;
};

Kind KindOf(const ReportLine& line) {
    if (!line.bold) return Kind::Info;
    switch (line.colour) {
        case LineColour::Green:
            return Kind::Pass;
        case LineColour::Yellow:
            return Kind::Warning;
        case LineColour::Red:
            return Kind::Fail;
        default:
            return Kind::None;
    }
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
        CheckEqual("Horizontal Size = %d", c.reference, c.measured, c.measured, 0, failed);
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
        CheckRange("Value = %d", c.min, c.max, c.value, static_cast<int32_t>(c.value), 0, failed);
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
        CheckRangeReal("RMS Level = %0.1f dB", c.min, c.max, c.value, failed);
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
    Outcome o = RunCheck(
        [&](bool& failed) { CheckEqual("Value = %d", c.key, measured, measured, 0, failed); });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.kind == Kind::Fail, o.failed);
    EXPECT_EQ(c.kind == Kind::Fail, o.text[0] == '*');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckEqualEdgeTest,
    ::testing::Values(EqualEdgeCase{65535, 0, Kind::Info}, EqualEdgeCase{65535, 65535, Kind::Info},
                      EqualEdgeCase{65535, 0xFFFFFFFF, Kind::Info},
                      EqualEdgeCase{65535, -1, Kind::Info}, EqualEdgeCase{0, 0, Kind::Pass},
                      EqualEdgeCase{0, 65535, Kind::Fail}, EqualEdgeCase{0, 0xFFFFFFFF, Kind::Fail},
                      EqualEdgeCase{65534, 65534, Kind::Pass},
                      EqualEdgeCase{65534, 65535, Kind::Fail},
                      EqualEdgeCase{65536, 65536, Kind::Pass},
                      EqualEdgeCase{65536, 65535, Kind::Fail},
                      EqualEdgeCase{-1, 0xFFFFFFFF, Kind::Pass}, EqualEdgeCase{-1, -1, Kind::Pass},
                      EqualEdgeCase{-1, 0, Kind::Fail}, EqualEdgeCase{-1, 65535, Kind::Fail},
                      EqualEdgeCase{INT32_MIN, 0x80000000, Kind::Pass},
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
    auto key = static_cast<uint32_t>(c.key);
    auto measured = static_cast<uint32_t>(c.measured);
    uint32_t min = c.side == KeySets::Min ? key : c.fixed;
    uint32_t max = c.side == KeySets::Max ? key : c.fixed;
    Outcome o = RunCheck([&](bool& failed) {
        CheckRange("Value = %d", min, max, measured, static_cast<int32_t>(measured), 0, failed);
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
    Outcome o = RunCheck(
        [&](bool& failed) { CheckRangeReal("Level = %0.1f dB", c.min, c.max, c.value, failed); });
    EXPECT_EQ(c.kind, o.kind);
    EXPECT_EQ(c.kind == Kind::Fail || c.kind == Kind::Warning, o.failed);
    EXPECT_EQ(c.kind == Kind::Fail || c.kind == Kind::Warning, o.text[0] == '*');
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckRangeRealEdgeTest,
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

TEST(ComplianceChecks, PrintOnlyErrorsWritesOnlyFailures) {
    EXPECT_EQ(Kind::None, RunCheck([](bool& f) { CheckEqual("x", 65535, 1, 0, 0, f); }, true).kind);
    EXPECT_EQ(Kind::None, RunCheck([](bool& f) { CheckEqual("x", 1, 1, 0, 0, f); }, true).kind);
    EXPECT_EQ(Kind::Fail, RunCheck([](bool& f) { CheckEqual("x", 1, 0, 0, 0, f); }, true).kind);
    EXPECT_EQ(Kind::Warning,
              RunCheck([](bool& f) { CheckRangeReal("x", 0, 1000, -1, f); }, true).kind);
    BoundSink bound;
    ClearReport();
    SetPrintOnlyErrors(true);
    bool failed = false;
    CheckRange("x", 0, 10, 5, 0, 0, failed);
    EXPECT_EQ(0, GetLineCounter());
}

TEST(ComplianceChecks, APassNeverClearsTheFlag) {
    BoundSink bound;
    bool failed = false;
    CheckEqual("a", 1, 0, 0, 0, failed);
    CheckEqual("b", 1, 1, 0, 0, failed);
    CheckRange("c", 0, 5, 1, 0, 0, failed);
    CheckRangeReal("d %f", 0, 5, 1, failed);
    EXPECT_TRUE(failed);
}

TEST(ComplianceChecks, FormatPrintsBothValuesWhateverTheOutcome) {
    Outcome o = RunCheck([](bool& f) { CheckEqual("Stream %X of %d", 1, 0, 0xE0, 3, f); });
    EXPECT_EQ("*Stream E0 of 3", o.text);
}

}  // namespace
