// The GOP table, the one-second bitrates and the buffer occupancy of video streams as CSV
// lines. One stream
// keeps the columns the GOP table window shows; several streams (of one file or of many)
// get a File and a Stream column in front, so that their rows can be told apart.
#pragma once

#include <string>
#include <vector>

#include "output/file_result.h"

struct FileSeries {
    std::string path;
    VideoSeries series;
};

std::vector<std::string> GopCsvLines(const std::vector<FileSeries>& streams);
// Each stream's rows end with its average in Kbit/s.
std::vector<std::string> BitrateCsvLines(const std::vector<FileSeries>& streams);
// The buffer occupancy just before and just after each picture's removal, in bits and in %
// of the buffer, of the streams the buffer model could run on.
std::vector<std::string> VbvCsvLines(const std::vector<FileSeries>& streams);
struct FileLoudness {
    std::string path;
    LoudnessCurve curve;
};
// Seconds, momentary and short-term loudness in LUFS ("-inf" where silent) of each
// measured audio stream.
std::vector<std::string> LoudnessCsvLines(const std::vector<FileLoudness>& streams);
// "E0".
std::string StreamIdText(int streamId);
