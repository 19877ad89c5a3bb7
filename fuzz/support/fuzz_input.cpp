// Fuzzer input files.
#include "support/fuzz_input.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <vector>

namespace {

std::string InputPath(const std::string& extension) {
    return "/tmp/zembra-fuzz-" + std::to_string(::getpid()) + extension;
}

void Append16(std::vector<uint8_t>& out, size_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

}  // namespace

std::string WriteInputFile(const uint8_t* data, size_t size, const std::string& extension) {
    std::string path = InputPath(extension);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

std::string WriteAsElementaryStream(const uint8_t* data, size_t size, int streamId) {
    // An MPEG-2 pack header with SCR 0 and a mux rate of 25200 (ISO/IEC 13818-1, 2.5.3.3).
    static const uint8_t kPack[] = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04,
                                    0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
    constexpr size_t kPayload = 2000;
    std::vector<uint8_t> file;
    for (size_t at = 0; at < size; at += kPayload) {
        size_t count = std::min(kPayload, size - at);
        file.insert(file.end(), std::begin(kPack), std::end(kPack));
        file.insert(file.end(), {0x00, 0x00, 0x01, static_cast<uint8_t>(streamId)});
        Append16(file, count + 3);
        file.insert(file.end(), {0x80, 0x00, 0x00});  // no optional fields
        file.insert(file.end(), data + at, data + at + count);
    }
    file.insert(file.end(), {0x00, 0x00, 0x01, 0xB9});
    return WriteInputFile(file.data(), file.size(), ".mpg");
}
