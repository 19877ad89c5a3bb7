// A reference profile learned from a known-good reference spot, for the operator to edit:
// the format keys its encoder and multiplexer set, the GOP length and the video bitrates as
// limits with a stated margin, and a comment for every key the content or the length
// decides, which it leaves out. The spot passes the profile it gave, and so does a spot of
// the same encoder settings with other content and length.
#pragma once

#include <string>

#include "run/run_result.h"

// Loads the profile the reference is measured with: no key set, but the audio decoded
// (its levels measured) and the mux rate compared with what the streams need, so that
// those keys are measured too.
void LoadMeasuringProfile();

// The MpegReference.ini text for the result of analysing `reference` with that profile.
std::string ProfileText(const RunResult& reference);
