// A spot's report as one self-contained HTML page, for an operator to open in a browser,
// mail or print on A4: the file, the profile and its SHA-256, the date, the verdict in a
// large banner, the failures (each a link to its line, with the key that judged it and
// the value the profile holds), the whole report in its colours, and the graphs as inline
// SVG: each video stream's bitrate per second against its limits and its buffer
// occupancy, each audio stream's loudness against its target. No script, no network.
// Each report line is an element with the id "line-N", N counted from 1.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "output/run_stamp.h"
#include "run/run_result.h"

// The whole page of one spot.
std::string HtmlReportText(const RunResult& result, const RunStamp& stamp);

// One spot's part of a page, every id it holds starting with `idPrefix` ("" in a page of
// its own: "line-7"; "spot-2-" in a page of several: "spot-2-line-7").
std::string HtmlSpotSection(const RunResult& result, const RunStamp& stamp,
                            const std::string& idPrefix);

// A spot as a batch's index lists it: what a result kept for the summary still holds.
struct HtmlIndexEntry {
    std::string path;
    FileVerdict verdict = FileVerdict::Error;
    size_t failures = 0;
    std::string firstFailure;  // the reason, for a file that was not analysed whole
    std::string href;          // its report: a file beside the index, or "#spot-2"
};

HtmlIndexEntry HtmlIndexEntryOf(const RunResult& result, const std::string& href);

// A batch's index.html: every spot with its verdict, failure count, first failure and a
// link to its report.
std::string HtmlIndexText(const std::vector<HtmlIndexEntry>& entries, const RunStamp& stamp);

// Several spots in one page: the index, then each spot's section (HtmlSpotSection with the
// prefix "spot-K-", K from 1), each on a page of its own when printed.
std::string HtmlRunText(const std::vector<HtmlIndexEntry>& entries,
                        const std::vector<std::string>& sections, const RunStamp& stamp);

// A file name as a relative link: every byte but letters, digits and "-._~" as %XX.
std::string HtmlHrefOfName(const std::string& name);

// At most this many points a series' line is drawn with; longer series keep each
// stretch's lowest and highest point, so that peaks survive.
constexpr size_t kHtmlMostPointsPerSeries = 2000;
