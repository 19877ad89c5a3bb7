// zembra-cli --make-profile: the profile learned from a reference spot passes that spot and
// a spot of the same encoder settings with other content and length, refuses a spot of
// other settings, holds only values its keys take, and names each key that the content or
// the length decides instead of setting it.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_run.h"
#include "support/encoded_spot.h"
#include "support/test_files.h"

namespace {

const std::string kSample = ZEMBRA_DATA_DIR "/sample.mpg";

class MadeProfile {
  public:
    // The profile made from `reference`, written to made.ini; its path.
    std::string Make(const std::string& reference) {
        std::string profile = dir_.Path() + "/made.ini";
        CliRun made = Run("--make-profile " + Quoted(reference) + " --output " + Quoted(profile));
        EXPECT_EQ(0, made.exitCode) << reference << "\n" << made.err;
        EXPECT_EQ("", made.err) << reference;
        return profile;
    }
    // `spot` checked against `profile`. A value the profile's keys do not take, or a name
    // the reader does not know, would show on standard error.
    CliRun Check(const std::string& profile, const std::string& spot) {
        CliRun check = Run("--no-color --profile " + Quoted(profile) + " " + Quoted(spot));
        EXPECT_EQ("", check.err) << spot;
        return check;
    }
    CliRun Run(const std::string& args) { return RunCli(args, dir_.Path()); }
    TempDir dir_;
};

struct ReferenceCase {
    std::string path;
    // Lines that fail whatever a profile says (docs/profile.md, "Lines judged without a key"), such
    // as MPEG-2 LSF audio's "Bad ID Bit".
    // The reference fails its own profile on exactly these and on nothing the profile set.
    std::vector<std::string> failsWhateverTheProfile;
};

// Names the case by its file in the test's output.
void PrintTo(const ReferenceCase& c, std::ostream* os) { *os << c.path; }

class MadeProfileOfFixture : public ::testing::TestWithParam<ReferenceCase>,
                             protected MadeProfile {};

TEST_P(MadeProfileOfFixture, PassesItsReference) {
    const ReferenceCase& c = GetParam();
    CliRun check = Check(Make(c.path), c.path);
    EXPECT_EQ(c.failsWhateverTheProfile, FailureLinesOf(check.out)) << c.path;
    EXPECT_EQ(c.failsWhateverTheProfile.empty() ? 0 : 1, check.exitCode) << c.path;
}

// Every spot of tests/fixtures that is not damaged. Left out: joined_end_codes.mpg (a second
// program after the program end code), mp2_clipping.mpg (clipped samples), and the files
// that are no program stream (mpeg1_system.mpg, transport.mpg).
INSTANTIATE_TEST_SUITE_P(
    Fixtures, MadeProfileOfFixture,
    ::testing::Values(
        // PAL: mpeg2enc and mplex (VBR, P pictures only), ffmpeg's VOB (VBR without a
        // ceiling) and DVD (NAV packs, AC-3) muxers, a constant-rate spot, extensions of the
        // buffer size and bit rate.
        ReferenceCase{kSample, {}}, ReferenceCase{FixturePath("mplex_generic.mpg"), {}},
        ReferenceCase{FixturePath("ffmpeg_vob.mpg"), {}},
        ReferenceCase{FixturePath("ffmpeg_dvd.vob"), {}},
        ReferenceCase{FixturePath("cbr_last_picture.mpg"), {}},
        ReferenceCase{FixturePath("vbv_extension.mpg"), {}},
        ReferenceCase{FixturePath("bit_rate_extension.mpg"), {}},
        // NTSC: 29.97 fps, and film with soft 3:2 pull-down.
        ReferenceCase{FixturePath("ntsc_2997.mpg"), {}},
        ReferenceCase{FixturePath("pulldown_ntsc.mpg"), {}},
        // Audio only, in every mode and layer; variable bitrate Layer III with video.
        ReferenceCase{FixturePath("mp2_48k_stereo.mpg"), {}},
        ReferenceCase{FixturePath("mp2_44k_joint.mpg"), {}},
        ReferenceCase{FixturePath("mp2_mono_crc.mpg"), {}},
        ReferenceCase{FixturePath("mp2_dc_offset.mpg"), {}},
        ReferenceCase{FixturePath("mp2_silence.mpg"), {}},
        ReferenceCase{FixturePath("mp3_48k.mpg"), {}},
        ReferenceCase{FixturePath("mp3_vbr.mpg"), {}},
        ReferenceCase{FixturePath("vbr_mp3.mpg"), {}},
        ReferenceCase{FixturePath("mp2_lsf_24k.mpg"), {"*Bad ID Bit"}},
        // Sequences, clocks and cuts.
        ReferenceCase{FixturePath("joined_sequences.mpg"), {}},
        ReferenceCase{FixturePath("format_change.mpg"), {}},
        ReferenceCase{FixturePath("joined_restart.mpg"), {}},
        ReferenceCase{FixturePath("broken_link.mpg"), {}},
        ReferenceCase{FixturePath("capture_midstream.mpg"), {}},
        ReferenceCase{FixturePath("late_clock.mpg"), {}},
        ReferenceCase{FixturePath("clock_zero.mpg"), {}},
        ReferenceCase{FixturePath("clock_wrap.mpg"), {}},
        ReferenceCase{FixturePath("clock_wrap_audio_video.mpg"), {}},
        ReferenceCase{FixturePath("clock_wrap_scr_pts.mpg"), {}},
        // No GOP headers; studio and HD streams (the HD ones are a single GOP).
        ReferenceCase{FixturePath("no_gop_headers.mpg"), {}},
        ReferenceCase{FixturePath("imx_422p_ml.mpg"), {}},
        ReferenceCase{FixturePath("hd_422_1080i.mpg"), {}},
        ReferenceCase{FixturePath("hd_720p50.mpg"), {}}),
    CaseNumber());

class MadeProfileOfEncodedSpot : public ::testing::Test, protected MadeProfile {
  protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the spots cannot be encoded";
    }
};

// The settings of an SD PAL spot: MPEG-2 MP@ML with a 5 Mbit/s ceiling and closed GOPs of
// 12, MP2 at 48 kHz.
const std::string kPalSettings =
    "-c:v mpeg2video -b:v 4000k -maxrate 5000k -bufsize 1835k -g 12 -bf 2 "
    "-flags:v +cgop+bitexact -mpv_flags +strict_gop -sc_threshold 1000000000 "
    "-c:a mp2 -ac 2 -ar 48000 -b:a 192k";

std::string Source(const std::string& lavfi) { return "-f lavfi -i \"" + lavfi + "\" "; }

const std::string kTestCard = Source("testsrc2=size=720x576:rate=25");
const std::string kTone = Source("sine=frequency=1000:sample_rate=48000");

// Two audio streams of different bitrates, and two video streams: each stream passes, and
// the key the two audio streams measure differently is left out and said so.
TEST_F(MadeProfileOfEncodedSpot, SeveralStreamsPassTheirProfile) {
    std::string twoAudio =
        EncodeSpot(dir_, "two_audio",
                   kTestCard + kTone + Source("sine=frequency=440:sample_rate=48000") +
                       "-t 3 -map 0:v -map 1:a -map 2:a " + kPalSettings + " -b:a:1 128k");
    std::string twoVideo = EncodeSpot(dir_, "two_video",
                                      kTestCard + Source("smptebars=size=720x576:rate=25") + kTone +
                                          "-t 3 -map 0:v -map 1:v -map 2:a " + kPalSettings);
    for (const std::string& spot : {twoAudio, twoVideo}) {
        std::string profile = Make(spot);
        CliRun check = Check(profile, spot);
        EXPECT_EQ(0, check.exitCode) << spot << "\n" << check.out;
        if (spot == twoAudio) {
            std::string text = ReadText(profile);
            EXPECT_NE(std::string::npos, text.find("\nAudioStreams=2\n")) << text;
            EXPECT_NE(std::string::npos,
                      text.find("; AudioBitrate not set: the reference's streams differ (192 "
                                "and 128)\n"))
                << text;
            EXPECT_EQ(std::string::npos, text.find("\nAudioBitrate=")) << text;
        }
    }
}

// A spot of the reference's settings passes whatever its content and length; a spot of
// other settings fails on the lines that show them.
TEST_F(MadeProfileOfEncodedSpot, FitsTheReferencesFamily) {
    std::string profile =
        Make(EncodeSpot(dir_, "reference", kTestCard + kTone + "-t 3 " + kPalSettings));
    struct Case {
        const char* name;
        std::string arguments;
        std::vector<std::string> failures;
    };
    const Case cases[] = {
        {"other_content_and_length",
         Source("mandelbrot=size=720x576:rate=25") +
             Source("sine=frequency=440:sample_rate=48000") + "-t 5 " + kPalSettings,
         {}},
        {"ntsc",
         Source("testsrc2=size=720x480:rate=30000/1001") + kTone + "-t 3 " + kPalSettings,
         {"*Vertical Size = 480", "*Frame Rate = 29.97 fps"}},
        // Three times the rate (a different ceiling too): above the limits the sequence
        // header of the reference's settings allows.
        {"three_times_the_rate",
         Source("mandelbrot=size=720x576:rate=25") + kTone + "-t 3 " + kPalSettings +
             " -b:v 12000k -maxrate 15000k",
         {"*Average Bitrate", "*Peak Bitrate (1 sec)"}},
    };
    for (const Case& c : cases) {
        CliRun check = Check(profile, EncodeSpot(dir_, c.name, c.arguments));
        std::vector<std::string> failures = FailureLinesOf(check.out);
        EXPECT_EQ(c.failures.empty() ? 0 : 1, check.exitCode) << c.name << "\n" << check.out;
        for (const std::string& expected : c.failures) {
            EXPECT_TRUE(
                std::any_of(failures.begin(), failures.end(),
                            [&](const std::string& line) { return line.starts_with(expected); }))
                << c.name << ": " << expected << "\n"
                << check.out;
        }
    }
}

// The sample's profile: its format, limits with their margin, and every key that the
// content or the length decides named in a comment instead of set.
TEST(MadeProfileText, SetsTheFormatAndNamesWhatItLeavesOut) {
    MadeProfile maker;
    CliRun printed = maker.Run("--make-profile " + Quoted(kSample));
    ASSERT_EQ(0, printed.exitCode) << printed.err;
    const std::string& text = printed.out;
    for (const char* line :
         {"\n[System]\n", "\nMPEGPackSize=2048\n", "\nVideoStreams=1\n", "\nAudioStreams=1\n",
          "; measured: Horizontal Size = 720\nHorizontalSize=720\n", "\nVerticalSize=576\n",
          "; measured: Aspect Ratio = 16:9\nAspectRatio=3\n", "\nFrameRate=3\n",
          "\nChromaFormat=1\n", "\nCBR_VBR=1\n", "\nProfileAndLevel=1\n", "\nLayer=2\n",
          "\nSamplingFrequency=48000\n", "\nMode=1\n", "\nAudioBitrate=192\n", "\nDecodeAudio=1\n",
          "\nClockDiscontinuitiesMax=0\n", "\nFormatChangesAllowed=0\n",
          // The longest GOP is the encoder's GOP length.
          "\nGOPLengthMax=15\n",
          // 4010 Kbps measured, 4412 with 10 %; the sequence header's 5000000 bit/s are
          // 4882.8 Kbps, and with its 1835008-bit buffer 6674.8 Kbps over one second.
          "; measured 4010 Kbps average, 10 % margin: 4412 Kbps;", "\nVideoAvgBitrate=4883\n",
          "; measured 4210 Kbps peak (one second), 10 % margin: 4632 Kbps;",
          "\nVideoPeakBitrate=6675\n",
          // -8 ms, and one picture (40 ms) and one audio frame (1152 / 48 kHz = 24 ms).
          "\nDurationAudioVideoDifference=73\n"}) {
        EXPECT_NE(std::string::npos, text.find(line)) << line << "\n" << text;
    }
    for (const char* key :
         {"SystemHeadersMin", "PacketsPerPack", "SequenceHeadersMin", "SequenceHeaderAligned",
          "FramesIRequired", "FramesPRequired", "FramesBRequired", "AllGOPClosed", "MaxDCLevel",
          "MaxPeakValue", "RMSReference", "RMSTolerance", "RMSLeftRightDiff", "LoudnessTarget",
          "LoudnessTolerance", "TruePeakMax", "LoudnessRangeMax", "ShortTermLoudnessMax"}) {
        EXPECT_EQ(std::string::npos, text.find("\n" + std::string(key) + "=")) << key;
        EXPECT_NE(std::string::npos, text.find("\n; " + std::string(key) + " not set: ")) << key;
    }
    EXPECT_NE(std::string::npos,
              text.find("; MaxPeakValue not set: it depends on the content (measured: Left"))
        << text;

    // Without GOP headers there is no GOP length: the key is left out, not written as a 0
    // that it does not take.
    CliRun noGops = maker.Run("--make-profile " + Quoted(FixturePath("no_gop_headers.mpg")));
    EXPECT_EQ(std::string::npos, noGops.out.find("\nGOPLengthMax=")) << noGops.out;
    EXPECT_NE(std::string::npos,
              noGops.out.find("; GOPLengthMax not set: the reference has fewer than three GOP "
                              "headers"))
        << noGops.out;
    // A frame rate only a key that names it accepts is learned as its code; a reference
    // shorter than one second has no peak, and its sequence header's rate and buffer set
    // the limit (20000000 + 9781248 bits: 29083.3 Kbps).
    CliRun hd = maker.Run("--make-profile " + Quoted(FixturePath("hd_720p50.mpg")));
    EXPECT_NE(std::string::npos, hd.out.find("; measured: Frame Rate = 50 fps\nFrameRate=6\n"))
        << hd.out;
    EXPECT_NE(std::string::npos, hd.out.find("\nVideoPeakBitrate=29084\n")) << hd.out;
}

TEST(MadeProfileText, RefusesWhatIsNoReference) {
    MadeProfile maker;
    CliRun bad =
        maker.Run("--make-profile " + Quoted(maker.dir_.WriteText("x.mpg", "not a stream")));
    EXPECT_EQ(1, bad.exitCode);
    EXPECT_NE(std::string::npos, bad.err.find("is NOT a MPEG program stream"));
    EXPECT_EQ(2, maker.Run("--make-profile " + Quoted(kSample) + " " + Quoted(kSample)).exitCode);
}

}  // namespace
