// Report log: line kinds, carried-over format, counter, print-only-errors, status.
#include "report/report_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include "support/test_files.h"

namespace {

class ReportLogTest : public ::testing::Test {
  protected:
    void SetUp() override { ClearReport(); }
    BoundSink bound;
    const std::vector<ReportLine>& Lines() { return bound.sink.Lines(); }
};

TEST_F(ReportLogTest, EachKindSetsItsAttributes) {
    LogFail("fail");
    LogPass("pass");
    LogWarning("warn");
    LogHeading("head");
    LogInfo("info");
    ASSERT_EQ(5u, Lines().size());
    EXPECT_EQ((ReportLine{"fail", LineKind::Fail, true, LineColour::Red, 16}), Lines()[0]);
    EXPECT_EQ((ReportLine{"pass", LineKind::Pass, true, LineColour::Green, 15}), Lines()[1]);
    EXPECT_EQ((ReportLine{"warn", LineKind::Warning, true, LineColour::Yellow, 15}), Lines()[2]);
    // Headings and information lines set no colour: they keep the last one set.
    EXPECT_EQ((ReportLine{"head", LineKind::Heading, true, LineColour::Yellow, 11}), Lines()[3]);
    EXPECT_EQ((ReportLine{"info", LineKind::Info, false, LineColour::Yellow, 11}), Lines()[4]);
}

TEST_F(ReportLogTest, InformationAfterFailureIsRegularSmallAndRed) {
    LogFail("x");
    LogInfo("after fail");
    EXPECT_EQ((ReportLine{"after fail", LineKind::Info, false, LineColour::Red, 11}), Lines().back());
    LogPass("y");
    LogInfo("after pass");
    EXPECT_EQ((ReportLine{"after pass", LineKind::Info, false, LineColour::Green, 11}), Lines().back());
}

TEST_F(ReportLogTest, VersionLineAddsBoldAndKeepsColourAndHeight) {
    LogPass("green");
    std::time_t runStart = std::time(nullptr) - 3600;  // the caller's, not the clock's
    LogVersionLine(runStart);
    const ReportLine& version = Lines().back();
    EXPECT_TRUE(version.bold);
    EXPECT_EQ(LineColour::Green, version.colour);
    EXPECT_EQ(15, version.heightPx);
    EXPECT_EQ(LineKind::Heading, version.kind);  // drawn like a pass line, but judges nothing
    EXPECT_EQ(0u, version.text.find("Zembra v1.4.0.131 - "));
    char startText[64];
    std::strftime(startText, sizeof startText, "  %X", std::localtime(&runStart));
    EXPECT_EQ(version.text.size() - std::strlen(startText), version.text.rfind(startText));
}

TEST_F(ReportLogTest, CounterCountsWrittenLines) {
    EXPECT_EQ(1, LogInfo("a"));
    LogHeading("b");
    EXPECT_EQ(3, LogFail("c"));
    EXPECT_EQ(4, LogPass("d"));
    EXPECT_EQ(5, LogWarning("e"));
    EXPECT_EQ(5, GetLineCounter());
    ClearReport();
    EXPECT_EQ(0, GetLineCounter());
    EXPECT_TRUE(Lines().empty());
}

TEST_F(ReportLogTest, PrintOnlyErrorsLeavesOutInformationOnly) {
    SetPrintOnlyErrors(true);
    EXPECT_EQ(0, LogInfo("dropped"));
    LogHeading("heading");
    LogVersionLine(std::time(nullptr));
    LogFail("fail");
    LogWarning("warn");
    EXPECT_EQ(4, LogInfo("dropped too"));
    ASSERT_EQ(4u, Lines().size());
    EXPECT_EQ("heading", Lines()[0].text);
    EXPECT_EQ("fail", Lines()[2].text);
}

TEST_F(ReportLogTest, FailAtReplacesALineAndMovesTheCounter) {
    for (int i = 0; i < 10; ++i) LogInfo("line %d", i);
    LogFailAt("*replaced", 3);
    ASSERT_EQ(10u, Lines().size());
    EXPECT_EQ((ReportLine{"*replaced", LineKind::Fail, true, LineColour::Red, 16}), Lines()[3]);
    EXPECT_EQ("line 2", Lines()[2].text);
    EXPECT_EQ("line 4", Lines()[4].text);
    EXPECT_EQ(4, GetLineCounter());
}

TEST_F(ReportLogTest, FailInsertAtInsertsALine) {
    for (int i = 0; i < 10; ++i) LogInfo("line %d", i);
    LogFailInsertAt("*inserted", 3);
    ASSERT_EQ(11u, Lines().size());
    EXPECT_EQ("*inserted", Lines()[3].text);
    EXPECT_EQ("line 3", Lines()[4].text);
    EXPECT_EQ(4, GetLineCounter());
    LogFailInsertAt("*last", 11);
    EXPECT_EQ("*last", Lines().back().text);
}

// A stream's part begins at its first line; a line inserted above moves it down, and a
// part that wrote no line is not kept.
TEST_F(ReportLogTest, StreamSectionsFollowTheirLines) {
    LogInfo("program");
    BeginStreamSection(0xE0);
    LogInfo("video");
    EndStreamSection();
    BeginStreamSection(0xC0);
    EndStreamSection();
    BeginStreamSection(0xC1);
    LogFail("*audio");
    EndStreamSection();
    LogFailInsertAt("*inserted", 1);
    EXPECT_EQ((std::vector<StreamSection>{{0xE0, 2}, {0xC1, 3}}), bound.sink.StreamSections());
    ClearReport();
    EXPECT_TRUE(bound.sink.StreamSections().empty());
}

TEST_F(ReportLogTest, StatusAndProgress) {
    SetStatusText("Processing Program Stream...");
    SetProgress(7);
    EXPECT_EQ("Processing Program Stream... (07%)", bound.sink.StatusText());
    SetProgress(100);
    EXPECT_EQ("Processing Program Stream... (100%)", bound.sink.StatusText());
    int pumps = bound.sink.PumpCount();
    SetProgress(0);
    EXPECT_EQ(0, bound.sink.Progress());
    EXPECT_EQ("Processing Program Stream... (100%)", bound.sink.StatusText());
    EXPECT_EQ(pumps + 1, bound.sink.PumpCount());
}

TEST_F(ReportLogTest, ClearReportKeepsTheRememberedStatus) {
    SetStatusText("Old status");
    ClearReport();
    EXPECT_EQ("", bound.sink.StatusText());
    SetProgress(50);
    EXPECT_EQ("Old status (50%)", bound.sink.StatusText());
}

TEST_F(ReportLogTest, StatusWithProgressIsLimitedTo63Characters) {
    SetStatusText(std::string(100, 's'));
    SetProgress(5);
    EXPECT_EQ(63u, bound.sink.StatusText().size());
}

TEST_F(ReportLogTest, ErrorMessageShowsABoxAndTheFailVerdictOnly) {
    LogInfo("one");
    ShowErrorMessage("Unable to open file x for reading.");
    EXPECT_EQ(1u, Lines().size());
    EXPECT_EQ(1, GetLineCounter());
    ASSERT_EQ(1u, bound.sink.ErrorBoxes().size());
    EXPECT_EQ(Verdict::Fail, bound.sink.CurrentVerdict());
    SetVerdictPass();
    EXPECT_EQ(Verdict::Pass, bound.sink.CurrentVerdict());
}

// Everything a run leaves behind is gone after the reset: nothing carries over to the
// next test, as nothing carries over to a fresh process.
TEST_F(ReportLogTest, ResetLeavesNothingOfTheRunBefore) {
    SetStatusText("Old status");
    SetPrintOnlyErrors(true);
    LogFail("*red, bold and 16 px");
    RequestCancel();
    ResetReportLog();
    EXPECT_EQ(0, GetLineCounter());
    EXPECT_FALSE(GetPrintOnlyErrors());
    EXPECT_FALSE(IsCancelRequested());
    LogInfo("to no sink");
    EXPECT_EQ(1u, Lines().size());

    MemorySink fresh;
    SetReportSink(&fresh);
    LogInfo("info");
    EXPECT_EQ((ReportLine{"info", LineKind::Info, false, LineColour::Default, 11}), fresh.Lines().back());
    SetProgress(5);
    EXPECT_EQ(" (05%)", fresh.StatusText());
    SetReportSink(&bound.sink);
}

TEST_F(ReportLogTest, CancelFlag) {
    EXPECT_FALSE(IsCancelRequested());
    RequestCancel();
    EXPECT_TRUE(IsCancelRequested());
    ClearCancelRequest();
    EXPECT_FALSE(IsCancelRequested());
}

}  // namespace
