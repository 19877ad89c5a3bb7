// Saving a report as plain text: one line per report line, CRLF line ends, the "*" of
// failure lines kept. Written to a temporary file beside the target and renamed over
// it, so a failed write never destroys an existing report.
#pragma once

#include <string>
#include <vector>

// Returns false (leaving any existing file untouched) when the file cannot be written.
bool SaveText(const std::string& path, const std::string& text);
bool SaveTextLines(const std::string& path, const std::vector<std::string>& lines);
