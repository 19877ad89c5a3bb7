// The video section of the report: every video stream analysed and its figures checked
// against [Video] of the reference profile; the last stream that reaches its detail
// lines leaves its duration, start and bitrate for the cross-stream checks.
#pragma once

#include <string>

struct StreamIdTable;

void RunVideoPhase(const std::string& path, const StreamIdTable& table);
