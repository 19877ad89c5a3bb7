// The text report of a file result, as the command line prints and saves it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "run/run_result.h"

struct TextOptions {
    // A file that passed is one line, its path and verdict. Of one that did not pass, only
    // the lines that fail it and its verdict, each under the headings above it: the file's
    // own, its section's and, inside an elementary stream, the stream's first line, so that
    // a failure names its file and stream.
    bool errorsOnly = false;
    // Each judged line ends with the key and value that judged it.
    bool explain = false;
};

struct ShownLine {
    LineKind kind;
    std::string text;
};

std::vector<ShownLine> ShownLines(const RunResult& result, const TextOptions& options);
std::vector<std::string> Texts(const std::vector<ShownLine>& lines);
// Bold and colours as ANSI escapes when `colour` is on: pass lines green, failures red,
// warnings yellow, headings bold, information lines plain.
void PrintLines(std::FILE* out, const std::vector<ShownLine>& lines, bool colour);
