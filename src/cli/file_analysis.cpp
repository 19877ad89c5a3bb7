// In-process analysis of one file.
#include "cli/file_analysis.h"

#include "cli/console_sink.h"
#include "report/report_log.h"

RunResult AnalyseInThisProcess(const std::string& path, bool showStatus, RunOptions options) {
    ConsoleSink sink(showStatus);
    ScopedReportSink bound(&sink);
    // Every line is kept; --errors-only leaves lines out when the result is shown.
    SetPrintOnlyErrors(false);
    RunResult result = AnalyzeFile(path.c_str(), options);
    sink.EndStatus();
    return result;
}
