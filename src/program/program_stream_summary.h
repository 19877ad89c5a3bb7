// The program stream section of the report: the first pass's table as lines, each
// measured value checked against [System] of the reference profile.
#pragma once

#include <string>

#include "program/program_stream_scan.h"

struct SystemReference;

// Writes the section up to its closing headings; sets `failed` on a failed check.
// Returns the line counter right after the "Program Mux Rate" line.
int WriteProgramStreamSummary(const SystemReference& ref, const StreamIdTable& table,
                              const std::string& path, uint64_t fileSize, bool& failed);

// The elementary stream's P-STD buffer bound from the system header, when there is one
// (ISO/IEC 13818-1, 2.5.3.6: units of 1024 bytes with the scale bit set, else 128).
void WriteBufferBoundLine(const StreamIdTable& table, int id);
