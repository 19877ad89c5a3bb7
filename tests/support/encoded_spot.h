// Spots encoded by ffmpeg at test time (Debian's ffmpeg; scripts/test.sh installs it), for
// the tests that need a spot made to given settings: a second spot of a reference's settings,
// a spot at a stated loudness.
#pragma once

#include <string>

#include "support/test_files.h"

// ffmpeg runs here; a test that needs it skips without it.
bool HaveFfmpeg();

// A lavfi source of a stereo 1 kHz sine whose peak is `dbfs` on each channel: by EBU Tech
// 3341 it reads `dbfs` in LUFS after ITU-R BS.1770-4 (-23 dBFS reads -23 LUFS).
std::string StereoSineAt(double dbfs);

// Runs `ffmpeg -v error -y ARGUMENTS -fflags +bitexact -f vob DIR/NAME.mpg` (ARGUMENTS: the
// inputs, -t and the encoders' settings) and returns the spot's path; a failed run fails
// the test.
std::string EncodeSpot(const TempDir& dir, const std::string& name, const std::string& arguments);
