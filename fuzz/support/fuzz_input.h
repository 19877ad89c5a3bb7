// Turns a fuzzer's input into the files the analysis reads: the readers take a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes the bytes to a file of this process (same name on every call) and returns its
// path; `extension` includes the dot.
std::string WriteInputFile(const uint8_t* data, size_t size, const std::string& extension);

// The bytes as the payload of stream `streamId` in PES packets of up to 2000 bytes,
// one pack each, then the program end code: a program stream whose one elementary
// stream is the input.
std::string WriteAsElementaryStream(const uint8_t* data, size_t size, int streamId);
