// The search for the start code prefix 00 00 01 over bytes in memory. Coded video holds
// a 01 byte every 256 bytes or so but a 00 00 01 only at start codes, so the search tests
// 16 candidate positions at once and looks at single bytes only where a prefix is.
#pragma once

#include <cstddef>
#include <cstdint>

// The prefix 00 00 01 that begins every start code of ISO/IEC 13818-1 and 13818-2.
constexpr uint32_t kStartCodePrefix = 0x000001;
constexpr int kStartCodePrefixBits = 24;
// A whole start code: the prefix and the value byte after it.
constexpr uint32_t kStartCodeBytes = 4;

constexpr size_t kPrefixNotFound = static_cast<size_t>(-1);

// Searches [begin, end) for the 01 that completes a prefix. `zeros` holds how many zero
// bytes (up to 2) the search took right before `begin`, and is brought up to date when
// the prefix is not found. Returns the count of bytes up to and including the 01, or
// kPrefixNotFound.
size_t FindPrefixEnd(const uint8_t* begin, const uint8_t* end, int& zeros);
