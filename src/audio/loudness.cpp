// Loudness analysis.
#include "audio/loudness.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr int kMaxHalfWindow = 2401;  // at 48 kHz
constexpr int kBins = 12000;          // 0.01 dB over 120 dB
constexpr double kLevelOffsetDb = 77.3654458154172;

// Four doubles handled as one: {left new, right new, left old, right old}, a frame's
// squares, weights and sums for the window that begins at the current half-window and
// the one that began a half-window earlier. Each lane multiplies and adds in turn, as
// four separate sums would; without AVX the compiler splits it into two halves.
typedef double Quad __attribute__((vector_size(32)));

struct LoudnessState {
    int halfWindow = 0;  // N
    std::array<float, 2 * kMaxHalfWindow> window{};
    // The weights of the frame at position j, widened, for both channels: window[j] in
    // the new window, window[N + j] in the old one.
    std::array<Quad, kMaxHalfWindow> weights{};
    bool windowPresent = false;
    int position = 0;
    bool first = true;
    // The sums, one set for the frames at even window positions and one for those at odd
    // ones: independent chains of additions. Which set a frame feeds depends on its
    // position alone, so block sizes do not change the result.
    Quad sums[2] = {};
    std::array<uint32_t, kBins> histLeft{};
    std::array<uint32_t, kBins> histRight{};
};

LoudnessState state;

// Half-window lengths: ceil(rate x 0.1f x 0.5) with 0.1 held in single precision.
int HalfWindowFor(int32_t rate) {
    switch (rate) {
        case 48000:
            return 2401;
        case 44100:
            return 2206;
        case 32000:
            return 1601;
        case 24000:
            return 1201;
        case 22050:
            return 1103;
        case 16000:
            return 801;
        case 12000:
            return 601;
        case 11025:
            return 552;
        case 8000:
            return 401;
        default:
            return 0;
    }
}

int Bin(double power) {
    double bin = std::trunc(1000.0 * std::log10(power + 1e-37));
    if (bin < 0) return 0;
    if (bin >= kBins) return kBins - 1;
    return static_cast<int>(bin);
}

// Squared Hamming window of 2N points, weights adding up to 0.5.
void BuildWindow(int halfWindow) {
    int length = 2 * halfWindow;
    double sum = 0;
    for (int i = 0; i < length; ++i) {
        double h = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * i / (length - 1));
        state.window[i] = static_cast<float>(h * h);
        sum += h * h;
    }
    for (int i = 0; i < length; ++i) {
        state.window[i] = static_cast<float>(state.window[i] * (0.5 / sum));
    }
    for (int j = 0; j < halfWindow; ++j) {
        double newWeight = state.window[j];
        double oldWeight = state.window[halfWindow + j];
        state.weights[j] = Quad{newWeight, newWeight, oldWeight, oldWeight};
    }
}

// The old window is complete: count it; the new one becomes the old.
void CompleteHalfWindow() {
    if (!state.first) {
        Quad sums = state.sums[0] + state.sums[1];
        ++state.histLeft[Bin(sums[2])];
        ++state.histRight[Bin(sums[3])];
    }
    state.first = false;
    for (Quad& sums : state.sums) sums = Quad{0, 0, sums[0], sums[1]};
    state.position = 0;
}

// One frame's weighted squares, in double precision, into one set of sums.
[[gnu::always_inline]] inline void AddFrame(double left, double right, int j, Quad& sums) {
    Quad samples = {left, right, left, right};
    sums += samples * samples * state.weights[j];
}

float LevelOf(const std::array<uint32_t, kBins>& histogram) {
    uint32_t count = 0;
    double amplitudes = 0;
    for (int i = 0; i < kBins; ++i) {
        count += histogram[i];
        if (histogram[i]) amplitudes += histogram[i] * std::pow(10.0, 0.05 * (0.01 * i));
    }
    if (count == 0) return kNoLoudness;
    return static_cast<float>(20 * std::log10(amplitudes / count) - kLevelOffsetDb);
}

}  // namespace

void ResetLoudnessAnalysis() {
    state.position = 0;
    state.first = true;
    state.sums[0] = state.sums[1] = Quad{};
    state.histLeft.fill(0);
    state.histRight.fill(0);
}

bool InitLoudnessAnalysis(int32_t sampleRate) {
    state.halfWindow = HalfWindowFor(sampleRate);
    state.windowPresent = state.halfWindow != 0;
    if (!state.windowPresent) return false;
    BuildWindow(state.halfWindow);
    ResetLoudnessAnalysis();
    return true;
}

namespace {

// Runs of frames up to each half-window boundary, without a boundary test inside;
// `frame(i)` gives frame i of the block as {left, right} in double precision.
// Runs of frames up to each half-window boundary, without a boundary test inside;
// left(i) and right(i) give frame i of the block.
template <typename Left, typename Right>
[[gnu::always_inline]] inline void AnalyzeFrames(int32_t frames, Left left, Right right) {
    const int n = state.halfWindow;
    for (int32_t k = 0; k < frames;) {
        int32_t run = std::min(frames - k, n - state.position);
        const int j = state.position;
        Quad even = state.sums[0];
        Quad odd = state.sums[1];
        int32_t i = 0;
        if (j % 2 == 1 && run > 0) {
            AddFrame(left(k), right(k), j, odd);
            i = 1;
        }
        for (; i + 1 < run; i += 2) {
            AddFrame(left(k + i), right(k + i), j + i, even);
            AddFrame(left(k + i + 1), right(k + i + 1), j + i + 1, odd);
        }
        if (i < run) AddFrame(left(k + i), right(k + i), j + i, even);
        state.sums[0] = even;
        state.sums[1] = odd;
        state.position += run;
        k += run;
        if (state.position == n) CompleteHalfWindow();
    }
}

}  // namespace

// Built for AVX2 as well, where the processor has it: the same products and sums.
__attribute__((target_clones("avx2", "default"))) bool AnalyzeLoudnessBlock(const float* left,
                                                                            const float* right,
                                                                            int32_t frames,
                                                                            int32_t channels) {
    if (channels != 1 && channels != 2) return false;
    if (!state.windowPresent) return true;
    if (channels == 1) right = left;
    AnalyzeFrames(
        frames, [&](int32_t i) { return double{left[i]}; },
        [&](int32_t i) { return double{right[i]}; });
    return true;
}

__attribute__((target_clones("avx2", "default"))) bool AnalyzeLoudnessInterleaved(
    const int16_t* samples, int32_t frames, int32_t channels) {
    if (channels != 1 && channels != 2) return false;
    if (!state.windowPresent) return true;
    AnalyzeFrames(
        frames, [&](int32_t i) { return static_cast<double>(samples[i * channels]); },
        [&](int32_t i) { return static_cast<double>(samples[i * channels + channels - 1]); });
    return true;
}

void GetLoudnessLevels(float& rmsLeft, float& rmsRight) {
    rmsLeft = LevelOf(state.histLeft);
    rmsRight = LevelOf(state.histRight);
}
