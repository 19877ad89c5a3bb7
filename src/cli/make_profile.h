// A reference profile written from a known-good reference spot: each key the value the
// spot measured, with a comment that says what was measured, for the operator to edit.
// Analysing the spot against the profile it gave passes.
#pragma once

#include <string>

#include "output/file_result.h"

// Loads the profile the reference is measured with: no key set, but the audio decoded
// (its levels measured) and the mux rate compared with what the streams need, so that
// those keys are measured too.
void LoadMeasuringProfile();

// The MpegReference.ini text for the result of analysing `reference` with that profile.
std::string ProfileText(const FileResult& reference);
