// The video walk over streams made by real encoders, against ffprobe's picture types
// (ffprobe -show_frames) and mediainfo's GOP figures, recorded when the files were made.
#include <gtest/gtest.h>

#include "program/program_stream_scan.h"
#include "reference/reference_profile.h"
#include "run/analysis_driver.h"
#include "support/test_files.h"
#include "video/video_parser.h"
#include "video/video_statistics.h"

namespace {

struct VideoFixture {
    const char* name;
    VideoStatus status;
    uint32_t frames, iFrames, pFrames, bFrames;
    uint32_t gops, closedGops, gopLength;
    uint32_t elementaryBytes;  // ffprobe's packet sizes added up
};

class VideoFixtureTest : public ::testing::TestWithParam<VideoFixture> {
  protected:
    BoundSink bound_;
};

TEST_P(VideoFixtureTest, WalkAgreesWithIndependentTools) {
    const VideoFixture& c = GetParam();
    std::string path = FixturePath(c.name);
    ScanProgramStream(path, 0);
    EXPECT_EQ(c.status,
              AnalyzeVideoStream(path, 0xE0, StreamExtentOf(GetStreamIdTable(), 0xE0), 0));
    const VideoStreamInfo& v = GetVideoStreamInfo(0xE0);
    EXPECT_EQ(c.frames, v.frameCount);
    EXPECT_EQ(c.iFrames, v.iFrameCount);
    EXPECT_EQ(c.pFrames, v.pFrameCount);
    EXPECT_EQ(c.bFrames, v.bFrameCount);
    EXPECT_EQ(c.gops, v.gopCount);
    EXPECT_EQ(c.closedGops, v.closedGopCount);
    EXPECT_EQ(1u, v.firstGopClosed);
    EXPECT_EQ(c.gopLength, v.maxGopLength);
    EXPECT_EQ(c.gopLength, v.minGopLength);
    EXPECT_EQ(720u, v.horizontalSize);
    EXPECT_EQ(576u, v.verticalSize);
    EXPECT_EQ(3u, v.frameRateCode);
    EXPECT_EQ(0x48u, v.profileAndLevel);
    // Every elementary byte lies in some frame when the stream ends in a picture or
    // its sequence end code.
    EXPECT_EQ(c.elementaryBytes, v.totalFrameBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, VideoFixtureTest,
    ::testing::Values(
        // ffmpeg: closed GOPs of 12 (IBBPBBPBBPBP), no sequence end code.
        VideoFixture{"ffmpeg_vob.mpg", VideoNoEndCode, 50, 5, 17, 28, 5, 5, 12, 562468},
        VideoFixture{"ffmpeg_dvd.vob", VideoNoEndCode, 50, 5, 17, 28, 5, 5, 12, 562468},
        // mpeg2enc: open GOPs of 15 P-only pictures after a closed first, end code.
        VideoFixture{"mplex_generic.mpg", VideoOk, 50, 4, 46, 0, 4, 1, 15, 369237}),
    CaseNumber());

}  // namespace

namespace {

// Whole reports of encoder-made streams with the traits of real broadcast material,
// against the figures of independent tools noted by tests/fixtures/make-fixtures.sh.
struct TraitFixture {
    const char* name;
    std::vector<std::string> lines;  // each somewhere in the report
};

class TraitFixtureTest : public ::testing::TestWithParam<TraitFixture> {
  protected:
    BoundSink bound_;
    TempDir dir_;
};

TEST_P(TraitFixtureTest, ReportAgreesWithIndependentTools) {
    const TraitFixture& c = GetParam();
    LoadReferenceProfileFrom(dir_.WriteText("MpegReference.ini", ""));
    std::string path = FixturePath(c.name);
    AnalyzeFile(path.c_str());
    std::vector<std::string> texts = bound_.sink.Texts();
    for (const std::string& line : c.lines) EXPECT_TRUE(Contains(texts, line)) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, TraitFixtureTest,
    ::testing::Values(
        // mpeg2enc -p: 72 coded frames, 36 with repeat_pict (ffprobe), so 180 fields:
        // 3.003 s on screen; 145905 video bytes (ffprobe) in 3.003 s are 379.6 Kbps; 126
        // MP2 frames (ffprobe) are 3.024 s.
        TraitFixture{
            "pulldown_ntsc.mpg",
            {"Number of Frames = 72 -> 3.00 Sec",
             "Video Stream Duration: 3.00 sec -> 3:00 (secs:frames)", "Average Bitrate = 379 Kbps",
             "Max. frames per GOP (without first & last) = 18",
             "Duration Difference from Video to Audio = -21 msec"}},
        // A 25-frame slate and a 75-frame spot, each ended by its sequence end code.
        TraitFixture{"joined_sequences.mpg",
                     {"Elementary Stream E0 is a MPEG-2 Video Stream",
                      "Number of Frames = 100 -> 4.00 Sec", "Number of GOPs = 7"}},
        // 50 frames in 2 s without GOP headers; 110407 video bytes (ffprobe): 431.3 Kbps.
        TraitFixture{
            "no_gop_headers.mpg",
            {"Number of Frames = 50 -> 2.00 Sec", "Number of GOPs = 0",
             "Average Bitrate = 431 Kbps", "*Min. frames per GOP (without first & last) = 0"}},
        // Cut at a pack boundary: 5480 video bytes before the first sequence header,
        // 64 coded frames after it (ffprobe on the demuxed stream).
        TraitFixture{"capture_midstream.mpg",
                     {"5480 bytes skipped before the first sequence header",
                      "Number of Frames = 64 -> 2.56 Sec"}},
        // A clock that starts at 10 hours: the first PTS are 540.0 and 530.0 ms after
        // the first SCR (ffprobe pts_time, the pack header).
        TraitFixture{"late_clock.mpg",
                     {"Video Delay Stream E0 = 540.0 ms", "Audio Delay Stream C0 = 530.0 ms",
                      "Initial Delay Audio to Video (PTS based) = -10 msec "}}),
    CaseNumber());

}  // namespace
