// Compliance checks: outcome, line kind, "*" marking, failure flag.
#include "report/compliance_checks.h"

#include <gtest/gtest.h>

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
