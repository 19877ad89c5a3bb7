// Report line formatting.
#include "report/report_format.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/comma_locale.h"

namespace {

// The lone "%" cases are formats the report really uses; gcc rightly warns about them
// at compile time, which is why the formatter exists.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
#pragma GCC diagnostic ignored "-Wformat-extra-args"

TEST(ReportFormat, LonePercentAtTheEndIsPrinted) {
    EXPECT_EQ("Frames I = 21 -> 8%", FormatReportLine("Frames I = %d -> %d%", 21, 8));
}

TEST(ReportFormat, LonePercentInsideTheTextIsPrinted) {
    EXPECT_EQ("100%! and 7", FormatReportLine("100%! and %d", 7));
    EXPECT_EQ("a %% b", FormatReportLine("a %%%% b"));
}

#pragma GCC diagnostic pop

TEST(ReportFormat, ConversionsFollowPrintf) {
    EXPECT_EQ("Video stream, ID: E0", FormatReportLine("Video stream, ID: %X", 0xE0));
    EXPECT_EQ("Other stream 0x0A", FormatReportLine("Other stream 0x%02X", 0x0A));
    EXPECT_EQ("Sectors delay = 12.3 ms", FormatReportLine("Sectors delay = %0.01f ms", 12.34));
    EXPECT_EQ("Processing... (07%)", FormatReportLine("%s (%02d%%)", "Processing...", 7));
}

// The desktop application runs under the user's locale: under de_DE the report printed
// "2,08 MB".
TEST(ReportFormat, RealsPrintWithADotUnderACommaLocale) {
    CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << CommaLocale::kSkipReason;
    EXPECT_EQ("File Size = 2.08 MB", FormatReportLine("File Size = %0.2f MB", 2.08));
    EXPECT_EQ("-20.5 dB, 1e+06", FormatReportLine("%0.1f dB, %g", -20.5, 1e6));
    char own[16];
    std::snprintf(own, sizeof own, "%0.2f", 2.08);
    EXPECT_STREQ("2,08", own);  // the process keeps its locale for everything else
}

TEST(ReportFormat, LinesAreCutAt255Characters) {
    std::string path(400, 'p');
    std::string line = FormatReportLine("File \"%s\"", path.c_str());
    EXPECT_EQ(255u, line.size());
    EXPECT_EQ("File \"ppp", line.substr(0, 9));
}

TEST(ReportFormat, PercentInAnArgumentIsNotAFormat) {
    EXPECT_EQ("File \"%d%n%s.mpg\"", FormatReportLine("File \"%s\"", "%d%n%s.mpg"));
}

}  // namespace
