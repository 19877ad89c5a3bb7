// The batch's progress line on a terminal's standard error.
#pragma once

#include <string>

#include "cli/batch.h"

// "12/200 files, 3 failed, 00:01:23 elapsed, about 00:05:00 left".
std::string ProgressLineText(const BatchProgress& progress);
