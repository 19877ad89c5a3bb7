// Video statistics driven by parser events directly.
#include "video/video_statistics.h"

#include <gtest/gtest.h>

#include "video/video_listener.h"

namespace {

struct GopRow {
    std::string timeCode;
    uint32_t length;
    std::string structure;
    bool closed;
    bool sequenceHeader;
    bool operator==(const GopRow&) const = default;
    friend void PrintTo(const GopRow& row, std::ostream* out) {
        *out << row.timeCode << " " << row.length << " " << row.structure << " " << row.closed
             << " " << row.sequenceHeader;
    }
};

class RecordingListener : public VideoListener {
  public:
    void InitGopGrid() override { rows.clear(); }
    void InitBitrateGrid() override { samples.clear(); }
    void AddGopRow(const VideoStreamInfo& info) override {
        char timeCode[16];
        std::snprintf(timeCode, sizeof timeCode, "%02u:%02u:%02u:%02u", info.gop.hours,
                      info.gop.minutes, info.gop.seconds, info.gop.pictures);
        rows.push_back({timeCode, info.gop.picturesInGop, info.gop.structure,
                        info.gop.closedGop != 0, info.gop.pendingSequenceHeaders > 0});
    }
    void AddBitrateSample(double kilobits) override { samples.push_back(kilobits); }
    void DrawBitrateGraph(double averageKbps) override { drawnAverage = averageKbps; }
    std::vector<GopRow> rows;
    std::vector<double> samples;
    double drawnAverage = -1;
};

class VideoStatisticsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetVideoListener(&listener_);
        ResetVideoStreamInfo(0xE0);
        Info().frameRateCode = 3;
    }
    void TearDown() override { SetVideoListener(nullptr); }
    VideoStreamInfo& Info() { return GetVideoStreamInfo(0xE0); }
    void Gop(uint32_t h, uint32_t m, uint32_t s, uint32_t p, bool closed = false,
             bool drop = false) {
        BeginGop();
        GopRecord& gop = Info().gop;
        gop.hours = h;
        gop.minutes = m;
        gop.seconds = s;
        gop.pictures = p;
        gop.closedGop = closed;
        gop.dropFrameFlag = drop;
        NoteGopHeader();
    }
    void Frames(int count, uint32_t type, uint32_t size) {
        for (int i = 0; i < count; ++i) {
            NotePicture(type);
            bytes_ += size;
            EndPicture(bytes_);
        }
    }
    RecordingListener listener_;
    uint32_t bytes_ = 0;
};

TEST_F(VideoStatisticsTest, GopLengthsFromTimeCodesLeaveOutFirstAndLast) {
    Gop(0, 0, 0, 0, true);
    Gop(0, 0, 0, 12);
    Gop(0, 0, 0, 24);
    Gop(0, 0, 1, 11);
    EXPECT_EQ(12u, Info().maxGopLength);
    EXPECT_EQ(12u, Info().minGopLength);
    EXPECT_EQ(4u, Info().gopCount);
    EXPECT_EQ(1u, Info().closedGopCount);
    EXPECT_EQ(1u, Info().firstGopClosed);
    EXPECT_EQ(25u, Info().nominalFrameRate);
}

TEST_F(VideoStatisticsTest, GopLengthCases) {
    struct Case {
        const char* what;
        uint32_t frameRateCode;
        std::vector<std::array<uint32_t, 5>> timeCodes;  // h, m, s, pictures, drop
        uint32_t expected;
    };
    std::vector<Case> cases = {
        {"same time code on every GOP: a full second",
         3,
         {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
         25},
        {"a GOP longer than a second counts whole",
         3,
         {{0, 0, 0, 0, 0}, {0, 0, 1, 15, 0}, {0, 0, 3, 5, 0}},
         40},
        {"across a minute", 3, {{0, 0, 0, 0, 0}, {0, 0, 59, 20, 0}, {0, 1, 0, 8, 0}}, 13},
        {"drop-frame minute at 29.97",
         4,
         {{0, 0, 0, 0, 1}, {0, 0, 59, 15, 1}, {0, 1, 0, 2, 1}},
         15},
        {"every tenth minute drops nothing",
         4,
         {{0, 0, 0, 0, 1}, {0, 9, 59, 15, 1}, {0, 10, 0, 0, 1}},
         15},
        {"unknown frame rate", 15, {{0, 0, 0, 5, 0}, {0, 0, 0, 9, 0}, {0, 0, 0, 3, 0}}, 0},
    };
    for (const Case& c : cases) {
        ResetVideoStreamInfo(0xE0);
        Info().frameRateCode = c.frameRateCode;
        for (const auto& tc : c.timeCodes) Gop(tc[0], tc[1], tc[2], tc[3], false, tc[4]);
        EXPECT_EQ(c.expected, Info().maxGopLength) << c.what;
        EXPECT_EQ(c.expected, Info().minGopLength) << c.what;
    }
}

TEST_F(VideoStatisticsTest, FewerThanThreeGopsMeasureNothing) {
    Gop(0, 0, 0, 0);
    Gop(0, 0, 0, 12);
    EXPECT_EQ(0u, Info().maxGopLength);
    EXPECT_EQ(kNoGopLengthYet, Info().minGopLength);
}

TEST_F(VideoStatisticsTest, FrameSizesAndTypes) {
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
    Gop(0, 0, 0, 0);
    Frames(25, kPPicture, 1024);
    Frames(25, kPPicture, 2048);
    Frames(12, kPPicture, 4096);  // an incomplete group: in the totals only
    FinishVideoStream();
    ASSERT_EQ(2u, listener_.samples.size());
    EXPECT_DOUBLE_EQ(200.0, listener_.samples[0]);
    EXPECT_DOUBLE_EQ(400.0, listener_.samples[1]);
    EXPECT_DOUBLE_EQ(400.0, Info().peakKbps);
    double averageFrame = (25 * 1024 + 25 * 2048 + 12 * 4096) / 62.0;
    EXPECT_DOUBLE_EQ(averageFrame * 25 * 8 / 1024, Info().averageKbps);
    EXPECT_DOUBLE_EQ(Info().averageKbps, listener_.drawnAverage);
    EXPECT_DOUBLE_EQ(62.0 / 25, VideoDurationSeconds(Info()));
}

TEST_F(VideoStatisticsTest, NtscRatesAreCorrectedBy1000Over1001) {
    Info().frameRateCode = 4;
    Gop(0, 0, 0, 0);
    Frames(30, kPPicture, 1024);
    FinishVideoStream();
    ASSERT_EQ(1u, listener_.samples.size());
    EXPECT_DOUBLE_EQ(240.0, listener_.samples[0]);  // the sample itself is not corrected
    EXPECT_DOUBLE_EQ(240.0 * 1000 / 1001, Info().peakKbps);
    EXPECT_DOUBLE_EQ(240.0 * 1000 / 1001, Info().averageKbps);
}

TEST_F(VideoStatisticsTest, GopRowsAndSequenceHeaderMarks) {
    NoteSequenceHeader();
    Gop(10, 0, 0, 0, true);
    Frames(1, kIPicture, 10);
    Frames(2, kBPicture, 10);
    Gop(10, 0, 0, 3);  // no sequence header before it
    Frames(1, kIPicture, 10);
    NoteSequenceHeader();
    Gop(10, 0, 0, 4);
    Frames(1, kPPicture, 10);
    FinishVideoStream();
    // A sequence header before a later GOP shows on the row of the GOP before it.
    std::vector<GopRow> expected = {{"10:00:00:00", 3, "IBB", true, true},
                                    {"10:00:00:03", 1, "I", false, true},
                                    {"10:00:00:04", 1, "P", false, false}};
    EXPECT_EQ(expected, listener_.rows);
    EXPECT_EQ(2u, Info().sequenceHeaderCount);
}

TEST_F(VideoStatisticsTest, NoGopHeaderAndNoFramesNeverFault) {
    Info().frameRateCode = 0;
    Frames(3, kIPicture, 100);
    FinishVideoStream();
    EXPECT_TRUE(listener_.samples.empty());
    EXPECT_EQ(0.0, Info().averageKbps);
    EXPECT_EQ(0.0, VideoDurationSeconds(Info()));
    ASSERT_EQ(1u, listener_.rows.size());  // the zeroed GOP's row
    EXPECT_EQ("00:00:00:00", listener_.rows[0].timeCode);

    ResetVideoStreamInfo(0xE0);
    EXPECT_TRUE(listener_.rows.empty());
    FinishVideoStream();
    EXPECT_EQ(0.0, Info().averageKbps);
    EXPECT_EQ(1u, Info().sequenceHeadersAligned);
}

}  // namespace
