// First pass over program streams built byte for byte.
#include "program/program_stream_scan.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "input/bitstream_file.h"
#include "report/report_log.h"
#include "support/test_files.h"

namespace {

class ScanTest : public ::testing::Test {
  protected:
    ScanResult Scan(const Bytes& bytes, const std::string& name = "f.mpg", int limit = 0) {
        return ScanProgramStream(dir_.Write(name, bytes), limit);
    }
    const StreamIdTable& T() { return GetStreamIdTable(); }
    TempDir dir_;
    BoundSink bound_;
};

PesFields Payload(size_t size, uint8_t fill = 0x00) {
    PesFields f;
    f.payload = Bytes(size, fill);
    return f;
}

TEST_F(ScanTest, SimpleStreamIsCountedInFull) {
    ASSERT_EQ(ScanOk, Scan(MakeSimpleStream(3)));
    EXPECT_EQ(ScanOk, T().result);
    EXPECT_EQ(StreamKindPack, T().streamKind);
    EXPECT_EQ(3u, T().packCount);
    EXPECT_EQ(1u, T().systemHeaderCount);
    EXPECT_EQ(9u, T().pesPacketCount);  // video, audio and padding in each pack
    EXPECT_EQ(3u, T().packetCount[0xE0]);
    EXPECT_EQ(3u, T().packetCount[0xC0]);
    EXPECT_EQ(3u, T().packetCount[0xBE]);
    EXPECT_EQ(3 * 1200u, T().payloadBytes[0xE0]);
    EXPECT_EQ(3 * 384u, T().payloadBytes[0xC0]);
    EXPECT_EQ(2048u, T().maxPackSize);
    EXPECT_EQ(2u, T().maxPacketsPerPack);  // padding packets are not counted per pack
    EXPECT_EQ(25200u, T().programMuxRate);
    EXPECT_EQ(25200u, T().rateBound);
    EXPECT_EQ(1u, T().audioBound);
    EXPECT_EQ(1u, T().videoBound);
    EXPECT_EQ(0u, T().fixedFlag);
    EXPECT_EQ(1u, T().videoLockFlag);
    EXPECT_EQ(1u, T().stdBufferBoundScale[0xE0]);
    EXPECT_EQ(230u, T().stdBufferSizeBound[0xE0]);
    EXPECT_EQ(32u, T().stdBufferSizeBound[0xC0]);
    EXPECT_DOUBLE_EQ(3600 / 90.0, T().firstScrMs);
    EXPECT_DOUBLE_EQ((3600 + 36000) / 90.0, T().firstPtsMs[0xE0]);
    EXPECT_FALSE(T().firstPtsPending[0xE0]);
    EXPECT_TRUE(T().firstPtsPending[0xE1]);
    EXPECT_EQ(1u, T().videoStreamCount);
    EXPECT_EQ(1u, T().audioStreamCount);
    EXPECT_EQ(0u, T().ptsUnderflows);
    EXPECT_EQ(0u, T().dtsUnderflows);
    EXPECT_EQ(0u, T().ptsDtsOutOfSync);
    EXPECT_FALSE(T().isDvd);
}

TEST_F(ScanTest, EndOfFileAndTrailingGarbage) {
    EXPECT_EQ(ScanNoEndCode, Scan(MakeSimpleStream(2, false)));
    EXPECT_EQ(2u, T().packCount);
    EXPECT_EQ(1u, T().videoStreamCount);  // counted on every orderly end
    // Garbage after the last packet: where the sync was lost, and what was read before it.
    Bytes garbage = MakeSimpleStream(2, false);
    size_t garbageStart = garbage.size();
    garbage.insert(garbage.end(), {0x12, 0x34, 0x56, 0x78, 0x9A});
    EXPECT_EQ(ScanSyncLost, Scan(garbage));
    EXPECT_EQ(garbageStart, T().syncLostOffset);
    EXPECT_EQ(2u, T().packCount);
    EXPECT_EQ(1u, T().videoStreamCount);
    EXPECT_EQ(1u, T().audioStreamCount);
}

TEST_F(ScanTest, BytesAfterTheEndCodeAreNotRead) {
    Bytes bytes = MakeSimpleStream(1);
    Bytes tail = StreamBuilder().Pack(99999).Raw({0xDE, 0xAD}).Build();
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    EXPECT_EQ(ScanOk, Scan(bytes));
    EXPECT_EQ(1u, T().packCount);
    EXPECT_EQ(tail.size(), T().bytesAfterEndCode);
    EXPECT_EQ(1u, T().packsAfterEndCode);  // a pack header: another program begins there
    EXPECT_EQ(0u, T().bytesMissingAtEnd);
}

// Two spots joined with `cat`: the second is walked to count its packs, and none of it
// enters the table.
TEST_F(ScanTest, AnotherProgramAfterTheEndCodeIsCountedOnly) {
    Bytes joined = MakeSimpleStream(2);
    Bytes second = MakeSimpleStream(3);
    joined.insert(joined.end(), second.begin(), second.end());
    ASSERT_EQ(ScanOk, Scan(joined));
    EXPECT_EQ(2u, T().packCount);
    EXPECT_EQ(2u, T().packetCount[0xE0]);
    EXPECT_EQ(second.size(), T().bytesAfterEndCode);
    EXPECT_EQ(3u, T().packsAfterEndCode);

    Bytes garbage = MakeSimpleStream(2);
    garbage.insert(garbage.end(), {0x00, 0x00, 0x01, 0xBA, 0x44});  // a pack cut short
    ASSERT_EQ(ScanOk, Scan(garbage));
    EXPECT_EQ(1u, T().packsAfterEndCode);
    Bytes stuffing = MakeSimpleStream(2);
    stuffing.insert(stuffing.end(), 100, 0xFF);
    ASSERT_EQ(ScanOk, Scan(stuffing));
    EXPECT_EQ(100u, T().bytesAfterEndCode);
    EXPECT_EQ(0u, T().packsAfterEndCode);
}

// A file cut short, as a truncated upload is: how much its last structure lacks.
TEST_F(ScanTest, ACutFileSaysWhatItsLastStructureLacks) {
    Bytes whole = MakeSimpleStream(3, false);  // 2048-byte packs, no program end code
    Bytes systemHeader = StreamBuilder().SystemHeader().Build();
    struct Case {
        const char* what;
        size_t cut;
        uint64_t missing;
    };
    const Case cases[] = {
        {"at a pack boundary", 4096, 0},
        {"inside a pack header", 2048 + 6, 8},
        {"inside the first system header", 14 + 8, systemHeader.size() - 8},
        {"inside the padding packet that ends a pack", 4096 - 10, 10},
        {"inside the last byte", whole.size() - 1, 1},
    };
    for (const Case& c : cases) {
        Scan(Bytes(whole.begin(), whole.begin() + static_cast<long>(c.cut)));
        EXPECT_EQ(c.missing, T().bytesMissingAtEnd) << c.what;
        EXPECT_EQ(0u, T().bytesAfterEndCode) << c.what;
    }
}

TEST_F(ScanTest, StartOfFile) {
    Bytes stream = MakeSimpleStream(1);
    Bytes leading =
        StreamBuilder().Raw({0x12, 0x00, 0x00, 0x00, 0x01, 0xB3, 0x99}).Raw(stream).Build();
    EXPECT_EQ(ScanOk, Scan(leading));
    EXPECT_EQ(1u, T().packCount);

    Bytes transport = StreamBuilder().Raw({0x00, 0x47, 0x40}).Raw(stream).Build();
    EXPECT_EQ(ScanNotProgramStream, Scan(transport));
    EXPECT_EQ(StreamKindTransport, T().streamKind);

    EXPECT_EQ(ScanNotProgramStream, Scan(Bytes(5000, 0x12)));
    EXPECT_EQ(StreamKindNothing, T().streamKind);
}

TEST_F(ScanTest, PackStartCodeAcrossABlockBoundaryIsFound) {
    Bytes bytes(BitstreamFile::kBlockSize - 2, 0x12);
    Bytes stream = MakeSimpleStream(1);
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    EXPECT_EQ(ScanOk, Scan(bytes));
    EXPECT_EQ(1u, T().packCount);
}

TEST_F(ScanTest, Mpeg1SystemStreamIsRejected) {
    Bytes mpeg1 = StreamBuilder().Mpeg1Pack(3600).EndCode().Build();
    EXPECT_EQ(ScanMpeg1System, Scan(mpeg1));
    // Only the first pack is tested.
    StreamBuilder later;
    later.Pack(3600).Mpeg1Pack(7200).EndCode();
    EXPECT_NE(ScanMpeg1System, Scan(later.Build()));
}

TEST_F(ScanTest, Extensions) {
    struct Case {
        const char* name;
        ScanResult result;
        bool dvd;
    };
    Bytes stream = MakeSimpleStream(1);
    for (const Case& c :
         {Case{"a.mpg", ScanOk, false}, Case{"a.MPEG", ScanOk, false}, Case{"a.VoB", ScanOk, true},
          Case{"a.txt", ScanBadExtension, false}, Case{"mpg", ScanBadExtension, false},
          Case{"a.mpg.ts", ScanBadExtension, false}}) {
        EXPECT_EQ(c.result, Scan(stream, c.name)) << c.name;
        EXPECT_EQ(c.dvd, T().isDvd) << c.name;
    }
    EXPECT_EQ(ScanBadExtension, ScanProgramStream(dir_.Path() + "/dir.mpg/file", 0));
    EXPECT_TRUE(bound_.sink.ErrorBoxes().empty());  // the file was never opened
}

TEST_F(ScanTest, OpenFailures) {
    EXPECT_EQ(ScanOpenFailed, Scan({}));
    EXPECT_EQ(ScanOpenFailed, ScanProgramStream(dir_.Path() + "/missing.mpg", 0));
    EXPECT_EQ(2u, bound_.sink.ErrorBoxes().size());
}

TEST_F(ScanTest, PackHeaderFieldInPesIsRejected) {
    PesFields f = Payload(10);
    f.packHeaderField = true;
    EXPECT_EQ(ScanPackHeaderInPes, Scan(StreamBuilder().Pack(3600).Pes(0xE0, f).EndCode().Build()));
}

TEST_F(ScanTest, TimeStampsAgainstTheScr) {
    StreamBuilder b;
    b.Pack(90000);
    PesFields ptsEqualScr = Payload(8);
    ptsEqualScr.pts = 90000;
    PesFields dtsBeforeScr = Payload(8);
    dtsBeforeScr.pts = 95000;
    dtsBeforeScr.dts = 80000;
    PesFields dtsAfterPts = Payload(8);
    dtsAfterPts.pts = 100000;
    dtsAfterPts.dts = 100001;
    PesFields fine = Payload(8);
    fine.pts = 90001;
    b.Pes(0xE0, ptsEqualScr).Pes(0xE0, dtsBeforeScr).Pes(0xE0, dtsAfterPts).Pes(0xC0, fine);
    ASSERT_EQ(ScanOk, Scan(b.EndCode().Build()));
    EXPECT_EQ(1u, T().ptsUnderflows);
    EXPECT_EQ(1u, T().dtsUnderflows);
    EXPECT_EQ(1u, T().ptsDtsOutOfSync);
    EXPECT_DOUBLE_EQ(1000.0, T().firstPtsMs[0xE0]);
}

TEST_F(ScanTest, ScrExtensionMakesTheClockFractional) {
    // SCR 90000 + 150/300: a PTS of 90000 is at or before it, 90001 after it.
    StreamBuilder b;
    b.Pack(90000, 25200, 0, 150);
    PesFields f = Payload(4);
    f.pts = 90000;
    b.Pes(0xE0, f);
    ASSERT_EQ(ScanOk, Scan(b.EndCode().Build()));
    EXPECT_EQ(1u, T().ptsUnderflows);
    EXPECT_DOUBLE_EQ((90000.0 * 300 + 150) / 27000, T().firstScrMs);
}

TEST_F(ScanTest, ThirtyThreeBitStampsAreExact) {
    const uint64_t big = (1ull << 33) - 1;
    StreamBuilder b;
    b.Pack(big - 10);
    PesFields f = Payload(4);
    f.pts = big;
    b.Pes(0xE0, f);
    ASSERT_EQ(ScanOk, Scan(b.EndCode().Build()));
    EXPECT_DOUBLE_EQ(big / 90.0, T().firstPtsMs[0xE0]);
    EXPECT_EQ(0u, T().ptsUnderflows);
}

// Packs 40 ms apart with video (PTS 500 ms and DTS 460 ms after its pack's SCR) and audio
// (PTS 444 ms after), among them a late video PTS, a DTS at the SCR and an audio PTS at
// it; every clock value moved on by `offset` modulo 2^33.
Bytes StampedStream(uint64_t offset) {
    auto at = [offset](uint64_t ticks) { return (ticks + offset) % kClockBaseModulus; };
    StreamBuilder b;
    for (uint64_t i = 0; i < 50; ++i) {
        uint64_t scr = 3600 * i + 3600;
        b.Pack(at(scr));
        PesFields video = Payload(100);
        video.pts = at(scr + 45000);
        video.dts = at(scr + 41400);
        if (i == 20) video.pts = at(scr - 1);  // before its SCR, and before its DTS
        if (i == 25) video.dts = at(scr);
        b.Pes(0xE0, video);
        PesFields audio = Payload(50);
        audio.pts = at(scr + 40000);
        if (i == 30) audio.pts = at(scr);
        b.Pes(0xC0, audio);
    }
    return b.EndCode().Build();
}

// A spot whose clock wraps anywhere counts as the same spot at clock 0.
TEST_F(ScanTest, StampsAcrossTheClockWrapCountAsBeforeIt) {
    const uint64_t wrap = kClockBaseModulus;
    const struct {
        const char* where;
        uint64_t offset;
    } cases[] = {
        {"no wrap", 0},
        {"at the first SCR", wrap - 3600},
        {"between the first SCR and the first PTS", wrap - 20000},
        {"between the first audio and the first video PTS", wrap - 45000},
        {"in the middle", wrap - 3600 * 25 - 1000},
        {"at the end", wrap - 3600 * 50},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(ScanOk, Scan(StampedStream(c.offset))) << c.where;
        EXPECT_EQ(2u, T().ptsUnderflows) << c.where;
        EXPECT_EQ(1u, T().dtsUnderflows) << c.where;
        EXPECT_EQ(1u, T().ptsDtsOutOfSync) << c.where;
        EXPECT_EQ(0u, T().clockDiscontinuities) << c.where;
        EXPECT_NEAR(500.0, FirstPtsFromClockStartMs(T(), 0xE0), 1e-9) << c.where;
        EXPECT_NEAR(40000 / 90.0, FirstPtsFromClockStartMs(T(), 0xC0), 1e-9) << c.where;
    }
}

// SCRs that go back or leap forward by more than 0.7 s: counted, and the stream time runs
// on across them by the pack's bytes at the mux rate, not by the jump.
TEST_F(ScanTest, ClockThatGoesBackOrLeapsIsADiscontinuity) {
    constexpr uint32_t kMuxRate = 25200;  // 1,260,000 bytes/s: a 2048-byte pack in 1.6254 ms
    StreamBuilder b;
    auto pack = [&b](uint64_t scr, uint8_t id, uint64_t pts) {
        size_t start = b.Size();
        b.Pack(scr, kMuxRate);
        PesFields f = Payload(100);
        f.pts = pts;
        b.Pes(id, f);
        b.PadPackTo(start, 2048);
    };
    for (uint64_t i = 0; i < 10; ++i) pack(90000 + 3600 * i, 0xE0, 90000 + 3600 * i + 45000);
    size_t restart = b.Size();
    pack(0, 0xC0, 9000);                // the clock restarts: two spots joined
    pack(63000, 0xE0, 100000);          // 0.7 s on: the longest step allowed
    pack(63000 + 63001, 0xE0, 200000);  // a step too long
    pack(63000 + 63001 + 3600, 0xE0, 200000);
    ASSERT_EQ(ScanOk, Scan(b.EndCode().Build()));
    EXPECT_EQ(2u, T().clockDiscontinuities);
    double atRestart = 9 * 0.04 + 2048 / 1.26e6;
    EXPECT_NEAR(atRestart, T().firstDiscontinuitySeconds, 1e-6);
    EXPECT_EQ(restart, T().firstDiscontinuityOffset);
    // The audio's first PTS follows the restart: 100 ms after the pack that carries it.
    EXPECT_NEAR(atRestart * 1000 + 100, FirstPtsFromClockStartMs(T(), 0xC0), 1e-3);
    EXPECT_NEAR(500.0, FirstPtsFromClockStartMs(T(), 0xE0), 1e-9);
}

// A PES_packet_length too short for the packet's own header (0, say) would have the
// header read out of the next packets.
TEST_F(ScanTest, PacketsShorterThanTheirHeaderCountOnceEach) {
    StreamBuilder b;
    b.Pack(3600).Pes(0xC0, Payload(10));
    size_t first = b.Size();
    for (int i = 0; i < 1000; ++i) b.Raw({0x00, 0x00, 0x01, 0xE0, 0x00, 0x00});
    PesFields longHeader = Payload(10);
    longHeader.headerDataLength = 10;
    longHeader.packetLength = 5;
    b.Pes(0xE0, longHeader).Pes(0xE0, Payload(10)).EndCode();
    ASSERT_EQ(ScanOk, Scan(b.Build()));
    EXPECT_EQ(1001u, T().shortPesPackets);
    EXPECT_EQ(first, T().firstShortPesOffset);
    EXPECT_EQ(0u, T().firstShortPesLength);
    EXPECT_EQ(1002u, T().packetCount[0xE0]);
    EXPECT_EQ(1003u, T().pesPacketCount);
    EXPECT_EQ(10u, T().payloadBytes[0xE0]);
    EXPECT_EQ(10u, T().payloadBytes[0xC0]);
}

TEST_F(ScanTest, PackSizeIsTheDistanceBetweenPackStartCodes) {
    StreamBuilder b;
    for (int i = 0; i < 3; ++i) {
        size_t start = b.Size();
        b.Pack(3600 * (i + 1)).Pes(0xE0, Payload(100)).PadPackTo(start, 2048);
    }
    // A longer last pack is never measured.
    b.Pes(0xE0, Payload(5000)).EndCode();
    ASSERT_EQ(ScanOk, Scan(b.Build()));
    EXPECT_EQ(2048u, T().maxPackSize);
    EXPECT_EQ(2u, T().maxPacketsPerPack);
}

TEST_F(ScanTest, EveryOptionalPesFieldKeepsTheScanInStep) {
    PesFields all = Payload(20, 0x00);  // zeros: a misstep would find no start code
    all.pts = 5000;
    all.dts = 4000;
    all.escr = 1234;
    all.esRate = 777;
    all.trickMode = 0x1F;
    all.copyInfo = 0x12;
    all.crc = 0xBEEF;
    all.privateData = true;
    all.sequenceCounter = true;
    all.pstdBuffer = true;
    all.extension2 = Bytes{0x00, 0x00, 0x01};
    all.stuffing = 4;
    StreamBuilder b;
    b.Pack(3600).Pes(0xE0, all).Pes(0xC0, Payload(7)).EndCode();
    ASSERT_EQ(ScanOk, Scan(b.Build()));
    EXPECT_EQ(20u, T().payloadBytes[0xE0]);
    EXPECT_EQ(7u, T().payloadBytes[0xC0]);
    EXPECT_EQ(2u, T().pesPacketCount);
}

TEST_F(ScanTest, PrivateDataTakesExactlySixteenBytes) {
    PesFields f = Payload(3);
    f.privateData = true;
    ASSERT_EQ(
        ScanOk,
        Scan(StreamBuilder().Pack(3600).Pes(0xE0, f).Pes(0xE0, Payload(9)).EndCode().Build()));
    EXPECT_EQ(2u, T().packetCount[0xE0]);
    EXPECT_EQ(12u, T().payloadBytes[0xE0]);
}

TEST_F(ScanTest, HeaderlessIdsSkipTheirLength) {
    StreamBuilder b;
    b.Pack(3600)
        .PlainPes(kPrivateStream2Id, Bytes(980, 0x00))
        .PlainPes(kProgramStreamMapId, Bytes(20, 0x01))
        .PlainPes(kPaddingStreamId, Bytes(0))
        .Pes(0xE0, Payload(10))
        .EndCode();
    ASSERT_EQ(ScanOk, Scan(b.Build()));
    EXPECT_EQ(980u, T().payloadBytes[kPrivateStream2Id]);
    EXPECT_EQ(20u, T().payloadBytes[kProgramStreamMapId]);
    EXPECT_EQ(1u, T().packetCount[kPaddingStreamId]);
    EXPECT_TRUE(T().present[kPaddingStreamId]);
    EXPECT_EQ(1u, T().maxPacketsPerPack);
}

TEST_F(ScanTest, EmptyPayloadDoesNotSwallowTheNextStartCode) {
    PesFields empty;
    empty.pts = 9000;
    StreamBuilder b;
    b.Pack(3600).Pes(0xE0, empty).Pes(0xC0, Payload(50)).EndCode();
    ASSERT_EQ(ScanOk, Scan(b.Build()));
    EXPECT_EQ(1u, T().packetCount[0xC0]);
    EXPECT_EQ(0u, T().payloadBytes[0xE0]);
    EXPECT_EQ(50u, T().payloadBytes[0xC0]);

    // On a DVD an empty private stream 1 packet names no substream.
    PesFields emptyPrivate;
    StreamBuilder dvd;
    dvd.Pack(3600).Pes(kPrivateStream1Id, emptyPrivate).Pes(0xE0, Payload(5)).EndCode();
    ASSERT_EQ(ScanOk, Scan(dvd.Build(), "a.vob"));
    EXPECT_EQ(0u, T().substreamPacketCount[0]);
    EXPECT_FALSE(T().substreamPresent[0]);
    EXPECT_EQ(1u, T().packetCount[0xE0]);
}

TEST_F(ScanTest, HeaderLongerThanThePacketAddsNothingBelowZero) {
    PesFields f;
    f.headerDataLength = 200;
    f.packetLength = 10;
    f.payload = Bytes(200, 0xFF);  // the stuffing the header length claims
    StreamBuilder b;
    b.Pack(3600).Pes(kPrivateStream1Id, f).Pes(0xE0, Payload(4)).EndCode();
    ASSERT_EQ(ScanOk, Scan(b.Build(), "a.vob"));
    EXPECT_EQ(0u, T().payloadBytes[kPrivateStream1Id]);
    for (uint32_t bytes : T().substreamBytes) EXPECT_EQ(0u, bytes);
    EXPECT_EQ(1u, T().packetCount[0xE0]);
}

TEST_F(ScanTest, DvdSubstreams) {
    auto privatePacket = [](uint8_t sub, int scrambling = 0) {
        PesFields f;
        f.pts = 9000;  // header data length 5
        f.scrambling = scrambling;
        f.payload = Bytes(2020, 0x00);
        f.payload[0] = sub;
        return f;
    };
    StreamBuilder b;
    b.Pack(3600).Pes(kPrivateStream1Id, privatePacket(0x80));
    b.Pack(7200).Pes(kPrivateStream1Id, privatePacket(0xA1, 1));
    b.Pack(10800)
        .Pes(kPrivateStream1Id, privatePacket(0x21))
        .Pes(kPrivateStream1Id, privatePacket(0x8A));
    b.EndCode();
    ASSERT_EQ(ScanOk, Scan(b.Build(), "a.vob"));
    EXPECT_EQ(2028u, T().maxPesPacketLength);
    EXPECT_EQ(4 * 2020u, T().payloadBytes[kPrivateStream1Id]);
    EXPECT_EQ(2020u, T().substreamBytes[0x80]);
    EXPECT_EQ(1u, T().substreamPacketCount[0x80]);
    EXPECT_EQ(2016u, T().ac3DtsBytes[0]);
    EXPECT_EQ(2016u, T().ac3DtsBytes[0x8A - 0x80]);
    EXPECT_EQ(2013u, T().lpcmBytes[1]);
    EXPECT_EQ(2019u, T().subpictureBytes[1]);
    EXPECT_TRUE(T().substreamScrambled[0xA1]);
    EXPECT_FALSE(T().scrambled[kPrivateStream1Id]);
    EXPECT_EQ(3u, T().audioStreamCount);  // AC-3, DTS and LPCM; not the subpicture

    ASSERT_EQ(ScanOk, Scan(b.Build(), "a.mpg"));
    EXPECT_EQ(4 * 2020u, T().payloadBytes[kPrivateStream1Id]);
    EXPECT_EQ(0u, T().substreamBytes[0x80]);
    EXPECT_EQ(0u, T().ac3DtsBytes[0]);
    EXPECT_TRUE(T().scrambled[kPrivateStream1Id]);
    EXPECT_EQ(0u, T().audioStreamCount);
}

TEST_F(ScanTest, ScramblingMarksTheStream) {
    PesFields f = Payload(10);
    f.scrambling = 2;
    ASSERT_EQ(ScanOk, Scan(StreamBuilder().Pack(3600).Pes(0xC1, f).EndCode().Build()));
    EXPECT_TRUE(T().scrambled[0xC1]);
    EXPECT_FALSE(T().scrambled[0xC0]);
}

TEST_F(ScanTest, ResynchronisationFindsTheNextStartCode) {
    StreamBuilder b;
    b.Pack(3600).Pes(0xE0, Payload(10)).Raw({0x11, 0x22, 0x33, 0x44, 0x55});
    // After resynchronisation a slice start code reads as a stream id below 0xBC.
    b.Raw({0x00, 0x00, 0x01, 0x05, 0x00, 0x04, 0x80, 0x00, 0x00, 0x77});
    b.Pes(0xE0, Payload(10)).EndCode();
    ASSERT_EQ(ScanOk, Scan(b.Build()));
    EXPECT_EQ(1u, T().packetCount[0x05]);
    EXPECT_EQ(1u, T().payloadBytes[0x05]);
    EXPECT_EQ(2u, T().packetCount[0xE0]);
}

// Two packs a second, with a PTS each, the clock modulo 2^33.
Bytes StreamOfSeconds(int seconds, uint64_t firstScr) {
    StreamBuilder b;
    for (int half = 0; half <= 2 * seconds; ++half) {
        b.Pack((firstScr + 45000ull * half) % kClockBaseModulus);
        PesFields f = Payload(100);
        f.pts = (firstScr + 45000ull * half + 9000) % kClockBaseModulus;
        b.Pes(0xE0, f);
    }
    return b.EndCode().Build();
}

TEST_F(ScanTest, TimeLimitCountsFromTheFirstPack) {
    // The limit stops right after the header of the first pack past 300 s (300.5 s, the
    // 602nd), whatever the clock started at, across its wrap too.
    const uint64_t tenHours = 10ull * 3600 * 90000;
    const uint64_t wrapAt100s = kClockBaseModulus - 100 * 90000;
    for (uint64_t firstScr : {uint64_t{0}, tenHours, wrapAt100s}) {
        ASSERT_EQ(ScanOk, Scan(StreamOfSeconds(320, firstScr), "a.mpg", 300));
        EXPECT_EQ(602u, T().packCount) << firstScr;
        EXPECT_EQ(601u, T().packetCount[0xE0]) << firstScr;
        EXPECT_EQ(0u, T().clockDiscontinuities) << firstScr;
    }
    ASSERT_EQ(ScanOk, Scan(StreamOfSeconds(320, tenHours), "a.mpg", 0));
    EXPECT_EQ(641u, T().packCount);
}

// Requests Cancel at its first event pump, as a Cancel click would.
class CancellingSink : public MemorySink {
  public:
    void PumpEvents() override { RequestCancel(); }
};

TEST_F(ScanTest, CancelStopsAtTheNextStartCode) {
    CancellingSink sink;
    SetReportSink(&sink);
    StreamBuilder b;
    for (int i = 0; b.Size() < 3 * BitstreamFile::kBlockSize; ++i) {
        size_t start = b.Size();
        b.Pack(3600 * (i + 1)).Pes(0xE0, Payload(1500)).PadPackTo(start, 2048);
    }
    uint32_t packs = 0;
    ASSERT_EQ(ScanNoEndCode, Scan(b.EndCode().Build()));
    packs = T().packCount;
    EXPECT_GT(packs, 500u);   // the first MiB was read
    EXPECT_LT(packs, 1000u);  // but not much more
    SetReportSink(&bound_.sink);
}

TEST_F(ScanTest, EachScanStartsFromAnEmptyTable) {
    ASSERT_EQ(ScanOk, Scan(MakeSimpleStream(2)));
    StreamBuilder b;
    b.Pack(3600).Pes(0xE0, Payload(10)).EndCode();
    ASSERT_EQ(ScanOk, Scan(b.Build()));
    EXPECT_EQ(0u, T().systemHeaderCount);
    EXPECT_TRUE(T().firstPtsPending[0xE0]);
    EXPECT_EQ(0.0, T().firstPtsMs[0xE0]);
    EXPECT_EQ(0u, T().stdBufferSizeBound[0xE0]);
    EXPECT_EQ(0u, T().packetCount[0xC0]);
}

TEST_F(ScanTest, EveryCutOfAValidStreamEndsInOrder) {
    StreamBuilder b;
    b.Pack(3600, 25200, 2).SystemHeader();
    PesFields f = Payload(30, 0x00);
    f.pts = 9000;
    f.dts = 8000;
    f.escr = 77;
    f.privateData = true;
    f.extension2 = Bytes{0x00, 0x01};
    b.Pes(0xE0, f).PlainPes(kPaddingStreamId, Bytes(20, 0xFF)).Pack(7200).Pes(0xC0, Payload(12));
    Bytes whole = b.EndCode().Build();
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        Bytes piece(whole.begin(), whole.begin() + static_cast<long>(cut));
        ScanResult result = Scan(piece);
        if (cut == whole.size()) {
            EXPECT_EQ(ScanOk, result);
        } else {
            EXPECT_TRUE(result == ScanNoEndCode || result == ScanSyncLost ||
                        result == ScanNotProgramStream || result == ScanMpeg1System ||
                        result == ScanOpenFailed)
                << "cut at " << cut << ": " << result;
        }
        EXPECT_LE(T().packCount, 2u);
    }
}

}  // namespace

namespace {

TEST_F(ScanTest, RandomBytesEndInOrder) {
    // Random bytes alone, and behind a valid pack header so that the scan walks them.
    std::mt19937 random(7);
    Bytes pack = StreamBuilder().Pack(3600).Build();
    for (int round = 0; round < 60; ++round) {
        Bytes bytes = round % 2 ? pack : Bytes{};
        size_t size = 1 + random() % 20000;
        for (size_t i = 0; i < size; ++i) {
            // Plenty of zeros and ones, so start codes and lengths turn up.
            int r = random() % 8;
            bytes.push_back(r < 3 ? 0 : r == 3 ? 1 : static_cast<uint8_t>(random()));
        }
        ScanResult result = Scan(bytes);
        EXPECT_TRUE(result == ScanNoEndCode || result == ScanSyncLost || result == ScanOk ||
                    result == ScanNotProgramStream || result == ScanMpeg1System ||
                    result == ScanPackHeaderInPes)
            << "round " << round << ": " << result;
    }
}

}  // namespace

namespace {

TEST_F(ScanTest, FilesOverFourGibibytes) {
    // A pack, a hole of zeros past 4 GiB (sparse: it takes no disk), three more packs.
    constexpr uint64_t kFar = (uint64_t{1} << 32) + 4096;
    std::string path = dir_.Path() + "/big.mpg";
    Bytes first = StreamBuilder().Pack(3600).Build();
    Bytes rest = StreamBuilder().Pack(7200).Pack(10800).Pack(14400).EndCode().Build();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(static_cast<ssize_t>(first.size()), ::pwrite(fd, first.data(), first.size(), 0));
    ASSERT_EQ(static_cast<ssize_t>(rest.size()),
              ::pwrite(fd, rest.data(), rest.size(), static_cast<off_t>(kFar)));
    struct stat info {};
    ::fstat(fd, &info);
    ::close(fd);
    if (info.st_blocks * 512 > (int64_t{1} << 30)) GTEST_SKIP() << "no sparse files here";

    ASSERT_EQ(ScanOk, ScanProgramStream(path, 0));
    EXPECT_EQ(4u, T().packCount);
    EXPECT_EQ(UINT32_MAX, T().maxPackSize);  // the hole between the first two packs
    EXPECT_EQ(kFar + rest.size(), GetBitstreamFile().FileSize());
    const std::vector<int>& progress = bound_.sink.ProgressHistory();
    ASSERT_FALSE(progress.empty());
    for (size_t i = 1; i < progress.size(); ++i) EXPECT_LE(progress[i - 1], progress[i]);
    EXPECT_LE(progress.back(), 100);
    EXPECT_GE(progress.back(), 99);
}

}  // namespace
