// The video walk over elementary streams built header by header.
#include "video/video_parser.h"

#include <gtest/gtest.h>

#include <random>

#include "program/program_stream_scan.h"
#include "report/report_log.h"
#include "support/test_files.h"
#include "support/video_builder.h"
#include "video/video_listener.h"
#include "video/video_statistics.h"

namespace {

class CountingListener : public VideoListener {
  public:
    void InitGopGrid() override { rows = 0; }
    void AddGopRow(const GopRow&) override { ++rows; }
    int rows = 0;
};

class VideoParserTest : public ::testing::Test {
  protected:
    void SetUp() override { SetVideoListener(&listener_); }
    void TearDown() override { SetVideoListener(nullptr); }
    VideoStatus Analyze(const Bytes& file, int timeLimit = 0) {
        std::string path = dir_.Write("v.mpg", file);
        ScanProgramStream(path, 0);
        return AnalyzeVideoStream(path, 0xE0, StreamExtentOf(GetStreamIdTable(), 0xE0), timeLimit);
    }
    const VideoStreamInfo& Info() { return GetVideoStreamInfo(0xE0); }
    TempDir dir_;
    BoundSink bound_;
    CountingListener listener_;
};

// Sequence header and extension, then GOPs of I B B P pictures.
VideoEsBuilder Sequence(int gops, const SequenceFields& seq = {}) {
    VideoEsBuilder v;
    for (int g = 0; g < gops; ++g) {
        v.SequenceHeader(seq).SequenceExtension();
        v.GopHeader(0, 0, 0, static_cast<uint32_t>(4 * g % 25), g == 0);
        v.Picture(1).Picture(3).Picture(3).Picture(2);
    }
    return v;
}

TEST_F(VideoParserTest, CompleteStreamWithEveryKindOfHeader) {
    VideoEsBuilder v;
    SequenceFields seq;
    seq.intraMatrix = true;
    seq.nonIntraMatrix = true;
    v.SequenceHeader(seq).SequenceExtension().SequenceDisplayExtension();
    v.SequenceScalableExtension(3).UserData({'c', 'c', 0x55});
    v.GopHeader(1, 2, 3, 4, true).UserData({0x10, 0x20});
    v.PictureHeader(1, 0x1234, 2).PictureCodingExtension();
    v.QuantMatrixExtension().PictureDisplayExtension(2).UserData({7});
    v.Slice(1, 500).Slice(2, 500);
    v.Picture(3).Picture(3).Picture(2).EndCode();
    Bytes es = v.Build();
    ASSERT_EQ(VideoOk, Analyze(PacketizeVideo(es, 333)));
    const VideoStreamInfo& info = Info();
    EXPECT_EQ(VideoOk, info.status);
    EXPECT_EQ(720u, info.horizontalSize);
    EXPECT_EQ(576u, info.verticalSize);
    EXPECT_EQ(3u, info.aspectRatioCode);
    EXPECT_EQ(3u, info.frameRateCode);
    EXPECT_EQ(12500u, info.bitRateValue);
    EXPECT_EQ(112u, info.vbvBufferSize);
    EXPECT_EQ(0x48u, info.profileAndLevel);
    EXPECT_EQ(1u, info.chromaFormat);
    EXPECT_EQ(4u, info.frameCount);
    EXPECT_EQ(1u, info.iFrameCount);
    EXPECT_EQ(1u, info.pFrameCount);
    EXPECT_EQ(2u, info.bFrameCount);
    EXPECT_EQ(1u, info.gopCount);
    EXPECT_EQ(1u, info.firstGopClosed);
    EXPECT_EQ(1u, info.intraDcPrecision);
    EXPECT_EQ(3u, info.pictureStructure);
    EXPECT_EQ(0xFFFFu, info.vbvDelay);  // the last picture's
    EXPECT_EQ(1u, info.gop.hours);
    EXPECT_EQ(4u, info.gop.pictures);
    EXPECT_EQ("IBBP", info.gop.structure);
    // Every byte belongs to a frame, up to the end code's value byte.
    EXPECT_EQ(es.size(), info.totalFrameBytes);
    EXPECT_EQ(1, listener_.rows);
}

TEST_F(VideoParserTest, MissingEndCodeStillCountsTheLastPicture) {
    Bytes es = Sequence(2).Build();
    EXPECT_EQ(VideoNoEndCode, Analyze(PacketizeVideo(es, 700)));
    EXPECT_EQ(8u, Info().frameCount);
    EXPECT_EQ(es.size(), Info().totalFrameBytes);
    EXPECT_EQ(2, listener_.rows);
}

TEST_F(VideoParserTest, EndCodeInTheLastPacketOfTheFile) {
    Bytes es = Sequence(1).EndCode().Build();
    StreamBuilder b;
    PesFields f;
    f.payload = es;
    b.Pack(3600).Pes(0xE0, f);  // neither padding nor a program end code after it
    EXPECT_EQ(VideoOk, Analyze(b.Build()));
    EXPECT_EQ(4u, Info().frameCount);
}

TEST_F(VideoParserTest, StreamsThatAreNotMpeg2) {
    struct Case {
        const char* what;
        Bytes es;
        VideoStatus status;
    };
    std::vector<Case> cases = {
        {"no sequence header at all",
         VideoEsBuilder().GopHeader(0, 0, 0, 0).Picture(1).EndCode().Build(), VideoNotMpeg2},
        {"no start code", Bytes(500, 0x42), VideoNotMpeg2},
        {"MPEG-1: no extension",
         VideoEsBuilder().SequenceHeader().GopHeader(0, 0, 0, 0).Picture(1).Build(), VideoMpeg1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.status, Analyze(PacketizeVideo(c.es, 1000))) << c.what;
        EXPECT_EQ(c.status, Info().status) << c.what;
        EXPECT_EQ(0u, Info().frameCount) << c.what;
        EXPECT_EQ(0, listener_.rows) << c.what;
    }
}

TEST_F(VideoParserTest, PictureTypeError) {
    VideoEsBuilder v = Sequence(1);
    v.Picture(4).Picture(2);
    Bytes withEnd = VideoEsBuilder(v).EndCode().Build();
    EXPECT_EQ(VideoPictureTypeError, Analyze(PacketizeVideo(withEnd, 1000)));
    EXPECT_EQ(6u, Info().frameCount);
    EXPECT_EQ("IBBPP", Info().gop.structure);
    EXPECT_EQ(6u, Info().gop.picturesInGop);
    // Without the end code the error stands: a stream that an accepted missing end code
    // would pass must still fail for its picture type.
    EXPECT_EQ(VideoPictureTypeError, Analyze(PacketizeVideo(v.Build(), 1000)));
}

TEST_F(VideoParserTest, TimeLimitDecidesAboutAMissingEndCode) {
    auto stream = [](int frames) {
        VideoEsBuilder v;
        v.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 0);
        for (int i = 0; i < frames; ++i) v.Picture(i % 12 == 0 ? 1 : 2, 1, 1);
        return PacketizeVideo(v.Build(), 2000);
    };
    EXPECT_EQ(VideoOk, Analyze(stream(7525), 300));  // 301 s: cut by the limit
    EXPECT_EQ(7525u, Info().frameCount);
    EXPECT_EQ(VideoNoEndCode, Analyze(stream(7500), 300));  // 300 s: the data just ended
    EXPECT_EQ(VideoNoEndCode, Analyze(stream(7525), 0));
}

TEST_F(VideoParserTest, SequenceHeaderAlignment) {
    std::vector<Bytes> aligned;
    for (int g = 0; g < 3; ++g) aligned.push_back(Sequence(1).Build());
    aligned.push_back(VideoEsBuilder().EndCode().Build());
    EXPECT_EQ(VideoOk, Analyze(PacketizeSegments(aligned)));
    EXPECT_EQ(1u, Info().sequenceHeadersAligned);
    EXPECT_EQ(3u, Info().sequenceHeaderCount);

    // The second sequence header lies inside a packet, after slices in that packet.
    std::vector<Bytes> split = {Sequence(2).Build(), Sequence(1).EndCode().Build()};
    EXPECT_EQ(VideoOk, Analyze(PacketizeSegments(split)));
    EXPECT_EQ(0u, Info().sequenceHeadersAligned);
}

TEST_F(VideoParserTest, SequenceFieldsAreTheLastAndPictureFieldsTheFirstOrLast) {
    SequenceFields second;
    second.width = 704;
    second.frameRateCode = 4;
    PictureCodingFields firstPicture;
    firstPicture.intraDcPrecision = 2;
    firstPicture.qScaleType = 0;
    PictureCodingFields later;
    later.intraDcPrecision = 0;
    later.pictureStructure = 1;
    later.qScaleType = 1;
    later.alternateScan = 1;
    later.progressiveFrame = 1;
    VideoEsBuilder v;
    v.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 0).Picture(1, 1, 10, firstPicture);
    v.SequenceHeader(second).SequenceExtension().GopHeader(0, 0, 0, 1);
    v.Picture(2, 1, 10, later).EndCode();
    ASSERT_EQ(VideoOk, Analyze(PacketizeVideo(v.Build(), 100)));
    EXPECT_EQ(704u, Info().horizontalSize);
    EXPECT_EQ(4u, Info().frameRateCode);
    EXPECT_EQ(2u, Info().intraDcPrecision);
    EXPECT_EQ(3u, Info().pictureStructure);
    EXPECT_EQ(1u, Info().qScaleType);
    EXPECT_EQ(1u, Info().alternateScan);
    EXPECT_EQ(1u, Info().progressiveFrame);
}

TEST_F(VideoParserTest, CancelIsHonouredAfterARepeatedSequenceHeader) {
    Bytes file = PacketizeVideo(Sequence(3).EndCode().Build(), 500);
    std::string path = dir_.Write("v.mpg", file);
    ScanProgramStream(path, 0);
    RequestCancel();
    EXPECT_EQ(VideoOk, AnalyzeVideoStream(path, 0xE0, StreamExtentOf(GetStreamIdTable(), 0xE0), 0));
    ClearCancelRequest();
    EXPECT_EQ(4u, Info().frameCount);  // the first GOP only
    EXPECT_EQ(2u, Info().sequenceHeaderCount);
}

// A slate joined to a spot: each sequence closed by its end code, and all of it counts.
TEST_F(VideoParserTest, JoinedSequencesAreAllWalked) {
    struct Case {
        const char* what;
        Bytes tail;  // after the slate
        VideoStatus status;
    };
    Bytes slate = Sequence(1).EndCode().Build();
    std::vector<Case> cases = {
        {"spot with its end code", Sequence(2).EndCode().Build(), VideoOk},
        {"spot without an end code", Sequence(2).Build(), VideoNoEndCode},
        {"stuffing after the last end code",
         VideoEsBuilder(Sequence(2)).EndCode().Raw(Bytes(40, 0)).Build(), VideoOk},
    };
    for (const Case& c : cases) {
        Bytes es = slate;
        es.insert(es.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(c.status, Analyze(PacketizeVideo(es, 400))) << c.what;
        EXPECT_EQ(12u, Info().frameCount) << c.what;
        EXPECT_EQ(3u, Info().sequenceHeaderCount) << c.what;
        EXPECT_EQ(3u, Info().gopCount) << c.what;
    }
    // Stuffing right after the only end code: the stream ended with it.
    Bytes stuffed = VideoEsBuilder(Sequence(1)).EndCode().Raw(Bytes(40, 0)).Build();
    EXPECT_EQ(VideoOk, Analyze(PacketizeVideo(stuffed, 400)));
    EXPECT_EQ(4u, Info().frameCount);
}

// A capture cut from a longer recording: its first bytes are the tail of a picture.
TEST_F(VideoParserTest, CaptureStartingMidStream) {
    struct Case {
        const char* what;
        Bytes start;
    };
    std::vector<Case> cases = {
        {"slice data", VideoEsBuilder().Raw(Bytes(70, 0x5A)).Slice(9, 300).Build()},
        {"pictures of a GOP", VideoEsBuilder().Slice(9, 300).Picture(3).Picture(2).Build()},
        {"a GOP header and user data",
         VideoEsBuilder().GopHeader(0, 0, 0, 0).UserData({1, 2}).Picture(1).Build()},
    };
    Bytes whole = Sequence(2).EndCode().Build();
    ASSERT_EQ(VideoOk, Analyze(PacketizeVideo(whole, 500)));
    uint64_t wholeBytes = Info().totalFrameBytes;
    for (const Case& c : cases) {
        Bytes es = c.start;
        es.insert(es.end(), whole.begin(), whole.end());
        EXPECT_EQ(VideoOk, Analyze(PacketizeVideo(es, 500))) << c.what;
        EXPECT_EQ(c.start.size(), Info().bytesBeforeSequenceHeader) << c.what;
        EXPECT_EQ(8u, Info().frameCount) << c.what;
        EXPECT_EQ(2u, Info().gopCount) << c.what;
        EXPECT_EQ(wholeBytes, Info().totalFrameBytes)
            << c.what;  // the skipped bytes are in no frame
    }
}

// Two field pictures make one coded frame (ISO/IEC 13818-2, 6.1.1.4).
TEST_F(VideoParserTest, FieldPicturesPairIntoFrames) {
    PictureCodingFields top;
    top.pictureStructure = 1;
    PictureCodingFields bottom;
    bottom.pictureStructure = 2;
    VideoEsBuilder v;
    v.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 0);
    v.Picture(1, 1, 200, top).Picture(2, 1, 100, bottom);
    v.Picture(3, 1, 50, top).Picture(3, 1, 50, bottom);
    v.Picture(2, 1, 80, top).Picture(2, 1, 80, bottom).EndCode();
    ASSERT_EQ(VideoOk, Analyze(PacketizeVideo(v.Build(), 500)));
    const VideoStreamInfo& info = Info();
    EXPECT_EQ(3u, info.frameCount);
    EXPECT_EQ(3u, info.fieldPairCount);
    EXPECT_EQ(0u, info.framePictureCount);
    EXPECT_EQ(3u, info.gop.picturesInGop);
    EXPECT_EQ("IBP", info.gop.structure);
    EXPECT_EQ(1u, info.iFrameCount);
    EXPECT_EQ(1u, info.bFrameCount);
    EXPECT_EQ(1u, info.pFrameCount);
    EXPECT_EQ(6u, info.displayFields);
    EXPECT_EQ(1u, info.pictureStructure);  // the first picture's
    // The I frame holds both of its fields, the P field's slice with it.
    EXPECT_GT(info.iFrameBytes, 300u);
    EXPECT_LT(info.bFrameBytes, info.iFrameBytes);

    // A lone field where a frame picture follows is a frame of its own.
    VideoEsBuilder mixed;
    mixed.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 0);
    mixed.Picture(1, 1, 100, top).Picture(2).Picture(3, 1, 50, top).Picture(3, 1, 50, bottom);
    ASSERT_EQ(VideoOk, Analyze(PacketizeVideo(mixed.EndCode().Build(), 500)));
    EXPECT_EQ(3u, Info().frameCount);
    EXPECT_EQ(1u, Info().framePictureCount);
    EXPECT_EQ(2u, Info().fieldPairCount);
    EXPECT_EQ("IPB", Info().gop.structure);
}

// Pictures shown with repeated fields last as long as they are shown.
TEST_F(VideoParserTest, RepeatedFieldsRunByDisplayTime) {
    struct Case {
        const char* what;
        uint32_t frameRateCode;
        uint32_t progressiveSequence;
        std::vector<std::pair<uint32_t, uint32_t>> rffTff;  // cycled over the pictures
        double seconds;
    };
    std::vector<Case> cases = {
        {"3:2 pull-down at 29.97", 4, 0, {{1, 1}, {0, 0}, {1, 0}, {0, 1}}, 2.002},
        {"no repeated fields", 3, 0, {{0, 1}}, 48.0 / 25},
        {"progressive sequence, 23.976 film at 59.94", 7, 1, {{1, 1}, {1, 0}}, 2.002},
    };
    for (const Case& c : cases) {
        SequenceFields seq;
        seq.frameRateCode = c.frameRateCode;
        VideoEsBuilder v;
        v.SequenceHeader(seq).SequenceExtension(0x48, 1, c.progressiveSequence);
        v.GopHeader(0, 0, 0, 0);
        for (size_t i = 0; i < 48; ++i) {
            PictureCodingFields f;
            f.progressiveFrame = 1;
            f.repeatFirstField = c.rffTff[i % c.rffTff.size()].first;
            f.topFieldFirst = c.rffTff[i % c.rffTff.size()].second;
            v.Picture(i == 0 ? 1 : 2, 1, 20, f);
        }
        ASSERT_EQ(VideoOk, Analyze(PacketizeVideo(v.EndCode().Build(), 1000))) << c.what;
        EXPECT_EQ(48u, Info().frameCount) << c.what;
        EXPECT_DOUBLE_EQ(c.seconds, VideoDurationSeconds(Info())) << c.what;
    }
}

// GOP headers are optional in MPEG-2 video: the sequence header's frame rate suffices.
TEST_F(VideoParserTest, NoGopHeaders) {
    VideoEsBuilder v;
    v.SequenceHeader().SequenceExtension();
    for (int i = 0; i < 50; ++i) v.Picture(i % 10 == 0 ? 1 : 2, 1, 100);
    ASSERT_EQ(VideoOk, Analyze(PacketizeVideo(v.EndCode().Build(), 1000)));
    EXPECT_EQ(0u, Info().gopCount);
    EXPECT_EQ(50u, Info().frameCount);
    EXPECT_DOUBLE_EQ(2.0, VideoDurationSeconds(Info()));
    EXPECT_GT(Info().averageKbps, 0.0);
    EXPECT_GT(Info().peakKbps, 0.0);
}

TEST_F(VideoParserTest, ExtensionsWhereTheyAreNotExpectedAreSkipped) {
    VideoEsBuilder v;
    v.SequenceHeader().SequenceExtension().Extension(8, Bytes(20, 0x33));
    v.GopHeader(0, 0, 0, 0).Extension(2, Bytes(9, 0x44)).UserData({1});
    v.PictureHeader(1).PictureCodingExtension().Extension(4, Bytes(30, 0x55));
    v.Slice(1, 50).EndCode();
    EXPECT_EQ(VideoOk, Analyze(PacketizeVideo(v.Build(), 64)));
    EXPECT_EQ(1u, Info().frameCount);
    EXPECT_EQ(1u, Info().iFrameCount);
}

TEST_F(VideoParserTest, EveryCutOfAStreamEndsInOrder) {
    Bytes es = Sequence(2).EndCode().Build();
    for (size_t cut = 0; cut <= es.size(); ++cut) {
        Bytes piece(es.begin(), es.begin() + static_cast<long>(cut));
        if (piece.empty()) continue;
        VideoStatus status = Analyze(PacketizeVideo(piece, 150));
        EXPECT_TRUE(status == VideoOk || status == VideoNoEndCode || status == VideoNotMpeg2 ||
                    status == VideoMpeg1)
            << "cut at " << cut << ": " << status;
        EXPECT_LE(Info().frameCount, 8u);
    }
}

TEST_F(VideoParserTest, RandomBytesAfterAValidSequenceHeader) {
    std::mt19937 random(99);
    for (int round = 0; round < 30; ++round) {
        VideoEsBuilder v;
        v.SequenceHeader().SequenceExtension();
        Bytes noise(1 + random() % 5000);
        for (auto& byte : noise)
            byte = random() % 4 == 0 ? random() % 2 : static_cast<uint8_t>(random());
        VideoStatus status = Analyze(PacketizeVideo(v.Raw(noise).Build(), 1 + random() % 2000));
        EXPECT_TRUE(status == VideoOk || status == VideoNoEndCode ||
                    status == VideoPictureTypeError)
            << round << ": " << status;
    }
}

TEST_F(VideoParserTest, PictureCodingTypesZeroAndSeven) {
    for (uint32_t type : {0u, 7u}) {
        VideoEsBuilder v;
        v.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 0).Picture(1);
        v.Picture(type).Picture(2).EndCode();
        EXPECT_EQ(VideoPictureTypeError, Analyze(PacketizeVideo(v.Build(), 100))) << type;
        EXPECT_EQ(3u, Info().frameCount);
        EXPECT_EQ(0u, Info().bFrameCount);
    }
}

}  // namespace
