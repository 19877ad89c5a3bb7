// INI reading and value parsing.
#include "reference/ini_file.h"

#include <gtest/gtest.h>

#include "support/comma_locale.h"
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

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseIniRealTest,
    ::testing::Values(RealCase{"-20", -20.0}, RealCase{"-20.5", -20.5}, RealCase{"-20,5", -20.5},
                      RealCase{" 3 ", 3.0}, RealCase{"+3", 3.0}, RealCase{"+-3", std::nullopt},
                      RealCase{"+", std::nullopt}, RealCase{".5", 0.5}, RealCase{"1e3", 1000.0},
                      RealCase{"-20.5.1", std::nullopt}, RealCase{"3dB", std::nullopt},
                      RealCase{"", std::nullopt}, RealCase{"nan", std::nullopt}),
    CaseNumber());

// Under de_DE, strtod() stopped at the "." of "-20.5" and the key counted as absent.
TEST(ParseIniReal, ReadsTheSameUnderACommaLocale) {
    CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << CommaLocale::kSkipReason;
    EXPECT_EQ(-20.5, ParseIniReal("-20.5"));
    EXPECT_EQ(-20.5, ParseIniReal("-20,5"));
    EXPECT_EQ(1000.0, ParseIniReal("1000"));
}

// What [Video] of each file holds: a key and its value, or nullopt for "absent".
struct LayoutCase {
    const char* what;
    std::string text;
    std::vector<std::pair<std::string, std::optional<std::string>>> video;
};

class IniLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(IniLayoutTest, KeysAndValues) {
    TempDir dir;
    IniFile ini = IniFile::Load(dir.WriteText("a.ini", GetParam().text));
    for (const auto& [key, value] : GetParam().video) {
        EXPECT_EQ(value, ini.Value("Video", key)) << GetParam().what << ": " << key;
    }
}

const std::string kLongValue(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, IniLayoutTest,
    ::testing::Values(
        // libinih took an indented line as the continuation of the key above it.
        LayoutCase{"indented key under a key",
                   "[Video]\nFrameRate=3\n  HorizontalSize=720\n    VerticalSize=576\n",
                   {{"FrameRate", "3"}, {"HorizontalSize", "720"}, {"VerticalSize", "576"}}},
        LayoutCase{"tab indent",
                   "[Video]\n\tFrameRate=3\n\tHorizontalSize=720\n",
                   {{"FrameRate", "3"}, {"HorizontalSize", "720"}}},
        LayoutCase{"indented section header", "  [Video]\n  FrameRate=3\n", {{"FrameRate", "3"}}},
        LayoutCase{"blanks inside the brackets, comment after them",
                   "[ Video ] ; pictures\nFrameRate=3\n",
                   {{"FrameRate", "3"}}},
        LayoutCase{"byte order mark", "\xEF\xBB\xBF[Video]\nFrameRate=3\n", {{"FrameRate", "3"}}},
        LayoutCase{"byte order mark and indentation, CRLF",
                   "\xEF\xBB\xBF  [Video]\r\n  FrameRate=3\r\n  HorizontalSize=720\r\n",
                   {{"FrameRate", "3"}, {"HorizontalSize", "720"}}},
        LayoutCase{"spaces around =",
                   "[Video]\nFrameRate   =   3  \nHorizontalSize\t=\t720\n",
                   {{"FrameRate", "3"}, {"HorizontalSize", "720"}}},
        LayoutCase{"comment lines, indented too",
                   "[Video]\n; FrameRate=1\n  # FrameRate=2\n\t; HorizontalSize=1\nFrameRate=3\n",
                   {{"FrameRate", "3"}, {"HorizontalSize", std::nullopt}}},
        LayoutCase{"comment after a value: \";\" after a blank only",
                   "[Video]\nFrameRate=3 ; PAL\nName=a;b\nSpot=Spot #3\nEmpty= ; none\n",
                   {{"FrameRate", "3"}, {"Name", "a;b"}, {"Spot", "Spot #3"}, {"Empty", ""}}},
        LayoutCase{"continuation-looking lines are left out",
                   "[Video]\nFrameRate=3\n    more text\n\tand more\nHorizontalSize=720\n",
                   {{"FrameRate", "3"}, {"HorizontalSize", "720"}}},
        LayoutCase{"indented duplicate: the first wins",
                   "[Video]\nFrameRate=3\n  FrameRate=4\n",
                   {{"FrameRate", "3"}}},
        LayoutCase{"last line without a line end", "[Video]\nFrameRate=3", {{"FrameRate", "3"}}},
        // libinih cut lines at 200 bytes and read the rest as a line of its own.
        LayoutCase{"long line",
                   "[Video]\nNote=" + kLongValue + "=FrameRate=4\nFrameRate=3\n",
                   {{"Note", kLongValue + "=FrameRate=4"}, {"FrameRate", "3"}}},
        LayoutCase{
            "unclosed header and a line without =",
            "[Video]\nFrameRate=3\n[Audio\nHorizontalSize 720\nVerticalSize=576\n",
            {{"FrameRate", "3"}, {"HorizontalSize", std::nullopt}, {"VerticalSize", "576"}}}),
    CaseNumber());

TEST(IniFile, LineNumbersCountEveryLine) {
    for (const char* lineEnd : {"\n", "\r\n"}) {
        std::string text = std::string("\xEF\xBB\xBF; profile") + lineEnd + "[Video]" + lineEnd +
                           "  HorizontalSize=720" + lineEnd + lineEnd + "\tVerticalSize=576" +
                           lineEnd + "  [Audio] " + lineEnd + "Layer=2";
        IniFile ini = IniFile::Parse(text);
        ASSERT_EQ(2u, ini.SectionHeaders().size());
        EXPECT_EQ("Video", ini.SectionHeaders()[0].name);
        EXPECT_EQ(2, ini.SectionHeaders()[0].line);
        EXPECT_EQ("Audio", ini.SectionHeaders()[1].name);
        EXPECT_EQ(6, ini.SectionHeaders()[1].line);
        ASSERT_EQ(3u, ini.Entries().size());
        EXPECT_EQ(3, ini.Entries()[0].line);
        EXPECT_EQ("HorizontalSize", ini.Entries()[0].name);
        EXPECT_EQ("Video", ini.Entries()[1].section);
        EXPECT_EQ(5, ini.Entries()[1].line);
        EXPECT_EQ(7, ini.Entries()[2].line);
        EXPECT_EQ("2", ini.Entries()[2].value);
    }
}

// UTF-16 with its byte order mark, as Windows Notepad saves "Unicode": read as UTF-8, a
// surrogate pair as one character.
TEST(IniFile, Utf16ProfilesAreReadAsText) {
    auto utf16 = [](const std::u16string& text, bool bigEndian) {
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t unit : text) {
            char high = static_cast<char>(unit >> 8);
            char low = static_cast<char>(unit & 0xFF);
            bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        return bytes;
    };
    const std::u16string text =
        u"[Video]\r\nAspectRatio=2\r\n[Labels]\r\nName=Spot \u00e9\U0001F3AC\r\n";
    for (bool bigEndian : {false, true}) {
        IniFile ini = IniFile::Parse(utf16(text, bigEndian));
        EXPECT_EQ(2, ini.ReadInt("Video", "AspectRatio", 65535)) << bigEndian;
        EXPECT_EQ("Spot \xC3\xA9\xF0\x9F\x8E\xAC", ini.Value("Labels", "Name").value_or(""))
            << bigEndian;
        EXPECT_EQ(4, ini.Entries().back().line) << bigEndian;
    }
    // A lone surrogate is no character: it reads as U+FFFD, the rest as written.
    IniFile lone = IniFile::Parse(utf16(u"[A]\nK=\xD800x\n", false));
    EXPECT_EQ("\xEF\xBF\xBDx", lone.Value("A", "K").value_or(""));
}

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

TEST(IniFile, WritingKeepsTheByteOrderMarkAndReadsIndentedKeys) {
    TempDir dir;
    std::string path = dir.WriteText("z.ini", "\xEF\xBB\xBF[Application]\n  FormWidth=700\n");
    ASSERT_TRUE(WriteIniValues(path, {{"application", "FormWidth", "680"}}));
    Bytes bytes = ReadFileBytes(path);
    EXPECT_EQ("\xEF\xBB\xBF[Application]\r\nFormWidth=680\r\n",
              std::string(bytes.begin(), bytes.end()));
}

TEST(IniFile, MissingFileIsEmpty) {
    IniFile ini = IniFile::Load("/nonexistent/MpegReference.ini");
    EXPECT_FALSE(ini.Value("System", "VideoStreams").has_value());
    EXPECT_EQ(7, ini.ReadInt("System", "VideoStreams", 7));
}

}  // namespace
