// Loading the reference profile.
#include "reference/reference_profile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "report/compliance_checks.h"
#include "support/comma_locale.h"
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

// A check names its key as the profile spells it, with the value of the section it is
// given.
TEST(ReferenceProfile, KeyOfNamesTheKeyOfAField) {
    TempDir dir;
    LoadReferenceProfileFrom(dir.WriteText("MpegReference.ini",
                                           "[video]\naspectratio=3\n[Processing]\n"
                                           "MaxTimeToProcess=600\n[Audio]\nMode=0xF\n"
                                           "RMSTolerance=2.5\n"));
    const ReferenceProfileData& p = ReferenceProfile;
    ProfileKey aspect = KeyOf(p.video, &VideoReference::AspectRatio);
    EXPECT_EQ((KeyName{"Video", "AspectRatio"}), aspect.name);
    EXPECT_EQ(3, aspect.value);
    ProfileKey time = KeyOf(p.system, &SystemReference::MaxTimeToProcess);
    EXPECT_EQ((KeyName{"Processing", "MaxTimeToProcess"}), time.name);
    EXPECT_EQ(600, time.value);
    ProfileKey vbr = KeyOf(p.system, &SystemReference::SystemVBR);
    EXPECT_EQ((KeyName{"System", "SystemVBR"}), vbr.name);
    EXPECT_EQ(kNotSet, vbr.value);
    ProfileKey mode = KeyOf(p.audio, &AudioReference::Mode);
    EXPECT_EQ((KeyName{"Audio", "Mode"}), mode.name);
    EXPECT_EQ(15, mode.value);
    RealProfileKey tolerance = KeyOf(p.audio, &AudioReference::RMSTolerance);
    EXPECT_EQ((KeyName{"Audio", "RMSTolerance"}), tolerance.name);
    EXPECT_EQ(2.5, tolerance.value);
    EXPECT_EQ(kRealNotSet, KeyOf(p.audio, &AudioReference::MaxDCLevel).value);

    VideoReference own = p.video;
    own.AspectRatio = 2;
    EXPECT_EQ(2, KeyOf(own, &VideoReference::AspectRatio).value);
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

// The operator's fault of the issue: an indented key after another key was read as that
// key's continuation, and the check it sets silently became an information line.
TEST(ReferenceProfile, IndentedKeysAreRead) {
    TempDir dir;
    LoadReferenceProfileFrom(dir.WriteText("MpegReference.ini",
                                           "[Video]\n  FrameRate=3\n  HorizontalSize=720\n"
                                           "[Audio]\n\tLayer=2\n\tRMSReference = -20.5\n"));
    EXPECT_EQ(3, ReferenceProfile.video.FrameRate);
    EXPECT_EQ(720, ReferenceProfile.video.HorizontalSize);
    EXPECT_EQ(2, ReferenceProfile.audio.Layer);
    EXPECT_EQ(-20.5, ReferenceProfile.audio.RMSReference);
}

TEST(ReferenceProfile, RealsReadTheSameUnderACommaLocale) {
    CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << CommaLocale::kSkipReason;
    TempDir dir;
    LoadReferenceProfileFrom(dir.WriteText(
        "MpegReference.ini", "[Audio]\nRMSReference=-20.5\nMaxDCLevel=-40,5\nMaxPeakValue=-0.5\n"));
    EXPECT_EQ(-20.5, ReferenceProfile.audio.RMSReference);
    EXPECT_EQ(-40.5, ReferenceProfile.audio.MaxDCLevel);
    EXPECT_EQ(-0.5, ReferenceProfile.audio.MaxPeakValue);
}

std::vector<std::string> WarningTexts() {
    std::vector<std::string> texts;
    for (const ProfileWarning& warning : ProfileWarnings()) {
        texts.push_back(ProfileWarningText(warning));
    }
    return texts;
}

// Every kind of name once, known and unknown, the unknown ones with their line numbers.
const char* const kProfileWithUnknownNames[] = {
    "; an operator's profile",  // 1
    "Owner=Ingest",             // 2 a key before any section
    "[system]",                 // 3
    "videostreams=1",           // 4 known, in other letter case
    "[Video]",                  // 5
    "  HorizontalSise=720",     // 6 a typo, indented
    "HorizontalSize=720",       // 7
    "[Processing]",             // 8
    "MaxTimeToProcess=0",       // 9
    "[Vidoe]",                  // 10 a typo: its keys are not warned singly
    "FrameRate=3",              // 11
    "[Audio]",                  // 12
    "MPEG=1",                   // 13 read, governs no check
    "ModeExtension=0",          // 14
    "HorizontalSize=720",       // 15 a [Video] key in [Audio]
    "[LABELS]",                 // 16 any name is a label
    "Station=Channel 5",        // 17
    "  [ Extra ]",              // 18
};

TEST(ReferenceProfile, UnknownKeysAndSectionsAreWarnedWithTheirLine) {
    TempDir dir;
    for (const char* lineEnd : {"\n", "\r\n"}) {
        bool windows = std::string(lineEnd) == "\r\n";
        std::string text = windows ? "\xEF\xBB\xBF" : "";  // Notepad's byte order mark
        for (const char* line : kProfileWithUnknownNames) text += std::string(line) + lineEnd;
        std::string path = dir.WriteText("MpegReference.ini", text);
        LoadReferenceProfileFrom(path);
        std::vector<std::string> expected = {
            "Unknown key \"Owner\" in [] of profile \"" + path + "\", line 2",
            "Unknown key \"HorizontalSise\" in [Video] of profile \"" + path + "\", line 6",
            "Unknown section [Vidoe] of profile \"" + path + "\", line 10",
            "Unknown key \"HorizontalSize\" in [Audio] of profile \"" + path + "\", line 15",
            "Unknown section [Extra] of profile \"" + path + "\", line 18"};
        EXPECT_EQ(expected, WarningTexts()) << (windows ? "CRLF and BOM" : "LF");
        EXPECT_EQ(720, ReferenceProfile.video.HorizontalSize);  // the run goes on
        ASSERT_EQ(5u, ProfileWarnings().size());
        const ProfileWarning& typo = ProfileWarnings()[1];
        EXPECT_EQ(ProfileWarningKind::UnknownKey, typo.kind);
        EXPECT_EQ(path, typo.path);
        EXPECT_EQ(6, typo.line);
        EXPECT_EQ("Video", typo.section);
        EXPECT_EQ("HorizontalSise", typo.key);
        EXPECT_EQ(ProfileWarningKind::UnknownSection, ProfileWarnings()[2].kind);
    }
}

// A known key whose value is no number counts as not set, and the operator hears of it.
TEST(ReferenceProfile, UnreadableValuesAreWarned) {
    struct Case {
        const char* line;
        bool warned;
    };
    const Case cases[] = {
        {"HorizontalSize=720px", true},  {"HorizontalSize=720 # PAL", true},
        {"HorizontalSize=0x2D0", false}, {"HorizontalSize=", false},
        {"RMSTolerance=3 dB", true},     {"RMSTolerance=3,5", false},
        {"Station=Channel 5", false},  // not a key of [Video]: warned as unknown instead
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string section = std::string(c.line).rfind("RMS", 0) == 0 ? "[Audio]" : "[Video]";
        std::string path = dir.WriteText("MpegReference.ini", section + "\n" + c.line + "\n");
        LoadReferenceProfileFrom(path);
        std::string value = std::string(c.line).substr(std::string(c.line).find('=') + 1);
        std::string key = std::string(c.line).substr(0, std::string(c.line).find('='));
        std::string expected = "Unreadable value \"" + value + "\" of key \"" + key + "\" in " +
                               section + " of profile \"" + path + "\", line 2; " + key + " takes ";
        std::vector<std::string> texts = WarningTexts();
        EXPECT_EQ(c.warned,
                  std::any_of(texts.begin(), texts.end(),
                              [&](const std::string& t) { return t.rfind(expected, 0) == 0; }))
            << c.line;
    }
    EXPECT_EQ(kNotSet, ReferenceProfile.video.HorizontalSize);
}

TEST(ReferenceProfile, SpotDurationsIsAListOfSeconds) {
    struct Case {
        const char* value;
        std::vector<int32_t> lengths;
        bool warned;
    };
    const Case cases[] = {
        {"10,15,20,30,60", {10, 15, 20, 30, 60}, false},
        {" 15 , 30", {15, 30}, false},
        {"30", {30}, false},
        {"", {}, false},
        {"15,,30", {}, true},
        {"15 s", {}, true},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string path = dir.WriteText("MpegReference.ini",
                                         std::string("[System]\nSpotDurations=") + c.value + "\n");
        LoadReferenceProfileFrom(path);
        EXPECT_EQ(c.lengths, ReferenceProfile.spotDurations) << c.value;
        EXPECT_EQ(c.warned, !WarningTexts().empty()) << c.value;
    }
    LoadReferenceProfileFrom(dir.WriteText("MpegReference.ini", "[System]\n"));
    EXPECT_TRUE(ReferenceProfile.spotDurations.empty());
}

// A number the key does not take is not applied (the key stays not set) and is warned,
// with what the key takes; the not-set values themselves may be written.
TEST(ReferenceProfile, ValuesOutsideTheirKeysRangeAreNotApplied) {
    struct Case {
        const char* section;
        const char* line;
        bool applied;
    };
    const Case cases[] = {
        {"Video", "FrameRate=25", false},
        {"Video", "FrameRate=8", true},
        {"Video", "FrameRate=0", false},
        {"Video", "AspectRatio=5", false},
        {"Video", "GOPLengthMax=-15", false},
        {"Video", "GOPLengthMax=0x0F", true},
        {"Video", "HorizontalSize=65535", true},
        {"Video", "HorizontalSize=0", false},
        {"Video", "PictureStructure=2", false},
        {"Video", "PictureStructure=0", true},
        {"Video", "ProfileAndLevel=130", true},
        {"Video", "ProfileAndLevel=256", false},
        {"System", "ProgramMuxRateMin=10080", false},
        {"System", "SpotDurations=15,0,30", false},
        {"System", "SpotDurations=15, 30", true},
        {"Processing", "MaxTimeToProcess=-1", false},
        {"Audio", "Mode=0xFFFFFFFF", false},
        {"Audio", "Mode=15", true},
        {"Audio", "SamplingFrequency=48", false},
        {"Audio", "SamplingFrequency=22050", true},
        {"Audio", "MaxDCLevel=5000", false},
        {"Audio", "MaxDCLevel=1000", true},
        {"Audio", "MaxPeakValue=inf", false},
        {"Audio", "TruePeakMax=+1.5", true},
        {"Audio", "LoudnessTarget=23", false},
        {"Audio", "LoudnessTarget=-23", true},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string path = dir.WriteText("MpegReference.ini",
                                         "[" + std::string(c.section) + "]\n" + c.line + "\n");
        LoadReferenceProfileFrom(path);
        bool warned = ProfileWarnings().size() == 1 &&
                      ProfileWarnings()[0].kind == ProfileWarningKind::OutOfRange;
        EXPECT_EQ(!c.applied, warned) << c.line;
    }

    std::string path = dir.WriteText("MpegReference.ini", "[Video]\nframerate = 25\n");
    LoadReferenceProfileFrom(path);
    EXPECT_EQ(kNotSet, ReferenceProfile.video.FrameRate);
    EXPECT_EQ(
        std::vector<std::string>{"Value \"25\" of key \"framerate\" in [Video] of profile \"" +
                                 path +
                                 "\", line 2 is out of range; FrameRate takes "
                                 "frame_rate_code: 3 for 25 fps, 4 for 29.97 fps, 1 for "
                                 "23.976 fps, 2 for 24 fps, 5 for 30 fps, 6 for 50 fps, "
                                 "7 for 59.94 fps, 8 for 60 fps"},
        WarningTexts());
    LoadReferenceProfileFrom(dir.WriteText("MpegReference.ini", "[Audio]\nMaxDCLevel=5000\n"));
    EXPECT_EQ(kRealNotSet, ReferenceProfile.audio.MaxDCLevel);
    LoadReferenceProfileFrom(dir.WriteText("MpegReference.ini", "[Video]\nGOPLengthMax=-15\n"));
    EXPECT_EQ(kNotSet, ReferenceProfile.video.GOPLengthMax);
}

TEST(ReferenceProfile, EveryLoadReplacesTheWarnings) {
    TempDir dir;
    LoadReferenceProfileFrom(dir.WriteText("a.ini", "[Video]\nHorizontalSise=720\n"));
    EXPECT_EQ(1u, ProfileWarnings().size());
    LoadReferenceProfileFrom(std::string(ZEMBRA_DATA_DIR) + "/MpegReference.ini");
    EXPECT_TRUE(ProfileWarnings().empty()) << WarningTexts()[0];
    LoadReferenceProfileFrom(dir.WriteText("b.ini", "[Vidoe]\n"));
    EXPECT_EQ(1u, ProfileWarnings().size());
    LoadReferenceProfileFrom(dir.Path() + "/missing.ini");
    EXPECT_TRUE(ProfileWarnings().empty());
}

TEST(ReferenceProfile, DefaultPathLiesBesideTheExecutable) {
    std::string path = DefaultReferenceProfilePath();
    EXPECT_EQ(ExecutableDirectory() + "MpegReference.ini", path);
    EXPECT_EQ('/', path[0]);
}

// The profile is looked for in the folder the running program lies in.
TEST(ReferenceProfile, ExecutableDirectoryIsTheFolderOfTheRunningExecutable) {
    std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(std::filesystem::equivalent(exe, "/proc/self/exe"));
    std::string folder = ExecutableDirectory();
    ASSERT_EQ('/', folder.back());
    EXPECT_EQ(folder, exe.substr(0, folder.size()));
    EXPECT_EQ(std::string::npos, exe.find('/', folder.size()));
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
