// A finished run taken into its result: the report as the run's recording sink kept it,
// with each judged line's check and each stream's first line marked, the verdict and its
// reason, and the measured figures of the streams, read from the analysis's records.
#pragma once

#include <string>
#include <vector>

#include "report/memory_sink.h"
#include "run/run_result.h"

// `path`: null for a run refused for want of one. `series`: the video streams' series as
// the run recorded them, if it did; `loudnessCurves`: each measured stream's curve goes into its
// figures.
RunResult CaptureRunResult(const char* path, const MemorySink& report,
                           std::vector<VideoSeries> series, double seconds, bool loudnessCurves);
