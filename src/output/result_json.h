// The JSON form of a run's result: one file's object of the JSON report, and what a
// batch's worker hands to the main process.
#pragma once

#include <nlohmann/json.hpp>

#include "run/run_result.h"

nlohmann::ordered_json ToJson(const RunResult& result);
// Throws nlohmann::ordered_json::exception when the document is not a run result.
RunResult RunResultFromJson(const nlohmann::ordered_json& json);
