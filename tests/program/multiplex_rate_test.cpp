#include "program/multiplex_rate.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Pack {
    double seconds;
    uint64_t position;
    bool clockJumped = false;
};

double PeakOf(const std::vector<Pack>& packs) {
    MultiplexRate rate;
    for (const Pack& pack : packs) rate.AddPack(pack.seconds, pack.position, pack.clockJumped);
    rate.Finish();
    return rate.PeakBitsPerSecond();
}

// `count` packs of `bytes` each, their clocks `gap` seconds apart from `start`.
std::vector<Pack> Steady(int count, uint64_t bytes, double gap, double start = 0,
                         uint64_t firstPosition = 0) {
    std::vector<Pack> packs;
    for (int i = 0; i < count; ++i) {
        packs.push_back({start + i * gap, firstPosition + static_cast<uint64_t>(i) * bytes, false});
    }
    return packs;
}

TEST(MultiplexRate, PeakOfPacksAgainstTheirClocks) {
    // 2048-byte packs every 1.6384 ms arrive at exactly 10 Mbit/s.
    constexpr double kGap = 2048 * 8 / 10e6;
    // After a jump the stream time goes on by a pack's time at its rate, here far less,
    // as if a megabyte had arrived in a millisecond.
    std::vector<Pack> joined = Steady(2000, 2048, kGap);
    std::vector<Pack> restart =
        Steady(2000, 2048, kGap, joined.back().seconds + 0.001, 2000 * 2048 + (1 << 20));
    restart.front().clockJumped = true;
    joined.insert(joined.end(), restart.begin(), restart.end());
    std::vector<Pack> burst = Steady(2000, 2048, kGap);
    std::vector<Pack> fast =
        Steady(2500, 2048, kGap / 2, burst.back().seconds + kGap, burst.back().position + 2048);
    burst.insert(burst.end(), fast.begin(), fast.end());
    struct Case {
        const char* name;
        std::vector<Pack> packs;
        double peak;
    };
    const Case cases[] = {
        {"steady", Steady(3000, 2048, kGap), 10e6},
        {"shorter than a second", Steady(20, 2048, kGap), 10e6},
        {"half the rate", Steady(3000, 2048, 2 * kGap), 5e6},
        // A clock that restarts (joined files) times nothing across the jump.
        {"clock jumps", joined, 10e6},
        // Two seconds of packs at twice the rate stand out of their neighbours.
        {"a second too fast", burst, 20e6},
        {"one pack", Steady(1, 2048, kGap), 0},
        {"no pack", {}, 0},
    };
    for (const Case& c : cases) EXPECT_NEAR(c.peak, PeakOf(c.packs), c.peak * 1e-6) << c.name;
}

}  // namespace
