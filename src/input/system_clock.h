// Arithmetic on the 33-bit clock of ISO/IEC 13818-1: the SCR base, PTS and DTS count 90 kHz
// periods modulo 2^33 (2.4.2.1, 2.5.3.3, 2.4.3.7), so a recorder's clock wraps through 0
// after 26.5 hours. Two stamps are compared by their difference modulo 2^33, taken as the
// nearer way round: a stamp just after the wrap is later than one just before it.
#pragma once

#include <cstdint>

// The base runs at 90 kHz; vbv_delay counts periods of the same clock (ISO/IEC 13818-2,
// 6.3.9).
constexpr uint32_t kBaseClockHz = 90000;
// SCR extension periods (27 MHz) in one period of the base.
constexpr uint32_t kScrExtensionsPerBase = 300;
constexpr uint32_t kSystemClockHz = kBaseClockHz * kScrExtensionsPerBase;
constexpr uint64_t kClockBaseModulus = uint64_t{1} << 33;
// The whole SCR (base × 300 + extension) wraps with its base.
constexpr uint64_t kScrModulus = kClockBaseModulus * kScrExtensionsPerBase;

// a − b modulo `modulus`, from −modulus/2 up to modulus/2 − 1.
constexpr int64_t WrappedDifference(uint64_t a, uint64_t b, uint64_t modulus) {
    uint64_t forward = (a % modulus + modulus - b % modulus) % modulus;
    return forward < modulus / 2 ? static_cast<int64_t>(forward)
                                 : static_cast<int64_t>(forward) - static_cast<int64_t>(modulus);
}

// PTS, DTS or SCR base: a − b in 90 kHz periods.
constexpr int64_t ClockDifference(uint64_t a, uint64_t b) {
    return WrappedDifference(a, b, kClockBaseModulus);
}

// Whole SCRs (27 MHz): a − b in 27 MHz periods.
constexpr int64_t ScrDifference(uint64_t a, uint64_t b) {
    return WrappedDifference(a, b, kScrModulus);
}
