// The video section of the report: every video stream analysed and its figures checked
// against [Video] of the reference profile; the last stream that reaches its detail
// lines leaves its duration, start and bitrate for the cross-stream checks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct StreamIdTable;
struct VideoReference;

// What the phase hands back to the run.
struct VideoPhaseResult {
    bool failed = false;            // a line or an error failed the file
    bool measured = false;          // a stream reached its detail lines
    double durationSeconds = 0;     // display time of the last such stream
    uint32_t wholeSeconds = 0;      // and in whole seconds
    uint32_t remainingFrames = 0;   // and frame periods
    uint64_t framePeriods = 0;      // the whole display time in frame periods
    uint32_t nominalFrameRate = 0;  // whole frames per second
    double firstPtsMs = 0;          // its first PTS after the first SCR
    uint32_t bitrateSumBps = 0;     // what its streams add to the elementary sum
    std::string cancelledPhase;     // the stream the operator cancelled, if any
    std::vector<int> streams;       // the stream_id of each stream whose pass ended, in order
};

// Writes the section, judged by `ref`, once the first pass has ended: `finishPass(id)` waits for
// the stream's pass and returns its status.
struct VideoStreamInfo;

// The PictureStructure value that accepts the stream: 3 when its coded frames are all frame
// pictures, 0 when field pictures are in use.
int32_t PictureStructureAccepting(const VideoStreamInfo& v);

VideoPhaseResult RunVideoPhase(const VideoReference& ref, const StreamIdTable& table,
                               const std::function<uint32_t(int id)>& finishPass);
