// Compliance checks.
#include "report/compliance_checks.h"

#include <string>

#include "report/report_format.h"
#include "report/report_log.h"

namespace {

std::string Marked(const char* format) {
    // Like the report's own 256-character buffers, the marked format is cut to 255.
    return ("*" + std::string(format)).substr(0, kReportLineMax);
}

void WriteInfo(const std::string& line) {
    if (!GetPrintOnlyErrors()) LogInfo("%s", line.c_str());
}

void WritePass(const std::string& line) {
    if (!GetPrintOnlyErrors()) LogPass("%s", line.c_str());
}

}  // namespace

void CheckEqual(const char* format, int32_t reference, int32_t measured, int32_t first,
                int32_t second, bool& failed) {
    if (reference == kNotSet) {
        WriteInfo(FormatReportLine(format, first, second));
    } else if (reference == measured) {
        WritePass(FormatReportLine(format, first, second));
    } else {
        failed = true;
        LogFail("%s", FormatReportLine(Marked(format).c_str(), first, second).c_str());
    }
}

void CheckRange(const char* format, uint32_t min, uint32_t max, uint32_t value, int32_t first,
                int32_t second, bool& failed) {
    constexpr uint32_t notSet = kNotSet;
    if (min == notSet && max == notSet) {
        WriteInfo(FormatReportLine(format, first, second));
    } else if ((min != notSet && value < min) || (max != notSet && value > max)) {
        failed = true;
        LogFail("%s", FormatReportLine(Marked(format).c_str(), first, second).c_str());
    } else {
        WritePass(FormatReportLine(format, first, second));
    }
}

void CheckRangeReal(const char* format, double min, double max, double value, bool& failed) {
    bool hasMin = min < kRealNotSet;
    bool hasMax = max < kRealNotSet;
    if (!hasMin && !hasMax) {
        WriteInfo(FormatReportLine(format, value));
    } else if (hasMin && value < min) {
        failed = true;
        LogWarning("%s", FormatReportLine(Marked(format).c_str(), value).c_str());
    } else if (hasMax && value > max) {
        failed = true;
        LogFail("%s", FormatReportLine(Marked(format).c_str(), value).c_str());
    } else {
        WritePass(FormatReportLine(format, value));
    }
}
