// Bitstream file reader: end of data, block boundaries, look-ahead, pattern search,
// progress, and its open errors.
#include "input/bitstream_file.h"

#include <gtest/gtest.h>

#include <random>

#include "report/report_log.h"
#include "support/test_files.h"

namespace {

constexpr size_t kMiB = BitstreamFile::kBlockSize;

class BitstreamFileTest : public ::testing::Test {
  protected:
    BitstreamFile& Open(const Bytes& bytes) {
        path_ = dir_.Write("f.mpg", bytes);
        EXPECT_TRUE(file_.Open(path_));
        return file_;
    }
    TempDir dir_;
    BoundSink bound_;
    BitstreamFile file_;
    std::string path_;
};

TEST_F(BitstreamFileTest, EndFlagIsSetRightAfterTheLastByte) {
    BitstreamFile& f = Open(Bytes(1000, 0xAB));
    for (int i = 0; i < 999; ++i) f.ReadBits(8);
    EXPECT_FALSE(f.AtEnd());
    EXPECT_EQ(0xABu, f.ReadBits(8));
    EXPECT_TRUE(f.AtEnd());
    EXPECT_EQ(0u, f.ReadBits(8));
    EXPECT_EQ(0, f.ReadBit());
    EXPECT_EQ(8000.0, f.BitPosition());
}

TEST_F(BitstreamFileTest, FileOfExactlyTwoBlocksEndsAfterItsLastByte) {
    Bytes bytes(2 * kMiB);
    bytes.back() = 0x5A;
    BitstreamFile& f = Open(bytes);
    f.SkipBytes(2 * kMiB - 1);
    EXPECT_FALSE(f.AtEnd());
    EXPECT_EQ(0x5Au, f.ReadBits(8));
    EXPECT_TRUE(f.AtEnd());
}

TEST_F(BitstreamFileTest, WholeByteAndBitReadsAgree) {
    BitstreamFile& f = Open({0x00, 0x00, 0x01, 0xBA, 0x94, 0xD5, 0x3C});
    EXPECT_EQ(0x1BAu, f.ReadBits(32));
    EXPECT_EQ(0x94Du, f.ReadBits(12));  // 1001 0100 1101
    EXPECT_EQ(0x5u, f.ReadBits(4));     // 0101
    EXPECT_EQ(0, f.ReadBit());          // 0011 1100, bit by bit
    EXPECT_EQ(0, f.ReadBit());
    EXPECT_EQ(1, f.ReadBit());
    EXPECT_EQ(0x1Cu, f.ReadBits(5));
    EXPECT_TRUE(f.AtEnd());
}

TEST_F(BitstreamFileTest, AReadThatMeetsTheEndPartWayReturnsZero) {
    BitstreamFile& f = Open({0x12, 0x34, 0x56});
    f.ReadBits(16);
    EXPECT_EQ(0u, f.ReadBits(16));
    EXPECT_TRUE(f.AtEnd());
}

TEST_F(BitstreamFileTest, PeekAcrossABlockBoundary) {
    Bytes bytes(kMiB + 10, 0);
    bytes[kMiB - 2] = 0x11;
    bytes[kMiB - 1] = 0x22;
    bytes[kMiB] = 0x33;
    bytes[kMiB + 1] = 0x44;
    BitstreamFile& f = Open(bytes);
    f.SkipBytes(kMiB - 2);
    EXPECT_EQ(0x11223344u, f.PeekBits(32));
    EXPECT_EQ(0x11223344u, f.ReadBits(32));
    EXPECT_FALSE(f.AtEnd());
}

TEST_F(BitstreamFileTest, PeekNeverConsumesAndIsZeroPastTheEnd) {
    BitstreamFile& f = Open({0xC0, 0x01});
    EXPECT_EQ(0x3u, f.PeekBits(2));
    EXPECT_EQ(0xC001u, f.PeekBits(16));
    EXPECT_EQ(0u, f.PeekBits(24));
    EXPECT_EQ(0xC0u, f.ReadBits(8));
    EXPECT_EQ(0.0 + 8, f.BitPosition());
}

TEST_F(BitstreamFileTest, FindPatternStandsRightAfterThePrefix) {
    BitstreamFile& f = Open({0x00, 0x00, 0x00, 0x01, 0xBA});
    EXPECT_TRUE(f.FindPattern(0x000001, 24));
    EXPECT_EQ(0xBAu, f.ReadBits(8));
}

TEST_F(BitstreamFileTest, FindPatternAlignsFirstAndFindsAPrefixEndingTheFile) {
    BitstreamFile& f = Open({0xFF, 0x00, 0x00, 0x01});
    f.ReadBits(3);
    EXPECT_TRUE(f.FindPattern(0x000001, 24));
    EXPECT_TRUE(f.AtEnd());
    BitstreamFile& g = Open({0x00, 0x00, 0x02, 0x00, 0x00});
    EXPECT_FALSE(g.FindPattern(0x000001, 24));
    EXPECT_TRUE(g.AtEnd());
}

TEST_F(BitstreamFileTest, FindPatternAcrossABlockBoundary) {
    for (size_t zerosBefore : {1, 2}) {
        Bytes bytes(kMiB + 8, 0xFF);
        size_t one = kMiB + 2 - zerosBefore;  // the 01 byte
        bytes[one - 2] = 0;
        bytes[one - 1] = 0;
        bytes[one] = 1;
        bytes[one + 1] = 0xE0;
        BitstreamFile& f = Open(bytes);
        EXPECT_TRUE(f.FindPattern(0x000001, 24));
        EXPECT_EQ(0xE0u, f.ReadBits(8)) << zerosBefore;
        EXPECT_EQ(8.0 * (one + 2), f.BitPosition());
    }
}

TEST_F(BitstreamFileTest, ProgressOncePerMiBOfByteReading) {
    BitstreamFile& f = Open(Bytes(10 * kMiB, 0x47));
    while (!f.AtEnd()) f.ReadBits(8);
    std::vector<int> expected = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    EXPECT_EQ(expected, bound_.sink.ProgressHistory());
}

TEST_F(BitstreamFileTest, SkipBytesReportsTheSameProgress) {
    BitstreamFile& f = Open(Bytes(4 * kMiB + 100, 0));
    f.SkipBytes(1);
    f.SkipBytes(3 * kMiB);
    f.SkipBytes(5 * kMiB);
    EXPECT_TRUE(f.AtEnd());
    std::vector<int> expected = {24, 49, 74, 99};
    EXPECT_EQ(expected, bound_.sink.ProgressHistory());
}

TEST_F(BitstreamFileTest, FileSizeOutlivesClose) {
    BitstreamFile& f = Open(Bytes(1234, 1));
    f.Close();
    EXPECT_EQ(1234u, f.FileSize());
    EXPECT_TRUE(f.AtEnd());
    EXPECT_EQ(0u, f.ReadBits(8));
}

struct OpenErrorCase {
    const char* name;
    const char* message;
};

TEST(BitstreamFileOpen, ErrorsShowTheirMessage) {
    TempDir dir;
    BoundSink bound;
    BitstreamFile file;
    std::string empty = dir.Write("empty.mpg", {});
    std::string missing = dir.Path() + "/missing.mpg";
    EXPECT_FALSE(file.Open(empty));
    EXPECT_FALSE(file.Open(missing));
    EXPECT_FALSE(file.Open(dir.Path()));
    std::vector<std::string> expected = {"Unable to read from file " + empty + ".",
                                         "Unable to open file " + missing + " for reading.",
                                         "Unable to open file " + dir.Path() + " for reading."};
    EXPECT_EQ(expected, bound.sink.ErrorBoxes());
    EXPECT_EQ(Verdict::Fail, bound.sink.CurrentVerdict());
}

// The reader's results defined byte by byte, to hold the block-wise reader to.
class ReferenceReader {
  public:
    explicit ReferenceReader(const Bytes& bytes) : bytes_(bytes) {}
    bool AtEnd() const { return bit_ >= bytes_.size() * 8; }
    uint32_t ReadBits(int n) {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            if (AtEnd()) return 0;
            value = (value << 1) | Bit(bit_++);
        }
        return value;
    }
    uint32_t PeekBits(int n) const {
        if (bit_ + n > bytes_.size() * 8) return 0;
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) value = (value << 1) | Bit(bit_ + i);
        return value;
    }
    bool FindPrefix() {
        bit_ = (bit_ + 7) / 8 * 8;
        uint32_t value = ReadBits(24);
        while ((value & 0xFFFFFF) != 1) {
            if (AtEnd()) return false;
            value = (value << 8) + ReadBits(8);
        }
        return true;
    }
    double BitPosition() const { return static_cast<double>(bit_); }

  private:
    uint32_t Bit(size_t at) const { return (bytes_[at / 8] >> (7 - at % 8)) & 1; }
    const Bytes& bytes_;
    size_t bit_ = 0;
};

TEST_F(BitstreamFileTest, RandomReadsMatchTheByteByByteDefinition) {
    std::mt19937 random(20261210);
    Bytes bytes(kMiB + 3000);
    for (auto& b : bytes) {
        int r = random() % 16;
        b = r < 8 ? 0 : r < 10 ? 1 : static_cast<uint8_t>(random());
    }
    for (int round = 0; round < 4; ++round) {
        SetReadAhead(round % 2 == 0);  // the next block read beside the parsing, or when due
        BitstreamFile& f = Open(bytes);
        ReferenceReader ref(bytes);
        int step = 0;
        while (!ref.AtEnd() && step < 400000) {
            ++step;
            int n = 1 + random() % 32;
            switch (random() % 6) {
                case 0:
                    ASSERT_EQ(ref.ReadBits(n), f.ReadBits(n)) << step;
                    break;
                case 1:
                    ASSERT_EQ(ref.PeekBits(n), f.PeekBits(n)) << step;
                    break;
                case 2:
                    ASSERT_EQ(ref.FindPrefix(), f.FindPattern(0x000001, 24)) << step;
                    break;
                case 3: {
                    int bytesToSkip = random() % (round == 0 ? 8 : 5000);
                    if (f.IsByteAligned()) {
                        f.SkipBytes(bytesToSkip);
                        for (int i = 0; i < bytesToSkip; ++i) ref.ReadBits(8);
                    }
                    break;
                }
                default:
                    ASSERT_EQ(ref.ReadBits(8 * (1 + n % 4)), f.ReadBits(8 * (1 + n % 4))) << step;
                    break;
            }
            ASSERT_EQ(ref.BitPosition(), f.BitPosition()) << step;
            ASSERT_EQ(ref.AtEnd(), f.AtEnd()) << step;
        }
    }
    SetReadAhead(true);
}

}  // namespace
