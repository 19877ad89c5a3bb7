// One analysis run of one file: the report's framing, the first pass (the one reading of
// the file, which feeds every stream's pass as it goes: stream_passes.h) and its
// section, the video and audio sections from what the passes returned, the cross-stream
// checks, the processing time and the verdict.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "run/run_result.h"

// What a run carries from phase to phase; one instance for the process.
struct RunState {
    bool busy = false;
    std::time_t startTime = 0;
    std::chrono::steady_clock::time_point clockStart;  // for the processing time
    int timeLimitSeconds = 0;                          // 0: no limit
    bool runFailed = false;
    uint32_t elementaryBitrateSum = 0;  // bits per second
    int muxRateLine = 0;                // line counter right after the "Program Mux Rate" line
    std::string cancelledPhase;         // the first phase the operator cancelled
    // Left by the video and audio sections for the cross-stream checks; first PTS
    // counted from the first pack's SCR.
    bool videoMeasured = false;
    bool audioMeasured = false;
    double videoDurationSeconds = 0;
    uint32_t videoWholeSeconds = 0;
    uint32_t videoRemainingFrames = 0;
    uint64_t videoFramePeriods = 0;
    uint32_t videoNominalFrameRate = 0;
    double videoFirstPtsMs = 0;
    double audioDurationSeconds = 0;
    double audioFirstPtsMs = 0;
    std::vector<int> videoStreams;  // whose pass ended, in order
};

RunState& GetRunState();

// What a front end asks of a run beyond its report and figures.
struct RunOptions {
    bool series = true;            // GOP rows and one-second bitrates of each video stream
    bool bufferOccupancy = false;  // each picture's buffer occupancy in the video series
    bool loudnessCurves = false;   // each decoded stream's loudness every 100 ms, measured for it
};

// Analyses the file, writes the whole report to the bound sink, and returns the run's
// result: its lines, figures, series and verdict. A null path is refused (verdict error).
RunResult AnalyzeFile(const char* path, const RunOptions& options = {});
bool IsAnalysisRunning();

struct StreamIdTable;
// The end-of-run checks across streams: the mux rate against what the elementary
// streams need, and video against audio duration and start delay.
void WriteCrossStreamChecks(const StreamIdTable& table);
std::time_t RunStartTime();
