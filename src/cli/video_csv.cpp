// GOP and bitrate CSV rows.
#include "cli/video_csv.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "video/video_statistics.h"

namespace {

std::string YesNo(bool yes) { return yes ? "Yes" : "No"; }

// Three decimals after a ".", under every locale (std::to_chars formats as printf does
// in the "C" locale): a comma would split the CSV field.
std::string Kilobits(double value) {
    char text[std::numeric_limits<double>::max_exponent10 + 8];  // "-", 309 digits, ".", 3
    auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
    return error == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace

void VideoCsv::InitGopGrid() { gopRows_.clear(); }

void VideoCsv::InitBitrateGrid() {
    samples_.clear();
    averageKbps_ = 0;
}

void VideoCsv::AddGopRow(const VideoStreamInfo& info) {
    const GopRecord& gop = info.gop;
    char timeCode[32];
    std::snprintf(timeCode, sizeof timeCode, "%02u:%02u:%02u:%02u", gop.hours, gop.minutes,
                  gop.seconds, gop.pictures);
    gopRows_.push_back(std::to_string(gopRows_.size() + 1) + "," + timeCode + "," +
                       std::to_string(gop.picturesInGop) + "," + gop.structure + "," +
                       YesNo(gop.closedGop != 0) + "," + YesNo(gop.pendingSequenceHeaders > 0));
}

void VideoCsv::AddBitrateSample(double kilobits) { samples_.push_back(kilobits); }

void VideoCsv::DrawBitrateGraph(double averageKbps) { averageKbps_ = averageKbps; }

std::vector<std::string> VideoCsv::GopLines() const {
    std::vector<std::string> lines = {"GOP #,TimeCode,GOP Length,Structure,Closed?,Seq. Header?"};
    lines.insert(lines.end(), gopRows_.begin(), gopRows_.end());
    return lines;
}

std::vector<std::string> VideoCsv::BitrateLines() const {
    std::vector<std::string> lines = {"Second,Kilobits"};
    for (size_t i = 0; i < samples_.size(); ++i) {
        lines.push_back(std::to_string(i + 1) + "," + Kilobits(samples_[i]));
    }
    lines.push_back("Average," + Kilobits(averageKbps_));
    return lines;
}
