// Loudness analysis.
#include "audio/loudness.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>

namespace {

constexpr int kMaxHalfWindow = 2401;  // at 48 kHz
constexpr int kBins = 12000;          // 0.01 dB over 120 dB
constexpr double kLevelOffsetDb = 77.3654458154172;

// Two doubles handled as one, left and right: a frame's samples, and the sums of the
// two channels for one window. Each lane adds its products in turn, as two separate
// sums would.
typedef double Pair __attribute__((vector_size(16)));
typedef float FloatPair __attribute__((vector_size(8)));

}  // namespace

struct LoudnessState {
    int halfWindow = 0;  // N
    std::array<float, 2 * kMaxHalfWindow> window{};
    // The weights of the frame at position j, widened and doubled for both channels:
    // window[j] in the new window, window[N + j] in the old one.
    std::array<Pair, kMaxHalfWindow> newWeights{};
    std::array<Pair, kMaxHalfWindow> oldWeights{};
    bool windowPresent = false;
    int position = 0;
    bool first = true;
    // {left, right} sums of the new and the old window, one set for the frames at even
    // window positions and one for those at odd ones: independent chains of additions.
    // Which sum a frame feeds depends on its position alone, so block sizes do not
    // change the result.
    Pair newSums[2] = {};
    Pair oldSums[2] = {};
    std::array<uint32_t, kBins> histLeft{};
    std::array<uint32_t, kBins> histRight{};
    std::array<int32_t, 8192> squares{};  // one decoded block's squared samples
};

namespace {

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
void BuildWindow(LoudnessState& state, int halfWindow) {
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
        state.newWeights[j] = Pair{state.window[j], state.window[j]};
        state.oldWeights[j] = Pair{state.window[halfWindow + j], state.window[halfWindow + j]};
    }
}

// The old window is complete: count it; the new one becomes the old.
void CompleteHalfWindow(LoudnessState& state) {
    if (!state.first) {
        Pair old = state.oldSums[0] + state.oldSums[1];
        ++state.histLeft[Bin(old[0])];
        ++state.histRight[Bin(old[1])];
    }
    state.first = false;
    for (int lane = 0; lane < 2; ++lane) {
        state.oldSums[lane] = state.newSums[lane];
        state.newSums[lane] = Pair{};
    }
    state.position = 0;
}

// One frame's squared samples {left, right}, weighted, into one set of sums.
inline void AddFrame(const LoudnessState& state, Pair squares, int j, Pair& newSums,
                     Pair& oldSums) {
    newSums += squares * state.newWeights[j];
    oldSums += squares * state.oldWeights[j];
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

// A new stream: no window counted, no sums carried over.
void Reset(LoudnessState& state) {
    state.position = 0;
    state.first = true;
    for (int lane = 0; lane < 2; ++lane) state.newSums[lane] = state.oldSums[lane] = Pair{};
    state.histLeft.fill(0);
    state.histRight.fill(0);
}

// Runs of frames up to each half-window boundary, without a boundary test inside;
// `frame(i)` gives frame i of the block as {left, right} in double precision.
template <typename FrameAt>
void AnalyzeFrames(LoudnessState& state, int32_t frames, FrameAt frame) {
    const int n = state.halfWindow;
    for (int32_t k = 0; k < frames;) {
        int32_t run = std::min(frames - k, n - state.position);
        const int j = state.position;
        Pair new0 = state.newSums[0], new1 = state.newSums[1];
        Pair old0 = state.oldSums[0], old1 = state.oldSums[1];
        int32_t i = 0;
        if (j % 2 == 1 && run > 0) {
            AddFrame(state, frame(k), j, new1, old1);
            i = 1;
        }
        for (; i + 1 < run; i += 2) {
            AddFrame(state, frame(k + i), j + i, new0, old0);
            AddFrame(state, frame(k + i + 1), j + i + 1, new1, old1);
        }
        if (i < run) AddFrame(state, frame(k + i), j + i, new0, old0);
        state.newSums[0] = new0;
        state.newSums[1] = new1;
        state.oldSums[0] = old0;
        state.oldSums[1] = old1;
        state.position += run;
        k += run;
        if (state.position == n) CompleteHalfWindow(state);
    }
}

}  // namespace

LoudnessAnalysis::LoudnessAnalysis() : state_(std::make_unique<LoudnessState>()) {}

LoudnessAnalysis::~LoudnessAnalysis() = default;

bool LoudnessAnalysis::Init(int32_t sampleRate) {
    LoudnessState& state = *state_;
    // Reset before anything else: a previous stream's windows must not count for this one,
    // whether or not its rate is supported.
    Reset(state);
    state.halfWindow = HalfWindowFor(sampleRate);
    state.windowPresent = state.halfWindow != 0;
    if (!state.windowPresent) return false;
    BuildWindow(state, state.halfWindow);
    return true;
}

bool LoudnessAnalysis::AnalyzeBlock(const float* left, const float* right, int32_t frames,
                                    int32_t channels) {
    LoudnessState& state = *state_;
    if (channels != 1 && channels != 2) return false;
    if (!state.windowPresent) return true;
    if (channels == 1) right = left;
    AnalyzeFrames(state, frames, [&](int32_t i) {
        Pair samples = __builtin_convertvector((FloatPair{left[i], right[i]}), Pair);
        return samples * samples;
    });
    return true;
}

bool LoudnessAnalysis::AnalyzeInterleaved(const int16_t* samples, int32_t frames,
                                          int32_t channels) {
    LoudnessState& state = *state_;
    if (channels != 1 && channels != 2) return false;
    if (!state.windowPresent) return true;
    // The squares of 16-bit samples are exact in 32-bit integers, and so in doubles;
    // squaring a chunk first keeps the window loop short.
    int32_t* squares = state.squares.data();
    const int32_t chunkFrames = static_cast<int32_t>(state.squares.size()) / channels;
    for (int32_t first = 0; first < frames; first += chunkFrames) {
        int32_t count = std::min(chunkFrames, frames - first) * channels;
        const int16_t* chunk = samples + first * channels;
        for (int32_t i = 0; i < count; ++i) squares[i] = int32_t{chunk[i]} * chunk[i];
        if (channels == 2) {
            AnalyzeFrames(state, count / 2, [&](int32_t i) {
                return Pair{static_cast<double>(squares[2 * i]),
                            static_cast<double>(squares[2 * i + 1])};
            });
        } else {
            AnalyzeFrames(state, count, [&](int32_t i) {
                return Pair{static_cast<double>(squares[i]), static_cast<double>(squares[i])};
            });
        }
    }
    return true;
}

void LoudnessAnalysis::Levels(float& rmsLeft, float& rmsRight) const {
    rmsLeft = LevelOf(state_->histLeft);
    rmsRight = LevelOf(state_->histRight);
}
