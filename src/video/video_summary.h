// The video section of the report: every video stream analysed and its figures checked
// against [Video] of the reference profile; the last stream that reaches its detail
// lines leaves its duration, start and bitrate for the cross-stream checks.
#pragma once

#include <cstdint>
#include <string>

struct StreamIdTable;

// What the phase hands back to the run.
struct VideoPhaseResult {
    bool failed = false;           // a line or an error failed the file
    bool measured = false;         // a stream reached its detail lines
    double durationSeconds = 0;    // display time of the last such stream
    uint32_t wholeSeconds = 0;     // and in whole seconds
    uint32_t remainingFrames = 0;  // and frame periods
    double firstPtsMs = 0;         // its first PTS after the first SCR
    uint32_t bitrateSumBps = 0;    // what its streams add to the elementary sum
    std::string cancelledPhase;    // the stream the operator cancelled, if any
};

VideoPhaseResult RunVideoPhase(const std::string& path, const StreamIdTable& table,
                               int timeLimitSeconds);
