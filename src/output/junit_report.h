// The run as JUnit XML, the report format CI servers and asset managers show as it is:
// a test suite per file, a test case per judged line named by the key that judged it
// ("Video.AspectRatio"; "report." and what the line is about when no key judges it), a
// failure element with the line for each failure, skipped where the profile sets no key,
// an error for a file that could not be analysed. A case keeps its name from run to run
// whatever the file measured, so that a CI server follows each check's history.
#pragma once

#include <string>
#include <vector>

#include "run/run_result.h"
#include "output/run_stamp.h"

std::string RunJunitText(const std::vector<RunResult>& results, const RunStamp& stamp);
