// The loudness profiles in data/profiles judge what their standards ask: a spot made to
// the standard passes, a spot too loud fails on its loudness, and a spot of the other
// region's frame rate fails on that.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/cli_run.h"
#include "support/encoded_spot.h"
#include "support/test_files.h"

namespace {

std::string BundledProfile(const std::string& name) { return ZEMBRA_DATA_DIR "/profiles/" + name; }

// The failure lines of `spot` judged by the bundled profile `name`; the exit status is 0
// exactly when there is none.
std::vector<std::string> Failures(const TempDir& dir, const std::string& name,
                                  const std::string& spot) {
    CliRun run = RunCli("--no-color --profile " + Quoted(BundledProfile(name)) + " " + Quoted(spot),
                        dir.Path());
    EXPECT_EQ("", run.err) << name;
    std::vector<std::string> failures = FailureLinesOf(run.out);
    EXPECT_EQ(failures.empty() ? 0 : 1, run.exitCode) << name << "\n" << run.out;
    return failures;
}

// Each profile loads without a warning and sets none of the bundled PAL profile's picture
// keys: the sample's tone at -21.1 LUFS is too loud for both, and under A/85 its 25 fps are
// not the US rate.
TEST(BundledProfiles, JudgeTheSample) {
    TempDir dir;
    std::string sample = ZEMBRA_DATA_DIR "/sample.mpg";
    EXPECT_EQ(std::vector<std::string>{"*Integrated Loudness = -21.1 LUFS"},
              Failures(dir, "ebu-r128.ini", sample));
    EXPECT_EQ(
        (std::vector<std::string>{"*Frame Rate = 25 fps", "*Integrated Loudness = -21.1 LUFS"}),
        Failures(dir, "atsc-a85.ini", sample));
    for (const char* name : {"ebu-r128.ini", "atsc-a85.ini"}) {
        std::string text = ReadText(BundledProfile(name));
        for (const char* key : {"HorizontalSize=", "VerticalSize=", "AspectRatio="}) {
            EXPECT_EQ(std::string::npos, text.find(key)) << name << ": " << key;
        }
    }
}

class BundledProfilesOnEncodedSpots : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the spots cannot be encoded";
    }
    // A 3-second SD spot of the region's size and rate, its stereo tone at `dbfs`.
    std::string Spot(const std::string& name, const std::string& video, double dbfs) {
        return EncodeSpot(dir_, name,
                          "-f lavfi -i \"" + video + "\" -f lavfi -i \"" + StereoSineAt(dbfs) +
                              "\" -t 3 -c:v mpeg2video -b:v 4000k -maxrate 5000k -bufsize 1835k "
                              "-g 15 -c:a mp2 -ac 2 -b:a 192k");
    }
    TempDir dir_;
};

const std::string kNtsc = "testsrc2=size=720x480:rate=30000/1001";
const std::string kPal = "testsrc2=size=720x576:rate=25";

// An NTSC spot at A/85's -24 LKFS passes atsc-a85.ini, and at -16 dBFS (-16 LKFS) fails on
// its integrated loudness alone.
TEST_F(BundledProfilesOnEncodedSpots, AtscA85) {
    EXPECT_EQ(std::vector<std::string>{},
              Failures(dir_, "atsc-a85.ini", Spot("ntsc_a85", kNtsc, -24)));
    std::vector<std::string> loud = Failures(dir_, "atsc-a85.ini", Spot("ntsc_loud", kNtsc, -16));
    ASSERT_EQ(1u, loud.size());
    EXPECT_TRUE(loud[0].starts_with("*Integrated Loudness = -16.")) << loud[0];
    // A PAL spot at a loudness A/85 accepts fails on its frame rate alone.
    EXPECT_EQ(std::vector<std::string>{"*Frame Rate = 25 fps"},
              Failures(dir_, "atsc-a85.ini", Spot("pal_a85", kPal, -24)));
}

// A PAL spot at R 128's -23 LUFS passes ebu-r128.ini; at -16 dBFS it fails on its
// integrated loudness and on its short-term loudness (R 128 s1: at most -18 LUFS).
TEST_F(BundledProfilesOnEncodedSpots, EbuR128) {
    EXPECT_EQ(std::vector<std::string>{},
              Failures(dir_, "ebu-r128.ini", Spot("pal_r128", kPal, -23)));
    std::vector<std::string> loud = Failures(dir_, "ebu-r128.ini", Spot("pal_loud", kPal, -16));
    ASSERT_EQ(2u, loud.size());
    EXPECT_TRUE(loud[0].starts_with("*Integrated Loudness = -16.")) << loud[0];
    EXPECT_TRUE(loud[1].starts_with("*Maximum Short-Term Loudness = -16.")) << loud[1];
    // An NTSC spot fails on its frame rate, and at A/85's -24 LKFS on R 128's tighter
    // tolerance too: 1 LU below the target is outside its 0.5 LU.
    std::vector<std::string> ntsc = Failures(dir_, "ebu-r128.ini", Spot("ntsc_r128", kNtsc, -24));
    ASSERT_EQ(2u, ntsc.size());
    EXPECT_EQ("*Frame Rate = 29.97 fps", ntsc[0]);
    EXPECT_TRUE(ntsc[1].starts_with("*Integrated Loudness = -24.")) << ntsc[1];
}

}  // namespace
