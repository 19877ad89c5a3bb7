// Console sink.
#include "cli/console_sink.h"

namespace {

const char* ColourEscape(LineColour colour) {
    switch (colour) {
        case LineColour::Red:
            return "\x1b[31m";
        case LineColour::Green:
            return "\x1b[32m";
        case LineColour::Yellow:
            return "\x1b[33m";
        case LineColour::Default:
            break;
    }
    return "";
}

// Pass, warning and failure lines set their colour; information lines and headings take
// whatever colour the line above left, which on a terminal would print an unchecked line
// red after a failure. Those three kinds are the only lines 15 or 16 pixels high.
bool IsJudgedLine(const ReportLine& line) { return line.heightPx >= 15; }

}  // namespace

void ConsoleSink::ShowStatusText(const std::string& text) {
    MemorySink::ShowStatusText(text);
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

void ConsoleSink::PrintReport(std::FILE* out, bool colour) const {
    for (const ReportLine& line : Lines()) {
        if (colour) {
            std::fprintf(out, "%s%s%s\x1b[0m\n", line.bold ? "\x1b[1m" : "",
                         IsJudgedLine(line) ? ColourEscape(line.colour) : "", line.text.c_str());
        } else {
            std::fprintf(out, "%s\n", line.text.c_str());
        }
    }
    std::fflush(out);
}
