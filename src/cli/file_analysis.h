// One file analysed in this process: the run a batch's worker makes, and the one
// --make-profile makes on its reference spot.
#pragma once

#include <string>

#include "output/file_result.h"

// The series a result holds beside the GOP rows and bitrates, each only when asked for.
struct SeriesWanted {
    bool bufferOccupancy = false;  // each picture's (--vbv)
    bool loudness = false;         // each decoded stream's every 100 ms (--loudness)
};

// The profile must be loaded. `showStatus`: the phase and its progress on standard error.
// Loudness is measured for the curves when they are wanted, whatever the profile says.
FileResult AnalyseInThisProcess(const std::string& path, bool showStatus, SeriesWanted wanted = {});
