// The INI reader and the reference profile over any bytes.
#include "reference/reference_profile.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoadReferenceProfileFrom(WriteInputFile(data, size, ".ini"));
    return 0;
}
