// The compliance checks: each turns one measured value and the profile key that judges
// it into exactly one report line (information, pass, warning or failure), sets the run's
// failure flag when the file does not comply, and hands the sink a record of what it
// judged (check_record.h). A failure or warning line is the line with "*" in front.
// Information and pass lines are left out while only errors are printed; their records
// are still made.
//
// Values: a key's value is an int32_t as the profile reads it (0xFFFFFFFF reads as -1),
// kNotSet when the key is absent. A measured value is an int64_t, which holds every count,
// size and code the summaries have, signed or not, without a conversion at the call. The
// checks compare in the 32 bits a key has: an equal check compares the low 32 bits of
// both sides (a measured 0xFFFFFFFF equals a key of -1), a range check compares unsigned
// 32-bit values (a key of -1 is the limit 4294967295, and a negative measured value is
// above every other limit).
#pragma once

#include <cstdint>
#include <string>

#include "report/check_record.h"

// Not-set values of the reference profile.
constexpr int32_t kNotSet = 65535;
constexpr double kRealNotSet = 1000.0;  // this or more
// The time keys (the two audio-video differences and MaxTimeToProcess) are not set at 0.
constexpr int32_t kTimeKeyNotSet = 0;

// A key of the profile with the value the last load gave it.
struct ProfileKey {
    KeyName name;
    int32_t value;
};

struct RealProfileKey {
    KeyName name;
    double value;
};

// Information line when the key is not set; pass when it equals measured; otherwise
// failure.
void CheckEqual(const std::string& line, ProfileKey key, int64_t measured, bool& failed);

// The equal check of a value that fails unless its key names it (a frame rate other than
// 25 and 29.97 fps): pass when the key equals measured, otherwise, and while the key is not
// set, failure.
void CheckEqualWhenNamed(const std::string& line, ProfileKey key, int64_t measured, bool& failed);

// The equal check of a line that stands for one value of its key ("Fixed Bitrate
// Operation" is SystemVBR 0): information when the key is not set, pass when it is
// `accepted`, otherwise failure.
void CheckAcceptedWhenKeyIs(const std::string& line, ProfileKey key, int32_t accepted,
                            bool& failed);

// Limits a range line fixes itself.
// No limit on this side; with a key that is not set on the other, an information line.
constexpr uint32_t kNoLimit = kNotSet;
// A maximum no value exceeds, yet a limit: the line is judged, and passes where its
// minimum key is not set.
constexpr uint32_t kUnreachableMax = 0xFFFFFFFF;

// Range checks: one limit is the key, the other the line fixes. A limit of 65535 is
// absent; both absent give an information line; the limits themselves pass.
void CheckRange(const std::string& line, ProfileKey min, uint32_t max, int64_t measured,
                bool& failed);
void CheckRange(const std::string& line, uint32_t min, ProfileKey max, int64_t measured,
                bool& failed);

// Real range check; a limit of kRealNotSet or more is absent. Below min: a yellow
// warning line that still fails the run; above max: a red failure line.
void CheckRangeReal(const std::string& line, double min, RealProfileKey max, double measured,
                    bool& failed);
// The same between `reference` and reference + tolerance.
void CheckRangeRealWithTolerance(const std::string& line, RealProfileKey reference,
                                 RealProfileKey tolerance, double measured, bool& failed);

// The same between `centre` - `tolerance` and `centre` + `tolerance`; without either key an
// information line.
void CheckRangeRealAround(const std::string& line, RealProfileKey centre, RealProfileKey tolerance,
                          double measured, bool& failed);

// A condition judged by a range check: the key 1 fails the line when the condition does
// not hold, 0 accepts it either way; not set, an information line.
void CheckHolds(const std::string& line, ProfileKey key, bool holds, bool& failed);

// Pass when the absolute measured value is at most the key, read as unsigned (a negative
// key allows everything); failure above it, and for NaN. A key of 0 is not set: an
// information line.
void CheckWithinTolerance(const std::string& line, ProfileKey tolerance, double measured,
                          bool& failed);

// Pass when bit `bit` (below 32) of the key is set, otherwise failure. Never an
// information line: a key that is not set, 65535, has bits 0 to 15 set.
void CheckMaskAllows(const std::string& line, ProfileKey mask, uint32_t bit, bool& failed);

// A failure whatever the profile says: a value no profile accepts ("Aspect Ratio =
// Invalid").
void CheckAlwaysFails(const std::string& line, bool& failed);

// A pass line for a value judged only later, once more is measured (the program mux
// rate): nothing is compared yet, so nothing is recorded; the later judgement records
// itself.
void LogProvisionalPass(const std::string& line);
