// Programme loudness of one decoded audio stream after ITU-R BS.1770-4, as EBU R 128 and
// ATSC A/85 judge it: integrated loudness (gated), loudness range (EBU Tech 3342), the
// highest momentary and short-term loudness, the true peak of each channel, and the
// loudness every 100 ms for the graph. Measured by libebur128 on the samples the level
// measurement decodes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/loudness_listener.h"

// -infinity stands for silence (and for a peak of no sample above zero).
struct ProgrammeLoudnessFigures {
    bool measured = false;
    int32_t channels = 0;
    double seconds = 0;  // of audio measured
    double integratedLufs = 0;
    double rangeLu = 0;
    double maxMomentaryLufs = 0;
    double maxShortTermLufs = 0;
    double truePeakDbtp[2] = {0, 0};
    std::vector<LoudnessPoint> curve;  // every 100 ms
};

// The meters are read every 100 ms (EBU Tech 3341: at least that often), each reading one
// block of that length.
constexpr unsigned long kLoudnessPointMs = 100;
// A gated block is 400 ms long (ITU-R BS.1770-4, 2.8), the momentary window as long (EBU
// Tech 3341): a shorter stream has no integrated loudness at all.
constexpr unsigned long kGatingBlockMs = 400;
constexpr double kGatingBlockSeconds = kGatingBlockMs / 1000.0;
// The short-term window (EBU Tech 3341).
constexpr unsigned long kShortTermWindowMs = 3000;

// What the decoding pass of each stream id 0xC0 to 0xDF measured; `measured` is false
// where loudness was not asked for.
ProgrammeLoudnessFigures& ProgrammeLoudnessRecord(int streamId);

class ProgrammeLoudness {
  public:
    ProgrammeLoudness();
    ~ProgrammeLoudness();
    ProgrammeLoudness(const ProgrammeLoudness&) = delete;
    ProgrammeLoudness& operator=(const ProgrammeLoudness&) = delete;

    // One channel (single channel mode) or two, each weighted 1.0: stereo as left and
    // right, dual channel as its two programmes side by side. False when the library
    // refuses the format; nothing is measured then.
    bool Start(int32_t sampleRate, int32_t channels);
    // 16-bit samples, interleaved when there are two channels.
    void Add(const int16_t* samples, int32_t frames);
    ProgrammeLoudnessFigures Finish();

  private:
    struct Meter;  // libebur128's state
    void AddPoint();

    std::unique_ptr<Meter> meter_;
    int32_t sampleRate_ = 0;
    int32_t channels_ = 0;
    int64_t frames_ = 0;
    int64_t framesToNextPoint_ = 0;
    // The last short-term window in blocks of one point, a ring.
    std::array<double, kShortTermWindowMs / kLoudnessPointMs> blockEnergy_{};
    size_t nextBlock_ = 0;
    ProgrammeLoudnessFigures figures_;
};
