// The three compliance checks: each turns one measured value and its reference into
// exactly one report line (information, pass, warning or failure) and sets the run's
// failure flag when the file does not comply. A failure line is the same text with
// "*" in front.
#pragma once

#include <cstdint>

// Not-set values of the reference profile.
constexpr int32_t kNotSet = 65535;
constexpr double kRealNotSet = 1000.0;  // this or more

// Information line when reference is kNotSet; pass when reference == measured;
// otherwise failure. The format prints first and second.
void CheckEqual(const char* format, int32_t reference, int32_t measured, int32_t first,
                int32_t second, bool& failed);

// Unsigned range check; kNotSet as min or max means no limit on that side, both
// kNotSet give an information line. Limits pass.
void CheckRange(const char* format, uint32_t min, uint32_t max, uint32_t value, int32_t first,
                int32_t second, bool& failed);

// Real range check; a limit of kRealNotSet or more is absent. Below min: a yellow
// warning line that still fails the run; above max: a red failure line.
// The format prints value.
void CheckRangeReal(const char* format, double min, double max, double value, bool& failed);
