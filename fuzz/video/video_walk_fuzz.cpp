// The video walk over any bytes as the elementary stream 0xE0.
#include "program/program_stream_scan.h"
#include "support/fuzz_input.h"
#include "video/video_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = WriteAsElementaryStream(data, size, 0xE0);
    ScanProgramStream(path, 0);
    AnalyzeVideoStream(path, 0xE0, StreamExtentOf(GetStreamIdTable(), 0xE0), size % 2 ? 300 : 0);
    return 0;
}
