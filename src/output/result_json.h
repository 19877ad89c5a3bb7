// The JSON form of a run's result: one file's object of the JSON report, and what a
// batch's worker hands to the main process.
#pragma once

#include <nlohmann/json.hpp>

#include "run/run_result.h"

// Without `series`, no GOP rows, bitrate samples, buffer occupancy or loudness curve.
nlohmann::ordered_json ToJson(const RunResult& result, bool series = true);
// Throws nlohmann::ordered_json::exception when the document is not a run result.
RunResult RunResultFromJson(const nlohmann::ordered_json& json);
