// Decoding and level measurement (libmpg123) of any bytes as the stream 0xC0.
#include "audio/audio_levels.h"
#include "program/program_stream_scan.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteAsElementaryStream(data, size, 0xC0);
    ScanProgramStream(path, 0);
    MeasureAudioLevels(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0), 0);
    return 0;
}
