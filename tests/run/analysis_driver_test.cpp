// Whole runs: framing, first-pass results, end-code line, cross-stream checks, verdict.
#include "run/analysis_driver.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "input/bitstream_file.h"
#include "program/program_stream_scan.h"
#include "program/program_stream_summary.h"
#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "support/comma_locale.h"
#include "support/test_files.h"
#include "support/video_builder.h"

namespace {

class DriverTest : public ::testing::Test {
  protected:
    void Profile(const std::string& text) {
        LoadReferenceProfileFrom(dir_.WriteText("MpegReference.ini", text));
    }
    std::vector<std::string> Run(const Bytes& bytes, const std::string& name = "spot.mpg") {
        path_ = dir_.Write(name, bytes);
        result_ = AnalyzeFile(path_.c_str());
        // The run's result holds the report the front end was shown, line for line.
        std::vector<std::string> texts;
        for (const ResultLine& line : result_.lines) texts.push_back(line.text);
        EXPECT_EQ(bound_.sink.Texts(), texts);
        return bound_.sink.Texts();
    }
    bool Has(const std::string& text) { return Contains(bound_.sink.Texts(), text); }
    std::vector<std::string> Tail(size_t count) {
        auto texts = bound_.sink.Texts();
        return std::vector<std::string>(
            texts.end() - static_cast<long>(std::min(count, texts.size())), texts.end());
    }
    void SetUp() override { Profile(""); }

    TempDir dir_;
    BoundSink bound_;
    RunResult result_;
    std::string path_;
};

// "Processing time: " and the elapsed time as HH:MM:SS.
bool IsProcessingTimeLine(const std::string& line) {
    const std::string prefix = "Processing time: ";
    if (line.rfind(prefix, 0) != 0 || line.size() != prefix.size() + 8) return false;
    for (size_t i = 0; i < 8; ++i) {
        char c = line[prefix.size() + i];
        if (i % 3 == 2 ? c != ':' : !std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// The end of every run after its processing-time line.
const std::vector<std::string> kPassEnd = {" ", "Result:", "Compliance Test: Pass",
                                           " ", "End.",    " "};
const std::vector<std::string> kFailEnd = {" ", "Result:", "Compliance Test: Fail!!",
                                           " ", "End.",    " "};

TEST_F(DriverTest, WholeReportOfAPassingStream) {
    std::vector<std::string> lines = Run(MakeSimpleStream(3));
    ASSERT_GT(lines.size(), 20u);
    EXPECT_EQ(0u, lines[0].find("Zembra v1.4.0.131 - "));
    EXPECT_NE(std::string::npos, lines[0].find("  ", 20));  // date, two blanks, start time
    std::vector<std::string> head = {"Reference profile: \"" + dir_.Path() + "/MpegReference.ini\"",
                                     " ",
                                     "File under analysis: \"" + path_ + "\"..!",
                                     " ",
                                     "Begin Process:",
                                     " ",
                                     "Begin Program Streams Summary:",
                                     "File \"" + path_ + "\" is a MPEG-2 Program Stream"};
    EXPECT_EQ(head, std::vector<std::string>(lines.begin() + 1, lines.begin() + 9));
    auto video = std::find(lines.begin(), lines.end(), "End Program Streams Summary.");
    ASSERT_NE(lines.end(), video);
    EXPECT_EQ(" ", video[1]);
    EXPECT_EQ(" ", video[2]);
    EXPECT_EQ("Begin Video Streams Summary:", video[3]);
    auto audio = std::find(lines.begin(), lines.end(), "End Video Streams Summary.");
    ASSERT_NE(lines.end(), audio);
    EXPECT_EQ("Begin Audio Streams Summary:", audio[3]);
    std::vector<std::string> end = {"End Audio Streams Summary.",
                                    " ",
                                    "Video Stream Duration: 0.36 sec -> 0:09 (secs:frames)",
                                    " ",
                                    "Duration Difference from Video to Audio = 216 msec",
                                    "Initial Delay Audio to Video (PTS based) = -67 msec ",
                                    " "};
    auto at = std::find(lines.begin(), lines.end(), "End Audio Streams Summary.");
    ASSERT_NE(lines.end(), at);
    EXPECT_EQ(end, std::vector<std::string>(at, at + static_cast<long>(end.size())));
    EXPECT_TRUE(IsProcessingTimeLine(at[7])) << at[7];
    EXPECT_EQ(kPassEnd, Tail(6));
    EXPECT_EQ(Verdict::Pass, bound_.sink.CurrentVerdict());
    EXPECT_EQ((ReportLine{"Compliance Test: Pass", LineKind::Pass, true, LineColour::Green, 15}),
              bound_.sink.Lines()[lines.size() - 4]);
    EXPECT_FALSE(GetRunState().runFailed);
    EXPECT_FALSE(IsAnalysisRunning());
    EXPECT_EQ("Done!", bound_.sink.StatusText());
    EXPECT_TRUE(bound_.sink.ErrorBoxes().empty());
}

// Each elementary stream's part of the report begins at the line that names the stream;
// with only errors printed, a stream that wrote nothing has no part.
TEST_F(DriverTest, StreamSectionsBeginAtTheLineThatNamesTheStream) {
    std::vector<std::string> lines = Run(MakeSimpleStream(3));
    const std::vector<StreamSection>& sections = bound_.sink.StreamSections();
    ASSERT_EQ(2u, sections.size());
    EXPECT_EQ(0xE0, sections[0].streamId);
    EXPECT_EQ("Elementary Stream E0 is a MPEG-2 Video Stream", lines[sections[0].firstLine]);
    EXPECT_EQ(0xC0, sections[1].streamId);
    EXPECT_EQ("Elementary Stream C0 is a MPEG Audio Stream", lines[sections[1].firstLine]);
    SetPrintOnlyErrors(true);
    Run(MakeSimpleStream(3));
    EXPECT_TRUE(bound_.sink.StreamSections().empty());
}

// A typo in the profile is said at the top of the report, and judges nothing.
TEST_F(DriverTest, UnknownProfileNamesAreWarnedRightAfterTheVersionLine) {
    std::string profile =
        dir_.WriteText("MpegReference.ini", "[Video]\r\n  HorizontalSise=720\r\n[Vidoe]\r\n");
    for (bool errorsOnly : {false, true}) {
        LoadReferenceProfileFrom(profile);
        SetPrintOnlyErrors(errorsOnly);
        std::vector<std::string> lines = Run(MakeSimpleStream(3));
        ASSERT_GT(lines.size(), 5u);
        EXPECT_EQ(0u, lines[0].find("Zembra v1.4.0.131 - "));
        const std::vector<ReportLine>& attributed = bound_.sink.Lines();
        EXPECT_EQ((ReportLine{"Unknown key \"HorizontalSise\" in [Video] of profile \"" + profile +
                                  "\", line 2",
                              LineKind::Warning, true, LineColour::Yellow, 15}),
                  attributed[2]);
        EXPECT_EQ("Reference profile: \"" + profile + "\"", lines[1]);
        EXPECT_EQ("Unknown section [Vidoe] of profile \"" + profile + "\", line 3", lines[3]);
        EXPECT_EQ(" ", lines[4]);
        EXPECT_EQ("File under analysis: \"" + path_ + "\"..!", lines[5]);
        EXPECT_TRUE(Has("Compliance Test: Pass")) << "print-only-errors " << errorsOnly;
        EXPECT_EQ(Verdict::Pass, bound_.sink.CurrentVerdict());
        EXPECT_FALSE(GetRunState().runFailed);
    }
}

// A value the key cannot take leaves a check unmade: the warning is kept, and a failure
// line names the key, so the file cannot pass.
TEST_F(DriverTest, AKeyNotAppliedFailsTheFile) {
    std::string profile =
        dir_.WriteText("MpegReference.ini", "[Video]\nFrameRate=25\nAspectRatio=16:9\n");
    for (bool errorsOnly : {false, true}) {
        LoadReferenceProfileFrom(profile);
        SetPrintOnlyErrors(errorsOnly);
        std::vector<std::string> lines = Run(MakeSimpleStream(3));
        ASSERT_GT(lines.size(), 6u);
        EXPECT_EQ(0u, lines[2].find("Value \"25\" of key \"FrameRate\" in [Video] of profile"));
        EXPECT_EQ(0u, lines[3].find("Unreadable value \"16:9\" of key \"AspectRatio\""));
        EXPECT_EQ("*Key \"FrameRate\" of the profile not applied: its value \"25\" is out of range",
                  lines[4]);
        EXPECT_EQ(
            "*Key \"AspectRatio\" of the profile not applied: its value \"16:9\" is "
            "unreadable",
            lines[5]);
        EXPECT_EQ(LineColour::Red, bound_.sink.Lines()[4].colour);
        EXPECT_TRUE(Has("Compliance Test: Fail!!")) << "print-only-errors " << errorsOnly;
        EXPECT_TRUE(GetRunState().runFailed);
    }
}

// The fault: the indented key became the continuation of the key above it, the
// stream-count check an information line, and a file with one video stream passed.
TEST_F(DriverTest, AnIndentedKeyStillJudgesTheFile) {
    Profile("[System]\nMPEGPackSize=65535\n    VideoStreams=2\n");
    Run(MakeSimpleStream(3));
    EXPECT_TRUE(GetRunState().runFailed);
    EXPECT_EQ(Verdict::Fail, bound_.sink.CurrentVerdict());
    EXPECT_EQ(kFailEnd, Tail(6));
}

// The desktop application runs under the user's locale, where de_DE printed
// "MPEG file size 2,08 MB": the sample's whole report must be its reviewed golden report
// (made by the command line, on the path as given there).
TEST_F(DriverTest, SampleReportUnderACommaLocaleIsTheGoldenReport) {
    CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << CommaLocale::kSkipReason;
    LoadReferenceProfileFrom(ZEMBRA_DATA_DIR "/MpegReference.ini");
    const std::string sample = ZEMBRA_DATA_DIR "/sample.mpg";
    EXPECT_EQ(FileVerdict::Pass, AnalyzeFile(sample.c_str()).verdict);
    std::string report = "<version line>\n";
    std::vector<std::string> lines = bound_.sink.Texts();
    for (size_t i = 1; i < lines.size(); ++i) {
        bool elapsed = lines[i].rfind("Processing time: ", 0) == 0;
        report += (elapsed ? "Processing time: <elapsed>" : lines[i]) + "\n";
    }
    Bytes bytes = ReadFileBytes(ZEMBRA_GOLDEN_DIR "/sample.txt");
    std::string golden(bytes.begin(), bytes.end());
    for (size_t at = 0; (at = golden.find("\"sample.mpg\"", at)) != std::string::npos;) {
        golden.replace(at, 12, "\"" + sample + "\"");
        at += sample.size() + 2;
    }
    if (size_t at = golden.find("<data>"); at != std::string::npos) {
        golden.replace(at, 6, ZEMBRA_DATA_DIR);  // the profile's folder
    }
    EXPECT_NE(std::string::npos, report.find("MPEG file size 2.08 MB\n"));
    EXPECT_EQ(golden, report);
}

struct ScanErrorCase {
    const char* name;
    Bytes bytes;
    std::string message;  // %s stands for the path
};

// Each refused file: its message in the error box and, as a failure line, in the report.
TEST_F(DriverTest, FirstPassErrorsShowTheirMessageAndEndTheRun) {
    PesFields packField;
    packField.packHeaderField = true;
    std::vector<ScanErrorCase> cases = {
        {"spot.txt", MakeSimpleStream(1), "Bad extension for file \"%s\"..!"},
        {"empty.mpg", {}, "File \"%s\" is empty"},
        {"ts.mpg", {0x47, 0x40, 0x00, 0x10}, "File \"%s\"\nis NOT a MPEG program stream!!"},
        {"m1.mpg", StreamBuilder().Mpeg1Pack(3600).EndCode().Build(),
         "File \"%s\" is a MPEG-1 System Stream"},
        {"field.mpg", StreamBuilder().Pack(3600).Pes(0xE0, packField).EndCode().Build(),
         "Pack header field flag value not allowed in program streams"},
        {"missing.mpg", {}, "Unable to open file \"%s\" for reading.\nNo such file or directory."},
        {"spots", {}, "\"%s\" is a folder, not a file"},
        {"folder.mpg", {}, "\"%s\" is a folder, not a file"},
    };
    for (const ScanErrorCase& c : cases) {
        ClearReport();
        BoundSink bound;
        std::string name = c.name;
        if (name == "missing.mpg") {
            path_ = dir_.Path() + "/missing.mpg";
        } else if (name.find('.') == std::string::npos || name == "folder.mpg") {
            path_ = dir_.Path() + "/" + name;
            std::filesystem::create_directory(path_);
        } else {
            path_ = dir_.Write(c.name, c.bytes);
        }
        EXPECT_EQ(FileVerdict::Error, AnalyzeFile(path_.c_str()).verdict) << c.name;
        std::string message = c.message;
        if (size_t at = message.find("%s"); at != std::string::npos) message.replace(at, 2, path_);
        ASSERT_FALSE(bound.sink.ErrorBoxes().empty()) << c.name;
        EXPECT_EQ(message, bound.sink.ErrorBoxes().back()) << c.name;
        std::string line = "*" + message;
        std::replace(line.begin(), line.end(), '\n', ' ');
        auto texts = bound.sink.Texts();
        EXPECT_EQ("Begin Program Streams Summary:", texts[7]) << c.name;
        EXPECT_EQ(line, texts[8]) << c.name;
        EXPECT_EQ(LineColour::Red, bound.sink.Lines()[8].colour) << c.name;
        EXPECT_EQ(" ", texts[9]) << c.name;
        EXPECT_EQ(0u, texts[10].find("Processing time: ")) << c.name;
        EXPECT_EQ(kFailEnd, std::vector<std::string>(texts.end() - 6, texts.end())) << c.name;
        EXPECT_EQ(Verdict::Fail, bound.sink.CurrentVerdict());
        EXPECT_TRUE(GetRunState().runFailed);
    }
}

TEST_F(DriverTest, EmptyFileShowsBothMessages) {
    Run({}, "empty.mpg");
    std::vector<std::string> expected = {"Unable to read from file " + path_ + ".",
                                         "File \"" + path_ + "\" is empty"};
    EXPECT_EQ(expected, bound_.sink.ErrorBoxes());
}

TEST_F(DriverTest, MissingEndCodeLine) {
    Bytes noEnd = MakeSimpleStream(2, false);
    Profile("[System]\nProgramEndCodeRequired=1\n");
    Run(noEnd);
    EXPECT_TRUE(Has("Missing Progam End Code..."));
    EXPECT_TRUE(Has("End Program Streams Summary."));
    EXPECT_EQ(kPassEnd, Tail(6));

    Profile("[System]\nProgramEndCodeRequired=0\n");
    std::vector<std::string> lines = Run(noEnd);
    EXPECT_EQ("*Missing Progam End Code...", lines[8]);
    EXPECT_EQ(" ", lines[9]);
    EXPECT_EQ(0u, lines[10].find("Processing time: "));
    EXPECT_EQ(kFailEnd, Tail(6));
    EXPECT_FALSE(Has("End Program Streams Summary."));

    Profile("");
    Run(noEnd);
    EXPECT_FALSE(bound_.sink.Lines()[8].bold);  // information line
    EXPECT_EQ(kPassEnd, Tail(6));
}

TEST_F(DriverTest, NullPathIsRefused) {
    RunResult result = AnalyzeFile(nullptr);
    EXPECT_EQ(FileVerdict::Error, result.verdict);
    EXPECT_EQ("ERROR: Missing File Name..!!", result.reason);
    EXPECT_FALSE(result.programStream);
    std::vector<std::string> expected = {"ERROR: Missing File Name..!!"};
    EXPECT_EQ(expected, bound_.sink.ErrorBoxes());
    EXPECT_EQ("*ERROR: Missing File Name..!!", bound_.sink.Texts().back());
    EXPECT_FALSE(IsAnalysisRunning());
}

TEST_F(DriverTest, TimeLimitStartsAt300Seconds) {
    StreamBuilder b;
    for (int s = 0; s <= 620; ++s) b.Pack(45000ull * s);  // SCRs half a second apart
    Bytes bytes = b.Build();  // no end code: only the limit can give ScanOk
    Profile("[System]\nProgramEndCodeRequired=0\n[Processing]\nMaxTimeToProcess=299\n");
    Run(bytes);
    EXPECT_TRUE(Has("*Missing Progam End Code..."));
    Profile("[System]\nProgramEndCodeRequired=0\n[Processing]\nMaxTimeToProcess=300\n");
    Run(bytes);
    EXPECT_FALSE(Has("*Missing Progam End Code..."));
    EXPECT_TRUE(Has("MPEG Packs = 602"));
    EXPECT_EQ(300, GetRunState().timeLimitSeconds);
}

// Records the busy flag and presses Cancel at the first pump of the first pass.
class CancelOnPumpSink : public MemorySink {
  public:
    void PumpEvents() override {
        busySeen = busySeen || IsAnalysisRunning();
        if (cancelAt >= 0 && ++pumps == cancelAt) RequestCancel();
    }
    bool busySeen = false;
    int cancelAt = -1;
    int pumps = 0;
};

TEST_F(DriverTest, CancelDuringTheFirstPass) {
    CancelOnPumpSink sink;
    sink.cancelAt = 3;  // ClearReport, SetProgress(0), then the first MiB
    SetReportSink(&sink);
    StreamBuilder b;
    constexpr size_t kPackSize = 2048;
    for (int i = 0; b.Size() < 4 * BitstreamFile::kBlockSize; ++i) {
        size_t start = b.Size();
        PesFields f;
        f.payload = Bytes(1500, 0);
        b.Pack(3600 * (i + 1)).Pes(0xE0, f).PadPackTo(start, kPackSize);
    }
    path_ = dir_.Write("big.mpg", b.EndCode().Build());
    AnalyzeFile(path_.c_str());
    SetReportSink(&bound_.sink);
    // The reading stopped within a MiB of the Cancel, pressed at the first MiB.
    EXPECT_LE(GetStreamIdTable().packCount * kPackSize, 2 * BitstreamFile::kBlockSize);
    auto texts = sink.Texts();
    EXPECT_EQ("Missing Progam End Code...", texts[8]);
    EXPECT_FALSE(sink.Lines()[8].bold);
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "End Program Streams Summary."));
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(),
                                     "Video Stream Duration: 0.00 sec -> 0:00 (secs:frames)"));
    // Most of the file was never read: the report says so, and the verdict is no Pass.
    auto cancelled = std::find(texts.begin(), texts.end(),
                               "*Analysis cancelled during the program stream pass: the report "
                               "covers only what was read before");
    ASSERT_NE(texts.end(), cancelled);
    EXPECT_EQ(0u, cancelled[2].find("Processing time: "));
    EXPECT_EQ("Compliance Test: Fail!!", texts[texts.size() - 4]);
    EXPECT_TRUE(sink.busySeen);
    EXPECT_FALSE(IsAnalysisRunning());
}

// Presses Cancel once, as soon as a phase with the given status text lets events run.
class CancelInPhaseSink : public MemorySink {
  public:
    explicit CancelInPhaseSink(std::string phase) : phase_(std::move(phase)) {}
    void PumpEvents() override {
        if (!done_ && StatusText().rfind(phase_, 0) == 0) {
            done_ = true;
            RequestCancel();
        }
    }

  private:
    std::string phase_;
    bool done_ = false;
};

TEST_F(DriverTest, CancelDuringAStreamIsAFailureLine) {
    struct Case {
        const char* status;
        const char* line;
    };
    for (const Case& c :
         {Case{"Processing Elementary Video Stream", "*Analysis cancelled during video stream E0"},
          Case{"Processing Elementary Audio Stream",
               "*Analysis cancelled during audio stream C0"}}) {
        CancelInPhaseSink sink(c.status);
        SetReportSink(&sink);
        path_ = dir_.Write("spot.mpg", MakeSimpleStream(3));
        RunResult result = AnalyzeFile(path_.c_str());
        SetReportSink(&bound_.sink);
        std::string line = std::string(c.line) + ": the report covers only what was read before";
        EXPECT_TRUE(Contains(sink.Texts(), line)) << c.status;
        EXPECT_EQ(FileVerdict::Interrupted, result.verdict) << c.status;
        EXPECT_EQ(sink.Texts().size(), result.lines.size()) << c.status;
        EXPECT_EQ(Verdict::Fail, sink.CurrentVerdict()) << c.status;
        EXPECT_TRUE(GetRunState().runFailed);
    }
}

TEST_F(DriverTest, CrossStreamValuesStartEachRunAtZero) {
    GetRunState().videoDurationSeconds = 12.5;
    GetRunState().audioFirstPtsMs = 400;
    GetRunState().videoMeasured = true;
    GetRunState().audioMeasured = true;
    PesFields notVideo;
    notVideo.pts = 9000;
    notVideo.payload = Bytes(100, 0x42);
    Run(StreamBuilder().Pack(3600).Pes(0xE0, notVideo).EndCode().Build());
    EXPECT_TRUE(Has("Video Stream Duration: 0.00 sec -> 0:00 (secs:frames)"));
    EXPECT_TRUE(Has("Initial Delay Audio to Video (PTS based): no MPEG-2 video stream measured"));
}

// The end-of-run checks, with the values the video and audio sections leave.
class CrossStreamTest : public DriverTest {
  protected:
    // Writes the section of a stream with 2048-byte packs at `muxRate` (50 bytes/s).
    void Section(uint32_t muxRate, const std::string& profile) {
        Profile(profile);
        StreamBuilder b;
        for (int i = 0; i < 3; ++i) {
            size_t start = b.Size();
            PesFields f;
            f.payload = Bytes(1000, 0);
            b.Pack(3600 * (i + 1), muxRate).Pes(0xE0, f).PadPackTo(start, 2048);
        }
        path_ = dir_.Write("spot.mpg", b.EndCode().Build());
        ScanProgramStream(path_, 0);
        ClearReport();
        GetRunState() = RunState{};
        GetRunState().muxRateLine = WriteProgramStreamSummary(
            ReferenceProfile.system, GetStreamIdTable(), path_, 0, GetRunState().runFailed);
    }
};

TEST_F(CrossStreamTest, MuxRateBelowTheRecommendationRewritesItsLine) {
    // 5,000,000 bps of elementary streams in 2048-byte packs need
    // ceil(5e6 * 2048 / 1991) = 5143145 bps, rounded up to 5143150.
    Section(12857, "[System]\nProgramMuxRateMin=1\n");  // 5,142,800 bps
    GetRunState().elementaryBitrateSum = 5000000;
    auto before = bound_.sink.Texts();
    WriteCrossStreamChecks(GetStreamIdTable());
    auto after = bound_.sink.Texts();
    int index = GetRunState().muxRateLine - 1;
    EXPECT_EQ("Program Mux Rate = 5022 Kbps", before[index]);
    EXPECT_EQ("*Program Mux Rate = 5022 Kbps, Min. Recommended = 5022 Kbps", after[index]);
    EXPECT_EQ(LineColour::Red, bound_.sink.Lines()[index].colour);
    EXPECT_EQ(before[index + 1], after[index + 1]);
    EXPECT_TRUE(GetRunState().runFailed);

    Section(12858, "[System]\nProgramMuxRateMin=1\n");  // 5,143,200 bps: enough
    GetRunState().elementaryBitrateSum = 5000000;
    WriteCrossStreamChecks(GetStreamIdTable());
    EXPECT_FALSE(GetRunState().runFailed);
}

TEST_F(CrossStreamTest, MuxRateCheckIsOnOnlyAtOne) {
    for (const char* profile : {"", "[System]\nProgramMuxRateMin=2\n"}) {
        Section(100, profile);
        GetRunState().elementaryBitrateSum = 5000000;
        WriteCrossStreamChecks(GetStreamIdTable());
        EXPECT_FALSE(GetRunState().runFailed) << profile;
    }
}

TEST_F(CrossStreamTest, WithPrintOnlyErrorsTheFailureIsInsertedInPlace) {
    SetPrintOnlyErrors(true);
    Section(100, "[System]\nProgramMuxRateMin=1\nPacketsPerPack=7\n");
    GetRunState().elementaryBitrateSum = 1000000;
    WriteCrossStreamChecks(GetStreamIdTable());
    std::vector<std::string> expected = {
        "*Packets per Pack = 1",
        "*Program Mux Rate = 39 Kbps, Min. Recommended = 1004 Kbps",
        "End Program Streams Summary.",
        " ",
        " ",
        "Video Stream Duration: 0.00 sec -> 0:00 (secs:frames)"};
    auto texts = bound_.sink.Texts();
    EXPECT_EQ(expected, std::vector<std::string>(texts.begin(), texts.begin() + 6));
}

// The mux rate is judged at the end of the run, by ProgramMuxRateMin: its record points
// at the rewritten line, or at the line inserted when only errors are printed, which
// moves the records of the lines after it.
TEST_F(CrossStreamTest, MuxRateJudgementIsRecordedOnItsLine) {
    for (bool errorsOnly : {false, true}) {
        SetPrintOnlyErrors(errorsOnly);
        Section(100, "[System]\nProgramMuxRateMin=1\nVideoStreams=7\n");
        GetRunState().elementaryBitrateSum = 1000000;
        WriteCrossStreamChecks(GetStreamIdTable());
        const std::vector<CheckRecord>& records = bound_.sink.CheckRecords();
        auto keyed = [&](std::string_view key) {
            return std::find_if(records.begin(), records.end(), [&](const CheckRecord& r) {
                return r.min.key.key == key || r.reference.key.key == key;
            });
        };
        auto muxRate = keyed("ProgramMuxRateMin");
        ASSERT_NE(records.end(), muxRate) << errorsOnly;
        EXPECT_EQ(CheckOutcome::Failure, muxRate->outcome);
        EXPECT_EQ(40000, muxRate->measured);
        EXPECT_EQ(1028650, muxRate->min.value);  // ceil(1e6 * 2048 / 1991) up to 50 bps
        ASSERT_GE(muxRate->line, 0);
        EXPECT_EQ("*Program Mux Rate = 39 Kbps, Min. Recommended = 1004 Kbps",
                  bound_.sink.Lines()[static_cast<size_t>(muxRate->line)].text);
        auto streams = keyed("VideoStreams");
        ASSERT_NE(records.end(), streams) << errorsOnly;
        ASSERT_GE(streams->line, 0);
        EXPECT_EQ("*Number of Video Streams: 1",
                  bound_.sink.Lines()[static_cast<size_t>(streams->line)].text);
    }

    SetPrintOnlyErrors(false);
    Section(12858, "[System]\nProgramMuxRateMin=1\n");
    GetRunState().elementaryBitrateSum = 5000000;
    WriteCrossStreamChecks(GetStreamIdTable());
    const CheckRecord& pass = bound_.sink.CheckRecords().back();
    EXPECT_EQ((KeyName{"System", "ProgramMuxRateMin"}), pass.min.key);
    EXPECT_EQ(CheckOutcome::Pass, pass.outcome);
    EXPECT_EQ(GetRunState().muxRateLine - 1, pass.line);
}

TEST_F(CrossStreamTest, ToleranceLines) {
    struct Case {
        const char* profile;
        double videoSeconds, audioSeconds, videoPtsMs, audioPtsMs;
        std::string durationLine, delayLine;
        bool failed;
    };
    std::vector<Case> cases = {
        {"", 10.0, 9.96, 0, 0, "Duration Difference from Video to Audio = 40 msec",
         "Initial Delay Audio to Video (PTS based) = 0 msec ", false},
        {"[System]\nDurationAudioVideoDifference=40\n", 10.0404, 10.0, 0, 0,
         "*Duration Difference from Video to Audio = 40 msec",
         "Initial Delay Audio to Video (PTS based) = 0 msec ", true},
        {"[System]\nDurationAudioVideoDifference=40\nDelayAudioVideoDifference=100\n", 10.0, 10.03,
         500, 400, "Duration Difference from Video to Audio = -30 msec",
         "Initial Delay Audio to Video (PTS based) = -100 msec ", false},
        {"[System]\nDelayAudioVideoDifference=100\n", 0, 0, 500, 640.2,
         "Duration Difference from Video to Audio = 0 msec",
         "*Initial Delay Audio to Video (PTS based) = 140 msec ", true},
    };
    for (const Case& c : cases) {
        Section(25200, c.profile);
        RunState& run = GetRunState();
        run.videoMeasured = true;
        run.audioMeasured = true;
        run.videoDurationSeconds = c.videoSeconds;
        run.audioDurationSeconds = c.audioSeconds;
        run.videoFirstPtsMs = c.videoPtsMs;
        run.audioFirstPtsMs = c.audioPtsMs;
        WriteCrossStreamChecks(GetStreamIdTable());
        auto texts = bound_.sink.Texts();
        EXPECT_EQ(c.durationLine, texts[texts.size() - 2]) << c.profile;
        EXPECT_EQ(c.delayLine, texts.back()) << c.profile;
        EXPECT_EQ(c.failed, run.runFailed) << c.profile;
    }
}

// Without a measured stream on one side (an AC-3 only DVD file, an audio-only file)
// there is nothing to compare, whatever the tolerances.
TEST_F(CrossStreamTest, AMissingSideIsNotJudged) {
    struct Case {
        bool video, audio;
        const char* missing;
    };
    for (const Case& c : {Case{true, false, "no MPEG audio stream measured"},
                          Case{false, true, "no MPEG-2 video stream measured"},
                          Case{false, false, "no MPEG-2 video stream measured"}}) {
        Section(25200, "[System]\nDurationAudioVideoDifference=40\nDelayAudioVideoDifference=40\n");
        RunState& run = GetRunState();
        run.videoMeasured = c.video;
        run.audioMeasured = c.audio;
        run.videoDurationSeconds = 10.0;
        run.videoFirstPtsMs = 500;
        WriteCrossStreamChecks(GetStreamIdTable());
        auto texts = bound_.sink.Texts();
        EXPECT_EQ(std::string("Duration Difference from Video to Audio: ") + c.missing,
                  texts[texts.size() - 2]);
        EXPECT_EQ(std::string("Initial Delay Audio to Video (PTS based): ") + c.missing,
                  texts.back());
        EXPECT_FALSE(run.runFailed) << c.missing;
    }
}

TEST_F(CrossStreamTest, ToleranceFailureIsRedAndMarked) {
    Section(25200, "[System]\nDurationAudioVideoDifference=40\n");
    GetRunState().videoMeasured = true;
    GetRunState().audioMeasured = true;
    GetRunState().videoDurationSeconds = 10.0404;
    GetRunState().audioDurationSeconds = 10.0;
    WriteCrossStreamChecks(GetStreamIdTable());
    const ReportLine& line = bound_.sink.Lines()[bound_.sink.Lines().size() - 2];
    EXPECT_EQ((ReportLine{"*Duration Difference from Video to Audio = 40 msec", LineKind::Fail,
                          true, LineColour::Red, 16}),
              line);
}

// What a line of each outcome looks like in the report.
bool LineShows(const ReportLine& line, CheckOutcome outcome) {
    bool marked = !line.text.empty() && line.text[0] == '*';
    switch (outcome) {
        case CheckOutcome::Information:
            return !line.bold && !marked;
        case CheckOutcome::Pass:
            return line.bold && line.colour == LineColour::Green && !marked;
        case CheckOutcome::Warning:
            return line.bold && line.colour == LineColour::Yellow && marked;
        case CheckOutcome::Failure:
            return line.bold && line.colour == LineColour::Red && marked;
    }
    return false;
}

// Whole runs on the sample, with the bundled profile and with one that fails many keys,
// with every line and with errors only: each pass, warning or failure line a check wrote
// has exactly one record, and every record points at a line of its outcome. The version
// line and the verdict are the only other lines of these runs that look judged.
TEST_F(DriverTest, EveryJudgedLineHasItsCheckRecord) {
    Bytes sample = ReadFileBytes(ZEMBRA_DATA_DIR "/sample.mpg");
    Bytes bundled = ReadFileBytes(ZEMBRA_DATA_DIR "/MpegReference.ini");
    const std::string failing =
        "[System]\nSystemHeadersMin=100\nMPEGPackSize=1\nVideoStreams=7\nMPEGAudioStreams=0\n"
        "ProgramMuxRateMin=1\nDurationAudioVideoDifference=1\n[Video]\nHorizontalSize=1\n"
        "GOPLengthMax=1\nFramesIRequired=1000\nVideoPeakBitrate=0\n[Audio]\nDecodeAudio=1\n"
        "Mode=0\nRMSReference=50\nMaxPeakValue=-200\nAudioSyncLossesMax=0\n";
    for (const std::string& profile : {std::string(bundled.begin(), bundled.end()), failing}) {
        for (bool errorsOnly : {false, true}) {
            Profile(profile);
            SetPrintOnlyErrors(errorsOnly);
            Run(sample);
            const std::vector<ReportLine>& lines = bound_.sink.Lines();
            std::vector<int> judged;
            for (size_t i = 0; i < lines.size(); ++i) {
                // The version line keeps the height the last line of a run left.
                bool notACheck = lines[i].text.rfind(VersionText(), 0) == 0 ||
                                 lines[i].text.rfind("Compliance Test: ", 0) == 0;
                if (lines[i].heightPx >= 15 && !notACheck) judged.push_back(static_cast<int>(i));
            }
            std::vector<int> recorded;
            for (const CheckRecord& record : bound_.sink.CheckRecords()) {
                if (record.line == kLineNotWritten) continue;
                if (record.outcome != CheckOutcome::Information) recorded.push_back(record.line);
                EXPECT_TRUE(LineShows(lines[static_cast<size_t>(record.line)], record.outcome))
                    << lines[static_cast<size_t>(record.line)].text;
            }
            std::sort(recorded.begin(), recorded.end());
            EXPECT_EQ(judged, recorded) << profile << errorsOnly;
            EXPECT_EQ(GetRunState().runFailed || !errorsOnly, !judged.empty());
        }
    }
}

}  // namespace

namespace {

// Changes the file under analysis right after the first pass, as another program might.
class ChangingFileSink : public MemorySink {
  public:
    ChangingFileSink(std::string path, bool remove) : path_(std::move(path)), remove_(remove) {}
    void ShowProgress(int percent) override {
        MemorySink::ShowProgress(percent);
        if (percent != 100 || done_) return;
        done_ = true;
        if (remove_) {
            std::remove(path_.c_str());
        } else {
            std::filesystem::resize_file(path_, std::filesystem::file_size(path_) / 2);
        }
    }

  private:
    std::string path_;
    bool remove_;
    bool done_ = false;
};

// The report without the lines that change from run to run: the version line's date and
// the processing time.
std::vector<std::string> WithoutTimes(std::vector<std::string> texts) {
    std::erase_if(texts, [](const std::string& line) {
        return line.rfind("Processing time: ", 0) == 0 || line.rfind("Zembra v", 0) == 0;
    });
    return texts;
}

// A run reads the file once: a spot replaced or cut on its share once the first pass has
// read it can neither change the report nor mix another file's bytes into it.
TEST_F(DriverTest, FileChangedAfterTheFirstPassLeavesTheReportAlone) {
    Bytes spot = ReadFileBytes(FixturePath("mplex_generic.mpg"));
    std::string path = dir_.Write("spot.mpg", spot);
    AnalyzeFile(path.c_str());
    std::vector<std::string> untouched = WithoutTimes(bound_.sink.Texts());
    for (bool remove : {true, false}) {
        dir_.Write("spot.mpg", spot);
        ChangingFileSink sink(path, remove);
        SetReportSink(&sink);
        AnalyzeFile(path.c_str());
        SetReportSink(&bound_.sink);
        EXPECT_EQ(untouched, WithoutTimes(sink.Texts())) << remove;
        EXPECT_TRUE(sink.ErrorBoxes().empty()) << remove;
    }
}

TEST_F(DriverTest, UnreadableFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    std::string path = dir_.Write("spot.mpg", MakeSimpleStream(3));
    ::chmod(path.c_str(), 0);
    AnalyzeFile(path.c_str());
    ASSERT_FALSE(bound_.sink.ErrorBoxes().empty());
    EXPECT_EQ("Unable to open file " + path + " for reading.", bound_.sink.ErrorBoxes()[0]);
    EXPECT_TRUE(Has("*Unable to open file \"" + path + "\" for reading. Permission denied."));
}

}  // namespace

namespace {

// One second of 80 Mbit/s video (25 pictures of 400 000 bytes, bit_rate_value 200 000) in
// packs of 60 000 bytes of payload at `muxRate` (units of 50 bytes/s), the system header
// bounding the video buffer at 8191 units of 1024 bytes.
Bytes HighRateSpot(uint32_t muxRate) {
    SequenceFields sequence;
    sequence.width = 1920;
    sequence.height = 1080;
    sequence.bitRateValue = 200000;
    sequence.vbvBufferSize = 1023;
    VideoEsBuilder v;
    v.SequenceHeader(sequence).SequenceExtension(0x44, 1, 0, 0, 2).GopHeader(0, 0, 0, 0);
    for (int i = 0; i < 25; ++i) v.Picture(i == 0 ? 1 : 2, 1, 400000);
    const Bytes& es = v.EndCode().Build();
    SystemHeaderFields system;
    system.rateBound = muxRate;
    system.bounds = {{0xE0, 1, 8191}};
    StreamBuilder b;
    uint64_t scr = 3600;
    constexpr size_t kPayload = 60000;
    for (size_t at = 0; at < es.size(); at += kPayload) {
        b.Pack(scr, muxRate);
        if (at == 0) b.SystemHeader(system);
        PesFields f;
        f.pts = scr + 90000;
        f.payload.assign(es.begin() + static_cast<long>(at),
                         es.begin() + static_cast<long>(std::min(es.size(), at + kPayload)));
        b.Pes(0xE0, f);
        scr += kPayload * 90000 / (muxRate * 50ull);  // the packet's time at the mux rate
    }
    return b.EndCode().Build();
}

}  // namespace

// HD rates in 32-bit figures: the buffer bound, the declared and measured rates and the
// recommended mux rate of an 80 Mbit/s spot.
TEST_F(DriverTest, HighDefinitionRatesHoldTheirFigures) {
    Profile("[System]\nProgramMuxRateMin=1\n[Video]\nDeclaredBitrateCheck=1\n");
    Run(HighRateSpot(200000));  // 80 Mbit/s of multiplex: less than the video and its packs need
    EXPECT_TRUE(Has("P-STD Buffer Size Bound = 8191 KB (From System Header)"));
    EXPECT_TRUE(Has("Nominal bitrate (Sequence Header) = 80000000 bps -> 78125 Kbps"));
    auto lineStarting = [&](const std::string& prefix) {
        for (const std::string& line : bound_.sink.Texts()) {
            if (line.starts_with(prefix)) return line;
        }
        return std::string();
    };
    std::string muxRate = lineStarting("*Program Mux Rate = 78125 Kbps, Min. Recommended = ");
    ASSERT_FALSE(muxRate.empty());
    int recommendedKbps = std::stoi(muxRate.substr(muxRate.rfind("= ") + 2));
    EXPECT_GT(recommendedKbps, 78125);
    EXPECT_LT(recommendedKbps, 78500);
    std::string declared =
        lineStarting("Declared Bitrate = 80000000 bps, Measured Peak (1 sec) = ");
    EXPECT_NE(std::string::npos, declared.find("Limit with the VBV Buffer = 130315264 bps"))
        << declared;            // (2 << 10) + 1023 units of 16 384 bits on top
    Run(HighRateSpot(250000));  // 100 Mbit/s
    EXPECT_TRUE(Has("Program Mux Rate = 97656 Kbps"));
    EXPECT_FALSE(Has("*Program Mux Rate = 97656 Kbps"));
}
