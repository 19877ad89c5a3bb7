// Recording sink.
#include "report/recording_sink.h"

void RecordingSink::AppendLine(const ReportLine& line) {
    MemorySink::AppendLine(line);
    next_.AppendLine(line);
}

void RecordingSink::ReplaceLine(int index, const ReportLine& line) {
    MemorySink::ReplaceLine(index, line);
    next_.ReplaceLine(index, line);
}

void RecordingSink::InsertLine(int index, const ReportLine& line) {
    MemorySink::InsertLine(index, line);
    next_.InsertLine(index, line);
}

void RecordingSink::ClearLines() {
    MemorySink::ClearLines();
    next_.ClearLines();
}

void RecordingSink::RecordCheck(const CheckRecord& record) {
    MemorySink::RecordCheck(record);
    next_.RecordCheck(record);
}

void RecordingSink::BeginStreamSection(int streamId) {
    MemorySink::BeginStreamSection(streamId);
    next_.BeginStreamSection(streamId);
}

void RecordingSink::EndStreamSection() {
    MemorySink::EndStreamSection();
    next_.EndStreamSection();
}

void RecordingSink::ShowStatusText(const std::string& text) {
    MemorySink::ShowStatusText(text);
    next_.ShowStatusText(text);
}

void RecordingSink::ShowProgress(int percent) { next_.ShowProgress(percent); }

void RecordingSink::ShowVerdict(Verdict verdict) {
    MemorySink::ShowVerdict(verdict);
    next_.ShowVerdict(verdict);
}

void RecordingSink::ShowErrorBox(const std::string& text) {
    MemorySink::ShowErrorBox(text);
    next_.ShowErrorBox(text);
}

void RecordingSink::PumpEvents() { next_.PumpEvents(); }
