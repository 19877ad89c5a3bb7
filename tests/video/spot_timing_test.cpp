// Spot length and the audio at both ends of a spot, judged by the [System] keys.
#include "video/spot_timing.h"

#include <gtest/gtest.h>

#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "support/test_files.h"

namespace {

class SpotTimingTest : public ::testing::Test {
  protected:
    void SetUp() override { LoadNoReferenceProfile(); }
    // The lines written for `timing`, and whether they failed the file.
    std::vector<std::string> Lines(const SpotTiming& timing, bool& failed) {
        bound_.sink.ClearLines();
        failed = false;
        WriteSpotTimingLines(ReferenceProfile, timing, failed);
        return bound_.sink.Texts();
    }
    BoundSink bound_;
};

// 25 fps video of `frames` frame periods starting at PTS 400 ms; audio as given.
SpotTiming Timing(uint64_t frames, double audioStartMs = 400, double audioSeconds = 0) {
    SpotTiming t;
    t.videoMeasured = true;
    t.audioMeasured = true;
    t.videoFramePeriods = frames;
    t.nominalFrameRate = 25;
    t.videoFirstPtsMs = 400;
    t.videoDurationSeconds = static_cast<double>(frames) / 25;
    t.audioFirstPtsMs = audioStartMs;
    t.audioDurationSeconds = audioSeconds == 0 ? t.videoDurationSeconds : audioSeconds;
    return t;
}

TEST_F(SpotTimingTest, NothingWithoutTheKeys) {
    bool failed = false;
    EXPECT_EQ(std::vector<std::string>(), Lines(Timing(372, 0, 20), failed));
    EXPECT_FALSE(failed);
}

TEST_F(SpotTimingTest, DurationAgainstTheNearestSoldLength) {
    struct Case {
        int32_t tolerance;  // kNotSet: the key left out
        uint64_t frames;
        const char* line;
        bool failed;
    };
    const Case cases[] = {
        {kNotSet, 375, "Spot Duration = 375 frames -> 15 sec spot", false},
        {kNotSet, 372, "*Spot Duration = 372 frames -> 15 sec spot, 3 frames short", true},
        {3, 372, "Spot Duration = 372 frames -> 15 sec spot, 3 frames short", false},
        {2, 378, "*Spot Duration = 378 frames -> 15 sec spot, 3 frames long", true},
        {kNotSet, 1490, "*Spot Duration = 1490 frames -> 60 sec spot, 10 frames short", true},
        {kNotSet, 250, "Spot Duration = 250 frames -> 10 sec spot", false},
    };
    ReferenceProfile.spotDurations = {10, 15, 20, 30, 60};
    for (const Case& c : cases) {
        ReferenceProfile.system.SpotDurationTolerance = c.tolerance;
        bool failed = false;
        std::vector<std::string> lines = Lines(Timing(c.frames), failed);
        EXPECT_EQ(std::vector<std::string>{c.line}, lines) << c.frames;
        EXPECT_EQ(c.failed, failed) << c.frames;
    }
}

TEST_F(SpotTimingTest, AudioAtBothEnds) {
    ReferenceProfile.system.AudioVideoStartMax = 20;
    ReferenceProfile.system.AudioVideoEndMax = 40;
    bool failed = false;
    // Audio 24 ms late at the start and, 14.9 s long, 76 ms short of the pictures' end.
    std::vector<std::string> lines = Lines(Timing(375, 424, 14.9), failed);
    EXPECT_EQ((std::vector<std::string>{"*Audio Start from First Picture = 24 msec",
                                        "*Audio End from Last Picture's End = -76 msec"}),
              lines);
    EXPECT_TRUE(failed);
    lines = Lines(Timing(375, 390, 15.0), failed);
    EXPECT_EQ((std::vector<std::string>{"Audio Start from First Picture = -10 msec",
                                        "Audio End from Last Picture's End = -10 msec"}),
              lines);
    EXPECT_FALSE(failed);
    SpotTiming videoOnly = Timing(375);
    videoOnly.audioMeasured = false;
    lines = Lines(videoOnly, failed);
    EXPECT_EQ("Audio Start from First Picture: no MPEG-2 video and MPEG audio stream measured",
              lines.at(0));
    EXPECT_FALSE(failed);
}

}  // namespace
