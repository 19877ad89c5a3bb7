// PES payload reader: one stream's payload as one bit stream, across packets of other
// ids, packs and system headers, within the first pass's packet budget.
#include "input/stream_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "program/program_stream_scan.h"
#include "support/test_files.h"

namespace {

PesFields Payload(const Bytes& bytes) {
    PesFields f;
    f.pts = 9000;
    f.payload = bytes;
    return f;
}

Bytes Counting(size_t size, uint8_t start) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(start + i);
    return bytes;
}

class StreamReaderTest : public ::testing::Test {
  protected:
    StreamReader& Open(const Bytes& file, int id = 0xE0, int timeLimit = 0) {
        std::string path = dir_.Write("f.mpg", file);
        ScanProgramStream(path, timeLimit);
        reader_.Open(path, id, StreamExtentOf(GetStreamIdTable(), id));
        return reader_;
    }
    void TearDown() override { reader_.Close(); }
    TempDir dir_;
    BoundSink bound_;
    StreamReader reader_;
};

TEST_F(StreamReaderTest, ReadsAcrossPacketsOfOtherStreams) {
    StreamBuilder b;
    b.Pack(3600).SystemHeader().Pes(0xE0, Payload(Counting(2000, 0)));
    b.Pes(0xC0, Payload(Bytes(300, 0xC0))).PlainPes(kPaddingStreamId, Bytes(50, 0xFF));
    b.Pack(7200).SystemHeader().Pes(0xE0, Payload(Counting(2000, 0xD0))).EndCode();
    StreamReader& r = Open(b.Build());
    for (int i = 0; i < 1998; ++i) r.ReadBits(8);
    EXPECT_EQ(0xCECFD0D1u, r.ReadBits(32));  // last two bytes, first two of the next
    EXPECT_EQ(2002u, r.BytesRead());
    EXPECT_FALSE(r.AtEnd());
}

TEST_F(StreamReaderTest, PeeksAreServedToTheNextReads) {
    StreamReader& r =
        Open(StreamBuilder().Pack(3600).Pes(0xE0, Payload(Counting(10, 1))).EndCode().Build());
    EXPECT_EQ(0x010203u, r.PeekBits(24));
    EXPECT_EQ(3u, r.BytesRead());  // bytes in the look-ahead count as read
    EXPECT_EQ(0x01u, r.ReadBits(8));
    EXPECT_EQ(0x020304u, r.PeekBits(24));
    EXPECT_EQ(0x0203u, r.PeekBits(16));
    EXPECT_EQ(0x02030405u, r.PeekBits(32));
    EXPECT_EQ(0x02u, r.PeekBits(8));
    EXPECT_EQ(0x0u, r.ReadBits(4));
    EXPECT_EQ(0x2030u, r.ReadBits(16));
    EXPECT_EQ(0x4u, r.PeekBits(4));
}

TEST_F(StreamReaderTest, NewPacketFlagRisesAtAnyPesStartCode) {
    StreamBuilder b;
    b.Pack(3600).Pes(0xE0, Payload(Bytes(4, 0x11))).Pes(0xC0, Payload(Bytes(4, 0x22)));
    b.Pes(0xE0, Payload(Bytes(4, 0x33))).EndCode();
    StreamReader& r = Open(b.Build());
    EXPECT_TRUE(r.IsNewPacket());
    r.ClearNewPacket();
    r.ReadBits(24);
    EXPECT_FALSE(r.IsNewPacket());
    r.ReadBits(8);  // the last byte: the next payload is loaded at once
    EXPECT_TRUE(r.IsNewPacket());
    EXPECT_EQ(0x33u, r.ReadBits(8));
}

TEST_F(StreamReaderTest, LastPacketOfTheFileIsDelivered) {
    StreamBuilder b;
    b.Pack(3600).Pes(0xE0, Payload({0xAA, 0xBB})).Pes(0xE0, Payload({0x00, 0x00, 0x01, 0xB7}));
    StreamReader& r = Open(b.Build());  // no end code either
    EXPECT_EQ(0xAABBu, r.ReadBits(16));
    EXPECT_TRUE(r.FindPattern(0x000001, 24));
    EXPECT_EQ(0xB7u, r.PeekBits(8));
    EXPECT_FALSE(r.AtEnd());
    EXPECT_EQ(0xB7u, r.ReadBits(8));
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(0u, r.ReadBits(8));
    EXPECT_EQ(6u, r.BytesRead());
}

TEST_F(StreamReaderTest, EmptyPayloadDeliversNothing) {
    PesFields empty;
    empty.pts = 9000;
    StreamBuilder b;
    b.Pack(3600).Pes(0xE0, Payload({0x12})).Pes(0xE0, empty).Pes(0xC0, Payload({0x99}));
    b.Pes(0xE0, Payload({0x34})).EndCode();
    StreamReader& r = Open(b.Build());
    EXPECT_EQ(0x1234u, r.ReadBits(16));
}

TEST_F(StreamReaderTest, TheBudgetOfTheFirstPassHolds) {
    // Packs half a second apart; a 300 s limit lets the first pass count 601 packets.
    StreamBuilder b;
    for (int s = 0; s <= 640; ++s) {
        b.Pack(45000ull * s);
        b.Pes(0xE0, Payload({static_cast<uint8_t>(s)}));
    }
    StreamReader& r = Open(b.EndCode().Build(), 0xE0, 300);
    ASSERT_EQ(601u, GetStreamIdTable().pesPacketCount);
    int bytes = 0;
    while (!r.AtEnd()) {
        r.ReadBits(8);
        ++bytes;
    }
    EXPECT_EQ(601, bytes);
}

// A program stream map packet (ISO/IEC 13818-1, 2.5.4) before the first pack: the
// payload passes start at that pack, as the first pass did, so that the map spends
// none of the packet budget and the last packet is still delivered.
TEST_F(StreamReaderTest, BytesBeforeTheFirstPackSpendNoBudget) {
    StreamBuilder b;
    b.PlainPes(0xBC, Bytes(30, 0xE0)).Raw({0x00, 0x01});
    b.Pack(3600).Pes(0xE0, Payload({0x11})).Pes(0xE0, Payload({0x22}));
    b.Pack(7200).Pes(0xE0, Payload({0x33}));
    StreamReader& r = Open(b.Build());  // no program end code: the budget alone stops it
    ASSERT_EQ(38u, GetStreamIdTable().firstPackOffset);
    EXPECT_EQ(0x112233u, r.ReadBits(24));
}

TEST_F(StreamReaderTest, FindPatternStandsOnTheStartCodeValue) {
    StreamReader& r = Open(
        StreamBuilder().Pack(3600).Pes(0xE0, Payload({0, 0, 1, 0xB3, 0x16})).EndCode().Build());
    EXPECT_TRUE(r.FindPattern(0x000001, 24));
    EXPECT_EQ(0xB3u, r.ReadBits(8));
    EXPECT_FALSE(r.FindPattern(0x000001, 24));
    EXPECT_TRUE(r.AtEnd());
}

TEST_F(StreamReaderTest, PrefixSplitOverPackets) {
    for (size_t zerosInFirst : {1, 2}) {
        Bytes first(10, 0x5A);
        for (size_t i = 0; i < zerosInFirst; ++i) first[first.size() - 1 - i] = 0;
        Bytes second(3 - zerosInFirst, 0);
        second.back() = 1;
        second.push_back(0xB8);
        StreamBuilder b;
        b.Pack(3600)
            .Pes(0xE0, Payload(first))
            .Pes(0xC0, Payload({0, 0, 1}))
            .Pes(0xE0, Payload(second));
        StreamReader& r = Open(b.EndCode().Build());
        EXPECT_TRUE(r.FindPattern(0x000001, 24)) << zerosInFirst;
        EXPECT_EQ(0xB8u, r.ReadBits(8)) << zerosInFirst;
    }
}

TEST_F(StreamReaderTest, GarbageBetweenPacketsIsPassedAsTheFirstPassDoes) {
    StreamBuilder b;
    b.Pack(3600).Pes(0xE0, Payload({0x11, 0x22})).Raw({0x12, 0x34, 0x56, 0x78, 0x9A});
    b.Pes(0xE0, Payload({0x33, 0x44})).EndCode();
    StreamReader& r = Open(b.Build());
    EXPECT_EQ(0x11223344u, r.ReadBits(32));
}

TEST_F(StreamReaderTest, APacketLongerThanAtTheFirstPassIsReadWhole) {
    // The file is shared for writing: it may change between the passes.
    std::string path = dir_.Write(
        "f.mpg", StreamBuilder().Pack(3600).Pes(0xE0, Payload(Bytes(10, 1))).EndCode().Build());
    ScanProgramStream(path, 0);
    ASSERT_EQ(18u, GetStreamIdTable().maxPesPacketLength);
    dir_.Write("f.mpg",
               StreamBuilder().Pack(3600).Pes(0xE0, Payload(Counting(3000, 0))).EndCode().Build());
    StreamReader r;
    ASSERT_TRUE(r.Open(path, 0xE0, StreamExtentOf(GetStreamIdTable(), 0xE0)));
    for (size_t i = 0; i < 2999; ++i) ASSERT_EQ(i & 0xFF, r.ReadBits(8)) << i;
    EXPECT_EQ(2999u & 0xFF, r.ReadBits(8));
    EXPECT_TRUE(r.AtEnd());
}

TEST_F(StreamReaderTest, StreamWithoutPacketsIsAtItsEnd) {
    StreamReader& r = Open(MakeSimpleStream(2), 0xE1);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(0u, r.ReadBits(32));
    EXPECT_FALSE(r.FindPattern(0x000001, 24));
}

// The reader's results defined on the concatenated payload, bit by bit.
class PayloadModel {
  public:
    explicit PayloadModel(const Bytes& bytes) : bytes_(bytes), total_(bytes.size() * 8) {}
    bool AtEnd() const { return consumed_ == total_; }
    uint32_t BytesRead() const { return static_cast<uint32_t>((consumed_ + lookahead_) / 8); }
    uint32_t Read(int n) {
        if (consumed_ + n > total_) {
            consumed_ = total_;
            lookahead_ = 0;
            return 0;
        }
        uint32_t value = Bits(consumed_, n);
        consumed_ += n;
        lookahead_ = lookahead_ > static_cast<size_t>(n) ? lookahead_ - n : 0;
        return value;
    }
    uint32_t Peek(int n) {
        if (consumed_ + n > total_) {
            lookahead_ = total_ - consumed_;
            return 0;
        }
        lookahead_ = std::max(lookahead_, static_cast<size_t>(n));
        return Bits(consumed_, n);
    }
    size_t Skip(size_t count) {
        size_t skipped = 0;
        for (; skipped < count && !AtEnd(); ++skipped) Read(8);
        return skipped;
    }
    bool FindPrefix() {
        while ((consumed_ + lookahead_) % 8 != 0 && !AtEnd()) Read(1);
        int zeros = 0;
        while (!AtEnd()) {
            uint32_t byte = Read(8);
            if (byte == 1 && zeros == 2) return true;
            zeros = byte == 0 ? std::min(zeros + 1, 2) : 0;
        }
        return false;
    }

  private:
    uint32_t Bits(size_t at, int n) const {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i, ++at)
            value = (value << 1) | ((bytes_[at / 8] >> (7 - at % 8)) & 1);
        return value;
    }
    const Bytes& bytes_;
    size_t total_;
    size_t consumed_ = 0;
    size_t lookahead_ = 0;
};

TEST_F(StreamReaderTest, RandomReadsMatchTheConcatenatedPayload) {
    std::mt19937 random(42);
    for (int round = 0; round < 20; ++round) {
        Bytes payload;
        StreamBuilder b;
        for (int packet = 0; packet < 30; ++packet) {
            if (packet % 4 == 0) b.Pack(3600 * (packet + 1));
            Bytes bytes(1 + random() % 300);
            for (auto& byte : bytes)
                byte = random() % 3 == 0 ? static_cast<uint8_t>(random()) : random() % 2;
            payload.insert(payload.end(), bytes.begin(), bytes.end());
            b.Pes(0xE0, Payload(bytes));
            if (random() % 2) b.Pes(0xC0, Payload(Bytes(random() % 50 + 1, 0)));
        }
        StreamReader& r = Open(b.EndCode().Build());
        PayloadModel model(payload);
        for (int step = 0; step < 3000 && !model.AtEnd(); ++step) {
            int n = 1 + random() % 32;
            switch (random() % 5) {
                case 0:
                    ASSERT_EQ(model.Read(n), r.ReadBits(n)) << round << "/" << step;
                    break;
                case 1:
                    ASSERT_EQ(model.Peek(n), r.PeekBits(n)) << round << "/" << step;
                    break;
                case 2:
                    ASSERT_EQ(model.FindPrefix(), r.FindPattern(0x000001, 24))
                        << round << "/" << step;
                    break;
                case 3: {
                    size_t count = random() % 600;
                    ASSERT_EQ(model.Skip(count), r.SkipBytes(count)) << round << "/" << step;
                    break;
                }
                default:
                    ASSERT_EQ(model.Read(8), r.ReadBits(8)) << round << "/" << step;
                    break;
            }
            ASSERT_EQ(model.AtEnd(), r.AtEnd()) << round << "/" << step;
            ASSERT_EQ(model.BytesRead(), r.BytesRead()) << round << "/" << step;
        }
    }
}

}  // namespace
