// The run as JUnit XML, the report format CI servers and asset managers show as it is:
// a test suite per file, a test case per judged line (a failure element with the line for
// each failure, skipped where the profile sets no key), an error for a file that could
// not be analysed.
#pragma once

#include <string>
#include <vector>

#include "output/file_result.h"
#include "output/run_stamp.h"

std::string RunJunitText(const std::vector<FileResult>& results, const RunStamp& stamp);
