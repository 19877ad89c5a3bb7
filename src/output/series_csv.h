// The GOP table, the one-second bitrates, the buffer occupancy and the loudness of the
// streams as CSV lines. Every table starts with a File and a Stream column, for one stream
// as for several (of one file or of many), so that a pipeline reads one shape whatever the
// batch held; the columns after them are those the desktop's windows show.
#pragma once

#include <string>
#include <vector>

#include "run/run_result.h"

struct FileSeries {
    std::string path;
    VideoSeries series;
};

std::vector<std::string> GopCsvLines(const std::vector<FileSeries>& streams);
// Kilobits (1024 bits) of each second's frames, one row a second; the average is in the
// report, the JSON and the summary, not here, so that every row is a second.
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
