// zembra-cli's HTML page and its folder of reports: --format html to a file or standard
// output, --output-dir with a report a spot and an index, the names the reports take, and
// the outputs it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/report_folder.h"
#include "support/cli_run.h"
#include "support/output_checks.h"
#include "support/test_files.h"
#include "support/xhtml.h"

namespace {

const std::string kEbuProfile = ZEMBRA_DATA_DIR "/profiles/ebu-r128.ini";
const std::string kSample = ZEMBRA_DATA_DIR "/sample.mpg";

class HtmlOutputTest : public ::testing::Test {
  protected:
    CliRun Run(const std::string& args, const std::string& input = "/dev/null") {
        return RunCli(args, dir_.Path(), input);
    }
    std::string MakeFolder(const std::string& name) {
        std::string path = dir_.Path() + "/" + name;
        std::filesystem::create_directories(path);
        return path;
    }
    TempDir dir_;
};

std::unique_ptr<XNode> ReadPage(const std::string& path) {
    std::string error;
    std::unique_ptr<XNode> root = ReadXhtml(ReadText(path), error);
    EXPECT_NE(nullptr, root) << path << ": " << error;
    // And by a reader of its own: Python's XML parser.
    CommandOutput parsed =
        RunCommand("python3 -c 'import sys, xml.etree.ElementTree as E; E.parse(sys.argv[1])' " +
                   Quoted(path));
    EXPECT_EQ(0, parsed.exitCode) << path << ": " << parsed.text;
    return root;
}

// The report's lines as a text run prints them, less those that change from run to run
// (the version line's time, the processing time).
std::vector<std::string> StableLines(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (line.starts_with("Zembra v") || line.starts_with("Processing time:")) continue;
        kept.push_back(line);
    }
    return kept;
}

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> PageLines(const XNode& page, const std::string& prefix = "") {
    std::vector<std::string> lines;
    for (const XNode* line : page.ById(prefix + "report")->AllOfClass("line")) {
        lines.push_back(line->Text());
    }
    return lines;
}

// The page of one spot holds the text report line for line, whatever the profile asks the
// analysis for: the graphs ask it for nothing that would add a line. Each failure links to
// its line; the limits the profile sets are drawn.
TEST_F(HtmlOutputTest, APageHoldsTheTextReportAndItsGraphs) {
    std::string limits = dir_.WriteText(
        "limits.ini",
        "[Video]\nVideoAvgBitrate=3000\nVideoPeakBitrate=15000\n[Audio]\nDecodeAudio=1\n");
    struct Case {
        std::string spot;
        std::string profile;
        int exitCode;
        std::vector<std::string> graphs;
        std::vector<std::pair<std::string, std::string>> levels;  // data-key, data-value
    };
    const Case cases[] = {
        {FixturePath("mp2_clipping.mpg"),
         kEbuProfile,
         1,
         {"graph-loudness-C0"},
         {{"LoudnessTarget", "-23.00"}}},
        // Audio decoded, loudness judged by no key: no curve, and no loudness lines.
        {kSample,
         limits,
         1,
         {"graph-bitrate-E0", "graph-vbv-E0"},
         {{"VideoAvgBitrate", "3000.00"}, {"VideoPeakBitrate", "15000.00"}}},
        {kSample,
         ZEMBRA_DATA_DIR "/MpegReference.ini",
         0,
         {"graph-bitrate-E0", "graph-vbv-E0"},
         {{"VideoAvgBitrate", "9000.00"}, {"VideoPeakBitrate", "15000.00"}}},
    };
    for (const Case& c : cases) {
        std::string html = dir_.Path() + "/r.html";
        std::string args = "--profile " + Quoted(c.profile) + " ";
        CliRun run = Run(args + "--format html --output " + Quoted(html) + " " + Quoted(c.spot));
        EXPECT_EQ(c.exitCode, run.exitCode) << c.spot << run.err;
        EXPECT_EQ("", run.out);
        EXPECT_EQ("", run.err);
        auto page = ReadPage(html);
        ASSERT_NE(nullptr, page) << c.spot;
        CliRun text = Run("--no-color " + args + Quoted(c.spot));
        EXPECT_EQ(StableLines(TextLines(text.out)), StableLines(PageLines(*page))) << c.spot;
        const XNode* banner = page->ById("verdict");
        ASSERT_NE(nullptr, banner);
        EXPECT_TRUE(banner->HasClass(c.exitCode == 0 ? "pass" : "fail")) << c.spot;

        std::vector<std::string> failures;
        for (const XNode* link : page->ById("failures")->AllTagged("a")) {
            const XNode* line = page->ById(link->Attribute("href").substr(1));
            ASSERT_NE(nullptr, line) << link->Attribute("href");
            EXPECT_EQ(link->Text(), line->Text());
            failures.push_back(line->Text());
        }
        EXPECT_EQ(FailureLinesOf(text.out), failures) << c.spot;

        std::vector<const XNode*> svgs = page->AllTagged("svg");
        std::vector<std::string> ids;
        for (const XNode* svg : svgs) ids.push_back(svg->Attribute("id"));
        EXPECT_EQ(c.graphs, ids) << c.spot;
        std::vector<std::pair<std::string, std::string>> levels;
        for (const XNode* svg : svgs) {
            for (const XNode* level : svg->All([](const XNode& n) {
                     return n.HasClass("level") && !n.Attribute("data-key").empty();
                 })) {
                levels.emplace_back(level->Attribute("data-key"), level->Attribute("data-value"));
            }
        }
        EXPECT_EQ(c.levels, levels) << c.spot;
    }
    // On standard output without --output: the same page.
    CliRun out = Run("--profile " + Quoted(kEbuProfile) + " --format html " +
                     Quoted(FixturePath("mp2_clipping.mpg")));
    EXPECT_EQ(1, out.exitCode);
    std::string error;
    auto page = ReadXhtml(out.out, error);
    ASSERT_NE(nullptr, page) << error;
    EXPECT_TRUE(page->ById("verdict")->HasClass("fail"));
    EXPECT_NE(nullptr, page->ById("graph-loudness-C0"));
}

// Several spots to one file: one page, the index first, each spot's ids of its own.
TEST_F(HtmlOutputTest, SeveralSpotsToOneFileShareAPage) {
    std::string good = dir_.Write("good.mpg", MakeSimpleStream(2));
    std::string missing = dir_.Path() + "/missing.mpg";
    std::string html = dir_.Path() + "/all.html";
    CliRun run = Run("--no-profile --format html --output " + Quoted(html) + " " + Quoted(good) +
                     " " + Quoted(missing));
    EXPECT_EQ(3, run.exitCode) << run.err;
    auto page = ReadPage(html);
    ASSERT_NE(nullptr, page);
    std::vector<const XNode*> links = page->AllTagged("tbody").at(0)->AllTagged("a");
    ASSERT_EQ(2u, links.size());
    EXPECT_EQ("#spot-1", links[0]->Attribute("href"));
    EXPECT_EQ(good, links[0]->Text());
    EXPECT_EQ("#spot-2", links[1]->Attribute("href"));
    EXPECT_EQ("article", page->ById("spot-2")->tag);
    EXPECT_TRUE(page->ById("spot-2-verdict")->HasClass("error"));
    EXPECT_TRUE(page->ById("spot-1-verdict")->HasClass("pass"));
    EXPECT_EQ(nullptr, page->ById("verdict"));
}

// A report a spot, named after it, "-2" for a second spot of one name (letter case aside),
// and an index that links each; a second run into the folder replaces them.
TEST_F(HtmlOutputTest, OutputDirWritesAReportASpotAndAnIndex) {
    std::string first = MakeFolder("a") + "/spot.mpg";
    std::string second = MakeFolder("b") + "/spot.mpg";
    std::string third = MakeFolder("c") + "/Spot.MPG";
    for (const std::string& path : {first, third}) {
        dir_.Write(path.substr(dir_.Path().size() + 1), MakeSimpleStream(2));
    }
    dir_.Write("b/spot.mpg", MakeSimpleStream(2, false));
    std::string profile =
        dir_.WriteText("p.ini", "[System]\nMPEGPackSize=2048\nProgramEndCodeRequired=0\n");
    std::string out = dir_.Path() + "/reports";
    std::string args = "--profile " + Quoted(profile) + " --format html --output-dir " +
                       Quoted(out) + " " + Quoted(first) + " " + Quoted(second) + " " +
                       Quoted(third);
    for (int pass = 0; pass < 2; ++pass) {
        CliRun run = Run(args);
        EXPECT_EQ(1, run.exitCode) << run.err;
        EXPECT_EQ("", run.out);
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(out)) {
            names.insert(entry.path().filename().string());
        }
        EXPECT_EQ((std::set<std::string>{"spot.mpg.html", "spot.mpg-2.html", "Spot.MPG-3.html",
                                         "index.html"}),
                  names);
        const struct {
            std::string name;
            std::string path;
            std::string verdict;
        } reports[] = {{"spot.mpg.html", first, "pass"},
                       {"spot.mpg-2.html", second, "fail"},
                       {"Spot.MPG-3.html", third, "pass"}};
        auto index = ReadPage(out + "/index.html");
        ASSERT_NE(nullptr, index);
        std::vector<const XNode*> rows = index->AllTagged("tbody").at(0)->AllTagged("tr");
        ASSERT_EQ(3u, rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const XNode* link = rows[i]->AllTagged("a").at(0);
            EXPECT_EQ(reports[i].name, link->Attribute("href"));
            EXPECT_EQ(reports[i].path, link->Text());
            EXPECT_EQ(reports[i].verdict, rows[i]->AllOfClass("verdict").at(0)->Text());
            auto report = ReadPage(out + "/" + reports[i].name);
            ASSERT_NE(nullptr, report);
            EXPECT_EQ(reports[i].path, report->AllOfClass("file").at(0)->Text());
            EXPECT_TRUE(report->ById("verdict")->HasClass(reports[i].verdict));
        }
    }
}

// Each format's report a spot, as --output holds it for one file.
TEST_F(HtmlOutputTest, OutputDirTakesEveryFormat) {
    std::string good = dir_.Write("good.mpg", MakeSimpleStream(2));
    std::string other = MakeFolder("x") + "/good.mpg";
    dir_.Write("x/good.mpg", MakeSimpleStream(2));
    std::string spots = Quoted(good) + " " + Quoted(other);
    for (const char* format : {"text", "json", "jsonl", "junit"}) {
        std::string out = MakeFolder(std::string("out-") + format);
        CliRun run = Run(std::string("--no-profile --format ") + format + " --output-dir " +
                         Quoted(out) + " " + spots);
        EXPECT_EQ(0, run.exitCode) << format << run.err;
        for (const char* name : {"good.mpg", "good.mpg-2"}) {
            std::string path = out + "/" + name;
            std::string spot = std::string(name) == "good.mpg" ? good : other;
            if (std::string(format) == "text") {
                std::string report = ReadText(path + ".txt");
                EXPECT_NE(std::string::npos,
                          report.find("\r\nFile under analysis: \"" + spot + "\"..!\r\n"))
                    << report;
                EXPECT_TRUE(report.ends_with("Compliance Test: Pass\r\n \r\nEnd.\r\n \r\n"));
                EXPECT_NE(std::string::npos, run.out.find("File under analysis: \"" + spot));
            } else if (std::string(format) == "json") {
                EXPECT_EQ("", SchemaErrors(path + ".json"));
                std::string json = ReadText(path + ".json");
                EXPECT_NE(std::string::npos, json.find("\"path\":\"" + spot + "\"")) << json;
                EXPECT_EQ("", run.out);
            } else if (std::string(format) == "jsonl") {
                std::vector<std::string> lines = ReadLines(path + ".jsonl");
                ASSERT_EQ(1u, lines.size());
                EXPECT_TRUE(lines[0].starts_with("{\"path\":\"" + spot + "\"")) << lines[0];
            } else {
                EXPECT_EQ(0u, JunitCounts(path + ".xml").find("testsuites tests=")) << path;
                EXPECT_NE(std::string::npos, ReadText(path + ".xml").find(spot));
            }
        }
        EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(out),
                                   std::filesystem::directory_iterator()))
            << format;
    }
}

// A report never replaces what an output may not: a file to analyse, the profile or a
// media file under the name it would take; it takes the next name instead.
TEST_F(HtmlOutputTest, AReportPassesOverNamesItMayNotTake) {
    std::string spot = dir_.Write("spot.mpg", MakeSimpleStream(2));
    std::string out = MakeFolder("reports");
    std::string taken = out + "/spot.mpg.html";
    struct Case {
        const char* what;
        Bytes bytes;
        bool asInput;
        bool asProfile;
    };
    const std::string profileText = "[System]\nMPEGPackSize=2048\n";
    const Case cases[] = {
        {"a spot renamed", MakeSimpleStream(1), false, false},
        {"a file to analyse", Bytes{'n', 'o', 't', 'e'}, true, false},
        {"the profile", Bytes(profileText.begin(), profileText.end()), false, true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        dir_.Write("reports/spot.mpg.html", c.bytes);
        std::string profile = c.asProfile ? taken : dir_.WriteText("p.ini", profileText);
        CliRun run = Run("--profile " + Quoted(profile) + " --format html --output-dir " +
                         Quoted(out) + " " + Quoted(spot) + (c.asInput ? " " + Quoted(taken) : ""));
        EXPECT_EQ(c.asInput ? 3 : 0, run.exitCode) << c.what << run.err;
        EXPECT_EQ(c.bytes, ReadFileBytes(taken)) << c.what;
        auto report = ReadPage(out + "/spot.mpg-2.html");
        ASSERT_NE(nullptr, report) << c.what;
        EXPECT_EQ(spot, report->AllOfClass("file").at(0)->Text()) << c.what;
        auto index = ReadPage(out + "/index.html");
        ASSERT_NE(nullptr, index);
        EXPECT_EQ("spot.mpg-2.html",
                  index->AllTagged("tbody").at(0)->AllTagged("a").at(0)->Attribute("href"));
    }
}

// The folder and its index are checked before anything is analysed: a bad one is a usage
// error, and nothing is written.
TEST_F(HtmlOutputTest, OutputDirRefusals) {
    std::string spot = dir_.Write("spot.mpg", MakeSimpleStream(2));
    std::string file = dir_.WriteText("file.txt", "x\n");
    std::string withMedia = MakeFolder("media");
    dir_.Write("media/index.html", MakeSimpleStream(1));
    std::string empty = MakeFolder("empty");
    const std::string fresh = dir_.Path() + "/fresh";
    const struct {
        std::string args;
        std::string why;
    } cases[] = {
        {"--output-dir " + Quoted(empty) + " --output r.html", "does not go with --output"},
        {"--output-dir -", "--output-dir needs a folder, not standard output"},
        {"--output-dir " + Quoted(file), "--output-dir \"" + file + "\" is a file, not a folder"},
        {"--output-dir " + Quoted(spot), "is a file, not a folder"},
        {"--output-dir " + Quoted(dir_.Path() + "/no/such"),
         "cannot be made: folder \"" + dir_.Path() + "/no\": No such file or directory"},
        {"--output-dir " + Quoted(fresh) + " --summary " + Quoted(fresh),
         "--summary \"" + fresh + "\" is the folder of --output-dir"},
        {"--format html --output-dir " + Quoted(withMedia),
         "--output-dir \"" + withMedia + "/index.html\" is a media file"},
        {"--format html --output-dir " + Quoted(empty) + " --summary " +
             Quoted(empty + "/index.html"),
         "--output-dir \"" + empty + "/index.html\" is also the file of --summary"},
    };
    Bytes media = ReadFileBytes(withMedia + "/index.html");
    for (const auto& c : cases) {
        CliRun run = Run("--no-profile " + c.args + " " + Quoted(spot));
        EXPECT_EQ(2, run.exitCode) << c.args;
        EXPECT_NE(std::string::npos, run.err.find(c.why)) << c.args << "\n" << run.err;
        EXPECT_EQ("", run.out) << c.args;
        EXPECT_TRUE(std::filesystem::is_empty(empty)) << c.args;
        EXPECT_FALSE(std::filesystem::exists(fresh)) << c.args;
        EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/no")) << c.args;
        EXPECT_EQ(media, ReadFileBytes(withMedia + "/index.html")) << c.args;
    }
    CliRun makeProfile = Run("--make-profile " + Quoted(spot) + " --output-dir " + Quoted(empty));
    EXPECT_EQ(2, makeProfile.exitCode);
    EXPECT_NE(std::string::npos, makeProfile.err.find("does not go with --output-dir"));
    // A listed path that names the index is not analysed.
    std::string list = dir_.WriteText("list.txt", empty + "/index.html\n");
    CliRun listed = Run("--no-profile --format html --output-dir " + Quoted(empty) + " -", list);
    EXPECT_EQ(3, listed.exitCode);
    EXPECT_NE(std::string::npos,
              ReadText(empty + "/index.html").find("is the --output-dir output of this run"));
}

TEST(CliOptions, FormatHtmlAndOutputDir) {
    std::string error;
    auto options = ParseCliOptions({"--format", "html", "--output-dir", "qc/", "a.mpg"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(OutputFormat::Html, options->format);
    EXPECT_EQ("qc/", options->outputDir);
    EXPECT_FALSE(ParseCliOptions({"--format", "pdf", "a.mpg"}, error));
    EXPECT_NE(std::string::npos, error.find("is not text, json, jsonl, junit or html")) << error;
    struct Case {
        OutputFormat format;
        const char* extension;
    };
    for (const Case& c : {Case{OutputFormat::Text, ".txt"}, Case{OutputFormat::Json, ".json"},
                          Case{OutputFormat::JsonLines, ".jsonl"},
                          Case{OutputFormat::Junit, ".xml"}, Case{OutputFormat::Html, ".html"}}) {
        EXPECT_EQ(c.extension, std::string(ReportExtension(c.format)));
    }
}

TEST(ReportFolder, NamesEachReportAfterItsSpotOnce) {
    std::set<std::string> refused = {"out/refused.mpg.html"};
    ReportFolder folder("out/", ".html", {"index.html"},
                        [&](const std::string& path) { return refused.count(path) == 0; });
    struct Case {
        std::string spot;
        std::string name;
    };
    const Case cases[] = {
        {"/in/a/spot.mpg", "spot.mpg.html"},
        {"/in/b/spot.mpg", "spot.mpg-2.html"},
        {"SPOT.mpg", "SPOT.mpg-3.html"},  // a share from Windows would mix them up
        {"spot.mpg-2", "spot.mpg-2-2.html"},
        {"/in/index", "index-2.html"},  // the index's name is the run's
        {"/in/refused.mpg", "refused.mpg-2.html"},
        {"/in/folder/", "spot.html"},
        {".", "spot-2.html"},
        {"caf\xC3\xA9 #1.vob", "caf\xC3\xA9 #1.vob.html"},
        {std::string(300, 'a') + ".mpg", std::string(230, 'a') + ".html"},
        // A long name is cut whole characters at a time.
        {std::string(229, 'b') + "\xC3\xA9" + ".mpg", std::string(229, 'b') + ".html"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.name, folder.Take(c.spot)) << c.spot;
    EXPECT_EQ("out/spot.mpg.html", folder.PathOf("spot.mpg.html"));
}

}  // namespace
