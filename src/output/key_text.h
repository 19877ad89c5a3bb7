// What a profile key's value means, for outputs that explain a judged line: the unit of
// its values, and for keys that hold a code, the code's meaning.
#pragma once

#include <string>

#include "output/file_result.h"

// "pixels", "Kbps", "code", ...; "count" for a key this table does not know.
std::string KeyUnit(const std::string& key);
// "16:9" for AspectRatio 3; empty when the key holds no code or the code is unknown.
std::string KeyMeaning(const std::string& key, double value);
// The key and value behind a judged line, as `--explain` appends them:
// "[AspectRatio = 3: 16:9]", "[VideoPeakBitrate = 15000 Kbps]", "[AspectRatio not set]",
// "[no key: fails whatever the profile says]". Empty for a line that judged nothing.
std::string ExplainCheck(const JudgedCheck& check);
