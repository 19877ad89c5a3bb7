// Clock shifting of program streams for tests.
#include "support/clock_shift.h"

#include "input/pes_header.h"
#include "input/system_clock.h"

namespace {

// The 33-bit value at `at` in the layout of ISO/IEC 13818-1 2.4.3.7 (PTS, DTS) and
// 2.5.3.3 (SCR base): 3 bits, marker, 15 bits, marker, 15 bits, marker, starting
// `leadBits` into the first byte.
uint64_t GetClock(const Bytes& b, size_t at, int leadBits) {
    uint64_t bits = 0;
    for (int i = 0; i < 5; ++i) bits = (bits << 8) | b[at + static_cast<size_t>(i)];
    int shift = 40 - leadBits - 36;  // bits after the last marker
    uint64_t raw = bits >> shift;
    return ((raw >> 33) & 0x7) << 30 | ((raw >> 17) & 0x7FFF) << 15 | ((raw >> 1) & 0x7FFF);
}

void PutClock(Bytes& b, size_t at, int leadBits, uint64_t value) {
    uint64_t bits = 0;
    for (int i = 0; i < 5; ++i) bits = (bits << 8) | b[at + static_cast<size_t>(i)];
    int shift = 40 - leadBits - 36;
    uint64_t raw = bits >> shift;
    raw = (raw & ~((uint64_t{0x7} << 33) | (uint64_t{0x7FFF} << 17) | (uint64_t{0x7FFF} << 1))) |
          ((value >> 30) & 0x7) << 33 | ((value >> 15) & 0x7FFF) << 17 | (value & 0x7FFF) << 1;
    uint64_t mask = ((uint64_t{1} << 36) - 1) << shift;
    bits = (bits & ~mask) | (raw << shift);
    for (int i = 4; i >= 0; --i, bits >>= 8) b[at + static_cast<size_t>(i)] = bits & 0xFF;
}

void Shift(Bytes& b, size_t at, int leadBits, uint64_t offset) {
    PutClock(b, at, leadBits, (GetClock(b, at, leadBits) + offset) % kClockBaseModulus);
}

}  // namespace

Bytes ShiftClock(const Bytes& stream, uint64_t offset) {
    Bytes b = stream;
    size_t i = 0;
    while (i + 6 <= b.size()) {
        if (b[i] != 0 || b[i + 1] != 0 || b[i + 2] != 1) {
            ++i;
            continue;
        }
        uint8_t code = b[i + 3];
        if (code == 0xB9) break;
        if (code == 0xBA) {  // '01', then the SCR base from bit 2 of the first byte
            Shift(b, i + 4, 2, offset);
            i += 14 + (b[i + 13] & 0x7);
            continue;
        }
        size_t length = static_cast<size_t>(b[i + 4]) << 8 | b[i + 5];
        if (code != 0xBB && !HasNoPesHeader(code) && i + 9 <= b.size()) {
            int flags = b[i + 7] >> 6;  // PTS_DTS_flags
            if (flags & 2) Shift(b, i + 9, 4, offset);
            if (flags == 3) Shift(b, i + 14, 4, offset);
        }
        i += 6 + length;
    }
    return b;
}
