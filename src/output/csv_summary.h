// The batch summary a traffic department opens in a spreadsheet: one CSV row per file
// with its verdict, its length, what its streams are, and why it failed.
#pragma once

#include <string>
#include <vector>

#include "output/file_result.h"

// A header row, then one row per result; RFC 4180 quoting.
std::vector<std::string> SummaryCsvLines(const std::vector<FileResult>& results);
