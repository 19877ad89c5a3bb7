// Console sink.
#include "cli/console_sink.h"

void ConsoleSink::ShowStatusText(const std::string& text) {
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
    EndStatus();
    std::string message = text;
    while (!message.empty() && message.back() == '\n') message.pop_back();
    std::fprintf(stderr, "Error: %s\n", message.c_str());
}
