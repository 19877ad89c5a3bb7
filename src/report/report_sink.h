// The one interface through which the analysis shows anything to the operator.
// The analysis never knows which front end (tests, command line, desktop) it serves.
#pragma once

#include <string>

#include "report/check_record.h"

enum class LineColour { Default, Red, Green, Yellow };

enum class Verdict { None, Pass, Fail };

// What a line is, as the log function that wrote it says; every output that needs to know
// reads this, never the format.
enum class LineKind { Heading, Info, Pass, Fail, Warning };

// One line of the report: its kind, and the format the desktop's report control draws it
// in (colour and height carried from line to line as that control keeps them).
struct ReportLine {
    std::string text;
    LineKind kind = LineKind::Info;
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
    // One elementary stream's part of the report begins (its lines follow) and ends.
    virtual void BeginStreamSection(int /*streamId*/) {}
    virtual void EndStreamSection() {}

    virtual void ShowStatusText(const std::string& text) = 0;
    virtual void ShowProgress(int percent) = 0;
    virtual void ShowVerdict(Verdict verdict) = 0;
    // Modal in the desktop window; the command line prints it and goes on.
    virtual void ShowErrorBox(const std::string& text) = 0;
    // Lets pending window events run (Cancel reaches the run here).
    virtual void PumpEvents() = 0;
};
