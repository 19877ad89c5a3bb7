// The batch summary a traffic department opens in a spreadsheet: one CSV row per file
// with its verdict, its length, what its streams are, and why it failed.
#pragma once

#include <string>
#include <vector>

#include "run/run_result.h"
#include "output/run_stamp.h"

// A header row, then one row per result; RFC 4180 quoting.
// Each row ends in the run's profile, its SHA-256 and when the run started, so that a
// row copied out of the file still says what judged it.
std::vector<std::string> SummaryCsvLines(const std::vector<RunResult>& results,
                                         const RunStamp& stamp);
