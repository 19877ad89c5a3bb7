// The length of a spot and how its audio meets its pictures at both ends: lines judged by
// [System] SpotDurations, SpotDurationTolerance, AudioVideoStartMax and AudioVideoEndMax,
// written only for a profile that sets them.
#pragma once

#include <cstdint>

struct ReferenceProfileData;

// What the video and audio phases measured of the last streams they reached.
struct SpotTiming {
    bool videoMeasured = false;
    bool audioMeasured = false;
    uint64_t videoFramePeriods = 0;  // display time in frame periods
    uint32_t nominalFrameRate = 0;   // whole frames per second
    double videoFirstPtsMs = 0;
    double videoDurationSeconds = 0;
    double audioFirstPtsMs = 0;
    double audioDurationSeconds = 0;
};

void WriteSpotTimingLines(const ReferenceProfileData& profile, const SpotTiming& timing,
                          bool& failed);
