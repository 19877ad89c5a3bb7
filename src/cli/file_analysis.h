// One file analysed in this process: the run a batch's worker makes, and the one
// --make-profile makes on its reference spot.
#pragma once

#include <string>

#include "run/analysis_driver.h"

// The profile must be loaded. `showStatus`: the phase and its progress on standard error.
// Loudness is measured for the curves when they are wanted, whatever the profile says.
RunResult AnalyseInThisProcess(const std::string& path, bool showStatus, RunOptions options = {});
