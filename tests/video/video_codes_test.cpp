// The periods and names of MPEG-2 video codes (ISO/IEC 13818-2, tables 6-3 to 6-5, 8-2,
// 8-3 and 8-7).
#include "video/video_codes.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace {

TEST(VideoCodes, FrameRatesOfEveryCode) {
    const struct {
        uint32_t code;
        double fieldsPerSecond;
        uint32_t nominal;
        const char* name;
    } cases[] = {
        {0, 0, 0, nullptr},
        {1, 48000.0 / 1001, 24, "23.976 fps"},
        {2, 48, 24, "24 fps"},
        {3, 50, 25, "25 fps"},
        {4, 60000.0 / 1001, 30, "29.97 fps"},
        {5, 60, 30, "30 fps"},
        {6, 100, 50, "50 fps"},
        {7, 120000.0 / 1001, 60, "59.94 fps"},
        {8, 120, 60, "60 fps"},
        {9, 0, 0, nullptr},
        {15, 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(c.fieldsPerSecond, ExactFieldsPerSecond(c.code)) << c.code;
        EXPECT_EQ(c.nominal, NominalFrameRate(c.code)) << c.code;
        EXPECT_STREQ(c.name, FrameRateName(c.code)) << c.code;
        // A field period is a whole number of ticks at every rate.
        if (c.nominal != 0) {
            EXPECT_DOUBLE_EQ(kVideoTicksPerSecond / c.fieldsPerSecond,
                             static_cast<double>(FieldTicks(c.code)))
                << c.code;
        }
    }
}

TEST(VideoCodes, ProfileAndLevelNames) {
    const struct {
        uint32_t code;
        const char* name;
    } cases[] = {
        {0x48, "MP@ML"},
        {0x44, "MP@HL"},
        {0x46, "MP@H-14"},
        {0x4A, "MP@LL"},
        {0x14, "HP@HL"},
        {0x16, "HP@H-14"},
        {0x18, "HP@ML"},
        {0x58, "SP@ML"},
        {0x38, "SNR@ML"},
        {0x3A, "SNR@LL"},
        {0x26, "Spatial@H-14"},
        {0x82, "422P@HL"},
        {0x85, "422P@ML"},
        {0x8A, "MVP@HL"},
        {0x8B, "MVP@H-14"},
        {0x8D, "MVP@ML"},
        {0x8E, "MVP@LL"},
        // Reserved profiles, levels and escaped values.
        {0x00, ""},
        {0x08, ""},
        {0x68, ""},
        {0x45, ""},
        {0x4F, ""},
        {0x80, ""},
        {0x8F, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.name, ProfileAndLevelName(c.code)) << c.code;
}

TEST(VideoCodes, AspectRatioAndChromaNames) {
    EXPECT_STREQ("1:1", AspectRatioName(1));
    EXPECT_STREQ("16:9", AspectRatioName(3));
    EXPECT_STREQ("2.21:1", AspectRatioName(4));
    EXPECT_EQ(nullptr, AspectRatioName(0));
    EXPECT_EQ(nullptr, AspectRatioName(5));
    EXPECT_STREQ("4:2:0", ChromaFormatName(1));
    EXPECT_STREQ("4:4:4", ChromaFormatName(3));
    EXPECT_EQ(nullptr, ChromaFormatName(0));
}

}  // namespace
