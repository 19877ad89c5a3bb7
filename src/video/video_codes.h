// What the codes of MPEG-2 video headers mean (ISO/IEC 13818-2): the names the report gives
// them, and the periods of frame_rate_code in whole ticks.
#pragma once

#include <cstdint>
#include <string>

// Ticks of 1/720000 s: every field period of table 6-4 (1001/48000 s at 23.976 fps down to
// 1/120 s at 60 fps) and the 90 kHz periods of vbv_delay are whole numbers of them.
constexpr uint64_t kVideoTicksPerSecond = 720000;

// picture_structure of a frame picture (ISO/IEC 13818-2, 6.3.10, table 6-14); 1 and 2 code
// the top and the bottom field.
constexpr uint32_t kFramePicture = 3;

// One field period of a frame_rate_code, in ticks; 0 outside 1 to 8.
uint64_t FieldTicks(uint32_t frameRateCode);
// Twice the frame rate (60000/1001 at 29.97 fps); 0 outside 1 to 8.
double ExactFieldsPerSecond(uint32_t frameRateCode);
// Whole frames per second (30 at 29.97 fps); 0 outside 1 to 8.
uint32_t NominalFrameRate(uint32_t frameRateCode);

// frame_rate_code, aspect_ratio_information and chroma_format (tables 6-4, 6-3, 6-5):
// "29.97 fps", "16:9" ("1:1" for square samples), "4:2:2"; nullptr for a reserved code.
const char* FrameRateName(uint32_t frameRateCode);
const char* AspectRatioName(uint32_t aspectRatioCode);
const char* ChromaFormatName(uint32_t chromaFormat);
// profile_and_level_indication (8.1 and 8.2, tables 8-2 and 8-3, and the escaped 4:2:2 and
// multi-view codes of table 8-7): "MP@ML", "422P@HL"; empty for a reserved value.
std::string ProfileAndLevelName(uint32_t code);
