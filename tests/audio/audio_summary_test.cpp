// The audio section of the report, through whole runs.
#include "audio/audio_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "audio/audio_decoder.h"
#include "audio/audio_stream_info.h"
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
        "Left Channel DC Level = not measured",
        "Right Channel DC Level = not measured",
        "Left Channel Peak Level = not measured",
        "Right Channel Peak Level = not measured",
        "Left Channel RMS Level = not measured",
        "Right Channel RMS Level = not measured",
        "Difference Left-Right RMS Level = not measured",
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
    // Header mode measures no levels, so MaxDCLevel has nothing to judge.
    EXPECT_TRUE(Contains(lines, "Left Channel DC Level = not measured"));
    EXPECT_TRUE(GetRunState().runFailed);
    lines = Section(PacketizeAudio(AudioFrames(5, joint)), "[Audio]\nMode=3\n");
    EXPECT_TRUE(Contains(lines, "Mode = joint_stereo (intensity_stereo and/or ms_stereo)"));
}

// Mode is a bit mask over mode codes (1 stereo, 2 joint stereo, 4 dual, 8 single): the
// mode line passes when the stream's bit is set and fails otherwise, and is never an
// information line: a profile without the key (65535) has every mode's bit set.
TEST_F(AudioSummaryTest, ModeKeyIsABitMask) {
    struct Case {
        const char* profile;
        bool passes;
    };
    AudioFrameFields joint;
    joint.mode = 1;
    const std::string line = "Mode = joint_stereo (intensity_stereo and/or ms_stereo)";
    for (const Case& c :
         {Case{"", true}, Case{"Mode=2\n", true}, Case{"Mode=1\n", false}, Case{"Mode=0\n", false},
          Case{"Mode=15\n", true}, Case{"Mode=0xE\n", true}, Case{"Mode=13\n", false}}) {
        std::vector<std::string> lines =
            Section(PacketizeAudio(AudioFrames(5, joint)), std::string("[Audio]\n") + c.profile);
        std::string expected = c.passes ? line : "*" + line;
        EXPECT_TRUE(Contains(lines, expected)) << c.profile;
        auto written = std::find_if(bound_.sink.Lines().begin(), bound_.sink.Lines().end(),
                                    [&](const ReportLine& l) { return l.text == expected; });
        ASSERT_NE(bound_.sink.Lines().end(), written) << c.profile;
        EXPECT_EQ(c.passes ? LineColour::Green : LineColour::Red, written->colour) << c.profile;
        EXPECT_TRUE(written->bold) << c.profile;
    }
}

TEST_F(AudioSummaryTest, StatusLines) {
    AudioFrameFields badId;
    badId.id = 0;
    std::vector<std::string> lines =
        Section(PacketizeAudio(Join({AudioFrames(2), AudioFrame(badId), AudioFrames(3)})), "");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("*Bad ID Bit", lines[0]);
    EXPECT_TRUE(Contains(lines, "Audio Sync Losses: 1"));

    // No valid frame header anywhere (sampling index 3 makes a header invalid): refused,
    // in the words of the audio stream.
    AudioFrameFields invalid;
    invalid.samplingIndex = 3;
    for (const Bytes& es : {Bytes(600, 0x33), AudioFrame(invalid, 600)}) {
        lines = Section(PacketizeAudio(es), "");
        EXPECT_EQ(std::vector<std::string>{"*Elementary Stream C0 is not a MPEG Audio Stream"},
                  lines);
        EXPECT_EQ("Elementary Stream C0 is not a MPEG Audio Stream",
                  bound_.sink.ErrorBoxes().back());
        EXPECT_TRUE(GetRunState().runFailed);
    }
}

// A capture cut inside an audio frame: both modes begin at the first whole frame, say
// what they skipped in a warning that fails nothing by itself, and count one sync loss.
TEST_F(AudioSummaryTest, SkippedStartInBothModes) {
    Bytes es = Join({LastBytes(AudioFrame(), 100), AudioFrames(25)});
    for (const char* mode : {"DecodeAudio=0\n", "DecodeAudio=1\n"}) {
        std::vector<std::string> lines =
            Section(PacketizeAudio(es), std::string("[Audio]\n") + mode);
        ASSERT_GE(lines.size(), 2u) << mode;
        EXPECT_EQ("Elementary Stream C0 is a MPEG Audio Stream", lines[0]) << mode;
        EXPECT_EQ("100 bytes skipped before the first audio frame", lines[1]) << mode;
        EXPECT_TRUE(Contains(lines, "Found 25 sync words")) << mode;
        EXPECT_TRUE(Contains(lines, "Audio Sync Losses: 1")) << mode;
        EXPECT_FALSE(GetRunState().runFailed) << mode;
        for (const ReportLine& line : bound_.sink.Lines()) {
            if (line.text == lines[1]) {
                EXPECT_EQ(LineColour::Yellow, line.colour) << mode;
            }
        }
        lines = Section(PacketizeAudio(es), std::string("[Audio]\nAudioSyncLossesMax=0\n") + mode);
        EXPECT_TRUE(Contains(lines, "*Audio Sync Losses: 1")) << mode;
        EXPECT_TRUE(GetRunState().runFailed) << mode;
    }
    // libmpg123 got the stream from the first header on: 25 frames of 1152 stereo samples.
    std::vector<std::string> lines = Section(PacketizeAudio(es), "[Audio]\nDecodeAudio=1\n");
    EXPECT_TRUE(Contains(lines, "Audio decoded bytes = 115200 -> 0.60 Sec"));
}

// Lines whose values only decoding measures.
bool IsMeasuredLine(const std::string& line) {
    for (const char* prefix : {"Audio decoded bytes", "Left Channel", "Right Channel",
                               "Difference Left-Right", "Possibly"}) {
        if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

// A stream of the lower sampling frequencies of ISO/IEC 13818-3: every header has ID bit
// 0, which fails the file, and the stream is read with that standard's tables, so that
// every detail line is the stream's own in both modes.
TEST_F(AudioSummaryTest, LsfStreamShowsTheBadIdLineAndItsDetailLines) {
    AudioFrameFields lsf;
    lsf.id = kIdLowSamplingFrequencies;  // Layer II, index 10: 96 kbit/s; index 1: 24 kHz
    Bytes file = PacketizeAudio(AudioFrames(25, lsf));
    std::vector<std::string> header = Section(file, "[Audio]\nDecodeAudio=0\n");
    std::vector<std::string> expected = {
        "*Bad ID Bit",
        "Audio Delay Stream C0 = 100.0 ms",
        "Audio decoded bytes = 0 -> 0.00 Sec",
        "Found 25 sync words",
        "Audio Sync Losses: 0",
        "Layer = 2",
        "bitrate = 96 Kbps",
        "Frequency = 24000 Hz",
        "Error protection = Disabled",
        "Private flag = 0",
        "Mode = stereo",
        "Copyright flag = 0",
        "Original flag = 1",
        "Emphasis = none",
        "Left Channel DC Level = not measured",
        "Right Channel DC Level = not measured",
        "Left Channel Peak Level = not measured",
        "Right Channel Peak Level = not measured",
        "Left Channel RMS Level = not measured",
        "Right Channel RMS Level = not measured",
        "Difference Left-Right RMS Level = not measured",
    };
    EXPECT_EQ(expected, header);
    EXPECT_TRUE(GetRunState().runFailed);
    EXPECT_DOUBLE_EQ(25 * 1152 / 24000.0, GetRunState().audioDurationSeconds);
    EXPECT_EQ(96u * 1024, GetRunState().elementaryBitrateSum);

    // libmpg123 decodes the stream: 25 frames of 1152 stereo samples at 24 kHz.
    std::vector<std::string> decode = Section(file, "[Audio]\nDecodeAudio=1\n");
    EXPECT_TRUE(Contains(decode, "Audio decoded bytes = 115200 -> 1.20 Sec"));
    EXPECT_TRUE(Contains(decode, "Left Channel DC Level = -100.0 dBFS"));
    EXPECT_TRUE(GetRunState().runFailed);
    EXPECT_DOUBLE_EQ(1.2, GetRunState().audioDurationSeconds);
    std::erase_if(header, IsMeasuredLine);
    std::erase_if(decode, IsMeasuredLine);
    EXPECT_EQ(header, decode);
}

// The playing time handed to the cross-stream lines: frames x samples a frame / frequency
// in header mode, the decoded samples in decode mode. A Layer III frame at the lower
// sampling frequencies has 576 samples, half of ISO/IEC 11172-3's.
struct LsfDurationCase {
    int layer;
    int bitrateIndex;
    int samplingIndex;
    int hz;
    int samples;  // per frame
};

class LsfDurationTest : public AudioSummaryTest,
                        public ::testing::WithParamInterface<LsfDurationCase> {};

TEST_P(LsfDurationTest, DurationInBothModes) {
    const LsfDurationCase& c = GetParam();
    AudioFrameFields f;
    f.id = kIdLowSamplingFrequencies;
    f.layer = c.layer;
    f.bitrateIndex = c.bitrateIndex;
    f.samplingIndex = c.samplingIndex;
    Bytes file = PacketizeAudio(AudioFrames(50, f));
    std::vector<std::string> lines = Section(file, "[Audio]\nDecodeAudio=0\n");
    EXPECT_TRUE(Contains(lines, "Found 50 sync words")) << c.layer;
    EXPECT_TRUE(Contains(lines, "Audio Sync Losses: 0")) << c.layer;
    EXPECT_DOUBLE_EQ(50.0 * c.samples / c.hz, GetRunState().audioDurationSeconds) << c.layer;
    lines = Section(file, "[Audio]\nDecodeAudio=1\n");
    EXPECT_TRUE(Contains(lines, "Found 50 sync words")) << c.layer;
    EXPECT_NEAR(50.0 * c.samples / c.hz, GetRunState().audioDurationSeconds, 1e-9) << c.layer;
}

INSTANTIATE_TEST_SUITE_P(Layers, LsfDurationTest,
                         ::testing::Values(LsfDurationCase{kLayerI, 6, 1, 24000, 384},
                                           LsfDurationCase{kLayerII, 10, 0, 22050, 1152},
                                           LsfDurationCase{kLayerIII, 8, 2, 16000, 576}),
                         CaseNumber());

TEST_F(AudioSummaryTest, VariableBitrateShowsItsMeanAndRange) {
    AudioFrameFields layerIII;
    layerIII.layer = kLayerIII;
    std::vector<int> indexes;
    for (int i = 0; i < 10; ++i) {
        for (int index : {9, 13, 1, 14, 5}) indexes.push_back(index);
    }
    std::vector<std::string> lines =
        Section(PacketizeAudio(VariableBitrateFrames(indexes, layerIII)),
                "[Audio]\nAudioBitrate=160\nAudioSyncLossesMax=0\n");
    auto bitrate = std::find(lines.begin(), lines.end(), "bitrate = 160 Kbps");
    ASSERT_NE(lines.end(), bitrate);
    EXPECT_EQ("Variable bitrate: 32 to 320 Kbps", bitrate[1]);
    EXPECT_TRUE(Contains(lines, "Found 50 sync words"));
    EXPECT_TRUE(Contains(lines, "Audio Sync Losses: 0"));
    EXPECT_FALSE(GetRunState().runFailed);
    EXPECT_EQ(160u * 1024, GetRunState().elementaryBitrateSum);
}

// With the bundled profile in header mode a good file passes: no level line is judged.
TEST_F(AudioSummaryTest, BundledProfileInHeaderModePassesAGoodFile) {
    Bytes bundled = ReadFileBytes(ZEMBRA_DATA_DIR "/MpegReference.ini");
    std::string profile(bundled.begin(), bundled.end());
    size_t at = profile.find("DecodeAudio=1");
    ASSERT_NE(std::string::npos, at);
    profile.replace(at, 13, "DecodeAudio=0");
    std::vector<std::string> lines = Section(ReadFileBytes(ZEMBRA_DATA_DIR "/sample.mpg"), profile);
    EXPECT_TRUE(Contains(lines, "Left Channel DC Level = not measured"));
    EXPECT_TRUE(Contains(lines, "Left Channel Peak Level = not measured"));
    for (const std::string& line : lines) EXPECT_NE('*', line[0]) << line;
    EXPECT_FALSE(GetRunState().runFailed);
    EXPECT_TRUE(Contains(bound_.sink.Texts(), "Compliance Test: Pass"));
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
    EXPECT_EQ(std::vector<std::string>{"*ERROR: Unknown Error, in Stream C0!!"}, lines);
    EXPECT_EQ("ERROR: Unknown Error, in Stream C0!!", bound_.sink.ErrorBoxes().back());
}

TEST_F(AudioSummaryTest, DecodedLevelsAgainstTheirKeys) {
    std::vector<std::string> lines =
        Section(ReadFileBytes(FixturePath("mp2_clipping.mpg")),
                "[Audio]\nDecodeAudio=1\nMaxSamplesClipped=0\nMaxPeakValue=-0.5\nRMSReference=-20\n"
                "RMSTolerance=4\nRMSLeftRightDiff=1\n");
    EXPECT_TRUE(Contains(lines, "Found 84 sync words"));  // ffprobe: 84 frames
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

bool IsLoudnessLine(const std::string& line) {
    std::string text = line.substr(line.starts_with("*"));
    for (const char* label : {"Integrated Loudness", "Loudness Range", "Maximum Momentary Loudness",
                              "Maximum Short-Term Loudness", "True Peak"}) {
        if (text.starts_with(label)) return true;
    }
    return false;
}

// The BS.1770 lines after the RMS lines, judged by the loudness keys. The sample's 1 kHz
// tone reads -21.1 LUFS and -20.6 dBTP (ffmpeg's ebur128=peak=true filter: I -21.1 LUFS,
// true peak -20.6 dBFS); silent frames read -inf.
// A set loudness key is judged: it decodes the audio whatever DecodeAudio says, and the
// section says why it was decoded; the level keys then judge the levels too.
TEST_F(AudioSummaryTest, ALoudnessKeyDecodesTheAudio) {
    const Bytes sample = ReadFileBytes(ZEMBRA_DATA_DIR "/sample.mpg");
    const std::string why = "Audio decoded for the loudness keys (DecodeAudio is not 1)";
    std::vector<std::string> lines =
        Section(sample, "[Audio]\nDecodeAudio=0\nTruePeakMax=-1\nMaxPeakValue=-30\n");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(why, lines[0]);
    EXPECT_TRUE(Contains(lines, "Audio decoded bytes = 769536 -> 4.01 Sec"));
    EXPECT_TRUE(Contains(lines, "*Left Channel Peak Level = -20.6 dBFS"));
    EXPECT_FALSE(Contains(Section(sample, "[Audio]\nDecodeAudio=1\nTruePeakMax=-1\n"), why));
    EXPECT_FALSE(Contains(Section(sample, "[Audio]\nDecodeAudio=0\n"), why));
}

TEST_F(AudioSummaryTest, LoudnessLinesAgainstTheirKeys) {
    const Bytes sample = ReadFileBytes(ZEMBRA_DATA_DIR "/sample.mpg");
    const Bytes silence = PacketizeAudio(AudioFrames(50));   // 1.2 s
    const Bytes tooShort = PacketizeAudio(AudioFrames(10));  // 0.24 s
    const std::string decode = "[Audio]\nDecodeAudio=1\n";
    struct Case {
        const char* name;
        const Bytes& file;
        std::string profile;
        std::vector<std::string> lines;        // the loudness lines, in order
        std::optional<LineColour> integrated;  // judged lines only: an information line
                                               // keeps the colour before it
    };
    const Case cases[] = {
        {"within the target",
         sample,
         decode + "LoudnessTarget=-21\nLoudnessTolerance=1\nTruePeakMax=-1\nLoudnessRangeMax=5\n"
                  "ShortTermLoudnessMax=-18\n",
         {"Integrated Loudness = -21.1 LUFS", "Loudness Range = 0.0 LU",
          "Maximum Momentary Loudness = -21.1 LUFS", "Maximum Short-Term Loudness = -21.1 LUFS",
          "True Peak Left = -20.6 dBTP", "True Peak Right = -20.6 dBTP"},
         LineColour::Green},
        {"too loud for R 128",
         sample,
         decode + "LoudnessTarget=-23\nLoudnessTolerance=1\nTruePeakMax=-21\n"
                  "ShortTermLoudnessMax=-22\n",
         {"*Integrated Loudness = -21.1 LUFS", "Loudness Range = 0.0 LU",
          "Maximum Momentary Loudness = -21.1 LUFS", "*Maximum Short-Term Loudness = -21.1 LUFS",
          "*True Peak Left = -20.6 dBTP", "*True Peak Right = -20.6 dBTP"},
         LineColour::Red},
        // Silence never reaches a minimum; it has no peak to exceed a maximum.
        {"silence",
         silence,
         decode + "LoudnessTarget=-23\nLoudnessTolerance=1\nTruePeakMax=-1\n",
         {"*Integrated Loudness = -inf LUFS (silence: below every minimum)",
          "Loudness Range = 0.0 LU", "Maximum Momentary Loudness = -inf LUFS",
          "Maximum Short-Term Loudness = -inf LUFS", "True Peak Left = -inf dBTP",
          "True Peak Right = -inf dBTP"},
         LineColour::Yellow},
        {"shorter than a gating block",
         tooShort,
         decode + "LoudnessTarget=-23\nLoudnessTolerance=1\n",
         {"*Integrated Loudness = -inf LUFS (shorter than one 400 ms gating block)",
          "Loudness Range = 0.0 LU", "Maximum Momentary Loudness = -inf LUFS",
          "Maximum Short-Term Loudness = -inf LUFS", "True Peak Left = -inf dBTP",
          "True Peak Right = -inf dBTP"},
         LineColour::Yellow},
        // A target without its tolerance judges nothing.
        {"target alone",
         sample,
         decode + "LoudnessTarget=-23\n",
         {"Integrated Loudness = -21.1 LUFS", "Loudness Range = 0.0 LU",
          "Maximum Momentary Loudness = -21.1 LUFS", "Maximum Short-Term Loudness = -21.1 LUFS",
          "True Peak Left = -20.6 dBTP", "True Peak Right = -20.6 dBTP"},
         std::nullopt},
        // A set key is judged: the loudness keys decode the audio whatever DecodeAudio says.
        {"a loudness key in header mode",
         sample,
         "[Audio]\nDecodeAudio=0\nLoudnessTarget=-23\nLoudnessTolerance=1\n",
         {"*Integrated Loudness = -21.1 LUFS", "Loudness Range = 0.0 LU",
          "Maximum Momentary Loudness = -21.1 LUFS", "Maximum Short-Term Loudness = -21.1 LUFS",
          "True Peak Left = -20.6 dBTP", "True Peak Right = -20.6 dBTP"},
         LineColour::Red},
        // Without a loudness key the report is as it always was.
        {"no key", sample, decode, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        std::vector<std::string> loudness;
        for (const std::string& line : Section(c.file, c.profile)) {
            if (IsLoudnessLine(line)) loudness.push_back(line);
        }
        EXPECT_EQ(c.lines, loudness) << c.name;
        // The sink keeps the earlier runs' lines: this run's line is the last.
        const std::vector<ReportLine>& written = bound_.sink.Lines();
        auto integrated =
            std::find_if(written.rbegin(), written.rend(), [](const ReportLine& line) {
                return line.text.find("Integrated Loudness") != std::string::npos;
            });
        if (c.integrated) {
            ASSERT_NE(written.rend(), integrated) << c.name;
            EXPECT_EQ(*c.integrated, integrated->colour) << c.name;
        }
    }
}

// Both modes show the same header lines (the decoded amount and the levels aside) on
// streams made by real encoders, whole and cut at a pack boundary inside a frame.
class BothModesTest : public AudioSummaryTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BothModesTest, SameHeaderLines) {
    Bytes file = ReadFileBytes(FixturePath(GetParam()));
    for (size_t packs : {0, 3}) {
        Bytes cut(file.begin() + static_cast<long>(2048 * packs), file.end());
        std::vector<std::string> header = Section(cut, "[Audio]\nDecodeAudio=0\n");
        std::vector<std::string> decode = Section(cut, "[Audio]\nDecodeAudio=1\n");
        std::erase_if(header, IsMeasuredLine);
        std::erase_if(decode, IsMeasuredLine);
        EXPECT_EQ(header, decode) << GetParam() << ", " << packs << " packs cut";
        EXPECT_EQ(packs > 0, Contains(decode, "Audio Sync Losses: 1")) << GetParam();
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, BothModesTest,
                         ::testing::Values("mp2_48k_stereo.mpg", "mp2_44k_joint.mpg",
                                           "mp2_mono_crc.mpg", "mp3_48k.mpg", "mp3_vbr.mpg",
                                           "mp2_dc_offset.mpg", "mp2_clipping.mpg",
                                           "mp2_silence.mpg", "mp2_lsf_24k.mpg"),
                         CaseNumber());

TEST_F(AudioSummaryTest, FileWithoutAudioHasAnEmptySection) {
    StreamBuilder b;
    PesFields f;
    f.payload = Bytes(10, 0x42);
    std::vector<std::string> lines = Section(b.Pack(3600).Pes(0xE0, f).EndCode().Build(), "");
    EXPECT_TRUE(lines.empty());
}

}  // namespace
