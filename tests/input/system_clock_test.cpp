// Differences of 33-bit clock values modulo 2^33, at the edges of the wrap.
#include "input/system_clock.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kTop = kClockBaseModulus - 1;  // the last value before the wrap
constexpr int64_t kHalf = int64_t{1} << 32;

struct DifferenceCase {
    uint64_t a;
    uint64_t b;
    int64_t difference;  // a - b
};

TEST(SystemClock, DifferencesTakeTheNearerWayRound) {
    const DifferenceCase cases[] = {
        {0, 0, 0},
        {100, 40, 60},
        {40, 100, -60},
        {0, kTop, 1},       // just after the wrap is later
        {kTop, 0, -1},      // and just before it earlier
        {5, kTop - 4, 10},  // across the wrap
        {kTop - 4, 5, -10},
        {kHalf - 1, 0, kHalf - 1},  // the farthest a later stamp can be
        {kHalf, 0, -kHalf},         // half the circle reads as earlier
        {kHalf + 1, 0, -kHalf + 1},
        {kTop + 1 + 7, 3, 4},  // a value past 33 bits counts by its low 33
    };
    for (const DifferenceCase& c : cases) {
        EXPECT_EQ(c.difference, ClockDifference(c.a, c.b)) << c.a << " - " << c.b;
    }
}

TEST(SystemClock, WholeScrsWrapWithTheirBase) {
    const uint64_t last = kScrModulus - 1;  // base 2^33 - 1, extension 299
    EXPECT_EQ(1, ScrDifference(0, last));
    EXPECT_EQ(-1, ScrDifference(last, 0));
    // 0.5 s after base 2^33 - 45000 is base 0 again.
    EXPECT_EQ(13'500'000, ScrDifference(0, (kClockBaseModulus - 45000) * kScrExtensionsPerBase));
    EXPECT_EQ(300, ScrDifference(kScrExtensionsPerBase, 0));
}

}  // namespace
