// Start code prefix search.
#include "input/start_code_search.h"

#include <algorithm>
#include <cstring>

namespace {

// Sixteen bytes in a vector register (SSE2 on x86-64, NEON on ARM, plain code elsewhere).
using Bytes16 = uint8_t __attribute__((vector_size(16)));

Bytes16 Load16(const uint8_t* p) {
    Bytes16 bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

// True when one of the 16 bytes from `p + 2` on is the 01 of a prefix 00 00 01.
bool PrefixEndsInNext16(const uint8_t* p) {
    const Bytes16 zero = {};
    const Bytes16 one = zero + 1;
    auto hits = (Load16(p) == zero) & (Load16(p + 1) == zero) & (Load16(p + 2) == one);
    uint64_t halves[2];
    std::memcpy(halves, &hits, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

}  // namespace

size_t FindPrefixEnd(const uint8_t* begin, const uint8_t* end, int& zeros) {
    const uint8_t* p = begin;
    // The first two bytes may complete a prefix begun before `begin`.
    for (; p < end && p < begin + 2; ++p) {
        if (*p == 1 && zeros == 2) return static_cast<size_t>(p + 1 - begin);
        zeros = *p == 0 ? std::min(zeros + 1, 2) : 0;
    }
    if (p == end) return kPrefixNotFound;
    // From here on the two bytes before p are in [begin, end).
    while (end - p >= 16 && !PrefixEndsInNext16(p - 2)) p += 16;
    // Within the next 16 bytes there is a prefix, or the data ends.
    for (; p < end; ++p) {
        if (*p == 1 && p[-1] == 0 && p[-2] == 0) return static_cast<size_t>(p + 1 - begin);
    }
    zeros = end[-1] != 0 ? 0 : (end[-2] != 0 ? 1 : 2);
    return kPrefixNotFound;
}
