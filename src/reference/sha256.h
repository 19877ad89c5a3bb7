// SHA-256 (FIPS 180-4), so that a run's outputs name the exact profile bytes that judged
// it: a path alone does not say which version of an edited profile was read.
#pragma once

#include <string>
#include <string_view>

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);
