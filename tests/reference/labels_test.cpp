// The labels table of the [Labels] section.
#include <gtest/gtest.h>

#include "reference/Mpeginfo.h"
#include "reference/reference_profile.h"
#include "support/test_files.h"

namespace {

const LabelCallbacks kNoCallbacks{nullptr, nullptr, nullptr};

TEST(Labels, EntriesInFileOrderWithTheFirstValueOfEachName) {
    TempDir dir;
    std::string ini = dir.WriteText("MpegReference.ini",
                                    "[System]\nVideoStreams=1\n"
                                    "[LABELS]\nStation=Channel 5\nZEMBRA_VERSION=x\n"
                                    "Station=second\nfile_name=\n");
    MpegInfo info(ini, "/spots/spot.mpg", kNoCallbacks);
    ASSERT_EQ(4, info.Count());
    const auto& e = info.Entries();
    EXPECT_EQ("Station", e[0].name);
    EXPECT_EQ("Channel 5", e[0].text);
    EXPECT_EQ("Channel 5", e[2].text);  // a repeated name takes its first value
    EXPECT_EQ(2, e[2].index);

    info.BindLabels(ini, "Zembra v1.4.0.131");
    EXPECT_EQ(kBoundKind, e[1].kind);
    EXPECT_EQ("%s", e[1].format);
    EXPECT_EQ(kBoundMarker, e[1].marker);
    ASSERT_NE(nullptr, e[1].valueRef);
    EXPECT_EQ("Zembra v1.4.0.131", *e[1].valueRef);
    ASSERT_NE(nullptr, e[3].valueRef);
    EXPECT_EQ("/spots/spot.mpg", *e[3].valueRef);
    EXPECT_EQ(0, e[0].kind);
    EXPECT_EQ(nullptr, e[0].valueRef);
    EXPECT_EQ(1, ReferenceProfile.system.VideoStreams);  // the profile was loaded again
}

TEST(Labels, NoFileOrNoSectionGivesAnEmptyTableAndStillLoadsTheProfile) {
    TempDir dir;
    MpegInfo missing(dir.Path() + "/none.ini", "a.mpg", kNoCallbacks);
    EXPECT_EQ(0, missing.Count());
    std::string ini = dir.WriteText("MpegReference.ini", "[Video]\nHorizontalSize=720\n");
    MpegInfo noSection(ini, "a.mpg", kNoCallbacks);
    EXPECT_EQ(0, noSection.Count());
    RunLabelsStep("a.mpg", ini);
    EXPECT_EQ(720, ReferenceProfile.video.HorizontalSize);
}

}  // namespace
