// Saving a report as plain text: one line per report line, CRLF line ends, the "*" of
// failure lines kept. A regular file (or a new one) is written to a temporary file beside
// it and renamed over it, so a failed write never destroys an existing report and no
// reader sees half of one; the signals that end a run wait until the temporary file is
// gone. A symlink is followed to its target, never replaced; a device or a FIFO is
// written as it stands (/dev/null stays a device).
#pragma once

#include <string>
#include <vector>

// Returns false (leaving any existing file untouched) when the file cannot be written.
bool SaveText(const std::string& path, const std::string& text);
bool SaveTextLines(const std::string& path, const std::vector<std::string>& lines);
