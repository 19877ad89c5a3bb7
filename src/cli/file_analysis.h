// One file analysed in this process: the run a batch's worker makes, and the one
// --make-profile makes on its reference spot.
#pragma once

#include <string>

#include "output/file_result.h"

// The profile must be loaded. `showStatus`: the phase and its progress on standard error.
// `keepBufferOccupancy`: the result's video figures hold each picture's buffer occupancy
// (a row a picture, which only --vbv asks for).
FileResult AnalyseInThisProcess(const std::string& path, bool showStatus,
                                bool keepBufferOccupancy = false);
