// The key and value behind a judged line, for outputs that explain it. The units and code
// meanings of the keys are the key table's.
#pragma once

#include <string>

#include "run/run_result.h"
#include "reference/key_table.h"

// The key and value behind a judged line, as `--explain` appends them:
// "[AspectRatio = 3: 16:9]", "[VideoPeakBitrate = 15000 Kbps]", "[AspectRatio not set]",
// "[no key: fails whatever the profile says]". Empty for a line that judged nothing.
std::string ExplainCheck(const JudgedCheck& check);
