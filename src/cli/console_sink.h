// The command line's sink: keeps the report to hand over once the run has ended (a line
// may still be rewritten at the end of the run), shows error boxes on standard error
// at once, and shows the status with its progress on a terminal.
#pragma once

#include <cstdio>

#include "report/memory_sink.h"

class ConsoleSink : public MemorySink {
  public:
    explicit ConsoleSink(bool showProgress) : showProgress_(showProgress) {}

    void ShowStatusText(const std::string& text) override;
    void ShowErrorBox(const std::string& text) override;
    // Clears the status line left on the terminal.
    void EndStatus();

  private:
    bool showProgress_;
    bool statusShown_ = false;
};
