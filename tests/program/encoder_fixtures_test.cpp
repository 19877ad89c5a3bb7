// The first pass over streams made by real muxers, against figures read from the same
// files by independent means (tests/fixtures/make-fixtures.sh prints them): file size,
// a plain count of start codes, and ffprobe's elementary stream byte totals.
#include <gtest/gtest.h>

#include "program/program_stream_scan.h"
#include "support/test_files.h"

namespace {

struct FixtureCase {
    const char* name;
    ScanResult result;
    uint32_t packs;
    uint32_t systemHeaders;
    uint32_t videoPackets;
    uint32_t audioPackets;  // 0xC0, or 0xBD on the DVD file
    uint32_t videoBytes;    // elementary bytes as ffprobe totals them
    uint32_t audioBytes;
};

class EncoderFixtureTest : public ::testing::TestWithParam<FixtureCase> {
  protected:
    BoundSink bound_;
};

TEST_P(EncoderFixtureTest, FirstPassAgreesWithIndependentCounts) {
    const FixtureCase& c = GetParam();
    ASSERT_EQ(c.result, ScanProgramStream(FixturePath(c.name), 0));
    const StreamIdTable& t = GetStreamIdTable();
    EXPECT_EQ(c.packs, t.packCount);
    EXPECT_EQ(c.systemHeaders, t.systemHeaderCount);
    EXPECT_EQ(2048u, t.maxPackSize);
    EXPECT_EQ(c.videoPackets, t.packetCount[0xE0]);
    EXPECT_EQ(c.videoBytes, t.payloadBytes[0xE0]);
    EXPECT_EQ(1u, t.videoStreamCount);
    EXPECT_EQ(1u, t.audioStreamCount);
    if (t.isDvd) {
        EXPECT_EQ(c.audioPackets, t.packetCount[kPrivateStream1Id]);
        EXPECT_EQ(c.audioPackets, t.substreamPacketCount[kFirstAc3Substream]);
        // The AC-3 bytes leave out the 4 DVD header bytes of each packet.
        EXPECT_EQ(c.audioBytes, t.ac3DtsBytes[0]);
    } else {
        EXPECT_EQ(c.audioPackets, t.packetCount[0xC0]);
        EXPECT_EQ(c.audioBytes, t.payloadBytes[0xC0]);
    }
    EXPECT_EQ(0u, t.ptsUnderflows);
    EXPECT_EQ(0u, t.dtsUnderflows);
}

INSTANTIATE_TEST_SUITE_P(
    Muxers, EncoderFixtureTest,
    ::testing::Values(
        // ffmpeg writes no program end code.
        FixtureCase{"ffmpeg_vob.mpg", ScanNoEndCode, 295, 8, 279, 16, 562468, 32256},
        FixtureCase{"ffmpeg_dvd.vob", ScanNoEndCode, 311, 5, 281, 25, 562468, 48384},
        FixtureCase{"mplex_generic.mpg", ScanOk, 208, 2, 183, 24, 369237, 48384}),
    CaseNumber());

TEST(EncoderFixtures, DvdFileCarriesNavPacketsAndNoMpegAudio) {
    BoundSink bound;
    ASSERT_EQ(ScanNoEndCode, ScanProgramStream(FixturePath("ffmpeg_dvd.vob"), 0));
    const StreamIdTable& t = GetStreamIdTable();
    EXPECT_TRUE(t.isDvd);
    EXPECT_EQ(10u, t.packetCount[kPrivateStream2Id]);
    EXPECT_EQ(7u, t.packetCount[kPaddingStreamId]);
    EXPECT_FALSE(t.present[0xC0]);
    EXPECT_TRUE(t.substreamPresent[kFirstAc3Substream]);
}

TEST(EncoderFixtures, OtherSystemsAreRejected) {
    BoundSink bound;
    EXPECT_EQ(ScanMpeg1System, ScanProgramStream(FixturePath("mpeg1_system.mpg"), 0));
    EXPECT_EQ(ScanNotProgramStream, ScanProgramStream(FixturePath("transport.mpg"), 0));
    EXPECT_EQ(StreamKindTransport, GetStreamIdTable().streamKind);
}

TEST(EncoderFixtures, EveryCutOfARealStreamEndsInOrder) {
    // Every 97th byte over the first packs, and every byte around a pack boundary.
    BoundSink bound;
    TempDir dir;
    Bytes whole = ReadFileBytes(FixturePath("mplex_generic.mpg"));
    std::vector<size_t> cuts;
    for (size_t cut = 0; cut < 6 * 2048; cut += 97) cuts.push_back(cut);
    for (size_t cut = 2040; cut < 2100; ++cut) cuts.push_back(cut);
    for (size_t cut : cuts) {
        std::string path =
            dir.Write("cut.mpg", Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
        ScanResult result = ScanProgramStream(path, 0);
        EXPECT_TRUE(result == ScanNoEndCode || result == ScanSyncLost || result == ScanOpenFailed ||
                    result == ScanMpeg1System)
            << "cut at " << cut << ": " << result;
    }
}

}  // namespace
