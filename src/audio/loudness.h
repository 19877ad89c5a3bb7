// Loudness of decoded audio per channel, in dB: overlapping windows of about 100 ms
// (2N frames, weighted by a squared Hamming window normalised to 0.5, a new one every N
// frames), each window's power sorted into a histogram of 0.01 dB bins, and the mean
// of the windows' amplitudes less 77.3654458154172 dB. Its bins, guard value, empty
// result and rates follow the ReplayGain analysis; the weighting and the mean do not.
#pragma once

#include <cstdint>
#include <memory>

// The level of a channel without a single counted window.
constexpr float kNoLoudness = -24601.0f;

// The window, its running sums and the histograms of one stream (a quarter of a
// megabyte, kept on the heap).
struct LoudnessState;

// The analysis of one stream; streams analysed at once each have their own.
class LoudnessAnalysis {
  public:
    LoudnessAnalysis();
    ~LoudnessAnalysis();
    LoudnessAnalysis(const LoudnessAnalysis&) = delete;
    LoudnessAnalysis& operator=(const LoudnessAnalysis&) = delete;

    // Starts a new stream: sets the window for the rate. False for a rate other than
    // 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025 and 8000 Hz; the stream's
    // blocks are then ignored and both levels read kNoLoudness.
    bool Init(int32_t sampleRate);
    // Samples are the integer sample values as floats; with one channel `right` is not
    // read and the left samples count for both. False for a channel count other than 1
    // or 2.
    bool AnalyzeBlock(const float* left, const float* right, int32_t frames, int32_t channels);
    // The same for 16-bit samples stored left, right, left, ... (one a frame for mono).
    bool AnalyzeInterleaved(const int16_t* samples, int32_t frames, int32_t channels);
    void Levels(float& rmsLeft, float& rmsRight) const;

  private:
    std::unique_ptr<LoudnessState> state_;
};
