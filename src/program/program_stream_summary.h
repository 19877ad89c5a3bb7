// The program stream section of the report: the first pass's table as lines, each
// measured value checked against [System] of the reference profile.
#pragma once

#include <string>

#include "program/program_stream_scan.h"

// Writes the section up to its closing headings; sets `failed` on a failed check.
// Returns the line counter right after the "Program Mux Rate" line.
int WriteProgramStreamSummary(const StreamIdTable& table, const std::string& path,
                              uint64_t fileSize, bool& failed);
