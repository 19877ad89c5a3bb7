// Progress line text.
#include "cli/progress_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string Clock(double seconds) {
    long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return text;
}

}  // namespace

std::string ProgressLineText(const BatchProgress& p) {
    std::string text = std::to_string(p.done) + "/" + std::to_string(p.total) + " files, " +
                       std::to_string(p.failed) + " failed, " + Clock(p.elapsedSeconds) +
                       " elapsed";
    if (p.done == 0 || p.done >= p.total) return text;
    // The files so far set the pace for the rest.
    double left =
        p.elapsedSeconds / static_cast<double>(p.done) * static_cast<double>(p.total - p.done);
    return text + ", about " + Clock(left) + " left";
}
