// The first pass over any bytes, as a .mpg and as a .vob file.
#include "program/program_stream_scan.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool dvd = size > 0 && (data[0] & 1);
    ScanProgramStream(WriteInputFile(data, size, dvd ? ".vob" : ".mpg"), 0);
    return 0;
}
