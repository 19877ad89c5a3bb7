// The table of the profile's keys: what the loader reads from it, and docs/profile.md's key
// tables held to it.
#include "reference/key_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "support/test_files.h"

namespace {

template <typename... Visitors>
struct Overloaded : Visitors... {
    using Visitors::operator()...;
};

// The values the last load put into the key's field: one, or a list's.
std::vector<double> LoadedValues(const KeyRow& key) {
    const ReferenceProfileData& p = ReferenceProfile;
    auto one = [](double value) { return std::vector<double>{value}; };
    return std::visit(Overloaded{
                          [&](int32_t SystemReference::*field) { return one(p.system.*field); },
                          [&](int32_t VideoReference::*field) { return one(p.video.*field); },
                          [&](int32_t AudioReference::*field) { return one(p.audio.*field); },
                          [&](double AudioReference::*field) { return one(p.audio.*field); },
                          [&](std::vector<int32_t> ReferenceProfileData::*field) {
                              return std::vector<double>((p.*field).begin(), (p.*field).end());
                          },
                      },
                      key.field);
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// Values the key takes that are not its not-set value (65535 is the top of many ranges):
// the first of a list, else one above the bottom of the range; a real with a fraction.
std::vector<double> TakenValues(const KeyRow& key) {
    const Accepted& accepted = *key.accepted;
    if (!accepted.only.empty()) return {static_cast<double>(accepted.only.front())};
    switch (KindOf(key)) {
        case ValueKind::Real:
            return {accepted.min + 0.25};
        case ValueKind::List:
            return {accepted.min + 1, accepted.max};
        case ValueKind::Integer:
            break;
    }
    return {accepted.min + 1};
}

// A value of the key's kind that it does not take: below its range, or outside its list.
double RefusedValue(const KeyRow& key) {
    return key.accepted->only.empty() ? key.accepted->min - 1 : 12345;
}

std::string Written(const std::vector<double>& values) {
    std::string text;
    for (double value : values) text += (text.empty() ? "" : ",") + Number(value);
    return text;
}

std::vector<double> NotSetValues(const KeyRow& key) {
    if (KindOf(key) == ValueKind::List) return {};
    return {key.notSet};
}

std::string ProfileWith(const KeyRow& key, const std::string& value) {
    return "[" + std::string(key.section) + "]\n" + std::string(key.name) + "=" + value + "\n";
}

TEST(KeyTable, TheLoaderReadsEachKeyIntoItsFieldWithinItsRange) {
    TempDir dir;
    for (const KeyRow& key : KeyTable()) {
        std::vector<double> taken = TakenValues(key);
        LoadReferenceProfileFrom(
            dir.WriteText("MpegReference.ini", ProfileWith(key, Written(taken))));
        EXPECT_EQ(taken, LoadedValues(key)) << key.name;
        EXPECT_TRUE(ProfileWarnings().empty()) << key.name;
        EXPECT_EQ(1, ReferenceProfileOrigin().keysSet) << key.name;

        std::string refused = Number(RefusedValue(key));
        LoadReferenceProfileFrom(dir.WriteText("MpegReference.ini", ProfileWith(key, refused)));
        EXPECT_EQ(NotSetValues(key), LoadedValues(key)) << key.name;
        ASSERT_EQ(1u, ProfileWarnings().size()) << key.name;
        EXPECT_EQ(ProfileWarningKind::OutOfRange, ProfileWarnings()[0].kind) << key.name;
        EXPECT_EQ(std::string(key.name) + " takes " + std::string(key.accepted->takes),
                  ProfileWarnings()[0].takes);

        // Another section's key of the same name is unknown there.
        std::string other = key.section == "Audio" ? "Video" : "Audio";
        LoadReferenceProfileFrom(dir.WriteText(
            "MpegReference.ini", "[" + other + "]\n" + std::string(key.name) + "=1\n"));
        EXPECT_EQ(NotSetValues(key), LoadedValues(key)) << key.name;
        ASSERT_EQ(1u, ProfileWarnings().size()) << key.name;
        EXPECT_EQ(ProfileWarningKind::UnknownKey, ProfileWarnings()[0].kind) << key.name;
    }
}

TEST(KeyTable, EveryKeyAtOnceIsKnownAndAbsentKeysAreNotSet) {
    std::string text;
    for (const KeyRow& key : KeyTable()) text += ProfileWith(key, Written(TakenValues(key)));
    TempDir dir;
    LoadReferenceProfileFrom(dir.WriteText("MpegReference.ini", text));
    EXPECT_TRUE(ProfileWarnings().empty());
    EXPECT_EQ(static_cast<int>(KeyTable().size()), ReferenceProfileOrigin().keysSet);
    for (const KeyRow& key : KeyTable()) EXPECT_EQ(TakenValues(key), LoadedValues(key)) << key.name;

    LoadNoReferenceProfile();
    for (const KeyRow& key : KeyTable())
        EXPECT_EQ(NotSetValues(key), LoadedValues(key)) << key.name;
}

TEST(KeyTable, KeyOfNamesTheFieldsRow) {
    LoadNoReferenceProfile();
    ReferenceProfile.video.AspectRatio = 3;
    ProfileKey aspect = KeyOf(ReferenceProfile.video, &VideoReference::AspectRatio);
    EXPECT_EQ((KeyName{"Video", "AspectRatio"}), aspect.name);
    EXPECT_EQ(3, aspect.value);
    EXPECT_EQ((KeyName{"Processing", "MaxTimeToProcess"}),
              KeyOf(ReferenceProfile.system, &SystemReference::MaxTimeToProcess).name);
    EXPECT_EQ((KeyName{"Audio", "LoudnessTolerance"}),
              KeyOf(ReferenceProfile.audio, &AudioReference::LoudnessTolerance).name);
}

TEST(KeyTable, UnitsAndMeaningsOfKeys) {
    struct Case {
        const char* key;
        double value;
        const char* unit;
        const char* meaning;
    };
    const Case cases[] = {
        {"AspectRatio", 3, "code", "16:9"},
        {"AspectRatio", 5, "code", ""},
        {"FrameRate", 4, "code", "29.97 fps"},
        {"ChromaFormat", 0, "code", "any chroma format"},
        {"ChromaFormat", 2, "code", "4:2:2"},
        {"ProfileAndLevel", 0, "code", "streams other than MP@ML accepted"},
        {"ProfileAndLevel", 130, "code", "422P@HL"},
        {"Mode", 3, "bit mask", "stereo, joint stereo"},
        {"Mode", 0, "bit mask", "no mode"},
        {"Layer", 2, "code", "Layer II"},
        {"Layer", 2.5, "code", ""},
        {"Emphasis", 1, "code", "50/15 us"},
        {"PictureStructure", 3, "code", "frame pictures"},
        {"PictureStructure", 1, "code", ""},
        {"HorizontalSize", 720, "pixels", ""},
        {"VBVBufferSize", 112, "16 kbit", ""},
        {"VideoPeakBitrate", 15000, "Kbps", ""},
        {"AudioBitrate", 192, "kbit/s", ""},
        {"ProgramMuxRateMin", 1, "bit/s", ""},  // the unit of the minimum its check works out
        {"LoudnessTarget", -23, "LUFS", ""},
        {"SpotDurationTolerance", 2, "frames", ""},
        // Not a key: no unit, no meaning, rather than a guess.
        {"HorizontalSise", 720, "", ""},
        {"horizontalsize", 720, "", ""},
        {"", 0, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.unit, KeyUnit(c.key)) << c.key;
        EXPECT_EQ(c.meaning, KeyMeaning(c.key, c.value)) << c.key << " " << c.value;
    }
    for (const KeyRow& key : KeyTable()) {
        EXPECT_FALSE(key.unit.empty()) << key.name;
        EXPECT_FALSE(key.meaning.empty()) << key.name;
        EXPECT_EQ(&key, FindKeyRow(key.name));
    }
}

// docs/profile.md: a table row's cells, without the outer bars.
std::vector<std::string> Cells(const std::string& row) {
    std::vector<std::string> cells;
    std::istringstream in(row.substr(1));
    for (std::string cell; std::getline(in, cell, '|');) {
        cell.erase(0, cell.find_first_not_of(' '));
        cell.erase(cell.find_last_not_of(' ') + 1);
        cells.push_back(cell);
    }
    return cells;
}

// A cell as plain text: `code` and [text](link) lose their markup.
std::string Plain(const std::string& cell) {
    std::string text;
    for (size_t i = 0; i < cell.size(); ++i) {
        size_t close = cell[i] == '[' ? cell.find("](", i) : std::string::npos;
        if (close != std::string::npos && cell.find(']', i) == close) {
            text += Plain(cell.substr(i + 1, close - i - 1));
            i = cell.find(')', close);
        } else if (cell[i] != '`') {
            text += cell[i];
        }
    }
    return text;
}

TEST(KeyTable, PlainDropsTheMarkupOfACell) {
    EXPECT_EQ("dB of the RMS scale, per channel",
              Plain("dB of the [RMS scale](report.md#units), per channel"));
    EXPECT_EQ("commas: 10,15", Plain("commas: `10,15`"));
    EXPECT_EQ("[System]", Plain("[System]"));
    EXPECT_EQ("see --no-profile here", Plain("see [`--no-profile`](command-line.md#options) here"));
}

// The lines of docs/profile.md under a "## " heading, to the next one.
std::vector<std::string> Chapter(const std::string& heading) {
    std::ifstream page(ZEMBRA_DATA_DIR "/../docs/profile.md");
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line; std::getline(page, line);) {
        if (line.rfind("## ", 0) == 0) inside = line == "## " + heading;
        if (inside) lines.push_back(line);
    }
    return lines;
}

// "`SystemHeadersMin`" -> "SystemHeadersMin"; empty for a cell that is not one name.
std::string KeyNameIn(const std::string& cell) {
    bool one = cell.size() > 2 && cell.front() == '`' && cell.back() == '`' &&
               cell.find('`', 1) == cell.size() - 1;
    return one ? cell.substr(1, cell.size() - 2) : "";
}

TEST(KeyTable, KeysBySectionInTheDocsAreTheTable) {
    std::vector<std::string> lines = Chapter("Keys by section");
    ASSERT_FALSE(lines.empty());
    std::map<std::string, int> documented;
    std::string section;
    for (const std::string& line : lines) {
        if (line.rfind("### [", 0) == 0) section = line.substr(5, line.find(']') - 5);
        if (line.rfind("| `", 0) != 0) continue;
        std::vector<std::string> cells = Cells(line);
        ASSERT_EQ(3u, cells.size()) << line;
        std::string name = KeyNameIn(cells[0]);
        ASSERT_FALSE(name.empty()) << "one key a row: " << line;
        ++documented[name];
        const KeyRow* key = FindKeyRow(name);
        ASSERT_NE(nullptr, key) << "not in the table: " << name;
        EXPECT_EQ(key->section, section) << name;
        EXPECT_EQ(key->meaning, Plain(cells[2])) << name;
    }
    for (const KeyRow& key : KeyTable())
        EXPECT_EQ(1, documented[std::string(key.name)]) << key.name;
    EXPECT_EQ(KeyTable().size(), documented.size());
}

TEST(KeyTable, ValuesAKeyTakesInTheDocsAreTheTable) {
    std::vector<std::string> lines = Chapter("Values a key takes");
    ASSERT_FALSE(lines.empty());
    std::map<std::string, int> documented;
    for (const std::string& line : lines) {
        if (line.rfind("| [", 0) != 0) continue;
        std::vector<std::string> cells = Cells(line);
        ASSERT_EQ(3u, cells.size()) << line;
        std::string name = KeyNameIn(cells[1]);
        ++documented[name];
        const KeyRow* key = FindKeyRow(name);
        ASSERT_NE(nullptr, key) << "not in the table: " << line;
        EXPECT_EQ("[" + std::string(key->section) + "]", cells[0]) << name;
        EXPECT_EQ(key->accepted->takes, cells[2]) << name;
    }
    for (const KeyRow& key : KeyTable())
        EXPECT_EQ(1, documented[std::string(key.name)]) << key.name;
    EXPECT_EQ(KeyTable().size(), documented.size());
}

}  // namespace
