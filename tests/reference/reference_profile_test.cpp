// Loading the reference profile.
#include "reference/reference_profile.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

TEST(ReferenceProfile, MissingFileGivesAllDefaults) {
    LoadReferenceProfileFrom("/nonexistent/MpegReference.ini");
    const ReferenceProfileData& p = ReferenceProfile;
    EXPECT_EQ(65535, p.system.SystemHeadersMin);
    EXPECT_EQ(65535, p.system.ProgramEndCodeRequired);
    EXPECT_EQ(0, p.system.DurationAudioVideoDifference);
    EXPECT_EQ(0, p.system.DelayAudioVideoDifference);
    EXPECT_EQ(0, p.system.MaxTimeToProcess);
    EXPECT_EQ(65535, p.video.HorizontalSize);
    EXPECT_EQ(65535, p.video.VideoEndCodeRequired);
    EXPECT_EQ(65535, p.audio.DecodeAudio);
    EXPECT_EQ(65535, p.audio.MaxSamplesClipped);
    EXPECT_EQ(1000.0, p.audio.MaxDCLevel);
    EXPECT_EQ(1000.0, p.audio.RMSLeftRightDiff);
}

TEST(ReferenceProfile, ReadsEveryGroupAndSection) {
    TempDir dir;
    std::string path = dir.WriteText("MpegReference.ini",
                                     "[System]\nMPEGPackSize=2048\nprogrammuxratemin=1\n"
                                     "DurationAudioVideoDifference=40\n"
                                     "[Processing]\nMaxTimeToProcess=300\n"
                                     "[Video]\nHorizontalSize=0x2D0\nVerticalSize=576px\n"
                                     "GOPLengthMax=15\n"
                                     "[Audio]\nMode=5\nRMSReference=-20\nRMSTolerance=3\n"
                                     "[Labels]\nzembra_version=x\n");
    LoadReferenceProfileFrom(path);
    const ReferenceProfileData& p = ReferenceProfile;
    EXPECT_EQ(2048, p.system.MPEGPackSize);
    EXPECT_EQ(1, p.system.ProgramMuxRateMin);
    EXPECT_EQ(40, p.system.DurationAudioVideoDifference);
    EXPECT_EQ(300, p.system.MaxTimeToProcess);
    EXPECT_EQ(720, p.video.HorizontalSize);
    EXPECT_EQ(65535, p.video.VerticalSize);
    EXPECT_EQ(15, p.video.GOPLengthMax);
    EXPECT_EQ(5, p.audio.Mode);
    EXPECT_EQ(-20.0, p.audio.RMSReference);
    EXPECT_EQ(3.0, p.audio.RMSTolerance);
}

TEST(ReferenceProfile, EveryLoadReplacesEveryField) {
    TempDir dir;
    std::string path = dir.WriteText("MpegReference.ini", "[Video]\nHorizontalSize=720\n");
    LoadReferenceProfileFrom(path);
    EXPECT_EQ(720, ReferenceProfile.video.HorizontalSize);
    dir.WriteText("MpegReference.ini", "[Video]\nVerticalSize=576\n");
    LoadReferenceProfileFrom(path);
    EXPECT_EQ(65535, ReferenceProfile.video.HorizontalSize);
    EXPECT_EQ(576, ReferenceProfile.video.VerticalSize);
}

TEST(ReferenceProfile, BundledProfileDescribesAnSdPalSpot) {
    LoadReferenceProfileFrom(std::string(ZEMBRA_DATA_DIR) + "/MpegReference.ini");
    const ReferenceProfileData& p = ReferenceProfile;
    EXPECT_EQ(720, p.video.HorizontalSize);
    EXPECT_EQ(576, p.video.VerticalSize);
    EXPECT_EQ(3, p.video.FrameRate);
    EXPECT_EQ(1, p.video.ChromaFormat);
    EXPECT_EQ(2, p.audio.Layer);
    EXPECT_EQ(48000, p.audio.SamplingFrequency);
}

TEST(ReferenceProfile, DefaultPathLiesBesideTheExecutable) {
    std::string path = DefaultReferenceProfilePath();
    EXPECT_EQ(ExecutableDirectory() + "MpegReference.ini", path);
    EXPECT_EQ('/', path[0]);
}

}  // namespace

namespace {

TEST(ReferenceProfileBadFiles, GarbageDirectoriesAndHugeFilesGiveDefaults) {
    TempDir dir;
    Bytes garbage(100000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 131 + 7);
    LoadReferenceProfileFrom(dir.Write("garbage.ini", garbage));
    EXPECT_EQ(65535, ReferenceProfile.video.HorizontalSize);
    LoadReferenceProfileFrom(dir.Path());  // a directory
    EXPECT_EQ(65535, ReferenceProfile.system.MPEGPackSize);
    EXPECT_EQ(1000.0, ReferenceProfile.audio.MaxDCLevel);

    std::string big = "[System]\n";
    for (int i = 0; i < 10000; ++i)
        big += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    big += "Long=" + std::string(1 << 20, 'x') + "\n";
    big += "[Video]\nHorizontalSize=720\n";
    LoadReferenceProfileFrom(dir.WriteText("big.ini", big));
    EXPECT_EQ(720, ReferenceProfile.video.HorizontalSize);
    EXPECT_EQ(65535, ReferenceProfile.system.MPEGPackSize);
}

}  // namespace
