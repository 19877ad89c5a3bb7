// Text report lines.
#include "output/text_report.h"

#include "output/key_text.h"

namespace {

// Between a judged line and its explanation.
constexpr const char* kExplainGap = "   ";

// A heading that only spaces the report out heads nothing.
bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// The heading that names the file ("File under analysis: \"PATH\"..!"), -1 when none does.
int FileHeadingIndex(const RunResult& result) {
    const std::string quoted = "\"" + result.path + "\"";
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const ResultLine& line = result.lines[i];
        if (line.kind == LineKind::Heading && line.text.find(quoted) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The lines --errors-only keeps of a file that did not pass: each failure and the verdict,
// with the file's heading, the nearest heading above it (its section: "Begin Video Streams
// Summary:", "Result:") and, inside an elementary stream, the stream's first line.
std::vector<bool> KeptWhenErrorsOnly(const RunResult& result) {
    std::vector<bool> kept(result.lines.size(), false);
    std::vector<bool> failing(result.lines.size(), false);
    for (const ResultLine* line : FailureLines(result)) {
        failing[static_cast<size_t>(line - result.lines.data())] = true;
    }
    if (int verdict = VerdictLineIndex(result); verdict >= 0) {
        failing[static_cast<size_t>(verdict)] = true;
    }
    int fileHeading = FileHeadingIndex(result);
    int section = -1;
    int stream = -1;
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const ResultLine& line = result.lines[i];
        if (line.kind == LineKind::Heading && !IsBlank(line.text)) {
            section = static_cast<int>(i);
            stream = -1;
        }
        if (line.streamStart) stream = static_cast<int>(i);
        if (!failing[i]) continue;
        kept[i] = true;
        for (int above : {fileHeading, section, stream}) {
            if (above >= 0) kept[static_cast<size_t>(above)] = true;
        }
    }
    return kept;
}

const char* ColourEscape(LineKind kind) {
    switch (kind) {
        case LineKind::Fail:
            return "\x1b[31m";
        case LineKind::Pass:
            return "\x1b[32m";
        case LineKind::Warning:
            return "\x1b[33m";
        case LineKind::Heading:
        case LineKind::Info:
            break;
    }
    return "";
}

}  // namespace

std::vector<ShownLine> ShownLines(const RunResult& result, const TextOptions& options) {
    std::vector<ShownLine> shown;
    int verdict = VerdictLineIndex(result);
    if (options.errorsOnly && result.verdict == FileVerdict::Pass) {
        std::string text = verdict >= 0 ? result.lines[static_cast<size_t>(verdict)].text
                                        : VerdictName(result.verdict);
        return {{LineKind::Pass, "File \"" + result.path + "\": " + text}};
    }
    std::vector<bool> kept;
    if (options.errorsOnly) kept = KeptWhenErrorsOnly(result);
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const ResultLine& line = result.lines[i];
        if (options.errorsOnly && !kept[i]) continue;
        std::string text = line.text;
        if (options.explain && line.check) {
            std::string explanation = ExplainCheck(*line.check);
            if (!explanation.empty()) text += kExplainGap + explanation;
        }
        shown.push_back({line.kind, std::move(text)});
    }
    return shown;
}

std::vector<std::string> Texts(const std::vector<ShownLine>& lines) {
    std::vector<std::string> texts;
    texts.reserve(lines.size());
    for (const ShownLine& line : lines) texts.push_back(line.text);
    return texts;
}

void PrintLines(std::FILE* out, const std::vector<ShownLine>& lines, bool colour) {
    for (const ShownLine& line : lines) {
        if (colour) {
            bool bold = line.kind != LineKind::Info;
            std::fprintf(out, "%s%s%s\x1b[0m\n", bold ? "\x1b[1m" : "", ColourEscape(line.kind),
                         line.text.c_str());
        } else {
            std::fprintf(out, "%s\n", line.text.c_str());
        }
    }
    std::fflush(out);
}
