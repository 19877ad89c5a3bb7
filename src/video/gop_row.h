// One row of the GOP table.
#pragma once

#include <cstdint>
#include <string>

// One GOP of a video stream, as the GOP table shows it.
struct GopRow {
    std::string timeCode;  // hh:mm:ss:pp of the GOP header
    uint32_t length = 0;   // coded pictures
    std::string structure;
    bool closed = false;
    bool sequenceHeader = false;  // a sequence header came before it
    bool brokenLink = false;      // broken_link: its leading B pictures are not shown

    bool operator==(const GopRow&) const = default;
};
