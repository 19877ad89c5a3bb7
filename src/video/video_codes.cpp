// Names and periods of MPEG-2 video codes.
#include "video/video_codes.h"

#include <iterator>

namespace {

// A name of a table indexed by its code; nullptr where the table has none.
const char* NameOf(const char* const* names, size_t count, uint32_t code) {
    return code < count ? names[code] : nullptr;
}

}  // namespace

uint64_t FieldTicks(uint32_t frameRateCode) {
    // 1/(2 × frame rate): 1001/48000, 1/48, 1/50, 1001/60000, 1/60, 1/100, 1001/120000, 1/120 s.
    static constexpr uint64_t kTicks[] = {0, 15015, 15000, 14400, 12012, 12000, 7200, 6006, 6000};
    return frameRateCode < std::size(kTicks) ? kTicks[frameRateCode] : 0;
}

double ExactFieldsPerSecond(uint32_t frameRateCode) {
    uint64_t ticks = FieldTicks(frameRateCode);
    return ticks == 0 ? 0 : static_cast<double>(kVideoTicksPerSecond) / static_cast<double>(ticks);
}

uint32_t NominalFrameRate(uint32_t frameRateCode) {
    static constexpr uint32_t kRates[] = {0, 24, 24, 25, 30, 30, 50, 60, 60};
    return frameRateCode < std::size(kRates) ? kRates[frameRateCode] : 0;
}

const char* FrameRateName(uint32_t frameRateCode) {
    static const char* const kNames[] = {nullptr,  "23.976 fps", "24 fps",    "25 fps", "29.97 fps",
                                         "30 fps", "50 fps",     "59.94 fps", "60 fps"};
    return NameOf(kNames, std::size(kNames), frameRateCode);
}

const char* AspectRatioName(uint32_t aspectRatioCode) {
    static const char* const kNames[] = {nullptr, "1:1", "4:3", "16:9", "2.21:1"};
    return NameOf(kNames, std::size(kNames), aspectRatioCode);
}

const char* ChromaFormatName(uint32_t chromaFormat) {
    static const char* const kNames[] = {nullptr, "4:2:0", "4:2:2", "4:4:4"};
    return NameOf(kNames, std::size(kNames), chromaFormat);
}

std::string ProfileAndLevelName(uint32_t code) {
    switch (code) {
        case 0x82:
            return "422P@HL";
        case 0x85:
            return "422P@ML";
        case 0x8A:
            return "MVP@HL";
        case 0x8B:
            return "MVP@H-14";
        case 0x8D:
            return "MVP@ML";
        case 0x8E:
            return "MVP@LL";
        default:
            break;
    }
    if (code & 0x80) return "";
    // profile_identification and level_identification.
    static const char* const kProfiles[8] = {nullptr, "HP", "Spatial", "SNR",
                                             "MP",    "SP", nullptr,   nullptr};
    static const char* const kLevels[16] = {nullptr, nullptr, nullptr, nullptr, "HL", nullptr,
                                            "H-14",  nullptr, "ML",    nullptr, "LL", nullptr,
                                            nullptr, nullptr, nullptr, nullptr};
    const char* profile = kProfiles[(code >> 4) & 0x7];
    const char* level = kLevels[code & 0xF];
    if (!profile || !level) return "";
    return std::string(profile) + "@" + level;
}
