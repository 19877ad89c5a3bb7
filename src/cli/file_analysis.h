// One file analysed in this process: the run a batch's worker makes, and the one
// --make-profile makes on its reference spot.
#pragma once

#include <string>

#include "output/file_result.h"

// The profile must be loaded. `showStatus`: the phase and its progress on standard error.
FileResult AnalyseInThisProcess(const std::string& path, bool showStatus);
