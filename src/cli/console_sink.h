// The command line's sink: the run keeps its own report, so this shows only error boxes on
// standard error at once, and the status with its progress on a terminal.
#pragma once

#include <cstdio>

#include "report/report_sink.h"

class ConsoleSink : public ReportSink {
  public:
    explicit ConsoleSink(bool showProgress) : showProgress_(showProgress) {}

    void AppendLine(const ReportLine&) override {}
    void ReplaceLine(int, const ReportLine&) override {}
    void InsertLine(int, const ReportLine&) override {}
    void ClearLines() override {}
    void ShowStatusText(const std::string& text) override;
    void ShowProgress(int) override {}
    void ShowVerdict(Verdict) override {}
    void ShowErrorBox(const std::string& text) override;
    void PumpEvents() override {}
    // Clears the status line left on the terminal.
    void EndStatus();

  private:
    bool showProgress_;
    bool statusShown_ = false;
};
