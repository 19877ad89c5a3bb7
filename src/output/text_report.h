// The text report of a file result, as the command line prints and saves it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "output/file_result.h"

struct TextOptions {
    // Only failure and warning lines, headings and the verdict, and the first line of
    // each elementary stream so that a failure names its stream.
    bool errorsOnly = false;
    // Each judged line ends with the key and value that judged it.
    bool explain = false;
};

struct ShownLine {
    LineKind kind;
    std::string text;
};

std::vector<ShownLine> ShownLines(const FileResult& result, const TextOptions& options);
std::vector<std::string> Texts(const std::vector<ShownLine>& lines);
// Bold and colours as ANSI escapes when `colour` is on: pass lines green, failures red,
// warnings yellow, headings bold, information lines plain.
void PrintLines(std::FILE* out, const std::vector<ShownLine>& lines, bool colour);
