// What a profile key's value means: the unit of its values, and for keys that hold a code,
// the code's meaning.
#pragma once

#include <string>
#include <string_view>

// "pixels", "Kbps", "code", ...; "count" for a key this table does not know.
std::string KeyUnit(std::string_view key);
// "16:9" for AspectRatio 3; empty when the key holds no code or the code is unknown.
std::string KeyMeaning(std::string_view key, double value);
