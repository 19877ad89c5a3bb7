// The video walk over streams made by real encoders, against ffprobe's picture types
// (ffprobe -show_frames) and mediainfo's GOP figures, recorded when the files were made.
#include <gtest/gtest.h>

#include "program/program_stream_scan.h"
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
    EXPECT_EQ(c.status, AnalyzeVideoStream(path, 0xE0, 0));
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
