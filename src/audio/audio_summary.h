// The audio section of the report: every MPEG audio stream scanned (or decoded, with
// DecodeAudio=1) and judged against [Audio] of the reference profile; the last stream
// that reaches its detail lines leaves its start and duration for the cross-stream
// checks, and every such stream adds its bitrate to the elementary sum.
#pragma once

#include <string>

struct StreamIdTable;

void RunAudioPhase(const std::string& path, const StreamIdTable& table);
