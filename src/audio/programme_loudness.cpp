// BS.1770 loudness through libebur128.
#include "audio/programme_loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "input/pes_header.h"

namespace {

std::array<ProgrammeLoudnessFigures, kAudioStreamIdCount> records;

constexpr double kPointSeconds = kLoudnessPointMs / 1000.0;
// Blocks of one point in the momentary and short-term windows.
constexpr size_t kMomentaryBlocks = kGatingBlockMs / kLoudnessPointMs;
constexpr size_t kShortTermBlocks = kShortTermWindowMs / kLoudnessPointMs;
// Loudness is -0.691 + 10 log10 of the channels' weighted mean square (BS.1770-4, (2)).
constexpr double kLoudnessOffset = -0.691;

double Decibels(double linear) { return linear > 0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

double EnergyOf(double lufs) { return std::pow(10.0, (lufs - kLoudnessOffset) / 10.0); }

double LoudnessOf(double energy) {
    return energy > 0 ? kLoudnessOffset + 10.0 * std::log10(energy) : -HUGE_VAL;
}

}  // namespace

ProgrammeLoudnessFigures& ProgrammeLoudnessRecord(int streamId) {
    int id = std::clamp<int>(streamId, kFirstAudioStreamId, kLastAudioStreamId);
    return records[static_cast<size_t>(id - kFirstAudioStreamId)];
}

struct ProgrammeLoudness::Meter {
    explicit Meter(ebur128_state* state) : st(state) {}
    ~Meter() { ebur128_destroy(&st); }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;
    ebur128_state* st;
};

ProgrammeLoudness::ProgrammeLoudness() = default;

ProgrammeLoudness::~ProgrammeLoudness() = default;

bool ProgrammeLoudness::Start(int32_t sampleRate, int32_t channels) {
    if (meter_ || sampleRate <= 0 || channels < 1 || channels > 2) return false;
    // The histogram keeps a long programme's gating in constant memory.
    ebur128_state* state = ebur128_init(
        static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
        EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM);
    if (!state) return false;
    meter_ = std::make_unique<Meter>(state);
    sampleRate_ = sampleRate;
    channels_ = channels;
    framesToNextPoint_ = std::llround(kPointSeconds * sampleRate);
    figures_.channels = channels;
    figures_.maxMomentaryLufs = -HUGE_VAL;
    figures_.maxShortTermLufs = -HUGE_VAL;
    return true;
}

// The meters as they read at the end of the last 100 ms, from the energies of the last
// blocks of 100 ms (those before the stream's start count as silence, as in the library's
// own meters): reading one 100 ms window from the library costs a thirtieth of reading the
// 3 s one, and a run reads ten a second.
void ProgrammeLoudness::AddPoint() {
    double lufs = 0;
    ebur128_loudness_window(meter_->st, kLoudnessPointMs, &lufs);
    blockEnergy_[nextBlock_ % kShortTermBlocks] = std::isfinite(lufs) ? EnergyOf(lufs) : 0;
    double momentary = 0;
    double shortTerm = 0;
    for (size_t back = 0; back < kShortTermBlocks; ++back) {
        double energy = blockEnergy_[(nextBlock_ + kShortTermBlocks - back) % kShortTermBlocks];
        if (back < kMomentaryBlocks) momentary += energy;
        shortTerm += energy;
    }
    ++nextBlock_;
    LoudnessPoint point;
    point.seconds = static_cast<double>(frames_) / sampleRate_;
    point.momentaryLufs = LoudnessOf(momentary / kMomentaryBlocks);
    point.shortTermLufs = LoudnessOf(shortTerm / kShortTermBlocks);
    figures_.maxMomentaryLufs = std::max(figures_.maxMomentaryLufs, point.momentaryLufs);
    figures_.maxShortTermLufs = std::max(figures_.maxShortTermLufs, point.shortTermLufs);
    figures_.curve.push_back(point);
}

// Fed in pieces that end on every 100 ms boundary, so that each point reads the meters
// exactly there.
void ProgrammeLoudness::Add(const int16_t* samples, int32_t frames) {
    if (!meter_) return;
    while (frames > 0) {
        auto piece = static_cast<int32_t>(std::min<int64_t>(frames, framesToNextPoint_));
        ebur128_add_frames_short(meter_->st, samples, static_cast<size_t>(piece));
        samples += static_cast<ptrdiff_t>(piece) * channels_;
        frames -= piece;
        frames_ += piece;
        framesToNextPoint_ -= piece;
        if (framesToNextPoint_ == 0) {
            AddPoint();
            framesToNextPoint_ = std::llround(kPointSeconds * sampleRate_);
        }
    }
}

ProgrammeLoudnessFigures ProgrammeLoudness::Finish() {
    if (!meter_) return {};
    figures_.measured = true;
    figures_.seconds = static_cast<double>(frames_) / sampleRate_;
    ebur128_loudness_global(meter_->st, &figures_.integratedLufs);
    ebur128_loudness_range(meter_->st, &figures_.rangeLu);
    for (int32_t c = 0; c < channels_; ++c) {
        double peak = 0;
        ebur128_true_peak(meter_->st, static_cast<unsigned>(c), &peak);
        figures_.truePeakDbtp[c] = Decibels(peak);
    }
    if (channels_ == 1) figures_.truePeakDbtp[1] = figures_.truePeakDbtp[0];
    meter_.reset();
    return std::move(figures_);
}
