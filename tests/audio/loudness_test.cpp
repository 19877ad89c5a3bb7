// Loudness analysis against levels known on paper.
#include "audio/loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// One analysis for all of a test, so that a stream that leaks into the next would show.
class Loudness : public ::testing::Test {
  protected:
    // Feeds `frames` frames of a signal in blocks of `block` frames; returns both levels.
    template <typename Signal>
    std::pair<float, float> Levels(int rate, int frames, Signal signal, int block = 1152,
                                   int channels = 2) {
        EXPECT_TRUE(analysis_.Init(rate));
        std::vector<float> left(block);
        std::vector<float> right(block);
        for (int start = 0; start < frames; start += block) {
            int count = std::min(block, frames - start);
            for (int i = 0; i < count; ++i) {
                left[i] = signal(start + i, 0);
                right[i] = signal(start + i, 1);
            }
            EXPECT_TRUE(analysis_.AnalyzeBlock(left.data(), right.data(), count, channels));
        }
        float l = 0;
        float r = 0;
        analysis_.Levels(l, r);
        return {l, r};
    }

    LoudnessAnalysis analysis_;
};

auto Constant(float value) {
    return [value](int, int) { return value; };
}

std::string OneDecimal(float level) {
    char text[32];
    std::snprintf(text, sizeof text, "%0.1f", level);
    return text;
}

TEST_F(Loudness, WindowCountAt48kHz) {
    // N = 2401: 4801 frames complete one half-window after the first; nothing counts.
    EXPECT_EQ(kNoLoudness, Levels(48000, 4801, Constant(1000)).first);
    EXPECT_NE(kNoLoudness, Levels(48000, 7203, Constant(1000)).first);
}

TEST_F(Loudness, LevelsKnownOnPaper) {
    struct Case {
        const char* what;
        float value;
        const char* level;
    };
    for (const Case& c : {Case{"digital silence", 0, "-77.4"}, Case{"constant 1000", 1000, "-20.4"},
                          Case{"constant full scale", 32767, "9.9"}}) {
        auto [left, right] = Levels(48000, 48000, Constant(c.value));
        EXPECT_EQ(c.level, OneDecimal(left)) << c.what;
        EXPECT_EQ(left, right) << c.what;
    }
    // Constant 1000: P = 500000 falls in bin 5698.
    float expected =
        static_cast<float>(20 * std::log10(std::pow(10.0, 5698 / 2000.0)) - 77.3654458154172);
    EXPECT_FLOAT_EQ(expected, Levels(48000, 48000, Constant(1000)).first);
}

TEST_F(Loudness, FullScaleSine) {
    auto sine = [](int i, int) {
        return static_cast<float>(
            std::round(32767 * std::sin(2 * std::numbers::pi * 1000 * i / 48000)));
    };
    float level = Levels(48000, 48000, sine).first;
    EXPECT_NEAR(6.9, level, 0.05);
}

TEST_F(Loudness, BlockSizesDoNotChangeTheResult) {
    auto noise = [](int i, int c) {
        return static_cast<float>((((i * 7919) % 20001) - 10000) / (c + 1));
    };
    float reference = Levels(44100, 30000, noise, 30000).first;
    for (int block : {1, 7, 9, 1152, 2206, 4412, 5000}) {
        auto [left, right] = Levels(44100, 30000, noise, block);
        EXPECT_EQ(reference, left) << block;
        EXPECT_NE(left, right);
    }
}

TEST_F(Loudness, InterleavedFramesGiveTheSameLevels) {
    auto noise = [](int i, int c) {
        return static_cast<float>((((i * 7919) % 20001) - 10000) / (c + 1));
    };
    auto [left, right] = Levels(48000, 20000, noise, 777);
    std::vector<int16_t> interleaved;
    for (int i = 0; i < 20000; ++i) {
        interleaved.push_back(static_cast<int16_t>(noise(i, 0)));
        interleaved.push_back(static_cast<int16_t>(noise(i, 1)));
    }
    ASSERT_TRUE(analysis_.Init(48000));
    // One block larger than the squares are computed in at once, then smaller ones.
    EXPECT_TRUE(analysis_.AnalyzeInterleaved(interleaved.data(), 10000, 2));
    for (int start = 10000; start < 20000; start += 1000) {
        EXPECT_TRUE(analysis_.AnalyzeInterleaved(interleaved.data() + 2 * start, 1000, 2));
    }
    float l = 0;
    float r = 0;
    analysis_.Levels(l, r);
    EXPECT_EQ(left, l);
    EXPECT_EQ(right, r);
}

TEST_F(Loudness, MonoCountsTheLeftForBoth) {
    auto ramp = [](int i, int c) { return static_cast<float>(c == 0 ? i % 3000 : 0); };
    auto [left, right] = Levels(32000, 32000, ramp, 1000, 1);
    EXPECT_EQ(left, right);
}

// One stream's windows never count for the next one of the same analysis, whatever the
// next one's rate.
TEST_F(Loudness, NothingLeaksIntoTheNextStream) {
    EXPECT_EQ("-20.4", OneDecimal(Levels(48000, 48000, Constant(1000)).first));
    EXPECT_FALSE(analysis_.Init(96000));
    float left = 0;
    float right = 0;
    analysis_.Levels(left, right);
    EXPECT_EQ(kNoLoudness, left);
    EXPECT_EQ(kNoLoudness, right);

    // A next stream of a supported rate, too short for a window: nothing counts either.
    EXPECT_EQ("-20.4", OneDecimal(Levels(48000, 48000, Constant(1000)).first));
    EXPECT_EQ(kNoLoudness, Levels(44100, 4000, Constant(1000)).first);
}

TEST_F(Loudness, UnsupportedRateAndChannelCount) {
    EXPECT_FALSE(analysis_.Init(96000));
    float block[10] = {};
    EXPECT_TRUE(analysis_.AnalyzeBlock(block, block, 10, 2));
    float l = 0;
    float r = 0;
    analysis_.Levels(l, r);
    EXPECT_EQ(kNoLoudness, l);
    EXPECT_EQ(kNoLoudness, r);
    EXPECT_TRUE(analysis_.Init(8000));
    EXPECT_FALSE(analysis_.AnalyzeBlock(block, block, 10, 3));
    EXPECT_TRUE(analysis_.AnalyzeBlock(block, block, 0, 2));
}

}  // namespace
