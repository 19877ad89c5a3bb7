// Start code prefix search: the same answers as a byte-by-byte search, wherever the
// prefix sits relative to the 16-byte steps and however the data is split into calls.
#include "input/start_code_search.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Byte by byte: the offset just past every 00 00 01, each search starting after the
// previous prefix.
std::vector<size_t> NaivePrefixEnds(const std::vector<uint8_t>& data) {
    std::vector<size_t> ends;
    int zeros = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == 1 && zeros >= 2) {
            ends.push_back(i + 1);
            zeros = 0;
        } else {
            zeros = data[i] == 0 ? zeros + 1 : 0;
        }
    }
    return ends;
}

// Every prefix end found by calling FindPrefixEnd on pieces of `piece` bytes, carrying
// the zero count from piece to piece as the readers do.
std::vector<size_t> PrefixEndsInPieces(const std::vector<uint8_t>& data, size_t piece) {
    std::vector<size_t> ends;
    int zeros = 0;
    for (size_t at = 0; at < data.size();) {
        size_t pieceEnd = std::min(at + piece, data.size());
        size_t found = FindPrefixEnd(data.data() + at, data.data() + pieceEnd, zeros);
        if (found == kPrefixNotFound) {
            at = pieceEnd;
        } else {
            at += found;
            ends.push_back(at);
            zeros = 0;
        }
    }
    return ends;
}

TEST(StartCodeSearchTest, PrefixAtEveryOffsetIsFoundWhereItEnds) {
    for (size_t offset = 0; offset < 40; ++offset) {
        std::vector<uint8_t> data(64, 0xFF);
        data[offset] = 0;
        data[offset + 1] = 0;
        data[offset + 2] = 1;
        int zeros = 0;
        EXPECT_EQ(offset + 3, FindPrefixEnd(data.data(), data.data() + data.size(), zeros))
            << "prefix at " << offset;
    }
}

TEST(StartCodeSearchTest, CarriedZerosCompleteAPrefixBegunBeforeTheData) {
    const uint8_t zeroThenOne[] = {0, 1, 0xFF};
    const uint8_t one[] = {1, 0xFF};
    struct Case {
        const uint8_t* data;
        size_t size;
        int zeros;
        size_t expected;
    } cases[] = {
        {zeroThenOne, 3, 1, 2},                // 00 | 00 01
        {zeroThenOne, 3, 0, kPrefixNotFound},  // 00 01 alone
        {one, 2, 2, 1},                        // 00 00 | 01
        {one, 2, 1, kPrefixNotFound},
    };
    for (const Case& c : cases) {
        int zeros = c.zeros;
        EXPECT_EQ(c.expected, FindPrefixEnd(c.data, c.data + c.size, zeros));
    }
}

TEST(StartCodeSearchTest, ZeroCountAfterAMissIsTheTrailingZeros) {
    struct Case {
        std::vector<uint8_t> data;
        int zerosBefore;
        int zerosAfter;
    } cases[] = {
        {{}, 2, 2},
        {{0}, 1, 2},
        {{0}, 2, 2},
        {{5}, 2, 0},
        {std::vector<uint8_t>(40, 0x7F), 2, 0},
        {{9, 9, 9, 0}, 0, 1},
        {std::vector<uint8_t>(40, 0), 0, 2},
    };
    for (const Case& c : cases) {
        int zeros = c.zerosBefore;
        EXPECT_EQ(kPrefixNotFound,
                  FindPrefixEnd(c.data.data(), c.data.data() + c.data.size(), zeros));
        EXPECT_EQ(c.zerosAfter, zeros) << "size " << c.data.size();
    }
}

// Data rich in 00 and 01 bytes, split into pieces of many sizes, finds the same
// prefixes as the byte-by-byte search, runs of more than two zeros included.
TEST(StartCodeSearchTest, RandomDataSplitAnywhereAgreesWithByteByByteSearch) {
    std::mt19937 random(7);
    std::discrete_distribution<int> kind({6, 3, 3});  // other byte, 00, 01
    for (int round = 0; round < 20; ++round) {
        std::vector<uint8_t> data(3000);
        for (uint8_t& byte : data) {
            int k = kind(random);
            byte = k == 1 ? 0 : (k == 2 ? 1 : static_cast<uint8_t>(2 + random() % 254));
        }
        std::vector<size_t> expected = NaivePrefixEnds(data);
        ASSERT_FALSE(expected.empty());
        for (size_t piece : {1, 2, 3, 15, 16, 17, 18, 33, 100, 4096}) {
            EXPECT_EQ(expected, PrefixEndsInPieces(data, piece)) << "pieces of " << piece;
        }
    }
}

}  // namespace
