// Start code prefix search.
#include "input/start_code_search.h"

#include <algorithm>
#include <cstring>

size_t FindPrefixEnd(const uint8_t* begin, const uint8_t* end, int& zeros) {
    const uint8_t* p = begin;
    // The first two bytes may complete a prefix begun before `begin`.
    for (; p < end && p < begin + 2; ++p) {
        if (*p == 1 && zeros == 2) return static_cast<size_t>(p + 1 - begin);
        zeros = *p == 0 ? std::min(zeros + 1, 2) : 0;
    }
    while (p < end) {
        auto* one = static_cast<const uint8_t*>(std::memchr(p, 1, static_cast<size_t>(end - p)));
        if (!one) {
            zeros = end[-1] != 0 ? 0 : (end[-2] != 0 ? 1 : 2);
            return kPrefixNotFound;
        }
        if (one[-1] == 0 && one[-2] == 0) return static_cast<size_t>(one + 1 - begin);
        p = one + 1;
        zeros = 0;
    }
    return kPrefixNotFound;
}
