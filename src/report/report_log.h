// The report log: the free functions through which every part of the analysis writes
// report lines, status text, progress and the verdict, shows error boxes and polls
// the operator's Cancel request. They act on one process-wide log bound to a sink.
#pragma once

#include <ctime>
#include <string>

#include "report/report_sink.h"

// Back to the state of a fresh process: no sink, the line counter at 0, the line format
// carried from line to line at its start, print-only-errors off, no remembered status
// text, no cancel request. Tests start from it, so none depends on the one run before.
void ResetReportLog();

// Binds the log to a front end; nullptr discards everything. The sink must outlive
// its binding.
void SetReportSink(ReportSink* sink);

// Binds the log to `sink` for the object's lifetime, then to the sink bound before again.
class ScopedReportSink {
  public:
    explicit ScopedReportSink(ReportSink* sink);
    ~ScopedReportSink();
    ScopedReportSink(const ScopedReportSink&) = delete;
    ScopedReportSink& operator=(const ScopedReportSink&) = delete;
    // The sink bound before (one that discards everything when none was).
    ReportSink& Previous() const { return *previous_; }

  private:
    ReportSink* previous_;
};

// Information and pass lines are left out while this is on.
void SetPrintOnlyErrors(bool on);
bool GetPrintOnlyErrors();

// The version text of the version line, "Zembra v1.4.0.131".
const std::string& VersionText();

// Line functions. The format follows printf; see FormatReportLine.
// Each returns the line counter after the call where it returns anything.
int LogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogHeading(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The version text, today's date and the run's start time, which the caller keeps.
void LogVersionLine(std::time_t runStart);
int LogFail(const char* format, ...) __attribute__((format(printf, 1, 2)));
int LogPass(const char* format, ...) __attribute__((format(printf, 1, 2)));
int LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Hands the sink what a check judged (compliance_checks.h).
void RecordCheck(const CheckRecord& record);
// Around the lines of one elementary stream's part of the report, which names the stream.
void BeginStreamSection(int streamId);
void EndStreamSection();
// Replaces line n (0-based) by a failure line; the counter becomes n + 1.
void LogFailAt(const std::string& text, int n);
// Inserts a failure line before line n (0-based); the counter becomes n + 1.
void LogFailInsertAt(const std::string& text, int n);

// The line counter: lines written since the report was last cleared.
int GetLineCounter();

void ShowErrorMessage(const std::string& text);
// A run's error: the error box, and the same text as a failure line ("*" in front, line
// breaks as blanks), so that a saved report holds the reason too.
void ReportError(const std::string& text);
void SetVerdictPass();
void SetVerdictFail();
void ClearReport();
void SetStatusText(const std::string& text);
void SetProgress(int percent);
// Lets the front end's pending events run (its Cancel among them) while the run waits.
void PumpFrontEndEvents();

bool IsCancelRequested();
void ClearCancelRequest();
// The front end's Cancel: safe to call from a signal handler.
void RequestCancel();
