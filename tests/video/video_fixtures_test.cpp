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
// against the figures of independent tools noted by tests/fixtures/make-fixtures.sh and
// make-edge-fixtures.sh.
struct TraitFixture {
    const char* name;
    std::vector<std::string> lines;  // each somewhere in the report
    const char* profile = "";
};

class TraitFixtureTest : public ::testing::TestWithParam<TraitFixture> {
  protected:
    BoundSink bound_;
    TempDir dir_;
};

TEST_P(TraitFixtureTest, ReportAgreesWithIndependentTools) {
    const TraitFixture& c = GetParam();
    LoadReferenceProfileFrom(dir_.WriteText("MpegReference.ini", c.profile));
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
             "Average Bitrate = 431 Kbps", "Min. frames per GOP (without first & last) = 0"}},
        // Cut at a pack boundary: 5480 video bytes before the first sequence header,
        // 64 coded frames after it (ffprobe on the demuxed stream).
        TraitFixture{"capture_midstream.mpg",
                     {"5480 bytes skipped before the first sequence header",
                      "Number of Frames = 64 -> 2.56 Sec"}},
        // A clock that starts at 10 hours: the first PTS are 540.0 and 530.0 ms after
        // the first SCR (ffprobe pts_time, the pack header).
        TraitFixture{"late_clock.mpg",
                     {"Video Delay Stream E0 = 540.0 ms", "Audio Delay Stream C0 = 530.0 ms",
                      "Initial Delay Audio to Video (PTS based) = -10 msec "}},
        // A 352x576 4:3 slate of 25 pictures, then a 720x576 16:9 spot (own parse of the
        // sequence headers; ffprobe counts 25 + 25 frames). The other lines report the
        // last sequence header.
        TraitFixture{"format_change.mpg",
                     {"*Format Change at picture 26 (1.00 s): 352x576 4:3 25 fps -> 720x576 "
                      "16:9 25 fps",
                      "Horizontal Size = 720", "Aspect Ratio = 16:9"},
                     "[Video]\nFormatChangesAllowed=0\n"},
        // 4:2:2@HL 1080i (ffprobe: profile 4:2:2, level 2, yuv422p): profile_and_level 0x82,
        // vbv_buffer_size_value 832 with extension 2, 2880 units (own parse), 40 Mbit/s.
        TraitFixture{"hd_422_1080i.mpg",
                     {"Stream Type = MPEG-2 422P@HL VBR", "Chroma Format = 4:2:2",
                      "VBV Buffer Size = 832 -> (5760 KB)",
                      "Nominal bitrate (Sequence Header) = 40000000 bps -> 39062 Kbps",
                      "VBV Underflows = 0"},
                     "[Video]\nProfileAndLevel=130\nChromaFormat=2\nVBVCheck=1\n"},
        // 1280x720 at 50 fps, Main Profile at High Level (ffprobe: Main, level 4, 50/1).
        TraitFixture{"hd_720p50.mpg",
                     {"Frame Rate = 50 fps", "Stream Type = MPEG-2 MP@HL VBR"},
                     "[Video]\nFrameRate=6\nProfileAndLevel=68\n"},
        // Without FrameRate a rate other than 25 and 29.97 fps still fails, now named.
        TraitFixture{"hd_720p50.mpg", {"*Frame Rate = 50 fps", "Stream Type = MPEG-2 MP@HL VBR"}},
        // Intra-only 4:2:2 at Main Level (ffprobe: profile 4:2:2, level 5, yuv422p).
        TraitFixture{"imx_422p_ml.mpg",
                     {"Stream Type = MPEG-2 422P@ML VBR", "Chroma Format = 4:2:2",
                      "Intra DC Precision = 10", "Frames I = 6 -> 100%"},
                     "[Video]\nProfileAndLevel=0\nChromaFormat=0\n"},
        // Sequence extensions patched: vbv_buffer_size_extension 1 makes 1043 units
        // (17 088 512 bits); bit_rate_extension 1 makes 262 519 units of 400 bit/s.
        TraitFixture{
            "vbv_extension.mpg",
            {"VBV Buffer Size = 19 -> (2086 KB)", "VBV Occupancy = 1.6% to 2.1% of 17088512 bits"},
            "[Video]\nVBVCheck=1\n"},
        TraitFixture{"bit_rate_extension.mpg",
                     {"Nominal bitrate (Sequence Header) = 105007600 bps -> 102546 Kbps"}},
        // Cut at its third GOP with broken_link set: the first GOP codes I2 B0 B1 P5 ... and
        // its two leading B pictures are not shown (ffprobe decodes 34 of the 36).
        TraitFixture{"broken_link.mpg",
                     {"*Broken Link in GOP 1 (0.00 s)", "Number of Frames = 36 -> 1.36 Sec",
                      // mplex's own SCR step of 2.79 s.
                      "Clock Discontinuities = 1 (first at 0.91 s, byte 32768)",
                      "*Splice In = No (the first GOP has a broken link)"},
                     "[Video]\nSpliceReady=1\n"},
        // 300 frames of 1001/30000 s and 418 MP2 frames of 24 ms (ffprobe): 10.010 s
        // against 10.032 s.
        TraitFixture{"ntsc_2997.mpg",
                     {"Number of Frames = 300 -> 10.01 Sec",
                      "Video Stream Duration: 10.01 sec -> 10:00 (secs:frames)",
                      "Duration Difference from Video to Audio = -22 msec"}},
        // A constant-rate ffmpeg spot whose last picture's last byte enters the buffer
        // 204.6 ms before it is due (an exact replay of its vbv_delay values).
        TraitFixture{"cbr_last_picture.mpg",
                     {"VBV Underflows = 0", "VBV Overflows = 0",
                      "VBV Occupancy = 0.4% to 71.2% of 294912 bits"},
                     "[Video]\nVBVCheck=1\n"},
        // Two ffmpeg spots joined with cat: the clock goes back to 0 where the second
        // starts, at byte 96256 (own parse), after 2.28 s.
        TraitFixture{"joined_restart.mpg",
                     {"*Clock Discontinuities = 1 (first at 2.28 s, byte 96256)"},
                     "[System]\nClockDiscontinuitiesMax=0\n"},
        // Two mplex spots joined with cat: 69 632 bytes and 34 packs after the first's
        // program end code.
        // The first spot holds mplex's own SCR step of 1.11 s (own parse).
        TraitFixture{
            "joined_end_codes.mpg",
            {"*69632 bytes after the Program End Code hold another program (34 packs)",
             "MPEG Packs = 50", "Clock Discontinuities = 1 (first at 1.30 s, byte 71680)"}}),
    CaseNumber());

}  // namespace
