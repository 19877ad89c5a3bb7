// A finished run's report, checks and figures taken into a FileResult, read after
// AnalyzeFile() returns through the analysis's own accessors.
#pragma once

#include <string>

#include "cli/console_sink.h"
#include "cli/video_csv.h"
#include "output/file_result.h"

// `loudnessCurves`: each decoded stream's loudness every 100 ms goes into its figures.
FileResult CaptureFileResult(const std::string& path, const ConsoleSink& sink,
                             const VideoCsv& video, double seconds, bool loudnessCurves);

JudgedCheck JudgedCheckOf(const CheckRecord& record);
