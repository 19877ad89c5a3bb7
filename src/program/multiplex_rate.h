// The rate at which a program stream's packs actually arrive, measured from their SCRs
// and the bytes between them: each pack's bytes enter the decoder at program_mux_rate from
// the time its SCR names (ISO/IEC 13818-1, 2.5.2), so over any stretch of packs the bytes
// divided by the SCR time they span cannot exceed the declared rate.
#pragma once

#include <cstdint>

class MultiplexRate {
  public:
    // A pack whose header starts at byte `position`, at `seconds` of stream time (its SCR
    // from the first pack's, along the clock); `clockJumped` when the clock jumped to it
    // from the pack before, which times nothing across the jump.
    void AddPack(double seconds, uint64_t position, bool clockJumped);
    // The last pack's bytes have no following SCR to be timed by and are left out.
    void Finish();
    // The highest rate over a stretch of about a second, in bit/s (a stream shorter than
    // that: over what it has); 0 without two packs.
    double PeakBitsPerSecond() const { return peak_ > 0 ? peak_ : shortPeak_; }

  private:
    void CloseWindow(double endSeconds, uint64_t bytes);

    bool started_ = false;
    double windowStart_ = 0;
    uint64_t windowBytes_ = 0;
    double previousSeconds_ = 0;
    uint64_t previousPosition_ = 0;
    double peak_ = 0;       // of stretches of a second or more
    double shortPeak_ = 0;  // of shorter ones
};
