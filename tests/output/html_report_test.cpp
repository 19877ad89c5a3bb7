// The HTML report and index, read back as the structured documents they are: the banner,
// the failure links and what they say of each key, the report's lines in their kinds, the
// graphs with their axes and limits, escaping, and the pages of results without figures.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <set>

#include "output/html_report.h"
#include "output/key_text.h"
#include "support/xhtml.h"

namespace {

JudgedValue Key(const char* section, const char* key, double value, bool set = true) {
    return {section, key, value, set};
}

JudgedCheck Equal(const char* key, double measured, double reference) {
    JudgedCheck check;
    check.kind = CheckKind::Equal;
    check.outcome = measured == reference ? CheckOutcome::Pass : CheckOutcome::Failure;
    check.measured = measured;
    check.reference = Key("Video", key, reference);
    check.unit = KeyUnit(key);
    return check;
}

// A bitrate line: a fixed minimum of 0, the key as maximum.
JudgedCheck Bitrate(const char* key, double measured, double max, bool set = true) {
    JudgedCheck check;
    check.kind = CheckKind::Range;
    check.outcome = !set             ? CheckOutcome::Information
                    : measured > max ? CheckOutcome::Failure
                                     : CheckOutcome::Pass;
    check.measured = measured;
    check.min = Key("", "", 0);
    check.max = Key("Video", key, max, set);
    check.unit = "Kbps";
    return check;
}

JudgedCheck Window(const char* low, const char* high, double measured, double min, double max,
                   const char* unit) {
    JudgedCheck check;
    check.kind = CheckKind::RealRange;
    check.outcome = measured < min   ? CheckOutcome::Warning
                    : measured > max ? CheckOutcome::Failure
                                     : CheckOutcome::Pass;
    check.measured = measured;
    check.min = Key("Audio", low, min);
    check.max = Key("Audio", high, max);
    check.unit = unit;
    return check;
}

JudgedCheck Forced() {
    JudgedCheck check;
    check.kind = CheckKind::Forced;
    check.outcome = CheckOutcome::Failure;
    return check;
}

constexpr double kSilence = -std::numeric_limits<double>::infinity();

// A failing file with a video and an audio stream, their series, and a failure of each
// sort: a key's, a range's, a loudness window's, a warning that fails, a line no key
// judges, a line that fails whatever the profile says.
RunResult SpotResult(const std::string& path, bool limitsSet = true) {
    RunResult result;
    result.path = path;
    result.sizeBytes = 1234567;
    result.verdict = FileVerdict::Fail;
    result.lines = {
        {LineKind::Heading, "Zembra v1.4.0.131 - 12/11/26  08:07:53", {}, false},     // 1
        {LineKind::Heading, "Reference profile: \"/srv/qc/p.ini\"", {}, false},       // 2
        {LineKind::Heading, " ", {}, false},                                          // 3
        {LineKind::Heading, "File under analysis: \"" + path + "\"..!", {}, false},   // 4
        {LineKind::Heading, "Begin Video Streams Summary:", {}, false},               // 5
        {LineKind::Info, "Elementary Stream E0 is a MPEG-2 Video Stream", {}, true},  // 6
        {LineKind::Pass, "Horizontal Size = 720", Equal("HorizontalSize", 720, 720), false},
        {LineKind::Fail, "*Aspect Ratio = 4:3", Equal("AspectRatio", 2, 3), false},  // 8
        {LineKind::Pass, "Average Bitrate = 3800 Kbps",
         Bitrate("VideoAvgBitrate", 3800, 5000, limitsSet), false},
        {limitsSet ? LineKind::Fail : LineKind::Info,
         std::string(limitsSet ? "*" : "") + "Peak Bitrate (1 sec) = 4210 Kbps",
         Bitrate("VideoPeakBitrate", 4210, limitsSet ? 4000 : 65535, limitsSet), false},  // 10
        {LineKind::Warning, "1024 bytes skipped before the first sequence header", {}, false},
        {LineKind::Heading, "Begin Audio Streams Summary:", {}, false},
        {LineKind::Info, "Elementary Stream C0 is a MPEG Audio Stream", {}, true},
        {LineKind::Warning, "*Left Channel RMS Level = -40.0 dB",
         Window("RMSReference", "RMSTolerance", -40, -20, -17, "dB"), false},  // 14
        {limitsSet ? LineKind::Fail : LineKind::Info,
         std::string(limitsSet ? "*" : "") + "Integrated Loudness = -19.5 LUFS",
         Window("LoudnessTarget", "LoudnessTolerance", -19.5, limitsSet ? -24 : 1000,
                limitsSet ? -22 : 1000, "LUFS"),
         false},                                           // 15
        {LineKind::Fail, "*Bad ID Bit", Forced(), false},  // 16
        {LineKind::Fail, "*File ends inside a packet: the last packet lacks 12 bytes", {}, false},
        {LineKind::Heading, "Result:", {}, false},
        {LineKind::Fail, "Compliance Test: Fail!!", {}, false},  // 19
        {LineKind::Heading, "End.", {}, false},
    };
    if (!limitsSet) {
        result.lines[14].check->min->set = false;
        result.lines[14].check->max->set = false;
    }
    VideoStreamFigures video;
    video.id = 0xE0;
    video.averageKbps = 3800.7;
    video.peakKbps = 4210;
    video.series.streamId = 0xE0;
    video.series.kilobitsPerSecond = {3000, 4210, 3500, 2800};
    video.series.averageKbps = 3800.7;
    video.series.vbvBufferBits = 1835008;
    video.series.vbv = {
        {1, 0, 900000, 700000}, {2, 0.04, 1800000, 1000000}, {3, 0.08, 1200000, 400000}};
    result.videoStreams = {video};
    AudioStreamFigures audio;
    audio.id = 0xC0;
    audio.decoded = true;
    LoudnessFigures loudness;
    loudness.integratedLufs = -19.5;
    LoudnessCurve curve;
    curve.streamId = 0xC0;
    // Five seconds, silent from 2.0 to 2.5 s.
    for (int i = 1; i <= 50; ++i) {
        double seconds = i / 10.0;
        bool silent = seconds >= 2.0 && seconds < 2.5;
        curve.points.push_back(
            {seconds, silent ? kSilence : -20.0 - (i % 7), silent ? kSilence : -21.0 - (i % 3)});
    }
    loudness.curve = curve;
    audio.loudness = loudness;
    result.audioStreams = {audio};
    return result;
}

RunStamp Stamp() {
    return {"/srv/qc/p.ini", "4f71cb6f011a3240e0ee9952cea696d4a79dae1128fbcbba61b841be99308c4e",
            "2026-12-11T07:22:23Z"};
}

std::unique_ptr<XNode> Read(const std::string& page) {
    std::string error;
    std::unique_ptr<XNode> root = ReadXhtml(page, error);
    EXPECT_NE(nullptr, root) << error;
    return root;
}

// The links of the failure table, each with the line its text is.
struct FailureRow {
    std::string href;
    std::string text;
    std::string key;
    std::string expected;
};

std::vector<FailureRow> FailureRows(const XNode& page, const std::string& prefix = "") {
    std::vector<FailureRow> rows;
    const XNode* section = page.ById(prefix + "failures");
    if (!section) return rows;
    for (const XNode* row : section->AllTagged("tr")) {
        std::vector<const XNode*> links = row->AllTagged("a");
        if (links.empty()) continue;  // the head
        const XNode* key = row->AllOfClass("key").at(0);
        const XNode* expected = row->AllOfClass("expected").at(0);
        rows.push_back(
            {links[0]->Attribute("href"), links[0]->Text(), key->Text(), expected->Text()});
    }
    return rows;
}

const XNode* Svg(const XNode& page, const std::string& id) {
    const XNode* svg = page.ById(id);
    EXPECT_NE(nullptr, svg) << id;
    if (svg) {
        EXPECT_EQ("svg", svg->tag);
    }
    return svg;
}

// Value to position along an axis, from the axis's first and last tick labels.
struct Axis {
    double value0, position0, value1, position1;
    double ValueAt(double position) const {
        return value0 + (position - position0) * (value1 - value0) / (position1 - position0);
    }
};

// The labels are 4 px below their tick on the y axis (text baseline), on it on the x axis.
Axis AxisOf(const XNode& svg, const char* which) {
    const XNode* group = svg.AllOfClass(which).at(0);
    std::vector<const XNode*> ticks = group->AllOfClass("tick");
    EXPECT_GE(ticks.size(), 3u) << which;
    bool y = std::string(which) == "y-axis";
    auto position = [&](const XNode* tick) {
        return y ? std::stod(tick->Attribute("y")) - 4 : std::stod(tick->Attribute("x"));
    };
    return {std::stod(ticks.front()->Text()), position(ticks.front()),
            std::stod(ticks.back()->Text()), position(ticks.back())};
}

std::vector<std::pair<double, double>> PointsOf(const XNode& polyline) {
    std::vector<std::pair<double, double>> points;
    std::istringstream text(polyline.Attribute("points"));
    for (std::string pair; text >> pair;) {
        size_t comma = pair.find(',');
        points.emplace_back(std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1)));
    }
    return points;
}

std::string LevelValue(const XNode& svg, const std::string& key) {
    for (const XNode* line : svg.AllOfClass("level")) {
        if (line->Attribute("data-key") == key) return line->Attribute("data-value");
    }
    return "";
}

TEST(HtmlReport, BannerFailuresAndReportOfAFailingSpot) {
    RunResult result = SpotResult("/ingest/today/spot.mpg");
    std::string page = HtmlReportText(result, Stamp());
    auto root = Read(page);
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("html", root->tag);
    EXPECT_TRUE(
        page.starts_with("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>"));

    // At the top: the file, the profile and its SHA-256, the date, then the banner.
    EXPECT_EQ("spot.mpg", root->AllOfClass("file-name").at(0)->Text());
    EXPECT_EQ("/ingest/today/spot.mpg", root->AllOfClass("file").at(0)->Text());
    EXPECT_EQ("/srv/qc/p.ini", root->AllOfClass("profile").at(0)->Text());
    EXPECT_EQ(Stamp().profileSha256, root->AllOfClass("sha").at(0)->Text());
    EXPECT_EQ("2026-12-11T07:22:23Z", root->AllOfClass("date").at(0)->Text());
    const XNode* banner = root->ById("verdict");
    ASSERT_NE(nullptr, banner);
    EXPECT_TRUE(banner->HasClass("banner") && banner->HasClass("fail"));
    EXPECT_EQ("FAIL", banner->AllOfClass("word").at(0)->Text());
    EXPECT_EQ("Compliance Test: Fail!!", banner->AllOfClass("verdict-line").at(0)->Text());
    EXPECT_EQ("#line-19", banner->AllTagged("a").at(0)->Attribute("href"));
    EXPECT_LT(page.find("id=\"verdict\""), page.find("id=\"failures\""));
    EXPECT_LT(page.find("id=\"failures\""), page.find("id=\"report\""));
    EXPECT_LT(page.find("id=\"report\""), page.find("id=\"graphs\""));

    // Each failure links to its own line, with the key that judged it and the value the
    // profile holds, as --explain gives them.
    const std::vector<FailureRow> expected = {
        {"#line-8", "*Aspect Ratio = 4:3", "[Video] AspectRatio", "AspectRatio = 3: 16:9"},
        {"#line-10", "*Peak Bitrate (1 sec) = 4210 Kbps", "[Video] VideoPeakBitrate",
         "VideoPeakBitrate = 4000 Kbps"},
        {"#line-14", "*Left Channel RMS Level = -40.0 dB", "[Audio] RMSReference, RMSTolerance",
         "RMSReference = -20 dB, RMSTolerance = 3 dB"},
        {"#line-15", "*Integrated Loudness = -19.5 LUFS",
         "[Audio] LoudnessTarget, LoudnessTolerance",
         "LoudnessTarget = -23 LUFS, LoudnessTolerance = 1 LU"},
        {"#line-16", "*Bad ID Bit", "no key", "fails whatever the profile says"},
        {"#line-17", "*File ends inside a packet: the last packet lacks 12 bytes", "no key",
         "fails whatever the profile says"},
    };
    std::vector<FailureRow> rows = FailureRows(*root);
    ASSERT_EQ(expected.size(), rows.size());
    std::vector<const ResultLine*> failures = FailureLines(result);
    ASSERT_EQ(expected.size(), failures.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(expected[i].href, rows[i].href);
        EXPECT_EQ(expected[i].text, rows[i].text);
        EXPECT_EQ(expected[i].key, rows[i].key) << rows[i].text;
        EXPECT_EQ(expected[i].expected, rows[i].expected) << rows[i].text;
        const XNode* target = root->ById(rows[i].href.substr(1));
        ASSERT_NE(nullptr, target) << rows[i].href;
        EXPECT_EQ(failures[i]->text, target->Text());
        EXPECT_TRUE(target->HasClass(LineKindName(failures[i]->kind))) << rows[i].href;
    }
    EXPECT_EQ("Failures (6)", root->ById("failures")->AllTagged("h2").at(0)->Text());

    // The whole report, every line as it is, in its kind's class, in order.
    std::vector<const XNode*> lines = root->ById("report")->AllOfClass("line");
    ASSERT_EQ(result.lines.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(result.lines[i].text, lines[i]->Text());
        EXPECT_EQ("line-" + std::to_string(i + 1), lines[i]->Attribute("id"));
        EXPECT_TRUE(lines[i]->HasClass(LineKindName(result.lines[i].kind))) << i;
        EXPECT_EQ("pre", lines[i]->parent->tag);
    }
    // Self-contained: nothing fetched, nothing run.
    for (const char* outside :
         {"<script", "<link", "src=", "http:", "https:", "@import", "url(http"}) {
        EXPECT_EQ(std::string::npos, page.find(outside)) << outside;
    }
    // Printable on A4, the banner and failures before the report's page break.
    for (const char* rule :
         {"@page { size: A4;", "@media print", "section.report { break-before: page;",
          "figure.graph { margin: 1em 0; break-inside: avoid;"}) {
        EXPECT_NE(std::string::npos, page.find(rule)) << rule;
    }
}

// WCAG 2's contrast ratio of two "#rrggbb" colours.
double Contrast(const std::string& a, const std::string& b) {
    auto luminance = [](const std::string& colour) {
        double sum = 0;
        const double weights[] = {0.2126, 0.7152, 0.0722};
        for (int i = 0; i < 3; ++i) {
            double c = std::stoi(colour.substr(1 + 2 * i, 2), nullptr, 16) / 255.0;
            c = c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
            sum += weights[i] * c;
        }
        return sum;
    };
    double la = luminance(a);
    double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Every text colour reads on its background at 4.5:1 at least.
TEST(HtmlReport, TextColoursHaveContrastOnTheirBackground) {
    std::string page = HtmlReportText(SpotResult("a.mpg"), Stamp());
    std::string style =
        page.substr(page.find("<style>"), page.find("</style>") - page.find("<style>"));
    auto property = [&](const std::string& selector, const std::string& name) {
        std::smatch match;
        std::regex rule(
            std::regex_replace(selector, std::regex(R"([.*+?^${}()|\[\]\\])"), R"(\$&)") +
            R"( \{[^}]*)" + name + R"(: (#[0-9a-f]{6}))");
        EXPECT_TRUE(std::regex_search(style, match, rule)) << selector << " " << name;
        return match.size() > 1 ? match[1].str() : std::string("#ffffff");
    };
    std::string page_background = property("body", "background");
    EXPECT_EQ("#ffffff", page_background);
    for (const char* text : {".line.pass", ".line.fail", ".line.warning", ".verdict.pass",
                             ".verdict.fail", "a", "footer", ".failures td.text a"}) {
        EXPECT_GE(Contrast(property(text, "color"), page_background), 4.5) << text;
    }
    std::string bannerText = property(".banner", "color");
    for (const char* banner : {".banner.pass", ".banner.fail"}) {
        EXPECT_GE(Contrast(bannerText, property(banner, "background")), 4.5) << banner;
    }
    // The banner of a file that was not judged has a colour of its own.
    std::string other =
        property(".banner.error, .banner.interrupted, .banner.not-analysed", "background");
    EXPECT_GE(Contrast(bannerText, other), 4.5);
    EXPECT_NE(other, property(".banner.pass", "background"));
    EXPECT_NE(other, property(".banner.fail", "background"));
}

TEST(HtmlReport, TheBannerSaysEachVerdictInItsClass) {
    RunResult pass;
    pass.path = "good.mpg";
    pass.verdict = FileVerdict::Pass;
    pass.lines = {{LineKind::Heading, "Result:", {}, false},
                  {LineKind::Pass, "Compliance Test: Pass", {}, false}};
    RunResult interrupted = SpotResult("cut.mpg");
    interrupted.verdict = FileVerdict::Interrupted;
    interrupted.reason = "Analysis cancelled during the program stream pass";
    struct Case {
        RunResult result;
        const char* cls;
        const char* word;
        const char* reason;
        size_t failures;
    };
    const Case cases[] = {
        {pass, "pass", "PASS", "", 0},
        {SpotResult("bad.mpg"), "fail", "FAIL", "", 6},
        {ErrorResult("/gone.mpg",
                     "Unable to open the file \"/gone.mpg\": No such file or directory"),
         "error", "ERROR", "Unable to open the file \"/gone.mpg\": No such file or directory", 1},
        {interrupted, "interrupted", "INTERRUPTED",
         "Analysis cancelled during the program stream pass", 6},
        {NotAnalysedResult("late.mpg"), "not-analysed", "NOT ANALYSED",
         "Not analysed: the run was stopped before this file", 1},
    };
    for (const Case& c : cases) {
        auto root = Read(HtmlReportText(c.result, Stamp()));
        ASSERT_NE(nullptr, root) << c.cls;
        const XNode* banner = root->ById("verdict");
        ASSERT_NE(nullptr, banner) << c.cls;
        EXPECT_TRUE(banner->HasClass("banner") && banner->HasClass(c.cls)) << c.cls;
        EXPECT_EQ(c.word, banner->AllOfClass("word").at(0)->Text());
        std::vector<const XNode*> reason = banner->AllOfClass("reason");
        EXPECT_EQ(c.reason, reason.empty() ? "" : reason[0]->Text()) << c.cls;
        EXPECT_EQ(c.failures, FailureRows(*root).size()) << c.cls;
        // A result without figures is a whole page all the same: no graphs, nothing left open.
        if (c.result.videoStreams.empty()) {
            EXPECT_EQ(nullptr, root->ById("graphs")) << c.cls;
        }
    }
    auto passed = Read(HtmlReportText(pass, Stamp()));
    ASSERT_NE(nullptr, passed);
    EXPECT_EQ("No line fails the file.", passed->ById("failures")->AllTagged("p").at(0)->Text());
}

TEST(HtmlReport, GraphsDrawTheSeriesAgainstTheProfileLimits) {
    auto root = Read(HtmlReportText(SpotResult("spot.mpg"), Stamp()));
    ASSERT_NE(nullptr, root);
    struct Case {
        const char* id;
        const char* title;
        const char* yTitle;
        size_t stretches;  // polylines
    };
    const Case cases[] = {
        {"graph-bitrate-E0", "Video stream E0: bitrate per second", "Bitrate (Kbps)", 1},
        {"graph-vbv-E0", "Video stream E0: VBV buffer occupancy", "Occupancy (% of 1835008 bits)",
         1},
        // Momentary and short-term, each broken by the silence.
        {"graph-loudness-C0", "Audio stream C0: loudness", "Loudness (LUFS)", 4},
    };
    for (const Case& c : cases) {
        const XNode* svg = Svg(*root, c.id);
        if (!svg) continue;
        EXPECT_EQ(c.title, svg->AllOfClass("graph-title").at(0)->Text());
        EXPECT_EQ(c.title, svg->AllTagged("title").at(0)->Text());
        std::vector<const XNode*> axisTitles = svg->AllOfClass("axis-title");
        ASSERT_EQ(2u, axisTitles.size()) << c.id;
        EXPECT_EQ(c.yTitle, axisTitles[0]->Text());
        EXPECT_EQ("Time (s)", axisTitles[1]->Text());
        AxisOf(*svg, "x-axis");
        AxisOf(*svg, "y-axis");
        std::vector<const XNode*> polylines = svg->AllTagged("polyline");
        EXPECT_EQ(c.stretches, polylines.size()) << c.id;
        for (const XNode* polyline : polylines) {
            EXPECT_EQ(std::string::npos, polyline->Attribute("points").find_first_of("ian"))
                << c.id << ": " << polyline->Attribute("points");
        }
    }
    const XNode* bitrate = Svg(*root, "graph-bitrate-E0");
    ASSERT_NE(nullptr, bitrate);
    EXPECT_EQ("5000.00", LevelValue(*bitrate, "VideoAvgBitrate"));
    EXPECT_EQ("4000.00", LevelValue(*bitrate, "VideoPeakBitrate"));
    // Each line where its value is on the axis; the series' highest second at 4210.
    Axis y = AxisOf(*bitrate, "y-axis");
    for (const XNode* level : bitrate->AllOfClass("level")) {
        EXPECT_NEAR(std::stod(level->Attribute("data-value")),
                    y.ValueAt(std::stod(level->Attribute("y1"))), 1)
            << level->Attribute("class");
    }
    EXPECT_EQ("3800.70", bitrate->AllOfClass("average").at(0)->Attribute("data-value"));
    std::vector<std::pair<double, double>> points = PointsOf(*bitrate->AllTagged("polyline").at(0));
    double top = std::min_element(points.begin(), points.end(), [](auto& a, auto& b) {
                     return a.second < b.second;
                 })->second;
    EXPECT_NEAR(4210, y.ValueAt(top), 1);
    std::string legend = bitrate->AllOfClass("legend").at(0)->Text();
    for (const char* name :
         {"Bitrate of each second", "Average = 3800 Kbps", "Limit: VideoAvgBitrate = 5000 Kbps",
          "Limit: VideoPeakBitrate = 4000 Kbps"}) {
        EXPECT_NE(std::string::npos, legend.find(name)) << name;
    }

    const XNode* vbv = Svg(*root, "graph-vbv-E0");
    ASSERT_NE(nullptr, vbv);
    EXPECT_EQ("100.00", vbv->AllOfClass("limit").at(0)->Attribute("data-value"));
    Axis occupancy = AxisOf(*vbv, "y-axis");
    points = PointsOf(*vbv->AllTagged("polyline").at(0));
    ASSERT_EQ(6u, points.size());  // before and after each of three pictures
    EXPECT_NEAR(1800000.0 / 1835008 * 100, occupancy.ValueAt(points[2].second), 0.2);
    EXPECT_NEAR(400000.0 / 1835008 * 100, occupancy.ValueAt(points[5].second), 0.2);

    const XNode* loudness = Svg(*root, "graph-loudness-C0");
    ASSERT_NE(nullptr, loudness);
    const XNode* band = loudness->AllOfClass("band").at(0);
    EXPECT_EQ("-24.00", band->Attribute("data-low"));
    EXPECT_EQ("-22.00", band->Attribute("data-high"));
    EXPECT_EQ("-23.00", LevelValue(*loudness, "LoudnessTarget"));
    Axis lufs = AxisOf(*loudness, "y-axis");
    // The axis fits what is drawn, -26 to -20 LUFS: not stretched up to 0.
    EXPECT_GE(lufs.value0, -32);
    EXPECT_LE(lufs.value1, -15);
    double bandTop = std::stod(band->Attribute("y"));
    EXPECT_NEAR(-22, lufs.ValueAt(bandTop), 0.1);
    EXPECT_NEAR(-24, lufs.ValueAt(bandTop + std::stod(band->Attribute("height"))), 0.1);
    // The silence is a gap: the first stretch ends before 2.0 s, the next starts at 2.5 s.
    Axis time = AxisOf(*loudness, "x-axis");
    std::vector<const XNode*> stretches = loudness->AllTagged("polyline");
    EXPECT_NEAR(1.9, time.ValueAt(PointsOf(*stretches[0]).back().first), 0.01);
    EXPECT_NEAR(2.5, time.ValueAt(PointsOf(*stretches[1]).front().first), 0.01);
    EXPECT_NE(std::string::npos,
              loudness->AllOfClass("legend").at(0)->Text().find(
                  "Target band: LoudnessTarget = -23 LUFS, LoudnessTolerance = 1 LU"));
}

// A limit the profile does not set is not drawn; the series still are.
TEST(HtmlReport, GraphsLeaveOutLimitsThatAreNotSet) {
    auto root = Read(HtmlReportText(SpotResult("spot.mpg", false), Stamp()));
    ASSERT_NE(nullptr, root);
    const XNode* bitrate = Svg(*root, "graph-bitrate-E0");
    ASSERT_NE(nullptr, bitrate);
    EXPECT_TRUE(bitrate->AllOfClass("limit").empty());
    EXPECT_EQ(1u, bitrate->AllOfClass("average").size());
    const XNode* loudness = Svg(*root, "graph-loudness-C0");
    ASSERT_NE(nullptr, loudness);
    EXPECT_TRUE(loudness->AllOfClass("band").empty());
    EXPECT_TRUE(loudness->AllOfClass("target").empty());
    EXPECT_EQ(4u, loudness->AllTagged("polyline").size());
}

// Two hours of bitrates: at most about 2000 points a series, and the one second's peak and
// the one second's dip still drawn where they are.
TEST(HtmlReport, LongSeriesAreDecimatedKeepingPeaks) {
    RunResult result = SpotResult("long.mpg");
    std::vector<double>& seconds = result.videoStreams[0].series.kilobitsPerSecond;
    seconds.assign(7200, 3000);
    seconds[5000] = 9000;
    seconds[6001] = 100;
    auto root = Read(HtmlReportText(result, Stamp()));
    ASSERT_NE(nullptr, root);
    const XNode* svg = Svg(*root, "graph-bitrate-E0");
    ASSERT_NE(nullptr, svg);
    std::vector<const XNode*> polylines = svg->AllTagged("polyline");
    ASSERT_EQ(1u, polylines.size());
    std::vector<std::pair<double, double>> points = PointsOf(*polylines[0]);
    EXPECT_LE(points.size(), kHtmlMostPointsPerSeries);
    EXPECT_GE(points.size(), kHtmlMostPointsPerSeries / 2);
    Axis y = AxisOf(*svg, "y-axis");
    auto [top, bottom] = std::minmax_element(points.begin(), points.end(),
                                             [](auto& a, auto& b) { return a.second < b.second; });
    EXPECT_NEAR(9000, y.ValueAt(top->second), 5);
    EXPECT_NEAR(100, y.ValueAt(bottom->second), 5);
    // Ticks in hours, minutes and seconds: x-axis labels are h:mm:ss, not 7200.
    EXPECT_EQ("Time (h:mm:ss)", svg->AllOfClass("axis-title").at(1)->Text());
    std::vector<const XNode*> ticks = svg->AllOfClass("x-axis").at(0)->AllOfClass("tick");
    EXPECT_EQ("0:00", ticks.front()->Text());
    EXPECT_EQ("2:00:00", ticks.back()->Text());
    // The same series within the limit is drawn point for point.
    seconds.resize(500);
    root = Read(HtmlReportText(result, Stamp()));
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(1000u, PointsOf(*Svg(*root, "graph-bitrate-E0")->AllTagged("polyline").at(0)).size());
}

// A path's markup characters, quotes and bytes that are not UTF-8 are text, never markup.
TEST(HtmlReport, TextFromAPathIsEscaped) {
    const std::string path = "/ingest/<b>&amp;\"x\"'caf\xE9.mpg";
    RunResult result = SpotResult(path);
    result.reason = "";
    std::string page = HtmlReportText(result, Stamp());
    auto root = Read(page);
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(std::string::npos, page.find("<b>"));
    EXPECT_EQ(std::string::npos, page.find("\xE9"));
    const std::string shown = "/ingest/<b>&amp;\"x\"'caf\xEF\xBF\xBD.mpg";
    EXPECT_EQ(shown, root->AllOfClass("file").at(0)->Text());
    EXPECT_EQ("<b>&amp;\"x\"'caf\xEF\xBF\xBD.mpg", root->AllOfClass("file-name").at(0)->Text());
    EXPECT_EQ("File under analysis: \"" + shown + "\"..!", root->ById("line-4")->Text());
    EXPECT_NE(std::string::npos, root->AllTagged("title").at(0)->Text().find("<b>&amp;"));

    RunStamp stamp = Stamp();
    stamp.profilePath = "/srv/<qc>/p&q.ini";
    auto index = Read(HtmlIndexText({HtmlIndexEntryOf(result, "x.html")}, stamp));
    ASSERT_NE(nullptr, index);
    EXPECT_EQ("/srv/<qc>/p&q.ini", index->AllOfClass("profile").at(0)->Text());
    EXPECT_EQ(shown, index->AllOfClass("file").at(0)->Text());
}

TEST(HtmlReport, LinksToFileNamesAreEncoded) {
    struct Case {
        std::string name;
        std::string href;
    };
    const Case cases[] = {
        {"spot.mpg.html", "spot.mpg.html"},        {"a b#1?.mpg-2.html", "a%20b%231%3F.mpg-2.html"},
        {"100%.mpg.html", "100%25.mpg.html"},      {"caf\xC3\xA9.mpg.html", "caf%C3%A9.mpg.html"},
        {"x\"<'>&.html", "x%22%3C%27%3E%26.html"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.href, HtmlHrefOfName(c.name)) << c.name;
}

TEST(HtmlIndex, ListsEverySpotWithItsVerdictFailuresAndLink) {
    RunResult pass;
    pass.path = "/in/good.mpg";
    pass.verdict = FileVerdict::Pass;
    pass.lines = {{LineKind::Pass, "Compliance Test: Pass", {}, false}};
    RunResult fail = SpotResult("/in/bad.mpg");
    KeepForSummary(fail, false);  // what a batch keeps of it
    RunResult error = ErrorResult("/in/gone.mpg", "No such file");
    std::vector<HtmlIndexEntry> entries = {HtmlIndexEntryOf(pass, "good.mpg.html"),
                                           HtmlIndexEntryOf(fail, "bad.mpg.html"),
                                           HtmlIndexEntryOf(error, "gone.mpg.html")};
    auto root = Read(HtmlIndexText(entries, Stamp()));
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("3 spots: 1 pass, 1 fail, 1 error", root->AllTagged("h1").at(0)->Text());
    EXPECT_EQ(Stamp().profileSha256, root->AllOfClass("sha").at(0)->Text());
    struct Row {
        const char* href;
        const char* path;
        const char* verdict;
        const char* failures;
        const char* first;
    };
    const Row expected[] = {
        {"good.mpg.html", "/in/good.mpg", "pass", "0", ""},
        {"bad.mpg.html", "/in/bad.mpg", "fail", "6", "*Aspect Ratio = 4:3"},
        {"gone.mpg.html", "/in/gone.mpg", "error", "1", "No such file"},
    };
    std::vector<const XNode*> rows = root->AllTagged("tbody").at(0)->AllTagged("tr");
    ASSERT_EQ(3u, rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const XNode* link = rows[i]->AllTagged("a").at(0);
        EXPECT_EQ(expected[i].href, link->Attribute("href"));
        EXPECT_EQ(expected[i].path, link->Text());
        const XNode* verdict = rows[i]->AllOfClass("verdict").at(0);
        EXPECT_EQ(expected[i].verdict, verdict->Text());
        EXPECT_TRUE(verdict->HasClass(expected[i].verdict));
        EXPECT_EQ(expected[i].failures, rows[i]->AllOfClass("failures").at(0)->Text());
        EXPECT_EQ(expected[i].first, rows[i]->AllOfClass("first-failure").at(0)->Text());
    }
}

// Several spots in one page: the index on top, each spot's ids of its own, every link
// leading where it says.
TEST(HtmlIndex, SeveralSpotsInOnePageKeepTheirIdsApart) {
    std::vector<RunResult> results = {SpotResult("a/spot.mpg"), SpotResult("b/spot.mpg"),
                                      ErrorResult("c.mpg", "No such file")};
    std::vector<HtmlIndexEntry> entries;
    std::vector<std::string> sections;
    for (size_t i = 0; i < results.size(); ++i) {
        std::string spot = "spot-" + std::to_string(i + 1);
        entries.push_back(HtmlIndexEntryOf(results[i], "#" + spot));
        sections.push_back(HtmlSpotSection(results[i], Stamp(), spot + "-"));
    }
    auto root = Read(HtmlRunText(entries, sections, Stamp()));
    ASSERT_NE(nullptr, root);
    std::set<std::string> ids;
    for (const XNode* node : root->All([](const XNode& n) { return !n.Attribute("id").empty(); })) {
        EXPECT_TRUE(ids.insert(node->Attribute("id")).second) << node->Attribute("id");
    }
    std::vector<const XNode*> links = root->All(
        [](const XNode& n) { return n.tag == "a" && n.Attribute("href").starts_with("#"); });
    EXPECT_GE(links.size(), 3u + 6 + 6 + 1);
    for (const XNode* link : links) {
        EXPECT_EQ(1u, ids.count(link->Attribute("href").substr(1))) << link->Attribute("href");
    }
    for (size_t i = 0; i < results.size(); ++i) {
        std::string prefix = "spot-" + std::to_string(i + 1) + "-";
        const XNode* article = root->ById("spot-" + std::to_string(i + 1));
        ASSERT_NE(nullptr, article);
        EXPECT_EQ("article", article->tag);
        std::vector<FailureRow> rows = FailureRows(*root, prefix);
        std::vector<const ResultLine*> failures = FailureLines(results[i]);
        ASSERT_EQ(failures.size(), rows.size());
        for (size_t f = 0; f < rows.size(); ++f) {
            EXPECT_TRUE(rows[f].href.starts_with("#" + prefix + "line-"));
            EXPECT_EQ(failures[f]->text, root->ById(rows[f].href.substr(1))->Text());
        }
    }
    EXPECT_NE(nullptr, root->ById("spot-2-graph-bitrate-E0"));
}

}  // namespace
