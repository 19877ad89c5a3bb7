// Multiplex rate per second from pack clock references.
#include "program/multiplex_rate.h"

#include <algorithm>

namespace {

constexpr double kWindowSeconds = 1.0;

}  // namespace

// A muxer rounds each SCR to its clock, which over a few packs is a sizeable part of the
// time they span: shorter stretches (before a clock jump, at the end) count only when the
// stream has no full second.
void MultiplexRate::CloseWindow(double endSeconds, uint64_t bytes) {
    double span = endSeconds - windowStart_;
    if (span <= 0) return;
    double rate = 8.0 * static_cast<double>(bytes) / span;
    double& peak = span >= kWindowSeconds ? peak_ : shortPeak_;
    peak = std::max(peak, rate);
}

void MultiplexRate::AddPack(double seconds, uint64_t position, bool clockJumped) {
    if (!started_) {
        started_ = true;
        windowStart_ = seconds;
    } else if (clockJumped) {
        // A clock that jumps (joined files, a capture's restart) times nothing across the
        // jump: the stretch ends at the pack before it.
        CloseWindow(previousSeconds_, windowBytes_);
        windowStart_ = seconds;
        windowBytes_ = 0;
    } else {
        windowBytes_ += position - previousPosition_;
        if (seconds - windowStart_ >= kWindowSeconds) {
            CloseWindow(seconds, windowBytes_);
            windowStart_ = seconds;
            windowBytes_ = 0;
        }
    }
    previousSeconds_ = seconds;
    previousPosition_ = position;
}

void MultiplexRate::Finish() {
    if (started_) CloseWindow(previousSeconds_, windowBytes_);
}
