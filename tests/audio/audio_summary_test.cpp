// The audio section of the report, through whole runs.
#include "audio/audio_summary.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "audio/audio_decoder.h"
#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "support/audio_builder.h"
#include "support/test_files.h"

namespace {

class AudioSummaryTest : public ::testing::Test {
  protected:
    std::vector<std::string> Section(const Bytes& file, const std::string& profile) {
        LoadReferenceProfileFrom(dir_.WriteText("MpegReference.ini", profile));
        std::string path = dir_.Write("a.mpg", file);
        AnalyzeFile(path.c_str());
        return LinesBetween(bound_.sink.Texts(),
                            "Begin Audio Streams Summary:", "End Audio Streams Summary.");
    }
    TempDir dir_;
    BoundSink bound_;
};

TEST_F(AudioSummaryTest, HeaderModeLinesInOrder) {
    std::vector<std::string> lines = Section(PacketizeAudio(AudioFrames(25)), "");
    std::vector<std::string> expected = {
        "Elementary Stream C0 is a MPEG Audio Stream",
        "Audio Delay Stream C0 = 100.0 ms",  // the first PTS, 140 ms, after the SCR's 40
        "Audio decoded bytes = 0 -> 0.00 Sec",
        "Found 25 sync words",
        "Audio Sync Losses: 0",
        "Layer = 2",
        "bitrate = 192 Kbps",
        "Frequency = 48000 Hz",
        "Error protection = Disabled",
        "Private flag = 0",
        "Mode = stereo",
        "Copyright flag = 0",
        "Original flag = 1",
        "Emphasis = none",
        "Left Channel DC Level = 0.0 dBFS",
        "Right Channel DC Level = 0.0 dBFS",
        "Left Channel Peak Level = 0.0 dBFS",
        "Right Channel Peak Level = 0.0 dBFS",
        "Left Channel RMS Level = 0.0 dB",
        "Right Channel RMS Level = 0.0 dB",
        "Difference Left-Right RMS Level = 0.0 dB",
    };
    EXPECT_EQ(expected, lines);
    // Header mode hands the duration of the accepted frames to the cross-stream check.
    EXPECT_DOUBLE_EQ(25 * 1152 / 48000.0, GetRunState().audioDurationSeconds);
    EXPECT_DOUBLE_EQ(100.0, GetRunState().audioFirstPtsMs);
    EXPECT_EQ(192u * 1024, GetRunState().elementaryBitrateSum);
}

TEST_F(AudioSummaryTest, ChecksAgainstTheAudioKeys) {
    AudioFrameFields joint;
    joint.mode = 1;
    joint.modeExtension = 1;
    std::vector<std::string> lines =
        Section(PacketizeAudio(AudioFrames(5, joint)),
                "[Audio]\nMode=1\nLayer=2\nAudioBitrate=256\nErrorProtection=0\nMaxDCLevel=-40\n");
    EXPECT_TRUE(Contains(lines, "*Mode = joint_stereo (intensity_stereo and/or ms_stereo)"));
    EXPECT_TRUE(Contains(lines, "Mode ext = subbands  8-31 in intensity_stereo, bound==8"));
    EXPECT_TRUE(Contains(lines, "Layer = 2"));
    EXPECT_TRUE(Contains(lines, "*bitrate = 192 Kbps"));
    EXPECT_TRUE(Contains(lines, "*Error protection = Disabled"));
    EXPECT_TRUE(Contains(lines, "*Left Channel DC Level = 0.0 dBFS"));  // nothing measured
    EXPECT_TRUE(GetRunState().runFailed);
    lines = Section(PacketizeAudio(AudioFrames(5, joint)), "[Audio]\nMode=3\n");
    EXPECT_TRUE(Contains(lines, "Mode = joint_stereo (intensity_stereo and/or ms_stereo)"));
}

TEST_F(AudioSummaryTest, StatusLines) {
    AudioFrameFields badId;
    badId.id = 0;
    Bytes firstBad = AudioFrame(badId);
    Bytes good = AudioFrames(3);
    firstBad.insert(firstBad.end(), good.begin(), good.end());
    std::vector<std::string> lines = Section(PacketizeAudio(firstBad), "");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("*Bad ID Bit", lines[0]);
    EXPECT_TRUE(Contains(lines, "Audio Sync Losses: 1"));

    lines = Section(PacketizeAudio(Bytes(600, 0x33)), "");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ("Elementary Stream C0 is not a MPEG Video Stream", bound_.sink.ErrorBoxes().back());

    AudioFrameFields invalid;
    invalid.samplingIndex = 3;
    lines = Section(PacketizeAudio(AudioFrame(invalid, 600)), "");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ("Elementary Stream C0 contain invalid data", bound_.sink.ErrorBoxes().back());
    EXPECT_TRUE(GetRunState().runFailed);
}

class RefusingDecoder : public AudioDecoder {
  public:
    int Create(const DecoderCallbacks&, void*) override { return 1; }
    int Decode(uint8_t*, int32_t, int32_t*) override { return kDecoderError; }
    void GetFormat(DecoderFormatInfo*) override {}
    void GetPosition(int32_t*) override {}
    void Destroy() override {}
};

TEST_F(AudioSummaryTest, DecoderThatCannotBeCreated) {
    RefusingDecoder refusing;
    SetAudioDecoder(&refusing);
    std::vector<std::string> lines =
        Section(PacketizeAudio(AudioFrames(5)), "[Audio]\nDecodeAudio=1\n");
    SetAudioDecoder(nullptr);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ("ERROR: Unknown Error, in Stream C0!!", bound_.sink.ErrorBoxes().back());
}

TEST_F(AudioSummaryTest, DecodedLevelsAgainstTheirKeys) {
    std::vector<std::string> lines =
        Section(ReadFileBytes(FixturePath("mp2_clipping.mpg")),
                "[Audio]\nDecodeAudio=1\nMaxSamplesClipped=0\nMaxPeakValue=-0.5\nRMSReference=-20\n"
                "RMSTolerance=4\nRMSLeftRightDiff=1\n");
    EXPECT_TRUE(Contains(lines, "Found 0 sync words"));
    EXPECT_TRUE(Contains(lines, "*Left Channel Peak Level = 0.0 dBFS"));
    auto clipped = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("*Possibly ", 0) == 0 && line.find("Left Channel") != std::string::npos;
    });
    EXPECT_NE(lines.end(), clipped);
    EXPECT_TRUE(Contains(lines, "*Left Channel RMS Level = 8.6 dB"));  // above -20 + 4: red
    EXPECT_TRUE(Contains(lines, "Difference Left-Right RMS Level = 0.0 dB"));
    EXPECT_NEAR(84 * 1152 / 48000.0, GetRunState().audioDurationSeconds, 1e-9);

    lines = Section(ReadFileBytes(FixturePath("mp2_silence.mpg")),
                    "[Audio]\nDecodeAudio=1\nRMSReference=-20\nRMSTolerance=4\n");
    EXPECT_TRUE(Contains(lines, "*Left Channel RMS Level = -77.4 dB"));
    for (const ReportLine& line : bound_.sink.Lines()) {
        if (line.text == "*Left Channel RMS Level = -77.4 dB") {
            EXPECT_EQ(LineColour::Yellow, line.colour);
        }
    }
}

TEST_F(AudioSummaryTest, FileWithoutAudioHasAnEmptySection) {
    StreamBuilder b;
    PesFields f;
    f.payload = Bytes(10, 0x42);
    std::vector<std::string> lines = Section(b.Pack(3600).Pes(0xE0, f).EndCode().Build(), "");
    EXPECT_TRUE(lines.empty());
}

}  // namespace
