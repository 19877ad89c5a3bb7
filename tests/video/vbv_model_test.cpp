// The video buffer model on picture lists whose occupancy is known by construction.
#include "video/vbv_model.h"

#include <gtest/gtest.h>

namespace {

// 1 Mbit/s at 25 frames a second: 40 000 bits arrive between two removals.
constexpr double kBitRate = 1'000'000;
constexpr double kFieldsPerSecond = 50;
constexpr uint32_t kSteadyBytes = 5000;  // 40 000 bits: what arrives per frame period
constexpr uint32_t kTenthOfASecond = 9000;

std::vector<CodedPicture> Pictures(size_t count, uint32_t vbvDelay, uint32_t bytes = kSteadyBytes) {
    return std::vector<CodedPicture>(count, CodedPicture{bytes, vbvDelay, 2});
}

TEST(VbvModel, ConstantRateWithConsistentDelays) {
    // 0.1 s of start-up delay: 100 000 bits in before the first removal, 60 000 after it,
    // and the same again for every picture until the stream's last bit is in (at 0.4 s,
    // before the 9th removal); then the buffer drains.
    std::vector<VbvSample> samples;
    VbvFigures f =
        ModelVbv(Pictures(10, kTenthOfASecond), {kBitRate, 10 * 16384.0, kFieldsPerSecond},
                 [&](const VbvSample& s) { samples.push_back(s); });
    ASSERT_TRUE(f.modelled);
    EXPECT_EQ(0u, f.underflows);
    EXPECT_EQ(0u, f.overflows);
    EXPECT_NEAR(100.0 * 60000 / 163840, f.minPercent, 1e-9);
    EXPECT_NEAR(100.0 * 100000 / 163840, f.maxPercent, 1e-9);
    ASSERT_EQ(10u, samples.size());
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_NEAR(100000, samples[i].beforeBits, 1e-6) << i;
        EXPECT_NEAR(60000, samples[i].afterBits, 1e-6) << i;
    }
    EXPECT_NEAR(80000, samples[8].beforeBits, 1e-6);
    EXPECT_NEAR(0, samples[9].afterBits, 1e-6);
    EXPECT_EQ(10u, samples.back().picture);
    EXPECT_NEAR(0.36, samples.back().seconds, 1e-12);
}

TEST(VbvModel, ViolationsAtTheirPicture) {
    struct Case {
        const char* what;
        std::vector<CodedPicture> pictures;
        double bufferBits;
        uint32_t underflows, firstUnderflow, overflows, firstOverflow;
        double firstSeconds;
    };
    std::vector<CodedPicture> bigFifth = Pictures(10, kTenthOfASecond);
    bigFifth[4].bytes = 4 * kSteadyBytes;  // 160 000 bits where 100 000 are in
    std::vector<CodedPicture> variableBig = Pictures(10, kNoVbvDelay);
    variableBig[6].bytes = 30000;  // 240 000 bits: more than the buffer holds
    std::vector<CodedPicture> tooFast = Pictures(40, kTenthOfASecond, kSteadyBytes / 2);
    const Case cases[] = {
        // 100 000 bits before every removal but the drained last two, in a buffer of 81 920.
        {"buffer too small", Pictures(10, kTenthOfASecond), 5 * 16384.0, 0, 0, 8, 1, 0.0},
        // The decoder waits for the big picture and goes on from an empty buffer, where
        // each frame period brings exactly the next picture.
        {"picture bigger than what has arrived", bigFifth, 10 * 16384.0, 1, 5, 0, 0, 0.16},
        // Half the bits a frame period brings are taken out: 100 000 + 20 000 × (n − 1)
        // before picture n, above 163 840 from the 5th; the last bit is in at 0.8 s, and
        // the buffer is back within its size from the 33rd.
        {"bit rate above what the pictures use", tooFast, 10 * 16384.0, 0, 0, 28, 5, 0.16},
        // Without a delay the buffer fills until full and never overflows.
        {"variable rate", variableBig, 10 * 16384.0, 1, 7, 0, 0, 0.24},
    };
    for (const Case& c : cases) {
        VbvFigures f = ModelVbv(c.pictures, {kBitRate, c.bufferBits, kFieldsPerSecond});
        EXPECT_EQ(c.underflows, f.underflows) << c.what;
        EXPECT_EQ(c.firstUnderflow, f.firstUnderflowPicture) << c.what;
        EXPECT_EQ(c.overflows, f.overflows) << c.what;
        EXPECT_EQ(c.firstOverflow, f.firstOverflowPicture) << c.what;
        double firstSeconds = c.underflows ? f.firstUnderflowSeconds : f.firstOverflowSeconds;
        EXPECT_NEAR(c.firstSeconds, firstSeconds, 1e-9) << c.what;
    }
}

TEST(VbvModel, VariableRateFillsToFullThenStops) {
    std::vector<VbvSample> samples;
    ModelVbv(Pictures(20, kNoVbvDelay), {kBitRate, 10 * 16384.0, kFieldsPerSecond},
             [&](const VbvSample& s) { samples.push_back(s); });
    ASSERT_EQ(20u, samples.size());
    for (size_t i = 0; i < 10; ++i) EXPECT_NEAR(163840, samples[i].beforeBits, 1e-6) << i;
}

// The stream's last bits arrive and no more: the buffer drains at the end without an
// underflow or a count of bits that never came.
TEST(VbvModel, EndOfStreamDrains) {
    std::vector<VbvSample> samples;
    VbvFigures f =
        ModelVbv(Pictures(3, kTenthOfASecond), {kBitRate, 10 * 16384.0, kFieldsPerSecond},
                 [&](const VbvSample& s) { samples.push_back(s); });
    EXPECT_EQ(0u, f.underflows);
    EXPECT_NEAR(0, samples.back().afterBits, 1e-6);
}

TEST(VbvModel, NotModelledWithoutItsFigures) {
    for (VbvParameters p : {VbvParameters{0, 16384, 50}, VbvParameters{kBitRate, 0, 50},
                            VbvParameters{kBitRate, 16384, 0}}) {
        EXPECT_FALSE(ModelVbv(Pictures(3, kTenthOfASecond), p).modelled);
    }
    EXPECT_FALSE(ModelVbv({}, {kBitRate, 16384, 50}).modelled);
}

}  // namespace
