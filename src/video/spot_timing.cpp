// Spot length and audio alignment lines.
#include "video/spot_timing.h"

#include <cmath>
#include <cstdlib>

#include "reference/reference_profile.h"
#include "report/report_format.h"
#include "report/report_log.h"

namespace {

constexpr double kMsPerSecond = 1000.0;

// The sold length nearest the measured one, in seconds; lengths are whole seconds of
// whole-number frames, as time codes count them.
int32_t NearestLength(const std::vector<int32_t>& lengths, int64_t frames, uint32_t rate) {
    int32_t nearest = lengths.front();
    for (int32_t length : lengths) {
        if (std::llabs(frames - int64_t{length} * rate) <
            std::llabs(frames - int64_t{nearest} * rate)) {
            nearest = length;
        }
    }
    return nearest;
}

void WriteSpotDurationLine(const ReferenceProfileData& profile, const SpotTiming& t, bool& failed) {
    if (profile.spotDurations.empty()) return;
    if (!t.videoMeasured || t.nominalFrameRate == 0) {
        LogInfo("Spot Duration: no MPEG-2 video stream measured");
        return;
    }
    auto frames = static_cast<int64_t>(t.videoFramePeriods);
    int32_t length = NearestLength(profile.spotDurations, frames, t.nominalFrameRate);
    int64_t difference = frames - int64_t{length} * t.nominalFrameRate;
    std::string line =
        difference == 0
            ? FormatReportLine("Spot Duration = %lld frames -> %d sec spot",
                               static_cast<long long>(frames), length)
            : FormatReportLine("Spot Duration = %lld frames -> %d sec spot, %lld frames %s",
                               static_cast<long long>(frames), length,
                               static_cast<long long>(std::llabs(difference)),
                               difference < 0 ? "short" : "long");
    // A list without a tolerance wants the exact length.
    ProfileKey tolerance = KeyOf(profile.system, &SystemReference::SpotDurationTolerance);
    if (tolerance.value == kNotSet) tolerance.value = 0;
    CheckRange(line, 0, tolerance, std::llabs(difference), failed);
}

// One end's distance between the audio and the pictures, judged by its key when set.
void WriteAudioEndLine(const char* name, ProfileKey key, const SpotTiming& t, double ms,
                       bool& failed) {
    if (key.value == kNotSet) return;
    if (!t.videoMeasured || !t.audioMeasured) {
        LogInfo("%s: no MPEG-2 video and MPEG audio stream measured", name);
        return;
    }
    CheckRange(FormatReportLine("%s = %0.0f msec", name, ms), 0, key, std::llround(std::fabs(ms)),
               failed);
}

}  // namespace

void WriteSpotTimingLines(const ReferenceProfileData& profile, const SpotTiming& t, bool& failed) {
    WriteSpotDurationLine(profile, t, failed);
    double startMs = t.audioFirstPtsMs - t.videoFirstPtsMs;
    double endMs = (t.audioFirstPtsMs + t.audioDurationSeconds * kMsPerSecond) -
                   (t.videoFirstPtsMs + t.videoDurationSeconds * kMsPerSecond);
    WriteAudioEndLine("Audio Start from First Picture",
                      KeyOf(profile.system, &SystemReference::AudioVideoStartMax), t, startMs,
                      failed);
    WriteAudioEndLine("Audio End from Last Picture's End",
                      KeyOf(profile.system, &SystemReference::AudioVideoEndMax), t, endMs, failed);
}
