// The command line's sink: keeps the report to hand over once the run has ended (a line
// may still be rewritten at the end of the run), shows error boxes on standard error
// at once, and shows the status with its progress on a terminal.
#pragma once

#include <cstdio>
#include <vector>

#include "report/memory_sink.h"

class ConsoleSink : public MemorySink {
  public:
    explicit ConsoleSink(bool showProgress) : showProgress_(showProgress) {}

    void AppendLine(const ReportLine& line) override;
    void InsertLine(int index, const ReportLine& line) override;
    void ClearLines() override;
    void ShowStatusText(const std::string& text) override;
    void ShowErrorBox(const std::string& text) override;
    // Clears the status line left on the terminal.
    void EndStatus();

    // The first line written after each elementary stream's pass: the one that names the
    // stream ("Elementary Stream E0 is a MPEG-2 Video Stream"), in report order.
    const std::vector<int>& StreamStartLines() const { return streamStartLines_; }

  private:
    bool showProgress_;
    bool statusShown_ = false;
    bool streamPassRunning_ = false;
    bool streamLinePending_ = false;
    std::vector<int> streamStartLines_;
};
