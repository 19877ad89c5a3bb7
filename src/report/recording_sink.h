// A sink that keeps what a run writes, as the memory sink does, and passes everything on to
// the front end's sink: the run's own record of its report, whatever the front end shows.
#pragma once

#include "report/memory_sink.h"

class RecordingSink : public MemorySink {
  public:
    explicit RecordingSink(ReportSink& next) : next_(next) {}

    void AppendLine(const ReportLine& line) override;
    void ReplaceLine(int index, const ReportLine& line) override;
    void InsertLine(int index, const ReportLine& line) override;
    void ClearLines() override;
    void RecordCheck(const CheckRecord& record) override;
    void BeginStreamSection(int streamId) override;
    void EndStreamSection() override;
    void ShowStatusText(const std::string& text) override;
    void ShowProgress(int percent) override;
    void ShowVerdict(Verdict verdict) override;
    void ShowErrorBox(const std::string& text) override;
    void PumpEvents() override;

  private:
    ReportSink& next_;
};
