// VBV occupancy CSV rows.
#include "cli/vbv_csv.h"

#include <charconv>
#include <limits>

namespace {

// Fixed decimals under every locale: a comma would split the CSV field.
std::string Fixed(double value, int decimals) {
    char text[std::numeric_limits<double>::max_exponent10 + 8];
    auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace

void VbvCsv::InitVbvGraph() {
    samples_.clear();
    bufferBits_ = 0;
}

void VbvCsv::AddVbvSample(const VbvSample& sample) { samples_.push_back(sample); }

void VbvCsv::DrawVbvGraph(double bufferBits) { bufferBits_ = bufferBits; }

std::vector<std::string> VbvCsv::VbvLines() const {
    std::vector<std::string> lines = {"Picture,Seconds,Bits Before,Bits After"};
    for (const VbvSample& s : samples_) {
        lines.push_back(std::to_string(s.picture) + "," + Fixed(s.seconds, 3) + "," +
                        Fixed(s.beforeBits, 0) + "," + Fixed(s.afterBits, 0));
    }
    lines.push_back("Buffer," + Fixed(bufferBits_, 0));
    return lines;
}
