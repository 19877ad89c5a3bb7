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

struct LoudnessState {
    int halfWindow = 0;  // N
    std::array<float, 2 * kMaxHalfWindow> window{};
    bool windowPresent = false;
    int position = 0;
    bool first = true;
    double sumLeftNew = 0, sumLeftOld = 0, sumRightNew = 0, sumRightOld = 0;
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
}

void CompleteHalfWindow() {
    if (!state.first) {
        ++state.histLeft[Bin(state.sumLeftOld)];
        ++state.histRight[Bin(state.sumRightOld)];
    }
    state.first = false;
    state.sumLeftOld = state.sumLeftNew;
    state.sumRightOld = state.sumRightNew;
    state.sumLeftNew = 0;
    state.sumRightNew = 0;
    state.position = 0;
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
    state.sumLeftNew = state.sumLeftOld = state.sumRightNew = state.sumRightOld = 0;
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

bool AnalyzeLoudnessBlock(const float* left, const float* right, int32_t frames, int32_t channels) {
    if (channels != 1 && channels != 2) return false;
    if (!state.windowPresent) return true;
    if (channels == 1) right = left;
    const int n = state.halfWindow;
    const float* newWeights = state.window.data();
    const float* oldWeights = state.window.data() + n;
    for (int32_t k = 0; k < frames;) {
        // A run up to the next half-window boundary, without a boundary test inside.
        int32_t run = std::min(frames - k, n - state.position);
        int j = state.position;
        // Each sample adds to the sums in turn, so block sizes do not change the result.
        double leftNew = state.sumLeftNew, leftOld = state.sumLeftOld;
        double rightNew = state.sumRightNew, rightOld = state.sumRightOld;
        for (int32_t i = 0; i < run; ++i, ++j) {
            double l = left[k + i];
            double r = right[k + i];
            leftNew += l * l * newWeights[j];
            leftOld += l * l * oldWeights[j];
            rightNew += r * r * newWeights[j];
            rightOld += r * r * oldWeights[j];
        }
        state.sumLeftNew = leftNew;
        state.sumLeftOld = leftOld;
        state.sumRightNew = rightNew;
        state.sumRightOld = rightOld;
        state.position += run;
        k += run;
        if (state.position == n) CompleteHalfWindow();
    }
    return true;
}

void GetLoudnessLevels(float& rmsLeft, float& rmsRight) {
    rmsLeft = LevelOf(state.histLeft);
    rmsRight = LevelOf(state.histRight);
}
