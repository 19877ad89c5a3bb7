// Console sink.
#include "cli/console_sink.h"

#include <string_view>

namespace {

// The status each elementary stream's pass shows while it reads the stream; its lines
// follow once the status is cleared.
constexpr std::string_view kStreamPassStatus = "Processing Elementary ";

}  // namespace

void ConsoleSink::AppendLine(const ReportLine& line) {
    if (streamLinePending_) streamStartLines_.push_back(static_cast<int>(Lines().size()));
    streamLinePending_ = false;
    MemorySink::AppendLine(line);
}

void ConsoleSink::InsertLine(int index, const ReportLine& line) {
    MemorySink::InsertLine(index, line);
    for (int& start : streamStartLines_) {
        if (start >= index) ++start;
    }
}

void ConsoleSink::ClearLines() {
    MemorySink::ClearLines();
    streamStartLines_.clear();
    streamLinePending_ = false;
}

void ConsoleSink::ShowStatusText(const std::string& text) {
    MemorySink::ShowStatusText(text);
    bool streamPass = text.starts_with(kStreamPassStatus);
    if (streamPassRunning_ && !streamPass) streamLinePending_ = true;
    streamPassRunning_ = streamPass;
    if (!showProgress_) return;
    std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
    std::fflush(stderr);
    statusShown_ = !text.empty();
}

void ConsoleSink::EndStatus() {
    if (statusShown_) std::fputs("\r\x1b[K", stderr);
    statusShown_ = false;
}

void ConsoleSink::ShowErrorBox(const std::string& text) {
    MemorySink::ShowErrorBox(text);
    EndStatus();
    std::string message = text;
    while (!message.empty() && message.back() == '\n') message.pop_back();
    std::fprintf(stderr, "Error: %s\n", message.c_str());
}
