// Saving the report as text.
#include "report/report_text_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_files.h"

namespace {

TEST(ReportTextFile, WritesCrlfLinesAndKeepsTheMark) {
    TempDir dir;
    std::string path = dir.Path() + "/spot.txt";
    ASSERT_TRUE(SaveTextLines(path, {"head", "*Missing Progam End Code...", " "}));
    std::string expected = "head\r\n*Missing Progam End Code...\r\n \r\n";
    EXPECT_EQ(Bytes(expected.begin(), expected.end()), ReadFileBytes(path));
}

TEST(ReportTextFile, ReplacesAnExistingFile) {
    TempDir dir;
    std::string path = dir.WriteText("spot.txt", "old report, longer than the new one\r\n");
    ASSERT_TRUE(SaveTextLines(path, {"new"}));
    std::string expected = "new\r\n";
    EXPECT_EQ(Bytes(expected.begin(), expected.end()), ReadFileBytes(path));
}

TEST(ReportTextFile, AFailedWriteLeavesNothingBehind) {
    TempDir dir;
    EXPECT_FALSE(SaveTextLines(dir.Path() + "/no/such/folder/spot.txt", {"x"}));
    // A target that is a folder cannot be replaced; the folder and its files stay.
    std::string target = dir.Path() + "/folder";
    std::filesystem::create_directory(target);
    dir.WriteText("folder/keep.txt", "keep");
    EXPECT_FALSE(SaveTextLines(target, {"x"}));
    EXPECT_TRUE(std::filesystem::exists(target + "/keep.txt"));
    int entries = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(1, entries);
}

}  // namespace
