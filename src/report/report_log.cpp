// Report log state and line functions.
#include "report/report_log.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <ctime>

#include "report/report_format.h"
#include "version.h"

namespace {

constexpr int kInfoHeightPx = 11;
constexpr int kPassHeightPx = 15;
constexpr int kWarningHeightPx = 15;
constexpr int kFailHeightPx = 16;
constexpr size_t kStatusTextMax = 63;

// The report control's current format, carried from line to line and from run to run.
struct LineFormat {
    bool bold = false;
    LineColour colour = LineColour::Default;
    int heightPx = 11;
};

class DiscardSink : public ReportSink {
  public:
    void AppendLine(const ReportLine&) override {}
    void ReplaceLine(int, const ReportLine&) override {}
    void InsertLine(int, const ReportLine&) override {}
    void ClearLines() override {}
    void ShowStatusText(const std::string&) override {}
    void ShowProgress(int) override {}
    void ShowVerdict(Verdict) override {}
    void ShowErrorBox(const std::string&) override {}
    void PumpEvents() override {}
};

DiscardSink discardSink;

// Everything the log keeps for the process, in one place; a fresh value is the state of
// a fresh process.
struct LogState {
    ReportSink* sink = &discardSink;
    LineFormat format;
    int lineCounter = 0;
    bool printOnlyErrors = false;
    std::string rememberedStatus;
    std::string versionText = "Zembra v" ZEMBRA_VERSION;
};

LogState& State() {
    static LogState state;
    return state;
}

// Beside the state rather than in it: lock-free, so that a signal handler may set it.
std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Style reset to regular, then bold when asked; colour and height only when given.
void ApplyFormat(bool bold, const LineColour* colour, int heightPx) {
    LineFormat& format = State().format;
    format.bold = bold;
    if (colour) format.colour = *colour;
    format.heightPx = heightPx;
}

ReportLine LineInCurrentFormat(std::string text, LineKind kind) {
    const LineFormat& format = State().format;
    return ReportLine{std::move(text), kind, format.bold, format.colour, format.heightPx};
}

int AppendInCurrentFormat(std::string text, LineKind kind) {
    State().sink->AppendLine(LineInCurrentFormat(std::move(text), kind));
    return ++State().lineCounter;
}

int AppendLine(LineKind kind, const char* format, va_list args, bool bold,
               const LineColour* colour, int heightPx) {
    std::string text = FormatReportLineV(format, args);
    ApplyFormat(bold, colour, heightPx);
    return AppendInCurrentFormat(std::move(text), kind);
}

ReportLine FailureLine(const std::string& text) {
    const LineColour red = LineColour::Red;
    ApplyFormat(true, &red, kFailHeightPx);
    return LineInCurrentFormat(text.substr(0, kReportLineMax), LineKind::Fail);
}

std::string TimeText(const char* strftimeFormat, std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char buffer[64];
    size_t length = std::strftime(buffer, sizeof buffer, strftimeFormat, &local);
    return std::string(buffer, length);
}

}  // namespace

void ResetReportLog() {
    State() = LogState{};
    ClearCancelRequest();
}

void SetReportSink(ReportSink* sink) { State().sink = sink ? sink : &discardSink; }

ScopedReportSink::ScopedReportSink(ReportSink* sink) : previous_(State().sink) {
    SetReportSink(sink);
}

ScopedReportSink::~ScopedReportSink() { State().sink = previous_; }

void SetPrintOnlyErrors(bool on) { State().printOnlyErrors = on; }

bool GetPrintOnlyErrors() { return State().printOnlyErrors; }

const std::string& VersionText() { return State().versionText; }

int LogInfo(const char* format, ...) {
    if (State().printOnlyErrors) return State().lineCounter;
    va_list args;
    va_start(args, format);
    int counter = AppendLine(LineKind::Info, format, args, false, nullptr, kInfoHeightPx);
    va_end(args);
    return counter;
}

void LogHeading(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendLine(LineKind::Heading, format, args, true, nullptr, kInfoHeightPx);
    va_end(args);
}

void LogVersionLine(std::time_t runStart) {
    State().format.bold = true;  // added to the current style, nothing else changes
    std::time_t now = std::time(nullptr);
    std::string line =
        VersionText() + " - " + TimeText("%x", now) + "  " + TimeText("%X", runStart);
    AppendInCurrentFormat(line.substr(0, kReportLineMax), LineKind::Heading);
}

int LogFail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const LineColour red = LineColour::Red;
    int counter = AppendLine(LineKind::Fail, format, args, true, &red, kFailHeightPx);
    va_end(args);
    return counter;
}

int LogPass(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const LineColour green = LineColour::Green;
    int counter = AppendLine(LineKind::Pass, format, args, true, &green, kPassHeightPx);
    va_end(args);
    return counter;
}

int LogWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const LineColour yellow = LineColour::Yellow;
    int counter = AppendLine(LineKind::Warning, format, args, true, &yellow, kWarningHeightPx);
    va_end(args);
    return counter;
}

void RecordCheck(const CheckRecord& record) { State().sink->RecordCheck(record); }

void BeginStreamSection(int streamId) { State().sink->BeginStreamSection(streamId); }

void EndStreamSection() { State().sink->EndStreamSection(); }

void LogFailAt(const std::string& text, int n) {
    State().sink->ReplaceLine(n, FailureLine(text));
    State().lineCounter = n + 1;
}

void LogFailInsertAt(const std::string& text, int n) {
    State().sink->InsertLine(n, FailureLine(text));
    State().lineCounter = n + 1;
}

int GetLineCounter() { return State().lineCounter; }

void ShowErrorMessage(const std::string& text) {
    State().sink->ShowErrorBox(text);
    SetVerdictFail();
}

void ReportError(const std::string& text) {
    ShowErrorMessage(text);
    std::string line = "*" + text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    std::replace(line.begin(), line.end(), '\n', ' ');
    LogFail("%s", line.substr(0, static_cast<size_t>(kReportLineMax)).c_str());
}

void SetVerdictPass() { State().sink->ShowVerdict(Verdict::Pass); }

void SetVerdictFail() { State().sink->ShowVerdict(Verdict::Fail); }

void ClearReport() {
    ReportSink& sink = *State().sink;
    sink.ClearLines();
    sink.ShowStatusText("");
    sink.ShowProgress(0);
    sink.PumpEvents();
    State().lineCounter = 0;
}

void SetStatusText(const std::string& text) {
    State().rememberedStatus = text;
    State().sink->ShowStatusText(text);
}

void SetProgress(int percent) {
    ReportSink& sink = *State().sink;
    sink.ShowProgress(percent);
    if (percent != 0) {
        char text[kStatusTextMax + 1];
        std::snprintf(text, sizeof text, "%s (%02d%%)", State().rememberedStatus.c_str(), percent);
        sink.ShowStatusText(text);
    }
    sink.PumpEvents();
}

void PumpFrontEndEvents() { State().sink->PumpEvents(); }

bool IsCancelRequested() { return cancelRequested.load(std::memory_order_relaxed); }

void ClearCancelRequest() { cancelRequested.store(false, std::memory_order_relaxed); }

void RequestCancel() { cancelRequested.store(true, std::memory_order_relaxed); }
