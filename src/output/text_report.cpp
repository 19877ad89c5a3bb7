// Text report lines.
#include "output/text_report.h"

#include "output/key_text.h"

namespace {

// Between a judged line and its explanation.
constexpr const char* kExplainGap = "   ";

bool KeptWhenErrorsOnly(const ResultLine& line) {
    return line.kind == LineKind::Heading || line.kind == LineKind::Fail ||
           line.kind == LineKind::Warning || line.streamStart;
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

std::vector<ShownLine> ShownLines(const FileResult& result, const TextOptions& options) {
    std::vector<ShownLine> shown;
    int verdict = VerdictLineIndex(result);
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const ResultLine& line = result.lines[i];
        if (options.errorsOnly && !KeptWhenErrorsOnly(line) && static_cast<int>(i) != verdict) {
            continue;
        }
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
