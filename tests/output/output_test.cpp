// The outputs made from file results: escaping, quoting, explanations, the JSON round trip,
// JUnit XML, the CSV summary and the GOP and bitrate tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <regex>
#include <set>

#include "cli/file_analysis.h"
#include "output/csv.h"
#include "output/csv_summary.h"
#include "output/json_report.h"
#include "output/result_json.h"
#include "output/junit_report.h"
#include "output/key_text.h"
#include "output/series_csv.h"
#include "output/text_report.h"
#include "output/xml_text.h"
#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "support/cli_run.h"
#include "support/output_checks.h"
#include "support/test_files.h"
#include "support/video_builder.h"

namespace {

using json = nlohmann::ordered_json;

JudgedValue Key(const char* section, const char* key, double value, bool set = true) {
    return {section, key, value, set};
}

JudgedCheck Equal(const char* key, double measured, double reference, bool set = true) {
    JudgedCheck check;
    check.kind = CheckKind::Equal;
    check.outcome = !set                    ? CheckOutcome::Information
                    : measured == reference ? CheckOutcome::Pass
                                            : CheckOutcome::Failure;
    check.measured = measured;
    check.reference = Key("Video", key, reference, set);
    check.unit = KeyUnit(key);
    return check;
}

// A failing file as the analysis leaves it: headings, a judged failure, an information
// line, the first line of a stream, a failure no check wrote, the verdict.
RunResult FailingResult(const std::string& path) {
    RunResult result;
    result.path = path;
    result.sizeBytes = 4096;
    result.verdict = FileVerdict::Fail;
    result.seconds = 0.25;
    result.lines = {
        {LineKind::Heading, "Begin Video Streams Summary:", {}, false},
        {LineKind::Info, "Elementary Stream E0 is a MPEG-2 Video Stream", {}, true},
        {LineKind::Info, "Number of Frames = 50 -> 2.00 Sec", {}, false},
        {LineKind::Pass, "Horizontal Size = 720", Equal("HorizontalSize", 720, 720), false},
        {LineKind::Fail, "*Aspect Ratio = 4:3", Equal("AspectRatio", 2, 3), false},
        {LineKind::Info, "Frame Rate = 25 fps", Equal("FrameRate", 3, 65535, false), false},
        {LineKind::Warning, "1024 bytes skipped before the first sequence header", {}, false},
        {LineKind::Fail, "*File ends inside a packet: the last packet lacks 12 bytes", {}, false},
        {LineKind::Heading, "Result:", {}, false},
        {LineKind::Fail, "Compliance Test: Fail!!", {}, false},
        {LineKind::Heading, "End.", {}, false},
    };
    VideoSeries series{0xE0,           {{"00:00:00:00", 12, "IBBPBBPBBPBB", true, true}},
                       {3000.5, 2999}, 2999.75,
                       1835008,        {{1, 0, 900000.5, 700000}, {2, 0.04, 900000.5, 850000}}};
    VideoStreamFigures video;
    video.id = 0xE0;
    video.horizontalSize = 720;
    video.verticalSize = 576;
    video.aspectRatioCode = 2;
    video.frameRateCode = 3;
    video.bitRateBps = 5000000;
    video.frames = 50;
    video.gopCount = 5;
    video.gopLengthMax = 12;
    video.durationSeconds = 2.0;
    video.averageKbps = 2999.75;
    video.peakKbps = 3000.6;
    video.series = series;
    AudioStreamFigures audio;
    audio.id = 0xC0;
    audio.format = "MPEG-1 Layer II 192 kbit/s 48000 Hz joint stereo";
    audio.layer = 2;
    audio.bitrateKbps = 192;
    audio.samplingFrequencyHz = 48000;
    audio.mode = 1;
    audio.syncWords = 84;
    result.videoStreams = {video};
    result.audioStreams = {audio};
    return result;
}

TEST(XmlText, EscapesMarkupAndKeepsEveryDocumentWellFormed) {
    struct Case {
        std::string text;
        std::string escaped;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&apos;"},
        {"line\nbreak\ttab", "line&#10;break&#9;tab"},
        {std::string("nul\0bell\x07", 9), "nulbell"},              // not XML 1.0 characters
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},  // UTF-8 stays
        {"latin1 \xE9t\xE9", "latin1 \xEF\xBF\xBDt\xEF\xBF\xBD"},  // not UTF-8
        {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.escaped, XmlEscape(c.text)) << c.text;
}

TEST(Csv, QuotesAsRfc4180) {
    struct Case {
        std::vector<std::string> fields;
        std::string row;
    };
    const Case cases[] = {
        {{"a", "b"}, "a,b"},
        {{"spot, final.mpg", "x"}, "\"spot, final.mpg\",x"},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
        {{"two\nlines", "cr\r"}, "\"two\nlines\",\"cr\r\""},
        {{"", ""}, ","},
    };
    for (const Case& c : cases) EXPECT_EQ(c.row, CsvRow(c.fields));
    EXPECT_EQ("-2.50", CsvDecimal(-2.5, 2));
}

TEST(KeyText, ExplainsTheKeyAndValueBehindALine) {
    JudgedCheck window;
    window.kind = CheckKind::RealRange;
    window.min = Key("Audio", "RMSReference", -20);
    window.max = Key("Audio", "RMSTolerance", -17);
    JudgedCheck headers;
    headers.kind = CheckKind::Range;
    headers.min = Key("Video", "SequenceHeadersMin", 1);
    headers.max = Key("", "", 4294967295.0);
    JudgedCheck syncLosses;  // a fixed minimum of 0, the key as maximum
    syncLosses.kind = CheckKind::Range;
    syncLosses.min = Key("", "", 0);
    syncLosses.max = Key("Audio", "AudioSyncLossesMax", 65535, false);
    JudgedCheck mode;
    mode.kind = CheckKind::Mask;
    mode.reference = Key("Audio", "Mode", 3);
    JudgedCheck forced;
    forced.kind = CheckKind::Forced;
    JudgedCheck tolerance;
    tolerance.kind = CheckKind::Tolerance;
    tolerance.max = Key("System", "DurationAudioVideoDifference", 100);
    struct Case {
        JudgedCheck check;
        std::string text;
    };
    const Case cases[] = {
        {Equal("AspectRatio", 2, 3), "[AspectRatio = 3: 16:9]"},
        {Equal("FrameRate", 3, 4), "[FrameRate = 4: 29.97 fps]"},
        {Equal("HorizontalSize", 704, 720), "[HorizontalSize = 720 pixels]"},
        {Equal("VideoPeakBitrate", 9000, 15000), "[VideoPeakBitrate = 15000 Kbps]"},
        {Equal("AspectRatio", 2, 65535, false), "[AspectRatio not set]"},
        {window, "[RMSReference = -20 dB, RMSTolerance = 3 dB]"},
        {headers, "[SequenceHeadersMin = 1]"},
        {syncLosses, "[AudioSyncLossesMax not set]"},
        {mode, "[Mode = 3: stereo, joint stereo]"},
        {forced, "[no key: fails whatever the profile says]"},
        {tolerance, "[DurationAudioVideoDifference = 100 ms]"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, ExplainCheck(c.check)) << c.text;
}

// The worker hands its result over as MessagePack: nothing may change on the way, not
// even a path whose bytes are not UTF-8.
TEST(RunResult, SurvivesTheWayFromTheWorker) {
    RunResult result = FailingResult("/ingest/caf\xE9/spot.mpg");
    result.lines[2].text = "File under analysis: \"/ingest/caf\xE9/spot.mpg\"..!";
    // The JSON gives a mask's measured bit as the key writes it; the result keeps the bit's
    // number, which --make-profile reads.
    JudgedCheck mode;
    mode.kind = CheckKind::Mask;
    mode.outcome = CheckOutcome::Pass;
    mode.measured = 3;  // single channel
    mode.reference = Key("Audio", "Mode", 8);
    mode.unit = KeyUnit("Mode");
    result.lines.push_back({LineKind::Pass, "Mode = single_channel", mode, false});
    EXPECT_EQ(8.0, ToJson(result)["lines"].back()["check"]["measured"]["value"]);
    json packed = json::from_msgpack(json::to_msgpack(ToJson(result)));
    EXPECT_EQ(result, RunResultFromJson(packed));
    RunResult error = ErrorResult("/gone.mpg", "No such file");
    EXPECT_EQ(error, RunResultFromJson(json::from_msgpack(json::to_msgpack(ToJson(error)))));
    EXPECT_THROW(RunResultFromJson(json::object()), json::exception);
    json badVerdict = ToJson(result);
    badVerdict["verdict"] = "ok";
    EXPECT_THROW(RunResultFromJson(badVerdict), json::exception);
}

// The file's JSON text is written series by series; it must read as the whole tree dumped
// at once, for streams with and without series, buffer occupancy, levels and a curve.
TEST(RunResult, JsonTextWrittenBySeriesIsTheTreeDumped) {
    const double silence = -std::numeric_limits<double>::infinity();
    RunResult result = FailingResult("caf\xE9.mpg");
    result.programStream = ProgramStreamFigures{};
    result.programStream->streams = {{0xE0, 3, 3600}, {0xC0, 3, 1152}};
    VideoStreamFigures bare;  // refused: no rows, no buffer
    bare.id = 0xE1;
    result.videoStreams.push_back(bare);
    AudioStreamFigures decoded = result.audioStreams[0];
    decoded.id = 0xC1;
    decoded.decoded = true;
    decoded.levels = AudioLevels{-60, -60.5, -1, silence, -20, -21, 3, 0, 2};
    decoded.loudness = LoudnessFigures{-23.5, 4.5, -20, -21, {-1.5, silence}, std::nullopt};
    AudioStreamFigures curved = decoded;
    curved.id = 0xC2;
    curved.loudness->curve = LoudnessCurve{0xC2, {{0.1, silence, silence}, {0.2, -22.5, -23}}};
    result.audioStreams.insert(result.audioStreams.end(), {decoded, curved});
    for (const RunResult& each : {result, FailingResult("a.mpg"), ErrorResult("b.mpg", "gone")}) {
        EXPECT_EQ(JsonDump(ToJson(each), -1), FileJsonText(each)) << each.path;
    }
    // Without series the tree keeps every figure but no row, sample, buffer point or curve.
    json lean = ToJson(result, false);
    EXPECT_FALSE(lean["videoStreams"][0].contains("gops"));
    EXPECT_FALSE(lean["videoStreams"][0].contains("vbv"));
    EXPECT_EQ(2999.75, lean["videoStreams"][0]["averageKbps"]);
    EXPECT_FALSE(lean["audioStreams"][2]["loudness"].contains("curve"));
    EXPECT_EQ(-23.5, lean["audioStreams"][2]["loudness"]["integratedLufs"]);
}

TEST(RunResult, FailureLinesAreThoseThatFailTheFile) {
    RunResult result = FailingResult("a.mpg");
    std::vector<const ResultLine*> failures = FailureLines(result);
    ASSERT_EQ(2u, failures.size());  // not the warning that fails nothing, not the verdict
    EXPECT_EQ("*Aspect Ratio = 4:3", failures[0]->text);
    EXPECT_EQ("*File ends inside a packet: the last packet lacks 12 bytes", failures[1]->text);
    EXPECT_EQ(9, VerdictLineIndex(result));
}

// An RMS level judged by its window: below it a warning that fails, above it a failure.
JudgedCheck Window(double measured, double min, double max) {
    JudgedCheck check;
    check.kind = CheckKind::RealRange;
    check.outcome = measured < min   ? CheckOutcome::Warning
                    : measured > max ? CheckOutcome::Failure
                                     : CheckOutcome::Pass;
    check.measured = measured;
    check.min = Key("Audio", "RMSReference", min);
    check.max = Key("Audio", "RMSTolerance", max);
    check.unit = "dB";
    return check;
}

// The report of a file of two video streams and one audio stream, as the analysis leaves
// it: the second video stream, the audio level and the end of the file fail when asked.
RunResult TwoStreamResult(bool e1Fails, bool audioLow, bool crossStreamFails) {
    RunResult result;
    result.path = "spots/a.mpg";
    result.verdict =
        e1Fails || audioLow || crossStreamFails ? FileVerdict::Fail : FileVerdict::Pass;
    auto judged = [](bool fails, const char* pass, const char* fail) -> ResultLine {
        return {fails ? LineKind::Fail : LineKind::Pass, fails ? fail : pass,
                Equal("AspectRatio", fails ? 2 : 3, 3), false};
    };
    result.lines = {
        {LineKind::Heading, "Zembra v1.4.0.131 - 12/11/26  08:07:53", {}, false},
        {LineKind::Heading, "Reference profile: \"/srv/MpegReference.ini\"", {}, false},
        {LineKind::Heading, " ", {}, false},
        {LineKind::Heading, "File under analysis: \"spots/a.mpg\"..!", {}, false},
        {LineKind::Heading, " ", {}, false},
        {LineKind::Heading, "Begin Program Streams Summary:", {}, false},
        {LineKind::Info, "MPEG Packs = 1064", {}, false},
        {LineKind::Heading, "End Program Streams Summary.", {}, false},
        {LineKind::Heading, "Begin Video Streams Summary:", {}, false},
        {LineKind::Info, "Elementary Stream E0 is a MPEG-2 Video Stream", {}, true},
        {LineKind::Warning, "1024 bytes skipped before the first sequence header", {}, false},
        judged(false, "Aspect Ratio = 16:9", ""),
        {LineKind::Info, "Elementary Stream E1 is a MPEG-2 Video Stream", {}, true},
        judged(e1Fails, "Aspect Ratio = 16:9", "*Aspect Ratio = 4:3"),
        {LineKind::Heading, "End Video Streams Summary.", {}, false},
        {LineKind::Heading, " ", {}, false},
        {LineKind::Heading, "Begin Audio Streams Summary:", {}, false},
        {LineKind::Pass, "Elementary Stream C0 is a MPEG Audio Stream", {}, true},
        {audioLow ? LineKind::Warning : LineKind::Pass,
         audioLow ? "*Left Channel RMS Level = -30.0 dB" : "Left Channel RMS Level = -20.0 dB",
         Window(audioLow ? -30 : -20, -24, -16), false},
        {LineKind::Heading, "End Audio Streams Summary.", {}, false},
        {LineKind::Heading, "Video Stream Duration: 4.00 sec -> 4:00 (secs:frames)", {}, false},
        {crossStreamFails ? LineKind::Fail : LineKind::Info,
         crossStreamFails ? "*File ends inside a packet: the last packet lacks 12 bytes"
                          : "Duration Difference from Video to Audio = -8 msec",
         {},
         false},
        {LineKind::Info, "Processing time: 00:00:01", {}, false},
        {LineKind::Heading, "Result:", {}, false},
        {result.verdict == FileVerdict::Pass ? LineKind::Pass : LineKind::Fail,
         result.verdict == FileVerdict::Pass ? "Compliance Test: Pass" : "Compliance Test: Fail!!",
         {},
         false},
        {LineKind::Heading, "End.", {}, false},
    };
    return result;
}

// --errors-only: a file that passed is one line; of one that did not, each failure (a
// warning that fails included) and the verdict under the headings above it, and nothing
// else: not a section or stream without a failure, not a warning that fails nothing.
TEST(TextReport, ErrorsOnlyShowsFailuresUnderTheirHeadings) {
    const std::string file = "File under analysis: \"spots/a.mpg\"..!";
    const std::vector<std::string> verdict = {"Result:", "Compliance Test: Fail!!"};
    auto with = [&](std::vector<std::string> middle) {
        middle.insert(middle.begin(), file);
        middle.insert(middle.end(), verdict.begin(), verdict.end());
        return middle;
    };
    struct Case {
        const char* what;
        RunResult result;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"passed",
         TwoStreamResult(false, false, false),
         {"File \"spots/a.mpg\": Compliance Test: Pass"}},
        {"the second video stream fails", TwoStreamResult(true, false, false),
         with({"Begin Video Streams Summary:", "Elementary Stream E1 is a MPEG-2 Video Stream",
               "*Aspect Ratio = 4:3"})},
        {"an audio level below its window", TwoStreamResult(false, true, false),
         with({"Begin Audio Streams Summary:", "Elementary Stream C0 is a MPEG Audio Stream",
               "*Left Channel RMS Level = -30.0 dB"})},
        {"after the streams", TwoStreamResult(false, false, true),
         with({"Video Stream Duration: 4.00 sec -> 4:00 (secs:frames)",
               "*File ends inside a packet: the last packet lacks 12 bytes"})},
        {"everywhere", TwoStreamResult(true, true, true),
         with({"Begin Video Streams Summary:", "Elementary Stream E1 is a MPEG-2 Video Stream",
               "*Aspect Ratio = 4:3", "Begin Audio Streams Summary:",
               "Elementary Stream C0 is a MPEG Audio Stream", "*Left Channel RMS Level = -30.0 dB",
               "Video Stream Duration: 4.00 sec -> 4:00 (secs:frames)",
               "*File ends inside a packet: the last packet lacks 12 bytes"})},
        {"not analysed",
         ErrorResult("gone.mpg", "No such file"),
         {"File under analysis: \"gone.mpg\"..!", "*No such file",
          "Result:", "Compliance Test: Fail!!"}},
    };
    for (const Case& c : cases) {
        std::vector<ShownLine> shown = ShownLines(c.result, {true, false});
        EXPECT_EQ(c.shown, Texts(shown)) << c.what;
        // Each line keeps its kind, and so its colour.
        for (const ShownLine& line : shown) {
            auto same = std::find_if(c.result.lines.begin(), c.result.lines.end(),
                                     [&](const ResultLine& l) { return l.text == line.text; });
            LineKind kind = same == c.result.lines.end() ? LineKind::Pass : same->kind;
            EXPECT_EQ(kind, line.kind) << c.what << ": " << line.text;
        }
    }
    // Without --errors-only every line stays.
    RunResult all = TwoStreamResult(true, true, true);
    EXPECT_EQ(all.lines.size(), ShownLines(all, {false, false}).size());
}

TEST(TextReport, ExplainNamesTheKeyBehindEachJudgedLine) {
    RunResult result = FailingResult("a.mpg");
    std::vector<std::string> explained = Texts(ShownLines(result, {false, true}));
    EXPECT_EQ("Horizontal Size = 720   [HorizontalSize = 720 pixels]", explained[3]);
    EXPECT_EQ("*Aspect Ratio = 4:3   [AspectRatio = 3: 16:9]", explained[4]);
    EXPECT_EQ("Frame Rate = 25 fps   [FrameRate not set]", explained[5]);
    EXPECT_EQ("Number of Frames = 50 -> 2.00 Sec", explained[2]);  // judged nothing
    // With --errors-only too.
    EXPECT_EQ((std::vector<std::string>{
                  "Begin Video Streams Summary:", "Elementary Stream E0 is a MPEG-2 Video Stream",
                  "*Aspect Ratio = 4:3   [AspectRatio = 3: 16:9]",
                  "*File ends inside a packet: the last packet lacks 12 bytes",
                  "Result:", "Compliance Test: Fail!!"}),
              Texts(ShownLines(result, {true, true})));
}

const RunStamp kStamp = {"/srv/qc/MpegReference.ini", std::string(4, 'a') + std::string(60, '0'),
                         "2026-12-11T07:22:23Z"};

TEST(JunitReport, OneSuitePerFileOneCasePerJudgedLine) {
    TempDir dir;
    std::vector<RunResult> results = {FailingResult("spots/<new> & \"final\".mpg"),
                                       ErrorResult("spots/gone.mpg", "No such file or directory")};
    std::string xml = RunJunitText(results, kStamp);
    std::string path = dir.WriteText("junit.xml", xml);
    // A CI viewer reads the counts off the root and each suite; an XML parser must accept it.
    EXPECT_EQ(
        "testsuites tests=5 failures=2 errors=1 skipped=1\n"
        "testsuite spots/<new> & \"final\".mpg tests=4 failures=2 errors=0 skipped=1\n"
        "testsuite spots/gone.mpg tests=1 failures=0 errors=1 skipped=0\n",
        JunitCounts(path));
    // A case is named by its key, and its failure holds the line.
    EXPECT_NE(std::string::npos,
              xml.find("<testcase name=\"Video.AspectRatio\" classname=\"Video\" time=\"0\">\n"
                       "      <failure message=\"*Aspect Ratio = 4:3\" type=\"Video.AspectRatio\">"
                       "*Aspect Ratio = 4:3   [AspectRatio = 3: 16:9]</failure>"));
    EXPECT_NE(std::string::npos,
              xml.find("<testcase name=\"report.File ends inside a packet: the last packet lacks # "
                       "bytes\" classname=\"report\" time=\"0\">\n      <failure message=\"*File "
                       "ends inside a packet: the last packet lacks 12 bytes\" type=\"report\">"));
    EXPECT_NE(std::string::npos, xml.find("<error message=\"No such file or directory\""));
    EXPECT_NE(std::string::npos, xml.find("<system-out>1024 bytes skipped"));
    // What judged the run, and when.
    EXPECT_NE(std::string::npos, xml.find(" timestamp=\"2026-12-11T07:22:23Z\">")) << xml;
    EXPECT_NE(std::string::npos,
              xml.find("<property name=\"profile\" value=\"/srv/qc/MpegReference.ini\"/>\n"
                       "      <property name=\"profile_sha256\" value=\"" +
                       kStamp.profileSha256 + "\"/>"));
    std::string none = RunJunitText(results, {"", "", "2026-12-11T07:22:23Z"});
    EXPECT_NE(std::string::npos, none.find("<property name=\"profile\" value=\"none\"/>"));
    EXPECT_EQ(std::string::npos, none.find("profile_sha256"));
}

// The names of a suite's cases, as the XML writes them.
std::vector<std::string> CaseNames(const std::string& xml) {
    std::vector<std::string> names;
    const std::string open = "<testcase name=\"";
    for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at)) {
        at += open.size();
        names.push_back(xml.substr(at, xml.find('"', at) - at));
    }
    return names;
}

ResultLine Judged(LineKind kind, const std::string& text, const char* section, const char* key,
                  double measured) {
    JudgedCheck check;
    check.kind = CheckKind::Range;
    check.outcome = kind == LineKind::Fail ? CheckOutcome::Failure : CheckOutcome::Pass;
    check.measured = measured;
    check.min = Key("", "", 1);
    check.max = Key(section, key, 15);
    return {kind, text, check, false};
}

// A CI server follows a case by its class and name, and merges cases that share both: a
// key's case keeps its name whatever the file measured, and no two cases of a file share
// one. A key judging several lines names each after what it is about; lines alike in two
// streams are numbered.
TEST(JunitReport, CaseNamesAreTheKeysDistinctAndFreeOfFigures) {
    JudgedCheck forced;
    forced.kind = CheckKind::Forced;
    forced.outcome = CheckOutcome::Failure;
    auto result = [&](int gop, double level, int bytes) {
        RunResult file;
        file.path = "a.mpg";
        file.verdict = FileVerdict::Fail;
        std::string n = std::to_string(gop);
        std::string db = CsvDecimal(level, 1);
        file.lines = {
            {LineKind::Fail,
             "*" + std::to_string(bytes) +
                 " bytes after the Program End Code hold another program (" +
                 std::to_string(bytes / 2048) + " packs)",
             {},
             false},
            {LineKind::Info, "Elementary Stream E0 is a MPEG-2 Video Stream", {}, true},
            {LineKind::Fail, "*Frame Rate = Invalid", forced, false},
            Judged(LineKind::Pass, "Max. frames per GOP (without first & last) = " + n, "Video",
                   "GOPLengthMax", gop),
            Judged(LineKind::Pass, "Min. frames per GOP (without first & last) = " + n, "Video",
                   "GOPLengthMax", gop),
            {LineKind::Pass, "Aspect Ratio = 16:9", Equal("AspectRatio", 3, 3), false},
            {LineKind::Fail,
             "*Elementary Stream E1 is a MPEG-1 Video Stream (Not Valid)!!",
             {},
             true},
            {LineKind::Fail, "*Frame Rate = Invalid", forced, false},
            {LineKind::Pass, "Aspect Ratio = 16:9", Equal("AspectRatio", 3, 3), false},
            Judged(LineKind::Pass, "Left Channel DC Level = " + db + " dBFS", "Audio", "MaxDCLevel",
                   level),
            Judged(LineKind::Fail, "*Right Channel DC Level = " + db + " dBFS", "Audio",
                   "MaxDCLevel", level),
            {LineKind::Fail, "Compliance Test: Fail!!", {}, false},
        };
        return file;
    };
    std::vector<std::string> names = CaseNames(RunJunitText({result(15, -100, 69632)}, kStamp));
    EXPECT_EQ((std::vector<std::string>{
                  "report.# bytes after the Program End Code hold another program (# packs)",
                  "report.Frame Rate",
                  "Video.GOPLengthMax: Max. frames per GOP (without first &amp; last)",
                  "Video.GOPLengthMax: Min. frames per GOP (without first &amp; last)",
                  "Video.AspectRatio",
                  "report.Elementary Stream E1 is a MPEG-1 Video Stream (Not Valid)!!",
                  "report.Frame Rate #2",
                  "Video.AspectRatio #2",
                  "Audio.MaxDCLevel: Left Channel DC Level",
                  "Audio.MaxDCLevel: Right Channel DC Level",
              }),
              names);
    EXPECT_EQ(names, CaseNames(RunJunitText({result(12, -20.6, 4096)}, kStamp)));
    // Each file is a suite of its own: the same names again.
    std::vector<std::string> twice =
        CaseNames(RunJunitText({result(15, -100, 69632), result(15, -100, 69632)}, kStamp));
    EXPECT_EQ(2 * names.size(), twice.size());
}

// The figures are the report's: "Average Bitrate = 2999 Kbps" for 2999.75 Kbps.
TEST(CsvSummary, OneRowPerFile) {
    RunResult passing = FailingResult("b.mpg");
    passing.verdict = FileVerdict::Pass;
    passing.lines = {{LineKind::Pass, "Compliance Test: Pass", {}, false}};
    // A refused stream (an MPEG-1 one) has no figures in the report, and none here; the
    // duration is the last measured stream's, as the report's.
    RunResult two = passing;
    two.path = "two.mpg";
    VideoStreamFigures refused;
    refused.id = 0xE1;
    refused.status = 2;
    VideoStreamFigures last = two.videoStreams[0];
    last.id = 0xE2;
    last.status = 6;  // no sequence end code: measured all the same
    last.horizontalSize = 352;
    last.durationSeconds = 3.9999;
    last.averageKbps = 100.99999;
    last.peakKbps = 350.0;
    last.gopLengthMax = 15;
    two.videoStreams.insert(two.videoStreams.begin() + 1, refused);
    two.videoStreams.push_back(last);
    std::vector<std::string> lines =
        SummaryCsvLines({FailingResult("spots/a, \"cut\".mpg"), passing,
                         ErrorResult("c.mpg", "File \"c.mpg\" is empty"), two},
                        kStamp);
    const std::string stamp =
        ",/srv/qc/MpegReference.ini," + kStamp.profileSha256 + ",2026-12-11T07:22:23Z";
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ(
        "path,verdict,duration_s,video_format,video_average_kbps,video_peak_kbps,"
        "gop_length,audio_format,failures,first_failure,profile,profile_sha256,analysed_at",
        lines[0]);
    EXPECT_EQ(
        "\"spots/a, \"\"cut\"\".mpg\",fail,2.00,MPEG-2 720x576 4:3 25 fps,2999,3000,12,"
        "MPEG-1 Layer II 192 kbit/s 48000 Hz joint stereo,2,*Aspect Ratio = 4:3" +
            stamp,
        lines[1]);
    EXPECT_EQ(
        "b.mpg,pass,2.00,MPEG-2 720x576 4:3 25 fps,2999,3000,12,"
        "MPEG-1 Layer II 192 kbit/s 48000 Hz joint stereo,0," +
            stamp,
        lines[2]);
    EXPECT_EQ("c.mpg,error,,,,,,,1,\"File \"\"c.mpg\"\" is empty\"" + stamp, lines[3]);
    EXPECT_EQ(
        "two.mpg,pass,4.00,MPEG-2 720x576 4:3 25 fps | MPEG-2 352x576 4:3 25 fps,2999 | 100,"
        "3000 | 350,12 | 15,MPEG-1 Layer II 192 kbit/s 48000 Hz joint stereo,0," +
            stamp,
        lines[4]);
}

// A long batch keeps only what the summary and the GOP and bitrate tables read.
TEST(CsvSummary, TheSameFromWhatABatchKeeps) {
    for (RunResult whole : {FailingResult("a.mpg"), ErrorResult("b.mpg", "gone")}) {
        for (bool series : {false, true}) {
            RunResult kept = whole;
            KeepForSummary(kept, series);
            EXPECT_EQ(SummaryCsvLines({whole}, kStamp), SummaryCsvLines({kept}, kStamp))
                << whole.path;
            EXPECT_EQ(FailureLines(whole).size() + 1, kept.lines.size());
            std::vector<VideoSeries> keptSeries = VideoSeriesOf(kept);
            EXPECT_EQ(series ? VideoSeriesOf(whole)
                             : std::vector<VideoSeries>(keptSeries.size(),
                                                        {0xE0, {}, {}, 2999.75, 0, {}}),
                      keptSeries);
        }
    }
}

// One stream or several, of one file or of many: every table has the same columns, so a
// pipeline reads one shape; the bitrate table holds only whole seconds.
TEST(SeriesCsv, EveryRowNamesItsFileAndStream) {
    VideoSeries e0{0xE0, {{"00:00:00:00", 12, "IBBP", true, true, false}}, {100.25}, 100.25, 0, {}};
    VideoSeries e1{0xE1, {{"00:00:00:00", 6, "BBIP", false, false, true}}, {}, 0, 0, {}};
    VideoSeries buffered = e0;
    buffered.vbvBufferBits = 1835008;
    buffered.vbv = {{1, 0, 1835008, 917504}, {2, 0.04, 1000000.75, 0}};
    LoudnessCurve c0{0xC0, {{0.1, -23.004, -std::numeric_limits<double>::infinity()}}};
    const std::string gopHeader =
        "File,Stream,GOP #,TimeCode,GOP Length,Structure,Closed?,Seq. Header?,Broken Link";
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"GOPs of one stream",
         GopCsvLines({{"a.mpg", e0}}),
         {gopHeader, "a.mpg,E0,1,00:00:00:00,12,IBBP,Yes,Yes,No"}},
        {"GOPs of two files",
         GopCsvLines({{"a.mpg", e0}, {"b,c.mpg", e1}}),
         {gopHeader, "a.mpg,E0,1,00:00:00:00,12,IBBP,Yes,Yes,No",
          "\"b,c.mpg\",E1,1,00:00:00:00,6,BBIP,No,No,Yes"}},
        {"no GOP", GopCsvLines({}), {gopHeader}},
        {"bitrates of one stream",
         BitrateCsvLines({{"a.mpg", e0}}),
         {"File,Stream,Second,Kilobits", "a.mpg,E0,1,100.250"}},
        {"bitrates of two streams, one without a whole second",
         BitrateCsvLines({{"a.mpg", e0}, {"a.mpg", e1}}),
         {"File,Stream,Second,Kilobits", "a.mpg,E0,1,100.250"}},
        {"no bitrate", BitrateCsvLines({}), {"File,Stream,Second,Kilobits"}},
        {"buffer of one stream, and one the model could not run on",
         VbvCsvLines({{"a.mpg", buffered}, {"a.mpg", e1}}),
         {"File,Stream,Picture,Seconds,Before (bits),After (bits),Before (%),After (%)",
          "a.mpg,E0,1,0.000,1835008,917504,100.000,50.000",
          "a.mpg,E0,2,0.040,1000001,0,54.496,0.000"}},
        {"loudness of one stream",
         LoudnessCsvLines({{"a.mpg", c0}}),
         {"File,Stream,Seconds,Momentary (LUFS),Short-Term (LUFS)", "a.mpg,C0,0.1,-23.00,-inf"}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, c.lines) << c.what;
}

const std::string kBundledProfile = ZEMBRA_DATA_DIR "/MpegReference.ini";

RunResult Analysed(const std::string& path, const std::string& profile, const std::string& text) {
    LoadReferenceProfileFromText(profile, text);
    RunResult result = AnalyseInThisProcess(path, false);
    ResetReportLog();
    return result;
}

// Every fixture and the sample, each analysed once against the bundled profile.
class RealStreams : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::vector<std::string> paths = {ZEMBRA_DATA_DIR "/sample.mpg"};
        for (const auto& entry : std::filesystem::directory_iterator(ZEMBRA_FIXTURE_DIR)) {
            std::string extension = entry.path().extension().string();
            if (extension == ".mpg" || extension == ".vob") paths.push_back(entry.path().string());
        }
        std::sort(paths.begin() + 1, paths.end());
        std::string profile = ReadText(kBundledProfile);
        for (const std::string& path : paths) {
            results_.push_back(Analysed(path, kBundledProfile, profile));
        }
        LoadNoReferenceProfile();
    }
    static void TearDownTestSuite() { results_.clear(); }

    static inline std::vector<RunResult> results_;
};

// The fields of one CSV row (RFC 4180 quoting).
std::vector<std::string> CsvFields(const std::string& row) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < row.size(); ++i) {
        char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// The first group of each report line that matches, joined as the summary joins streams.
std::string ReportFigures(const RunResult& result, const std::regex& line) {
    std::string figures;
    for (const ResultLine& each : result.lines) {
        std::smatch match;
        if (!std::regex_match(each.text, match, line)) continue;
        figures += (figures.empty() ? "" : " | ") + match[1].str();
    }
    return figures;
}

// The summary says what the report says: the same figures, to the same digit (a rounded
// 4011 beside the report's 4010 Kbps would be two answers to one question).
TEST_F(RealStreams, SummaryFiguresAreTheReportsFigures) {
    const std::regex average(R"(\*?Average Bitrate = (\d+) Kbps)");
    const std::regex peak(R"(\*?Peak Bitrate \(1 sec\) = (\d+) Kbps)");
    const std::regex gop(R"(\*?Max\. frames per GOP \(without first & last\) = (\d+))");
    const std::regex duration(R"(Video Stream Duration: ([0-9.]+) sec -> .*)");
    size_t withVideo = 0;
    for (const RunResult& result : results_) {
        std::vector<std::string> fields = CsvFields(SummaryCsvLines({result}, kStamp).at(1));
        ASSERT_EQ(13u, fields.size()) << result.path;
        std::string averages = ReportFigures(result, average);
        // Without a measured video stream the report's duration line reads 0.00, and the
        // summary leaves the column empty.
        EXPECT_EQ(averages.empty() ? "" : ReportFigures(result, duration), fields[2])
            << result.path;
        EXPECT_EQ(averages, fields[4]) << result.path;
        EXPECT_EQ(ReportFigures(result, peak), fields[5]) << result.path;
        EXPECT_EQ(ReportFigures(result, gop), fields[6]) << result.path;
        withVideo += !averages.empty();
    }
    EXPECT_LT(20u, withVideo);
}

// No two cases of a file's suite share a name, on every real stream.
TEST_F(RealStreams, JunitCaseNamesAreDistinctInEachFile) {
    for (const RunResult& result : results_) {
        std::vector<std::string> names = CaseNames(RunJunitText({result}, kStamp));
        std::set<std::string> distinct(names.begin(), names.end());
        EXPECT_EQ(names.size(), distinct.size()) << result.path;
    }
}

// A coded figure is written as its profile key takes it: the value the report's line
// measured, and a profile made of the JSON's values passes every line those keys judge
// (the header's mode 0, stereo, would have failed Mode, whose 0 accepts no mode).
TEST_F(RealStreams, CodedFiguresAreWrittenAsTheirKeysTakeThem) {
    struct Field {
        const char* streams;
        const char* name;
        const char* section;
        const char* key;
    };
    const Field fields[] = {
        {"videoStreams", "horizontalSize", "Video", "HorizontalSize"},
        {"videoStreams", "verticalSize", "Video", "VerticalSize"},
        {"videoStreams", "aspectRatioCode", "Video", "AspectRatio"},
        {"videoStreams", "frameRateCode", "Video", "FrameRate"},
        {"videoStreams", "vbvBufferSize", "Video", "VBVBufferSize"},
        {"videoStreams", "chromaFormat", "Video", "ChromaFormat"},
        {"videoStreams", "profileAndLevel", "Video", "ProfileAndLevel"},
        {"videoStreams", "pictureStructure", "Video", "PictureStructure"},
        {"videoStreams", "topFieldFirst", "Video", "TopFieldFirst"},
        {"videoStreams", "progressiveFrame", "Video", "ProgressiveFrame"},
        {"audioStreams", "layer", "Audio", "Layer"},
        {"audioStreams", "bitrateKbps", "Audio", "AudioBitrate"},
        {"audioStreams", "samplingFrequencyHz", "Audio", "SamplingFrequency"},
        {"audioStreams", "mode", "Audio", "Mode"},
        {"audioStreams", "emphasis", "Audio", "Emphasis"},
    };
    // Keys whose line measures the code itself; the others (chroma format, profile and
    // level) measure what the key accepts, and are judged by the profile below.
    const std::set<std::string> measuredAsIs = {
        "HorizontalSize",    "VerticalSize",  "AspectRatio",      "FrameRate", "VBVBufferSize",
        "PictureStructure",  "TopFieldFirst", "ProgressiveFrame", "Layer",     "AudioBitrate",
        "SamplingFrequency", "Mode",          "Emphasis"};
    std::set<std::string> modes;
    TempDir dir;
    for (const RunResult& result : results_) {
        if (result.verdict == FileVerdict::Error) continue;
        std::string profile;
        std::string section;
        const json document = ToJson(result);
        for (const Field& field : fields) {
            const json& streams = document.at(field.streams);
            // A stream read to its end, with or without a sequence end code (6).
            if (streams.empty() || (streams[0].at("status") != 0 && streams[0].at("status") != 6))
                continue;
            if (section != field.section) profile += std::string("[") + field.section + "]\n";
            section = field.section;
            profile += std::string(field.key) + "=" + streams[0].at(field.name).dump() + "\n";
            if (std::string(field.key) == "Mode") modes.insert(streams[0].at(field.name).dump());
            if (!measuredAsIs.count(field.key)) continue;
            // Held by name: a range over a temporary's member outlives the temporary.
            const json written = ToJson(result);
            for (const json& line : written.at("lines")) {
                const json* reference =
                    line.contains("check") ? &line["check"]["reference"] : nullptr;
                if (!reference || reference->is_null() || (*reference)["key"]["name"] != field.key)
                    continue;
                EXPECT_EQ(streams[0].at(field.name), line["check"]["measured"]["value"])
                    << result.path << " " << field.key << ": " << line["text"];
                break;
            }
        }
        if (profile.empty()) continue;  // no stream read to its end
        std::string path = dir.WriteText("profile.ini", profile);
        RunResult judged = Analysed(result.path, path, profile);
        EXPECT_TRUE(ProfileWarnings().empty()) << result.path << ": a value no key takes\n"
                                               << profile;
        size_t passed = 0;
        for (const ResultLine& line : judged.lines) {
            if (!line.check || !line.check->reference) continue;
            for (const Field& field : fields) {
                if (line.check->reference->key != field.key ||
                    profile.find(field.key) == std::string::npos)
                    continue;
                EXPECT_NE(CheckOutcome::Failure, line.check->outcome)
                    << result.path << " " << field.key << ": " << line.text << "\n"
                    << profile;
                passed += line.check->outcome == CheckOutcome::Pass;
            }
        }
        EXPECT_LT(0u, passed) << result.path;
    }
    LoadNoReferenceProfile();
    // Stereo, joint stereo and single channel among the fixtures.
    EXPECT_EQ((std::set<std::string>{"1", "2", "8"}), modes);
}

// Field pictures: the JSON's pictureStructure is the key's 0, which passes the stream,
// not the first picture's picture_structure 1 (top field), which no key takes.
TEST(CodedFigures, FieldPicturesAreThePictureStructureKeysZero) {
    PictureCodingFields top;
    top.pictureStructure = 1;
    PictureCodingFields bottom;
    bottom.pictureStructure = 2;
    PictureCodingFields frame;
    struct Case {
        const char* what;
        std::vector<PictureCodingFields> pictures;
        int code;
    };
    const Case cases[] = {
        {"frame pictures", {frame, frame}, 3},
        {"field pictures", {top, bottom, top, bottom}, 0},
        {"field pictures after a frame picture", {frame, top, bottom}, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        VideoEsBuilder v;
        v.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 0);
        for (const PictureCodingFields& f : c.pictures) v.Picture(1, 1, 50, f);
        std::string spot = dir.Write("spot.mpg", PacketizeVideo(v.EndCode().Build(), 500));
        std::string profile = "[Video]\nPictureStructure=" + std::to_string(c.code) + "\n";
        RunResult result = Analysed(spot, dir.WriteText("p.ini", profile), profile);
        ASSERT_EQ(1u, result.videoStreams.size()) << c.what;
        EXPECT_EQ(c.code, result.videoStreams[0].pictureStructure) << c.what;
        auto structure = std::find_if(result.lines.begin(), result.lines.end(), [](const auto& l) {
            return l.check && l.check->reference && l.check->reference->key == "PictureStructure";
        });
        ASSERT_NE(result.lines.end(), structure) << c.what;
        EXPECT_EQ(CheckOutcome::Pass, structure->check->outcome)
            << c.what << ": " << structure->text;
    }
    LoadNoReferenceProfile();
}

}  // namespace
