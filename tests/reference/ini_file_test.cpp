// INI reading and value parsing.
#include "reference/ini_file.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

struct IntCase {
    const char* text;
    std::optional<int32_t> value;
};

class ParseIniIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ParseIniIntTest, Value) { EXPECT_EQ(GetParam().value, ParseIniInt(GetParam().text)); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseIniIntTest,
    ::testing::Values(IntCase{"720", 720}, IntCase{" 720 ", 720}, IntCase{"0x2D0", 720},
                      IntCase{"0X2d0", 720}, IntCase{"-3", -3}, IntCase{"0", 0},
                      IntCase{"0xFFFFFFFF", -1}, IntCase{"0xFFFF", 65535},
                      IntCase{"720px", std::nullopt}, IntCase{"", std::nullopt},
                      IntCase{"0x", std::nullopt}, IntCase{"0xG1", std::nullopt},
                      IntCase{"1.5", std::nullopt}, IntCase{"99999999999", std::nullopt}),
    CaseNumber());

struct RealCase {
    const char* text;
    std::optional<double> value;
};

class ParseIniRealTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(ParseIniRealTest, Value) { EXPECT_EQ(GetParam().value, ParseIniReal(GetParam().text)); }

INSTANTIATE_TEST_SUITE_P(Cases, ParseIniRealTest,
                         ::testing::Values(RealCase{"-20", -20.0}, RealCase{"-20.5", -20.5},
                                           RealCase{"-20,5", -20.5}, RealCase{" 3 ", 3.0},
                                           RealCase{"3dB", std::nullopt},
                                           RealCase{"", std::nullopt},
                                           RealCase{"nan", std::nullopt}),
                         CaseNumber());

TEST(IniFile, NamesMatchWithoutRegardToCase) {
    TempDir dir;
    std::string path = dir.WriteText("a.ini",
                                     "; comment\n"
                                     "[VIDEO]\n"
                                     "horizontalsize = 720 ; inline comment\n"
                                     "# another comment\n"
                                     "[audio]\r\n"
                                     "MaxDCLevel=-40.5\r\n");
    IniFile ini = IniFile::Load(path);
    EXPECT_EQ(720, ini.ReadInt("Video", "HorizontalSize", 65535));
    EXPECT_EQ(-40.5, ini.ReadReal("Audio", "MAXDCLEVEL", 1000.0));
    EXPECT_EQ(65535, ini.ReadInt("Audio", "HorizontalSize", 65535));
}

TEST(IniFile, FirstOfDuplicateKeysWins) {
    TempDir dir;
    IniFile ini =
        IniFile::Load(dir.WriteText("a.ini", "[System]\nVideoStreams=1\nVideoStreams=2\n"));
    EXPECT_EQ(1, ini.ReadInt("System", "VideoStreams", 65535));
}

TEST(IniFile, WritingKeepsEveryOtherLine) {
    TempDir dir;
    std::string path = dir.WriteText("z.ini",
                                     "; note\n[application]\nformwidth=700\nOther = 1\n\n"
                                     "[Format]\nX=2\n");
    ASSERT_TRUE(WriteIniValues(path, {{"Application", "FormWidth", "680"},
                                      {"Application", "Version", "Zembra v1.4.0.131"},
                                      {"Format", "PrintOnlyErrors", "0"},
                                      {"New", "Key", "v"}}));
    Bytes bytes = ReadFileBytes(path);
    std::string expected =
        "; note\r\n[application]\r\nFormWidth=680\r\nOther = 1\r\n"
        "Version=Zembra v1.4.0.131\r\n\r\n[Format]\r\nX=2\r\nPrintOnlyErrors=0\r\n"
        "[New]\r\nKey=v\r\n";
    EXPECT_EQ(expected, std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(680, IniFile::Load(path).ReadInt("Application", "FormWidth", 0));
    EXPECT_FALSE(WriteIniValues(dir.Path() + "/no/such/z.ini", {{"A", "B", "C"}}));
}

TEST(IniFile, MissingFileIsEmpty) {
    IniFile ini = IniFile::Load("/nonexistent/MpegReference.ini");
    EXPECT_FALSE(ini.Value("System", "VideoStreams").has_value());
    EXPECT_EQ(7, ini.ReadInt("System", "VideoStreams", 7));
}

}  // namespace
