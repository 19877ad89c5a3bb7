// Moves every clock value of a well-formed program stream (the SCR of each pack, the PTS
// and DTS of each PES packet) on by an offset, modulo 2^33 as the clock counts, so that a
// test can put the wrap of a real spot's clock where it wants it.
#pragma once

#include <cstdint>

#include "support/stream_builder.h"

// `offset` in 90 kHz periods; the SCR extensions are kept.
Bytes ShiftClock(const Bytes& stream, uint64_t offset);
