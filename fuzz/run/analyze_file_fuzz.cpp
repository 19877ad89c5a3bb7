// A whole run over any bytes as a .mpg file, audio decoded, into a memory sink.
#include "reference/reference_profile.h"
#include "report/memory_sink.h"
#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char kProfile[] = "[Audio]\nDecodeAudio=1\n[System]\nProgramEndCodeRequired=1\n";
    static const std::string profile =
        WriteInputFile(reinterpret_cast<const uint8_t*>(kProfile), sizeof kProfile - 1, ".ini");
    LoadReferenceProfileFrom(profile);
    std::string path = WriteInputFile(data, size, ".mpg");
    MemorySink sink;
    SetReportSink(&sink);
    AnalyzeFile(path.c_str());
    SetReportSink(nullptr);
    return 0;
}
