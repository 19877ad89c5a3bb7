// Video statistics driven by parser events directly.
#include "video/video_statistics.h"

#include <gtest/gtest.h>

#include <optional>

#include "video/video_listener.h"

void PrintTo(const GopRow& row, std::ostream* out) {
    *out << row.timeCode << " " << row.length << " " << row.structure << " " << row.closed << " "
         << row.sequenceHeader << " " << row.brokenLink;
}

namespace {

class RecordingListener : public VideoListener {
  public:
    void InitGopGrid() override { rows.clear(); }
    void InitBitrateGrid() override { samples.clear(); }
    void AddGopRow(const GopRow& row) override { rows.push_back(row); }
    void AddBitrateSample(double kilobits) override { samples.push_back(kilobits); }
    void DrawBitrateGraph(double averageKbps) override { drawnAverage = averageKbps; }
    std::vector<GopRow> rows;
    std::vector<double> samples;
    double drawnAverage = -1;
};

class VideoStatisticsTest : public ::testing::Test {
  protected:
    void SetUp() override { Restart(); }
    // A new stream's walk begins.
    void Restart() { stats_.emplace(0xE0, listener_); }
    VideoStreamInfo& Info() { return GetVideoStreamInfo(0xE0); }
    // A sequence header: its frame rate counts from here on.
    void Sequence(uint32_t frameRateCode = 3) {
        Info().frameRateCode = frameRateCode;
        stats_->NoteSequenceHeader();
    }
    void Gop(uint32_t h, uint32_t m, uint32_t s, uint32_t p, bool closed = false,
             bool drop = false) {
        stats_->BeginGop();
        GopRecord& gop = Info().gop;
        gop.hours = h;
        gop.minutes = m;
        gop.seconds = s;
        gop.pictures = p;
        gop.closedGop = closed;
        gop.dropFrameFlag = drop;
        stats_->NoteGopHeader();
    }
    // Coded frames of one type and size, each shown for `fields` field periods.
    void Frames(int count, uint32_t type, uint32_t size, uint32_t fields = 2,
                bool fieldPair = false) {
        for (int i = 0; i < count; ++i) {
            stats_->NotePicture(type);
            bytes_ += size;  // wraps past 4 GiB, as the reader's byte count does
            stats_->EndPicture(bytes_, fields, fieldPair);
        }
    }
    // Soft 3:2 pull-down: coded frames shown for 3 and 2 fields in turn.
    void PulldownFrames(int count, uint32_t size) {
        for (int i = 0; i < count; ++i) Frames(1, kBPicture, size, i % 2 == 0 ? 3 : 2);
    }
    RecordingListener listener_;
    std::optional<VideoStatistics> stats_;
    uint32_t bytes_ = 0;
};

TEST_F(VideoStatisticsTest, GopLengthsInCodedFramesLeaveOutFirstAndLast) {
    Sequence();
    Gop(0, 0, 0, 0, true);
    Frames(12, kPPicture, 100);
    Gop(0, 0, 0, 12);
    Frames(15, kPPicture, 100);
    Gop(0, 0, 0, 24);
    Frames(9, kPPicture, 100);
    Gop(0, 0, 1, 11);
    Frames(4, kPPicture, 100);
    stats_->FinishVideoStream();
    EXPECT_EQ(15u, Info().maxGopLength);
    EXPECT_EQ(9u, Info().minGopLength);
    EXPECT_EQ(4u, Info().gopCount);
    EXPECT_EQ(1u, Info().closedGopCount);
    EXPECT_EQ(1u, Info().firstGopClosed);
    EXPECT_EQ(25u, Info().nominalFrameRate);
}

// Whatever the time codes say, a GOP is as long as its coded frames.
TEST_F(VideoStatisticsTest, GopLengthIgnoresTimeCodes) {
    struct Case {
        const char* what;
        uint32_t frameRateCode;
        std::vector<std::array<uint32_t, 5>> timeCodes;  // h, m, s, pictures, drop
        uint32_t framesPerGop;
    };
    std::vector<Case> cases = {
        {"every GOP stamped 00:00:00:00",
         3,
         {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
         12},
        {"a time code restart", 3, {{10, 0, 0, 0, 0}, {10, 0, 0, 12, 0}, {0, 0, 0, 0, 0}}, 12},
        {"pull-down: 12 pictures, 15 frames of time code",
         4,
         {{0, 0, 0, 0, 1}, {0, 0, 0, 15, 1}, {0, 0, 1, 0, 1}},
         12},
        {"a GOP longer than a second", 3, {{0, 0, 0, 0, 0}, {0, 0, 1, 15, 0}, {0, 0, 3, 5, 0}}, 40},
        {"unknown frame rate", 15, {{0, 0, 0, 5, 0}, {0, 0, 0, 9, 0}, {0, 0, 0, 3, 0}}, 4},
    };
    for (const Case& c : cases) {
        Restart();
        Sequence(c.frameRateCode);
        for (const auto& tc : c.timeCodes) {
            Gop(tc[0], tc[1], tc[2], tc[3], false, tc[4]);
            Frames(static_cast<int>(c.framesPerGop), kPPicture, 100);
        }
        Gop(0, 0, 0, 0);  // ends the third GOP, the last one measured
        EXPECT_EQ(c.framesPerGop, Info().maxGopLength) << c.what;
        EXPECT_EQ(c.framesPerGop, Info().minGopLength) << c.what;
    }
}

TEST_F(VideoStatisticsTest, FewerThanThreeGopsMeasureNothing) {
    Sequence();
    Gop(0, 0, 0, 0);
    Frames(12, kIPicture, 100);
    Gop(0, 0, 0, 12);
    Frames(12, kIPicture, 100);
    stats_->FinishVideoStream();
    EXPECT_EQ(0u, Info().maxGopLength);
    EXPECT_EQ(0u, Info().minGopLength);
}

TEST_F(VideoStatisticsTest, FrameSizesAndTypes) {
    Sequence();
    Gop(0, 0, 0, 0);
    Frames(1, kIPicture, 10000);
    Frames(1, kPPicture, 4000);
    Frames(1, kBPicture, 3000);
    Frames(1, 4, 500);  // a picture type outside 1 to 3
    EXPECT_EQ(4u, Info().frameCount);
    EXPECT_EQ(10000u, Info().maxFrameSize);
    EXPECT_EQ(500u, Info().minFrameSize);
    EXPECT_EQ(17500u, Info().totalFrameBytes);
    EXPECT_EQ(10000u, Info().iFrameBytes);
    EXPECT_EQ(4000u, Info().pFrameBytes);
    EXPECT_EQ(3000u, Info().bFrameBytes);
    EXPECT_EQ(500u, Info().otherFrameBytes);
    EXPECT_EQ(1u, Info().iFrameCount);
    EXPECT_EQ("IPB", Info().gop.structure);
    EXPECT_EQ(4u, Info().gop.picturesInGop);
}

TEST_F(VideoStatisticsTest, OneSecondGroupsAndBitrates) {
    Sequence();
    Gop(0, 0, 0, 0);
    Frames(25, kPPicture, 1024);
    Frames(25, kPPicture, 2048);
    Frames(12, kPPicture, 4096);  // an incomplete group: in the totals only
    stats_->FinishVideoStream();
    ASSERT_EQ(2u, listener_.samples.size());
    EXPECT_DOUBLE_EQ(200.0, listener_.samples[0]);
    EXPECT_DOUBLE_EQ(400.0, listener_.samples[1]);
    EXPECT_DOUBLE_EQ(400.0, Info().peakKbps);
    double averageFrame = (25 * 1024 + 25 * 2048 + 12 * 4096) / 62.0;
    EXPECT_DOUBLE_EQ(averageFrame * 25 * 8 / 1024, Info().averageKbps);
    EXPECT_DOUBLE_EQ(Info().averageKbps, listener_.drawnAverage);
    EXPECT_DOUBLE_EQ(62.0 / 25, VideoDurationSeconds(Info()));
}

// At 29.97 fps a group is a second of display time: 30 frames (1.001 s) close the first,
// and the thousandths of a second they run over add up, so that the 34th second holds
// only 29 (frames 990 to 1018 end within 34 × 1.001 − 1 s). The peak is bits per second
// of each group's own time: 240 kbit in 1.001 s, and 232 in 29 × 1001/30000 s.
TEST_F(VideoStatisticsTest, NtscGroupsAreSecondsOfDisplayTime) {
    Sequence(4);
    Gop(0, 0, 0, 0);
    Frames(1019, kPPicture, 1024);
    stats_->FinishVideoStream();
    ASSERT_EQ(34u, listener_.samples.size());
    for (size_t i = 0; i < 33; ++i) EXPECT_DOUBLE_EQ(240.0, listener_.samples[i]) << i;
    EXPECT_DOUBLE_EQ(232.0, listener_.samples[33]);
    EXPECT_DOUBLE_EQ(240.0 * 1000 / 1001, Info().peakKbps);
    EXPECT_DOUBLE_EQ(240.0 * 1000 / 1001, Info().averageKbps);
    EXPECT_DOUBLE_EQ(1019 * 1001 / 30000.0, VideoDurationSeconds(Info()));
}

// 23.976 fps film tagged 29.97: 240 coded frames are ten seconds on screen.
TEST_F(VideoStatisticsTest, SoftPulldownRunsByDisplayTime) {
    Sequence(4);
    Gop(0, 0, 0, 0);
    PulldownFrames(240, 1024);
    stats_->FinishVideoStream();
    EXPECT_EQ(240u, Info().frameCount);
    EXPECT_DOUBLE_EQ(10.01, VideoDurationSeconds(Info()));  // 300 frame periods of 1001/30000 s
    EXPECT_EQ(300u, DisplayFramePeriods(Info()));
    // Each second of display holds 24 coded frames.
    ASSERT_EQ(10u, listener_.samples.size());
    for (double sample : listener_.samples) EXPECT_DOUBLE_EQ(24 * 8.0, sample);
    EXPECT_DOUBLE_EQ(24 * 8.0 * 1000 / 1001, Info().peakKbps);
    EXPECT_DOUBLE_EQ(24 * 8.0 * 1000 / 1001, Info().averageKbps);
}

// Whole seconds of display time at the exact frame rate, and the frames after them to
// the nearest: 900 frames at 29.97 fps last 30.03 s, 30 seconds and 0.9 of a frame.
TEST(DisplayTimeCode, SecondsAndFramesAtTheExactRate) {
    const struct {
        uint32_t frameRateCode;
        uint64_t framePeriods;
        uint32_t seconds, frames;
    } cases[] = {
        {4, 900, 30, 1},  {4, 899, 30, 0},   {4, 30, 1, 0},     {4, 29, 0, 29},
        {1, 1440, 60, 1}, {7, 1800, 30, 2},  {3, 1000, 40, 0},  {3, 1012, 40, 12},
        {6, 149, 2, 49},  {2, 48, 2, 0},     {0, 100, 0, 0},
    };
    for (const auto& c : cases) {
        VideoStreamInfo info{};
        info.frameRateCode = c.frameRateCode;
        info.nominalFrameRate = NominalFrameRate(c.frameRateCode);
        info.displayFields = 2 * c.framePeriods + 1;  // a lone field does not make a frame
        SecondsAndFrames time = DisplayTimeCode(info);
        EXPECT_EQ(c.seconds, time.seconds) << c.frameRateCode << " " << c.framePeriods;
        EXPECT_EQ(c.frames, time.frames) << c.frameRateCode << " " << c.framePeriods;
    }
}

TEST_F(VideoStatisticsTest, DisplayFieldsOfAFrame) {
    struct Case {
        bool progressiveSequence, fieldPair, repeatFirstField, topFieldFirst;
        uint32_t fields;
    };
    const Case cases[] = {
        {false, false, false, true, 2}, {false, false, true, true, 3},
        {false, false, true, false, 3}, {false, true, false, false, 2},
        {true, false, false, false, 2}, {true, false, true, false, 4},
        {true, false, true, true, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.fields, DisplayFieldsOfFrame(c.progressiveSequence, c.fieldPair,
                                                 c.repeatFirstField, c.topFieldFirst))
            << c.progressiveSequence << c.fieldPair << c.repeatFirstField << c.topFieldFirst;
    }
}

// Past 4 GiB of video the totals and the average stay right.
TEST_F(VideoStatisticsTest, ByteTotalsOfALongProgramme) {
    Sequence();
    Gop(0, 0, 0, 0);
    Frames(25, kIPicture, 100'000'000);
    Frames(25, kPPicture, 100'000'000);
    stats_->FinishVideoStream();
    EXPECT_EQ(5'000'000'000u, Info().totalFrameBytes);
    EXPECT_EQ(2'500'000'000u, Info().iFrameBytes);
    EXPECT_EQ(2'500'000'000u, Info().pFrameBytes);
    EXPECT_EQ(2'500'000'000u, Info().peakGroupBytes);
    EXPECT_DOUBLE_EQ(100'000'000.0 * 25 * 8 / 1024, Info().averageKbps);
}

TEST_F(VideoStatisticsTest, GopRowsAndSequenceHeaderMarks) {
    Sequence();
    Gop(10, 0, 0, 0, true);
    Frames(1, kIPicture, 10);
    Frames(2, kBPicture, 10);
    Gop(10, 0, 0, 3);  // no sequence header before it
    Frames(1, kIPicture, 10);
    Sequence();
    Gop(10, 0, 0, 4);
    Frames(1, kPPicture, 10);
    stats_->FinishVideoStream();
    // A sequence header before a later GOP shows on the row of the GOP before it.
    std::vector<GopRow> expected = {{"10:00:00:00", 3, "IBB", true, true},
                                    {"10:00:00:03", 1, "I", false, true},
                                    {"10:00:00:04", 1, "P", false, false}};
    EXPECT_EQ(expected, listener_.rows);
    EXPECT_EQ(2u, Info().sequenceHeaderCount);
}

// GOP headers are optional: the sequence header's frame rate times the stream.
TEST_F(VideoStatisticsTest, NoGopHeaders) {
    Sequence();
    Frames(50, kIPicture, 1024);
    stats_->FinishVideoStream();
    EXPECT_EQ(2u, listener_.samples.size());
    EXPECT_DOUBLE_EQ(200.0, Info().averageKbps);
    EXPECT_DOUBLE_EQ(2.0, VideoDurationSeconds(Info()));
    ASSERT_EQ(1u, listener_.rows.size());  // the zeroed GOP's row
    EXPECT_EQ("00:00:00:00", listener_.rows[0].timeCode);
}

TEST_F(VideoStatisticsTest, UnknownFrameRateAndNoFramesNeverFault) {
    Sequence(0);
    Frames(3, kIPicture, 100);
    stats_->FinishVideoStream();
    EXPECT_TRUE(listener_.samples.empty());
    EXPECT_EQ(0.0, Info().averageKbps);
    EXPECT_EQ(0.0, VideoDurationSeconds(Info()));

    Restart();
    EXPECT_TRUE(listener_.rows.empty());
    stats_->FinishVideoStream();
    EXPECT_EQ(0.0, Info().averageKbps);
    EXPECT_EQ(1u, Info().sequenceHeadersAligned);
}

// The buffer model's samples are kept by the pass and told, in order and with their
// graph, when the recorded events are replayed; pictures shown with a repeated field are
// taken out a field period later.
TEST(VideoStatisticsVbv, SamplesReplayedWithTheirGraphAtDisplayTimes) {
    struct VbvListener : VideoListener {
        void InitVbvGraph() override { events.push_back("init"); }
        void AddVbvSample(const VbvSample& s) override { seconds.push_back(s.seconds); }
        void DrawVbvGraph(double bufferBits) override {
            events.push_back("draw " + std::to_string(static_cast<int>(bufferBits)) + " after " +
                             std::to_string(seconds.size()));
        }
        std::vector<std::string> events;
        std::vector<double> seconds;
    };
    RecordedVideoEvents recorded;
    {
        VideoStatistics stats(0xE1, recorded);
        VideoStreamInfo& info = stats.Info();
        info.frameRateCode = 3;  // 25 fps: fields of 20 ms
        info.bitRateValue = 12500;
        info.vbvBufferSize = 112;
        stats.NoteSequenceHeader();
        uint32_t bytes = 0;
        for (uint32_t fields : {3u, 2u, 3u, 2u}) {
            stats.NotePicture(kBPicture);
            stats.NotePictureTiming(0, kNoVbvDelay);
            bytes += 1000;
            stats.EndPicture(bytes, fields, false);
        }
        stats.FinishVideoStream();
    }
    VbvListener listener;
    recorded.ReplayInto(listener);
    EXPECT_EQ((std::vector<std::string>{"init", "draw 1835008 after 4"}), listener.events);
    ASSERT_EQ(4u, listener.seconds.size());
    const double expected[] = {0, 0.06, 0.10, 0.16};
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(expected[i], listener.seconds[i], 1e-12) << i;
    EXPECT_TRUE(GetVideoStreamInfo(0xE1).vbv.modelled);
}

}  // namespace
