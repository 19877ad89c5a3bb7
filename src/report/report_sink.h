// The one interface through which the analysis shows anything to the operator.
// The analysis never knows which front end (tests, command line, desktop) it serves.
#pragma once

#include <string>

#include "report/check_record.h"

enum class LineColour { Default, Red, Green, Yellow };

enum class Verdict { None, Pass, Fail };

// One line of the report with the format it was written in.
struct ReportLine {
    std::string text;
    bool bold = false;
    LineColour colour = LineColour::Default;
    int heightPx = 11;  // 11, 15 or 16 screen pixels at 96 dpi

    bool operator==(const ReportLine&) const = default;
};

class ReportSink {
  public:
    virtual ~ReportSink() = default;

    virtual void AppendLine(const ReportLine& line) = 0;
    // Replaces line `index` (0-based); an index past the end appends.
    virtual void ReplaceLine(int index, const ReportLine& line) = 0;
    // Inserts before line `index`; an index at or past the end appends.
    virtual void InsertLine(int index, const ReportLine& line) = 0;
    virtual void ClearLines() = 0;
    // What the check that wrote a line judged, handed over after the line (or, when
    // only errors are printed, in place of it). Front ends that show no more than the
    // lines ignore it.
    virtual void RecordCheck(const CheckRecord&) {}

    virtual void ShowStatusText(const std::string& text) = 0;
    virtual void ShowProgress(int percent) = 0;
    virtual void ShowVerdict(Verdict verdict) = 0;
    // Modal in the desktop window; the command line prints it and goes on.
    virtual void ShowErrorBox(const std::string& text) = 0;
    // Lets pending window events run (Cancel reaches the run here).
    virtual void PumpEvents() = 0;
};
