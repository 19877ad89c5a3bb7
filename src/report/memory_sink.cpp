// In-memory report sink.
#include "report/memory_sink.h"

#include <algorithm>

void MemorySink::AppendLine(const ReportLine& line) { lines_.push_back(line); }

void MemorySink::ReplaceLine(int index, const ReportLine& line) {
    if (index < 0 || index >= static_cast<int>(lines_.size())) {
        lines_.push_back(line);
        return;
    }
    lines_[static_cast<size_t>(index)] = line;
}

void MemorySink::InsertLine(int index, const ReportLine& line) {
    index = std::clamp(index, 0, static_cast<int>(lines_.size()));
    lines_.insert(lines_.begin() + index, line);
    for (CheckRecord& record : checkRecords_) {
        if (record.line >= index) ++record.line;
    }
    for (StreamSection& section : sections_) {
        if (section.firstLine >= index) ++section.firstLine;
    }
}

void MemorySink::ClearLines() {
    lines_.clear();
    checkRecords_.clear();
    sections_.clear();
}

void MemorySink::BeginStreamSection(int streamId) {
    openSection_ = {streamId, static_cast<int>(lines_.size())};
}

void MemorySink::EndStreamSection() {
    if (static_cast<int>(lines_.size()) > openSection_.firstLine) sections_.push_back(openSection_);
}

void MemorySink::RecordCheck(const CheckRecord& record) {
    auto sameLine = std::find_if(checkRecords_.begin(), checkRecords_.end(),
                                 [&](const CheckRecord& r) { return r.line == record.line; });
    if (record.line != kLineNotWritten && sameLine != checkRecords_.end()) {
        *sameLine = record;
    } else {
        checkRecords_.push_back(record);
    }
}

std::vector<std::string> MemorySink::Texts() const {
    std::vector<std::string> texts;
    texts.reserve(lines_.size());
    for (const ReportLine& line : lines_) texts.push_back(line.text);
    return texts;
}

void MemorySink::ShowStatusText(const std::string& text) { statusText_ = text; }

void MemorySink::ShowProgress(int percent) {
    progress_ = percent;
    progressHistory_.push_back(percent);
}

void MemorySink::ShowVerdict(Verdict verdict) { verdict_ = verdict; }

void MemorySink::ShowErrorBox(const std::string& text) { errorBoxes_.push_back(text); }

void MemorySink::PumpEvents() { ++pumpCount_; }
