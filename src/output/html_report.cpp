// The HTML report: markup written by hand, so that the page is well-formed XML as well as
// HTML (every element closed, every text escaped) and reads the same in any browser.
#include "output/html_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "output/key_text.h"
#include "output/xml_text.h"
#include "report/report_log.h"

namespace {

// On white, every text colour here has a contrast of at least 4.5:1 (WCAG 2, AA): the
// line colours of the report 5.9:1 to 7.9:1, the banners' white text 6.6:1 to 11.9:1.
constexpr const char* kStyle = R"(
:root { color-scheme: light; }
body { margin: 0 auto; max-width: 60em; padding: 1em 1.5em 3em; background: #ffffff;
  color: #222222; font: 15px/1.45 "DejaVu Sans", "Liberation Sans", Arial, sans-serif; }
h1 { font-size: 1.6em; margin: 0.3em 0; overflow-wrap: anywhere; }
h2 { font-size: 1.25em; margin: 1.2em 0 0.4em; }
h3 { font-size: 1.1em; margin: 1em 0 0.4em; }
a { color: #0b4f9c; }
dl.facts { display: grid; grid-template-columns: max-content 1fr; gap: 0.15em 1em; margin: 0.5em 0 1em; }
dl.facts dt { font-weight: bold; }
dl.facts dd { margin: 0; overflow-wrap: anywhere; }
.sha { font-family: "DejaVu Sans Mono", "Liberation Mono", monospace; font-size: 0.9em; }
.banner { color: #ffffff; border-radius: 6px; padding: 0.6em 1em; margin: 0.8em 0 1.2em;
  -webkit-print-color-adjust: exact; print-color-adjust: exact; }
.banner.pass { background: #1b5e20; }
.banner.fail { background: #b71c1c; }
.banner.error, .banner.interrupted, .banner.not-analysed { background: #4a148c; }
.banner .word { font-size: 2.4em; font-weight: bold; letter-spacing: 0.05em; margin: 0; line-height: 1.2; }
.banner p { margin: 0.2em 0; overflow-wrap: anywhere; }
.banner a { color: #ffffff; }
table { border-collapse: collapse; width: 100%; margin: 0.4em 0 1em; }
th, td { border: 1px solid #bbbbbb; padding: 0.25em 0.5em; text-align: left; vertical-align: top;
  overflow-wrap: anywhere; }
th { background: #eeeeee; white-space: nowrap; overflow-wrap: normal;
  -webkit-print-color-adjust: exact; print-color-adjust: exact; }
td.verdict { white-space: nowrap; }
th.number, td.number { text-align: right; white-space: nowrap; width: 1%; }
.failures td.text a { color: #b71c1c; font-weight: bold; }
.failures td.text a.warning { color: #8a5a00; }
.verdict { font-weight: bold; }
.verdict.pass { color: #1b5e20; }
.verdict.fail { color: #b71c1c; }
.verdict.error, .verdict.interrupted, .verdict.not-analysed { color: #4a148c; }
pre.lines { font: 13px/1.35 "DejaVu Sans Mono", "Liberation Mono", monospace;
  white-space: pre-wrap; overflow-wrap: anywhere; margin: 0; padding: 0.5em;
  border: 1px solid #dddddd; }
.line.heading { font-weight: bold; }
.line.pass { color: #1b5e20; }
.line.fail { color: #b71c1c; }
.line.warning { color: #8a5a00; }
.line:target { background: #fff59d; outline: 2px solid #f9a825; }
figure.graph { margin: 1em 0; break-inside: avoid; page-break-inside: avoid; }
figure.graph svg { width: 100%; height: auto; display: block; }
footer { margin-top: 2em; font-size: 0.85em; color: #555555; }
@page { size: A4; margin: 14mm 12mm; }
@media print {
  body { max-width: none; padding: 0; font-size: 10pt; }
  .banner .word { font-size: 22pt; }
  pre.lines { font-size: 8pt; border: none; padding: 0; }
  section.report { break-before: page; page-break-before: always; }
  article.spot + article.spot, nav.index + article.spot { break-before: page; page-break-before: always; }
  a { color: inherit; text-decoration: none; }
  tr { break-inside: avoid; page-break-inside: avoid; }
}
)";

std::string Escape(const std::string& text) { return XmlEscape(text); }

// Locale-free, so that a comma locale never reaches a coordinate; never "-0".
std::string Fixed(double value, int decimals) {
    char text[64];
    auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (error != std::errc()) return "0";
    std::string written(text, end);
    if (written.starts_with('-') && written.find_first_not_of("-0.") == std::string::npos) {
        written.erase(0, 1);
    }
    return written;
}

std::string VerdictClass(FileVerdict verdict) {
    std::string name = VerdictName(verdict);
    std::replace(name.begin(), name.end(), ' ', '-');
    return name;
}

std::string VerdictWord(FileVerdict verdict) {
    std::string word = VerdictName(verdict);
    for (char& c : word) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return word;
}

std::string StreamName(int id) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(id) & 0xFFu);
    return text;
}

std::string FileName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? path : name;
}

// --- What a failure line says of its key ----------------------------------------------

// "[Video] AspectRatio", "[Audio] LoudnessTarget, LoudnessTolerance"; empty when no key
// judges the line.
std::string KeysOf(const JudgedCheck& check) {
    std::vector<const JudgedValue*> keys;
    for (const std::optional<JudgedValue>* value : {&check.reference, &check.min, &check.max}) {
        if (!*value || (*value)->key.empty()) continue;
        bool seen = std::any_of(keys.begin(), keys.end(),
                                [&](const JudgedValue* k) { return k->key == (*value)->key; });
        if (!seen) keys.push_back(&**value);
    }
    std::string text;
    std::string section;
    for (const JudgedValue* key : keys) {
        if (!text.empty()) text += ", ";
        if (key->section != section) text += "[" + key->section + "] ";
        section = key->section;
        text += key->key;
    }
    return text;
}

// What --explain appends, without its brackets: "AspectRatio = 3: 16:9".
std::string Explained(const JudgedCheck& check) {
    std::string text = ExplainCheck(check);
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
    }
    constexpr std::string_view kNoKey = "no key: ";
    if (text.starts_with(kNoKey)) text.erase(0, kNoKey.size());
    return text;
}

constexpr const char* kFailsWhatever = "fails whatever the profile says";

// --- Graphs ---------------------------------------------------------------------------

struct Point {
    double x;
    double y;  // not finite: no point here (silence), the line breaks
};

// A series drawn as a line through its points.
struct Curve {
    std::string name;
    std::string colour;
    double width = 1.5;
    std::vector<Point> points;
};

// A horizontal line across the plot: an average, a limit of the profile.
struct Level {
    std::string name;
    std::string cssClass;  // "average", "limit", "target"
    std::string key;       // the profile key that set it, for a limit
    std::string colour;
    std::string dash;
    double value;
};

struct Band {
    std::string name;
    double low;
    double high;
};

struct Plot {
    std::string id;
    std::string title;
    std::string yTitle;
    std::vector<Curve> curves;
    std::vector<Level> levels;
    std::optional<Band> band;
    bool yFromZero = true;
    double yFloor = -HUGE_VAL;   // lower values are drawn at it
    double yMinTop = -HUGE_VAL;  // the axis reaches at least this
};

// The curve's stretches between gaps, at most `most` points in all: beyond that, each of
// `most / 2` runs of points in turn keeps its lowest and its highest point, in their order,
// and a run without any point is a gap.
std::vector<std::vector<Point>> Stretches(const std::vector<Point>& points, size_t most) {
    std::vector<std::vector<Point>> stretches;
    bool open = false;
    auto add = [&](const Point& point) {
        if (!open) stretches.emplace_back();
        stretches.back().push_back(point);
        open = true;
    };
    if (points.size() <= most) {
        for (const Point& point : points) {
            if (std::isfinite(point.y)) {
                add(point);
            } else {
                open = false;
            }
        }
        return stretches;
    }
    size_t buckets = std::max<size_t>(1, most / 2);
    for (size_t b = 0; b < buckets; ++b) {
        size_t first = b * points.size() / buckets;
        size_t end = (b + 1) * points.size() / buckets;
        std::optional<size_t> low;
        std::optional<size_t> high;
        for (size_t i = first; i < end; ++i) {
            if (!std::isfinite(points[i].y)) continue;
            if (!low || points[i].y < points[*low].y) low = i;
            if (!high || points[i].y > points[*high].y) high = i;
        }
        if (!low) {
            open = false;
            continue;
        }
        add(points[std::min(*low, *high)]);
        if (*low != *high) add(points[std::max(*low, *high)]);
    }
    return stretches;
}

// 1, 2 or 5 times a power of ten: about `steps` steps over `range`.
double NiceStep(double range, int steps) {
    if (!(range > 0)) return 1;
    double raw = range / steps;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw) return m * power;
    }
    return 10 * power;
}

// Time steps that fall on seconds, minutes and hours; tenths of a second for a short spot.
double TimeStep(double range) {
    if (range <= 10) return NiceStep(range, 5);
    for (double step : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 900.0, 1800.0,
                        3600.0, 7200.0}) {
        if (range / step <= 10) return step;
    }
    return NiceStep(range, 10);
}

int DecimalsOf(double step) {
    if (step >= 1) return 0;
    return static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
}

// "75", "1:15", "1:01:15": minutes once the programme is longer than ten minutes.
std::string TimeLabel(double seconds, bool clock, int decimals) {
    if (!clock) return Fixed(seconds, decimals);
    long total = std::lround(seconds);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

constexpr double kWidth = 720;
constexpr double kHeight = 340;
constexpr double kLeft = 72;
constexpr double kRight = 24;
constexpr double kBottom = 54;
constexpr double kLegendRow = 17;
constexpr double kCharWidth = 6.6;  // of the legend's 12 px text, about
constexpr const char* kFont = "font-family=\"DejaVu Sans, Liberation Sans, Arial, sans-serif\"";

struct LegendItem {
    std::string name;
    std::string colour;
    std::string dash;
    bool area = false;
};

std::string SvgPlot(const Plot& plot) {
    // The extent of everything drawn.
    double xEnd = 1;
    double yLow = HUGE_VAL;
    double yHigh = -HUGE_VAL;
    auto take = [&](double y) {
        if (!std::isfinite(y)) return;
        y = std::max(y, plot.yFloor);
        yLow = std::min(yLow, y);
        yHigh = std::max(yHigh, y);
    };
    for (const Curve& curve : plot.curves) {
        for (const Point& point : curve.points) {
            xEnd = std::max(xEnd, point.x);
            take(point.y);
        }
    }
    for (const Level& level : plot.levels) take(level.value);
    if (plot.band) {
        take(plot.band->low);
        take(plot.band->high);
    }
    if (yHigh < yLow) {  // nothing to draw
        yLow = plot.yFromZero ? 0 : plot.yFloor;
        yHigh = plot.yFromZero ? 1 : 0;
    }
    if (plot.yFromZero) yLow = 0;
    yHigh = std::max(yHigh, plot.yMinTop);
    double margin = plot.yFromZero ? (yHigh - yLow) * 0.05 : 3;
    double yStep = NiceStep(yHigh + margin - (yLow - (plot.yFromZero ? 0 : margin)), 6);
    double y0 = plot.yFromZero ? 0 : std::floor((yLow - margin) / yStep) * yStep;
    double y1 = std::ceil((yHigh + margin) / yStep) * yStep;
    if (y1 <= y0) y1 = y0 + yStep;
    double xStep = TimeStep(xEnd);
    double x1 = std::ceil(xEnd / xStep) * xStep;
    bool clock = x1 > 600;

    // The legend, in rows across the top.
    std::vector<LegendItem> legend;
    if (plot.band) legend.push_back({plot.band->name, "#2e7d32", "", true});
    for (const Curve& curve : plot.curves) legend.push_back({curve.name, curve.colour, ""});
    for (const Level& level : plot.levels) legend.push_back({level.name, level.colour, level.dash});
    std::vector<std::pair<double, double>> places;  // x, row
    double x = kLeft;
    double row = 0;
    for (const LegendItem& item : legend) {
        double width = 30 + kCharWidth * static_cast<double>(item.name.size()) + 18;
        if (x > kLeft && x + width > kWidth - kRight) {
            x = kLeft;
            ++row;
        }
        places.emplace_back(x, row);
        x += width;
    }
    double legendTop = 40;
    double top = legendTop + (row + 1) * kLegendRow + 8;
    double height = kHeight + row * kLegendRow;
    double bottom = height - kBottom;
    double plotWidth = kWidth - kLeft - kRight;
    double plotHeight = bottom - top;
    auto X = [&](double value) { return kLeft + value / x1 * plotWidth; };
    auto Y = [&](double value) {
        value = std::clamp(std::max(value, plot.yFloor), y0, y1);
        return bottom - (value - y0) / (y1 - y0) * plotHeight;
    };

    std::string svg = "<svg class=\"graph-svg\" id=\"" + plot.id + "\" viewBox=\"0 0 " +
                      Fixed(kWidth, 0) + " " + Fixed(height, 0) + "\" width=\"" + Fixed(kWidth, 0) +
                      "\" height=\"" + Fixed(height, 0) + "\" role=\"img\" aria-labelledby=\"" +
                      plot.id + "-title\" " + kFont + " font-size=\"12\">\n";
    svg += "<title id=\"" + plot.id + "-title\">" + Escape(plot.title) + "</title>\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + Fixed(kWidth, 0) + "\" height=\"" + Fixed(height, 0) +
           "\" fill=\"#ffffff\"/>\n";
    svg += "<text class=\"graph-title\" x=\"" + Fixed(kWidth / 2, 1) +
           "\" y=\"22\" text-anchor=\"middle\" font-size=\"15\" font-weight=\"bold\" "
           "fill=\"#222222\">" +
           Escape(plot.title) + "</text>\n";
    svg += "<g class=\"legend\">\n";
    for (size_t i = 0; i < legend.size(); ++i) {
        const LegendItem& item = legend[i];
        double lx = places[i].first;
        double ly = legendTop + places[i].second * kLegendRow;
        if (item.area) {
            svg += "<rect x=\"" + Fixed(lx, 1) + "\" y=\"" + Fixed(ly - 9, 1) +
                   "\" width=\"24\" height=\"10\" fill=\"" + item.colour +
                   "\" fill-opacity=\"0.18\" stroke=\"" + item.colour + "\"/>\n";
        } else {
            svg += "<line x1=\"" + Fixed(lx, 1) + "\" y1=\"" + Fixed(ly - 4, 1) + "\" x2=\"" +
                   Fixed(lx + 24, 1) + "\" y2=\"" + Fixed(ly - 4, 1) + "\" stroke=\"" +
                   item.colour + "\" stroke-width=\"2\"" +
                   (item.dash.empty() ? "" : " stroke-dasharray=\"" + item.dash + "\"") + "/>\n";
        }
        svg += "<text x=\"" + Fixed(lx + 30, 1) + "\" y=\"" + Fixed(ly, 1) +
               "\" fill=\"#222222\">" + Escape(item.name) + "</text>\n";
    }
    svg += "</g>\n";

    // Grid and tick labels.
    svg += "<g class=\"axis y-axis\">\n";
    int yDecimals = DecimalsOf(yStep);
    auto yTicks = std::lround((y1 - y0) / yStep);
    for (long i = 0; i <= yTicks; ++i) {
        double tick = y0 + static_cast<double>(i) * yStep;
        double ty = Y(tick);
        svg += "<line x1=\"" + Fixed(kLeft, 1) + "\" y1=\"" + Fixed(ty, 1) + "\" x2=\"" +
               Fixed(kWidth - kRight, 1) + "\" y2=\"" + Fixed(ty, 1) +
               "\" stroke=\"#dddddd\" stroke-width=\"1\"/>\n";
        svg += "<text class=\"tick\" x=\"" + Fixed(kLeft - 6, 1) + "\" y=\"" + Fixed(ty + 4, 1) +
               "\" text-anchor=\"end\" fill=\"#222222\">" + Fixed(tick, yDecimals) + "</text>\n";
    }
    svg += "<text class=\"axis-title\" transform=\"translate(16 " + Fixed((top + bottom) / 2, 1) +
           ") rotate(-90)\" text-anchor=\"middle\" fill=\"#222222\">" + Escape(plot.yTitle) +
           "</text>\n";
    svg += "</g>\n<g class=\"axis x-axis\">\n";
    auto xTicks = std::lround(x1 / xStep);
    for (long i = 0; i <= xTicks; ++i) {
        double tick = static_cast<double>(i) * xStep;
        double tx = X(tick);
        svg += "<line x1=\"" + Fixed(tx, 1) + "\" y1=\"" + Fixed(bottom, 1) + "\" x2=\"" +
               Fixed(tx, 1) + "\" y2=\"" + Fixed(bottom + 5, 1) +
               "\" stroke=\"#222222\" stroke-width=\"1\"/>\n";
        svg += "<text class=\"tick\" x=\"" + Fixed(tx, 1) + "\" y=\"" + Fixed(bottom + 18, 1) +
               "\" text-anchor=\"middle\" fill=\"#222222\">" +
               TimeLabel(tick, clock, DecimalsOf(xStep)) + "</text>\n";
    }
    std::string xTitle = !clock ? "Time (s)" : x1 >= 3600 ? "Time (h:mm:ss)" : "Time (m:ss)";
    svg += "<text class=\"axis-title\" x=\"" + Fixed(kLeft + plotWidth / 2, 1) + "\" y=\"" +
           Fixed(height - 12, 1) + "\" text-anchor=\"middle\" fill=\"#222222\">" + xTitle +
           "</text>\n";
    svg += "</g>\n";

    // What is drawn, kept inside the plot.
    svg += "<clipPath id=\"" + plot.id + "-plot\"><rect x=\"" + Fixed(kLeft, 1) + "\" y=\"" +
           Fixed(top, 1) + "\" width=\"" + Fixed(plotWidth, 1) + "\" height=\"" +
           Fixed(plotHeight, 1) + "\"/></clipPath>\n";
    svg += "<g clip-path=\"url(#" + plot.id + "-plot)\">\n";
    if (plot.band) {
        svg += "<rect class=\"band\" x=\"" + Fixed(kLeft, 1) + "\" y=\"" +
               Fixed(Y(plot.band->high), 1) + "\" width=\"" + Fixed(plotWidth, 1) + "\" height=\"" +
               Fixed(Y(plot.band->low) - Y(plot.band->high), 1) +
               "\" fill=\"#2e7d32\" fill-opacity=\"0.18\" data-low=\"" + Fixed(plot.band->low, 2) +
               "\" data-high=\"" + Fixed(plot.band->high, 2) + "\"/>\n";
    }
    for (const Curve& curve : plot.curves) {
        for (const std::vector<Point>& stretch :
             Stretches(curve.points, kHtmlMostPointsPerSeries)) {
            std::string points;
            for (const Point& point : stretch) {
                if (!points.empty()) points += ' ';
                points += Fixed(X(point.x), 1) + "," + Fixed(Y(point.y), 1);
            }
            // A lone point still shows, as a dot.
            if (stretch.size() == 1) {
                points += " " + Fixed(X(stretch[0].x) + 0.5, 1) + "," + Fixed(Y(stretch[0].y), 1);
            }
            svg += "<polyline class=\"series\" points=\"" + points + "\" fill=\"none\" stroke=\"" +
                   curve.colour + "\" stroke-width=\"" + Fixed(curve.width, 1) +
                   "\" stroke-linejoin=\"round\"/>\n";
        }
    }
    for (const Level& level : plot.levels) {
        double ly = Y(level.value);
        svg += "<line class=\"level " + level.cssClass + "\"" +
               (level.key.empty() ? "" : " data-key=\"" + Escape(level.key) + "\"") +
               " data-value=\"" + Fixed(level.value, 2) + "\" x1=\"" + Fixed(kLeft, 1) +
               "\" y1=\"" + Fixed(ly, 1) + "\" x2=\"" + Fixed(kWidth - kRight, 1) + "\" y2=\"" +
               Fixed(ly, 1) + "\" stroke=\"" + level.colour + "\" stroke-width=\"2\"" +
               (level.dash.empty() ? "" : " stroke-dasharray=\"" + level.dash + "\"") + "/>\n";
    }
    svg += "</g>\n";
    svg += "<rect x=\"" + Fixed(kLeft, 1) + "\" y=\"" + Fixed(top, 1) + "\" width=\"" +
           Fixed(plotWidth, 1) + "\" height=\"" + Fixed(plotHeight, 1) +
           "\" fill=\"none\" stroke=\"#222222\" stroke-width=\"1\"/>\n";
    svg += "</svg>";
    return svg;
}

// The check of the first line a key judges as the given side of a range, when the key is
// set: the profile's limits are one for every stream of the file.
const JudgedCheck* CheckOfKey(const RunResult& result, const char* key,
                              std::optional<JudgedValue> JudgedCheck::*side) {
    for (const ResultLine& line : result.lines) {
        if (!line.check) continue;
        const std::optional<JudgedValue>& value = (*line.check).*side;
        if (value && value->key == key && value->set) return &*line.check;
    }
    return nullptr;
}

constexpr const char* kLimitColour = "#c62828";

std::vector<Plot> VideoPlots(const RunResult& result, const std::string& idPrefix) {
    std::vector<Plot> plots;
    std::vector<Level> limits;
    for (const char* key : {"VideoAvgBitrate", "VideoPeakBitrate"}) {
        if (const JudgedCheck* check = CheckOfKey(result, key, &JudgedCheck::max)) {
            bool peak = std::string_view(key) == "VideoPeakBitrate";
            limits.push_back({"Limit: " + Explained(*check), "limit", key, kLimitColour,
                              peak ? "8 4" : "2 3", check->max->value});
        }
    }
    for (const VideoStreamFigures& video : result.videoStreams) {
        const VideoSeries& series = video.series;
        std::string stream = StreamName(video.id);
        if (!series.kilobitsPerSecond.empty()) {
            Plot plot;
            plot.id = idPrefix + "graph-bitrate-" + stream;
            plot.title = "Video stream " + stream + ": bitrate per second";
            plot.yTitle = "Bitrate (Kbps)";
            Curve curve{"Bitrate of each second", "#1f4e99", 1.5, {}};
            // Each second's kilobits held across that second.
            for (size_t i = 0; i < series.kilobitsPerSecond.size(); ++i) {
                double kbps = series.kilobitsPerSecond[i];
                curve.points.push_back({static_cast<double>(i), kbps});
                curve.points.push_back({static_cast<double>(i + 1), kbps});
            }
            plot.curves.push_back(std::move(curve));
            plot.levels.push_back({"Average = " + Fixed(std::floor(video.averageKbps), 0) + " Kbps",
                                   "average", "", "#555555", "6 3", video.averageKbps});
            plot.levels.insert(plot.levels.end(), limits.begin(), limits.end());
            plots.push_back(std::move(plot));
        }
        if (series.vbvBufferBits > 0 && !series.vbv.empty()) {
            Plot plot;
            plot.id = idPrefix + "graph-vbv-" + stream;
            plot.title = "Video stream " + stream + ": VBV buffer occupancy";
            plot.yTitle = "Occupancy (% of " + Fixed(series.vbvBufferBits, 0) + " bits)";
            Curve curve{"Before and after each picture's removal", "#1f4e99", 1, {}};
            for (const VbvPoint& point : series.vbv) {
                curve.points.push_back(
                    {point.seconds, point.beforeBits / series.vbvBufferBits * 100});
                curve.points.push_back(
                    {point.seconds, point.afterBits / series.vbvBufferBits * 100});
            }
            plot.curves.push_back(std::move(curve));
            plot.levels.push_back({"Buffer size = " + Fixed(series.vbvBufferBits, 0) + " bits",
                                   "limit", "", kLimitColour, "8 4", 100});
            plot.yMinTop = 100;
            plots.push_back(std::move(plot));
        }
    }
    return plots;
}

// Silence and what is quieter are below the absolute gate of ITU-R BS.1770-4.
constexpr double kFloorLufs = -70;

std::vector<Plot> AudioPlots(const RunResult& result, const std::string& idPrefix) {
    std::vector<Plot> plots;
    const JudgedCheck* integrated = CheckOfKey(result, "LoudnessTarget", &JudgedCheck::min);
    std::optional<Band> band;
    std::optional<Level> target;
    if (integrated && integrated->max && integrated->max->set) {
        double low = integrated->min->value;
        double high = integrated->max->value;
        band = Band{"Target band: " + Explained(*integrated), low, high};
        target = Level{"Target", "target", "LoudnessTarget", "#2e7d32", "6 3", (low + high) / 2};
    }
    for (const AudioStreamFigures& audio : result.audioStreams) {
        if (!audio.loudness || !audio.loudness->curve || audio.loudness->curve->points.empty()) {
            continue;
        }
        std::string stream = StreamName(audio.id);
        Plot plot;
        plot.id = idPrefix + "graph-loudness-" + stream;
        plot.title = "Audio stream " + stream + ": loudness";
        plot.yTitle = "Loudness (LUFS)";
        plot.yFromZero = false;
        plot.yFloor = kFloorLufs;
        Curve momentary{"Momentary (400 ms)", "#6b9bd8", 1, {}};
        Curve shortTerm{"Short-term (3 s)", "#0b2a6b", 1.8, {}};
        // -infinity (silence) is no point: the line breaks there.
        for (const LoudnessPoint& point : audio.loudness->curve->points) {
            momentary.points.push_back({point.seconds, point.momentaryLufs});
            shortTerm.points.push_back({point.seconds, point.shortTermLufs});
        }
        plot.curves = {std::move(momentary), std::move(shortTerm)};
        plot.band = band;
        if (target) plot.levels.push_back(*target);
        plots.push_back(std::move(plot));
    }
    return plots;
}

// --- The page -------------------------------------------------------------------------

std::string DocumentStart(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
           "<meta name=\"generator\" content=\"" +
           Escape(VersionText()) + "\"/>\n<title>" + Escape(title) + "</title>\n<style>" + kStyle +
           "</style>\n</head>\n<body>\n";
}

std::string DocumentEnd() {
    return "<footer>Written by " + Escape(VersionText()) + ".</footer>\n</body>\n</html>\n";
}

std::string Heading(int level, const std::string& attributes, const std::string& escapedText) {
    std::string tag = "h" + std::to_string(level);
    return "<" + tag + attributes + ">" + escapedText + "</" + tag + ">\n";
}

std::string Facts(const RunResult& result, const RunStamp& stamp) {
    std::string html = "<dl class=\"facts\">\n";
    auto fact = [&](const char* name, const std::string& escapedValue, const char* cls = "") {
        html += "<dt>" + std::string(name) + "</dt><dd" +
                (*cls ? " class=\"" + std::string(cls) + "\"" : std::string()) + ">" +
                escapedValue + "</dd>\n";
    };
    fact("File", Escape(result.path), "file");
    if (result.sizeBytes) fact("Size", std::to_string(*result.sizeBytes) + " bytes");
    if (stamp.profilePath.empty()) {
        fact("Profile", "none (--no-profile): no key is set", "profile");
    } else {
        fact("Profile", Escape(stamp.profilePath), "profile");
        fact("Profile SHA-256", Escape(stamp.profileSha256), "sha");
    }
    fact("Analysed", Escape(stamp.analysedAt), "date");
    html += "</dl>\n";
    return html;
}

std::string Banner(const RunResult& result, const std::string& idPrefix, size_t failureCount) {
    std::string cls = VerdictClass(result.verdict);
    std::string html = "<section class=\"banner " + cls + "\" id=\"" + idPrefix +
                       "verdict\" role=\"status\">\n<p class=\"word\">" +
                       VerdictWord(result.verdict) + "</p>\n";
    int verdictLine = VerdictLineIndex(result);
    if (verdictLine >= 0) {
        html += "<p class=\"verdict-line\"><a href=\"#" + idPrefix + "line-" +
                std::to_string(verdictLine + 1) + "\">" +
                Escape(result.lines[static_cast<size_t>(verdictLine)].text) + "</a></p>\n";
    }
    if (!result.reason.empty()) html += "<p class=\"reason\">" + Escape(result.reason) + "</p>\n";
    if (result.verdict == FileVerdict::Fail) {
        html += "<p class=\"count\">" + std::to_string(failureCount) +
                (failureCount == 1 ? " line fails" : " lines fail") + " the file.</p>\n";
    }
    html += "</section>\n";
    return html;
}

std::string Failures(const RunResult& result, const std::string& idPrefix, int level) {
    std::vector<const ResultLine*> failures = FailureLines(result);
    std::string html = "<section class=\"failures\" id=\"" + idPrefix + "failures\">\n";
    html += Heading(level, "", "Failures (" + std::to_string(failures.size()) + ")");
    if (failures.empty()) return html + "<p>No line fails the file.</p>\n</section>\n";
    html +=
        "<table class=\"failures\">\n<thead><tr><th class=\"number\">Line</th><th>Failure</th>"
        "<th>Key</th><th>Expected (profile)</th></tr></thead>\n<tbody>\n";
    for (const ResultLine* line : failures) {
        std::string number = std::to_string(line - result.lines.data() + 1);
        std::string keys = line->check ? KeysOf(*line->check) : "";
        std::string expected = line->check ? Explained(*line->check) : kFailsWhatever;
        html += "<tr><td class=\"number\">" + number + "</td><td class=\"text\"><a href=\"#" +
                idPrefix + "line-" + number + "\"" +
                (line->kind == LineKind::Warning ? " class=\"warning\"" : "") + ">" +
                Escape(line->text) + "</a></td><td class=\"key\">" +
                (keys.empty() ? "no key" : Escape(keys)) + "</td><td class=\"expected\">" +
                Escape(expected) + "</td></tr>\n";
    }
    return html + "</tbody>\n</table>\n</section>\n";
}

std::string ReportLines(const RunResult& result, const std::string& idPrefix, int level) {
    std::string html = "<section class=\"report\" id=\"" + idPrefix + "report\">\n";
    html += Heading(level, "", "Report");
    html += "<pre class=\"lines\">";
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const ResultLine& line = result.lines[i];
        html += "<span class=\"line " + std::string(LineKindName(line.kind)) + "\" id=\"" +
                idPrefix + "line-" + std::to_string(i + 1) + "\">" + Escape(line.text) +
                "</span>\n";
    }
    return html + "</pre>\n</section>\n";
}

std::string Graphs(const RunResult& result, const std::string& idPrefix, int level) {
    std::vector<Plot> plots = VideoPlots(result, idPrefix);
    for (Plot& plot : AudioPlots(result, idPrefix)) plots.push_back(std::move(plot));
    if (plots.empty()) return "";
    std::string html = "<section class=\"graphs\" id=\"" + idPrefix + "graphs\">\n";
    html += Heading(level, "", "Graphs");
    for (const Plot& plot : plots) {
        html += "<figure class=\"graph\">\n" + SvgPlot(plot) + "\n</figure>\n";
    }
    return html + "</section>\n";
}

std::string IndexTable(const std::vector<HtmlIndexEntry>& entries) {
    std::string html =
        "<table class=\"index\">\n<thead><tr><th class=\"number\">#</th><th>File</th>"
        "<th>Verdict</th><th class=\"number\">Failures</th><th>First failure</th></tr></thead>\n"
        "<tbody>\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const HtmlIndexEntry& entry = entries[i];
        std::string cls = VerdictClass(entry.verdict);
        html += "<tr class=\"" + cls + "\"><td class=\"number\">" + std::to_string(i + 1) +
                "</td><td class=\"file\"><a href=\"" + Escape(entry.href) + "\">" +
                Escape(entry.path) + "</a></td><td class=\"verdict " + cls + "\">" +
                VerdictName(entry.verdict) + "</td><td class=\"number failures\">" +
                std::to_string(entry.failures) + "</td><td class=\"first-failure\">" +
                Escape(entry.firstFailure) + "</td></tr>\n";
    }
    return html + "</tbody>\n</table>\n";
}

// "3 spots: 1 pass, 1 fail, 1 error".
std::string Tally(const std::vector<HtmlIndexEntry>& entries) {
    std::string text = std::to_string(entries.size()) + (entries.size() == 1 ? " spot" : " spots");
    std::string counts;
    for (FileVerdict verdict : {FileVerdict::Pass, FileVerdict::Fail, FileVerdict::Error,
                                FileVerdict::Interrupted, FileVerdict::NotAnalysed}) {
        auto count = std::count_if(entries.begin(), entries.end(),
                                   [&](const HtmlIndexEntry& e) { return e.verdict == verdict; });
        if (count == 0 && verdict != FileVerdict::Pass && verdict != FileVerdict::Fail) continue;
        counts +=
            (counts.empty() ? ": " : ", ") + std::to_string(count) + " " + VerdictName(verdict);
    }
    return text + counts;
}

std::string RunFacts(const RunStamp& stamp) {
    std::string html = "<dl class=\"facts\">\n";
    if (stamp.profilePath.empty()) {
        html += "<dt>Profile</dt><dd class=\"profile\">none (--no-profile): no key is set</dd>\n";
    } else {
        html += "<dt>Profile</dt><dd class=\"profile\">" + Escape(stamp.profilePath) +
                "</dd>\n<dt>Profile SHA-256</dt><dd class=\"sha\">" + Escape(stamp.profileSha256) +
                "</dd>\n";
    }
    html += "<dt>Analysed</dt><dd class=\"date\">" + Escape(stamp.analysedAt) + "</dd>\n</dl>\n";
    return html;
}

}  // namespace

std::string HtmlSpotSection(const RunResult& result, const RunStamp& stamp,
                            const std::string& idPrefix) {
    // A page of its own has the spot as its title; a page of several has its own title.
    int level = idPrefix.empty() ? 1 : 2;
    std::string id = idPrefix.empty() ? "spot" : idPrefix.substr(0, idPrefix.size() - 1);
    std::string html = "<article class=\"spot\" id=\"" + id + "\">\n";
    html += "<header>\n" + Heading(level, " class=\"file-name\"", Escape(FileName(result.path)));
    html += Facts(result, stamp);
    html += Banner(result, idPrefix, FailureLines(result).size());
    html += "</header>\n";
    html += Failures(result, idPrefix, level + 1);
    html += ReportLines(result, idPrefix, level + 1);
    html += Graphs(result, idPrefix, level + 1);
    return html + "</article>\n";
}

std::string HtmlReportText(const RunResult& result, const RunStamp& stamp) {
    std::string title = "Zembra: " + VerdictWord(result.verdict) + " " + FileName(result.path);
    return DocumentStart(title) + HtmlSpotSection(result, stamp, "") + DocumentEnd();
}

HtmlIndexEntry HtmlIndexEntryOf(const RunResult& result, const std::string& href) {
    HtmlIndexEntry entry;
    entry.path = result.path;
    entry.verdict = result.verdict;
    entry.href = href;
    std::vector<const ResultLine*> failures = FailureLines(result);
    entry.failures = failures.size();
    if (!result.reason.empty()) {
        entry.firstFailure = result.reason;
    } else if (!failures.empty()) {
        entry.firstFailure = failures.front()->text;
    }
    return entry;
}

std::string HtmlIndexText(const std::vector<HtmlIndexEntry>& entries, const RunStamp& stamp) {
    std::string html = DocumentStart("Zembra: " + Tally(entries));
    html += "<nav class=\"index\">\n<h1>" + Escape(Tally(entries)) + "</h1>\n";
    html += RunFacts(stamp) + IndexTable(entries) + "</nav>\n";
    return html + DocumentEnd();
}

std::string HtmlRunText(const std::vector<HtmlIndexEntry>& entries,
                        const std::vector<std::string>& sections, const RunStamp& stamp) {
    std::string html = DocumentStart("Zembra: " + Tally(entries));
    html += "<nav class=\"index\">\n<h1>" + Escape(Tally(entries)) + "</h1>\n";
    html += RunFacts(stamp) + IndexTable(entries) + "</nav>\n";
    for (const std::string& section : sections) html += section;
    return html + DocumentEnd();
}

std::string HtmlHrefOfName(const std::string& name) {
    std::string href;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                          (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                          c == '~';
        if (unreserved) {
            href += c;
        } else {
            char text[4];
            std::snprintf(text, sizeof text, "%%%02X", byte);
            href += text;
        }
    }
    return href;
}
