// BS.1770 loudness on synthesised samples whose loudness is known: the sine waves of
// EBU Tech 3341's first test cases.
#include "audio/programme_loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int32_t kRate = 48000;

// `seconds` of a sine of `hz` whose peak is `dbfs`, in each of `channels` channels.
std::vector<int16_t> Sine(double hz, double dbfs, double seconds, int32_t channels) {
    auto frames = static_cast<size_t>(seconds * kRate);
    double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
    std::vector<int16_t> samples;
    for (size_t i = 0; i < frames; ++i) {
        double value =
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate);
        for (int32_t c = 0; c < channels; ++c)
            samples.push_back(static_cast<int16_t>(std::lround(value)));
    }
    return samples;
}

// Fed in decoder-sized blocks, as the level measurement feeds it.
ProgrammeLoudnessFigures Measure(const std::vector<int16_t>& samples, int32_t channels) {
    ProgrammeLoudness loudness;
    EXPECT_TRUE(loudness.Start(kRate, channels));
    constexpr size_t kBlockFrames = 1152;
    size_t frames = samples.size() / static_cast<size_t>(channels);
    for (size_t first = 0; first < frames; first += kBlockFrames) {
        size_t count = std::min(kBlockFrames, frames - first);
        loudness.Add(samples.data() + first * channels, static_cast<int32_t>(count));
    }
    return loudness.Finish();
}

TEST(ProgrammeLoudness, SinesOfKnownLoudness) {
    struct Case {
        const char* name;
        double dbfs;
        int32_t channels;
        double integrated;  // LUFS
    };
    const Case cases[] = {
        // EBU Tech 3341, cases 1 and 2: stereo 1 kHz at -23 and -33 dBFS.
        {"Tech 3341 case 1", -23, 2, -23.0},
        {"Tech 3341 case 2", -33, 2, -33.0},
        // One channel weighs 1.0: 3 dB below the same sine in both channels.
        {"mono", -23, 1, -26.0},
    };
    for (const Case& c : cases) {
        ProgrammeLoudnessFigures figures = Measure(Sine(1000, c.dbfs, 20, c.channels), c.channels);
        EXPECT_TRUE(figures.measured) << c.name;
        EXPECT_NEAR(c.integrated, figures.integratedLufs, 0.1) << c.name;
        EXPECT_NEAR(c.integrated, figures.maxMomentaryLufs, 0.1) << c.name;
        EXPECT_NEAR(c.integrated, figures.maxShortTermLufs, 0.1) << c.name;
        EXPECT_NEAR(0, figures.rangeLu, 0.1) << c.name;  // a steady tone has no range
        // A 1 kHz sine sampled at 48 kHz peaks between samples little above its samples.
        EXPECT_NEAR(c.dbfs, figures.truePeakDbtp[0], 0.1) << c.name;
        EXPECT_EQ(c.channels, figures.channels) << c.name;
        ASSERT_EQ(200u, figures.curve.size()) << c.name;
        EXPECT_NEAR(20.0, figures.curve.back().seconds, 1e-9) << c.name;
        EXPECT_NEAR(c.integrated, figures.curve.back().shortTermLufs, 0.1) << c.name;
    }
}

// EBU Tech 3342, case 1: 20 s at -20 dBFS, then 20 s at -30 dBFS: a range of 10 LU.
TEST(ProgrammeLoudness, RangeOfTwoLevels) {
    std::vector<int16_t> samples = Sine(1000, -20, 20, 2);
    std::vector<int16_t> quiet = Sine(1000, -30, 20, 2);
    samples.insert(samples.end(), quiet.begin(), quiet.end());
    EXPECT_NEAR(10.0, Measure(samples, 2).rangeLu, 1.0);
}

TEST(ProgrammeLoudness, SilenceAndTooShort) {
    ProgrammeLoudnessFigures silence = Measure(std::vector<int16_t>(2 * 2 * kRate, 0), 2);
    EXPECT_TRUE(std::isinf(silence.integratedLufs) && silence.integratedLufs < 0);
    EXPECT_TRUE(std::isinf(silence.truePeakDbtp[0]) && silence.truePeakDbtp[0] < 0);
    EXPECT_TRUE(std::isinf(silence.maxMomentaryLufs));
    EXPECT_EQ(20u, silence.curve.size());

    // Less than one 400 ms gating block: no integrated loudness, however loud.
    ProgrammeLoudnessFigures brief = Measure(Sine(1000, -6, 0.3, 2), 2);
    EXPECT_LT(brief.seconds, kGatingBlockSeconds);
    EXPECT_TRUE(std::isinf(brief.integratedLufs));
    EXPECT_NEAR(-6, brief.truePeakDbtp[0], 0.2);
}

TEST(ProgrammeLoudness, RefusesWhatItCannotMeasure) {
    ProgrammeLoudness loudness;
    EXPECT_FALSE(loudness.Start(kRate, 3));
    EXPECT_FALSE(loudness.Start(0, 2));
    loudness.Add(nullptr, 0);
    EXPECT_FALSE(loudness.Finish().measured);
    ProgrammeLoudness twice;
    EXPECT_TRUE(twice.Start(kRate, 2));
    EXPECT_FALSE(twice.Start(kRate, 2));
}

}  // namespace
