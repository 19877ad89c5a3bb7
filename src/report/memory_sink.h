// A sink that keeps everything in memory: the tests read the report back from it,
// and the command line prints it once the run has ended.
#pragma once

#include <vector>

#include "report/report_sink.h"

// Where one elementary stream's part of the report begins.
struct StreamSection {
    int streamId = 0;
    int firstLine = 0;  // 0-based

    bool operator==(const StreamSection&) const = default;
};

class MemorySink : public ReportSink {
  public:
    void AppendLine(const ReportLine& line) override;
    void ReplaceLine(int index, const ReportLine& line) override;
    void InsertLine(int index, const ReportLine& line) override;
    void ClearLines() override;
    // A record of a line that already has one replaces it (a line judged again).
    void RecordCheck(const CheckRecord& record) override;
    void BeginStreamSection(int streamId) override;
    // A section that wrote no line (only errors printed, and none) is not kept.
    void EndStreamSection() override;
    void ShowStatusText(const std::string& text) override;
    void ShowProgress(int percent) override;
    void ShowVerdict(Verdict verdict) override;
    void ShowErrorBox(const std::string& text) override;
    void PumpEvents() override;

    const std::vector<ReportLine>& Lines() const { return lines_; }
    std::vector<std::string> Texts() const;
    // In the order the checks were made; their lines follow the lines inserted before them.
    const std::vector<CheckRecord>& CheckRecords() const { return checkRecords_; }
    // In report order.
    const std::vector<StreamSection>& StreamSections() const { return sections_; }
    const std::string& StatusText() const { return statusText_; }
    int Progress() const { return progress_; }
    Verdict CurrentVerdict() const { return verdict_; }
    const std::vector<std::string>& ErrorBoxes() const { return errorBoxes_; }
    const std::vector<int>& ProgressHistory() const { return progressHistory_; }
    int PumpCount() const { return pumpCount_; }

  private:
    std::vector<ReportLine> lines_;
    std::vector<CheckRecord> checkRecords_;
    std::vector<StreamSection> sections_;
    StreamSection openSection_;
    std::string statusText_;
    int progress_ = 0;
    Verdict verdict_ = Verdict::None;
    std::vector<std::string> errorBoxes_;
    std::vector<int> progressHistory_;
    int pumpCount_ = 0;
};
