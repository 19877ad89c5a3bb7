// GOP, bitrate, buffer occupancy and loudness CSV lines.
#include "output/series_csv.h"

#include <cmath>
#include <cstdio>

#include "output/csv.h"

namespace {

std::string YesNo(bool yes) { return yes ? "Yes" : "No"; }

// The File and Stream columns every row starts with.
std::vector<std::string> Prefix(const std::string& path, int streamId) {
    return {path, StreamIdText(streamId)};
}

std::vector<std::string> Prefix(const FileSeries& stream) {
    return Prefix(stream.path, stream.series.streamId);
}

std::string LufsText(double lufs) { return std::isfinite(lufs) ? CsvDecimal(lufs, 2) : "-inf"; }

std::vector<std::string> Joined(std::vector<std::string> front,
                                const std::vector<std::string>& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

// The table's first row: its column names, after the File and Stream columns.
std::vector<std::string> HeaderRow(const std::vector<std::string>& columns) {
    return {CsvRow(Joined({"File", "Stream"}, columns))};
}

}  // namespace

std::string StreamIdText(int streamId) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(streamId) & 0xFFu);
    return text;
}

std::vector<std::string> GopCsvLines(const std::vector<FileSeries>& streams) {
    std::vector<std::string> lines = HeaderRow(
        {"GOP #", "TimeCode", "GOP Length", "Structure", "Closed?", "Seq. Header?", "Broken Link"});
    for (const FileSeries& stream : streams) {
        size_t number = 0;
        for (const GopRow& gop : stream.series.gops) {
            lines.push_back(CsvRow(Joined(
                Prefix(stream),
                {std::to_string(++number), gop.timeCode, std::to_string(gop.length), gop.structure,
                 YesNo(gop.closed), YesNo(gop.sequenceHeader), YesNo(gop.brokenLink)})));
        }
    }
    return lines;
}

std::vector<std::string> BitrateCsvLines(const std::vector<FileSeries>& streams) {
    std::vector<std::string> lines = HeaderRow({"Second", "Kilobits"});
    for (const FileSeries& stream : streams) {
        const std::vector<double>& samples = stream.series.kilobitsPerSecond;
        for (size_t i = 0; i < samples.size(); ++i) {
            lines.push_back(
                CsvRow(Joined(Prefix(stream), {std::to_string(i + 1), CsvDecimal(samples[i])})));
        }
    }
    return lines;
}

std::vector<std::string> VbvCsvLines(const std::vector<FileSeries>& streams) {
    std::vector<std::string> lines = HeaderRow(
        {"Picture", "Seconds", "Before (bits)", "After (bits)", "Before (%)", "After (%)"});
    for (const FileSeries& stream : streams) {
        double buffer = stream.series.vbvBufferBits;
        for (const VbvPoint& point : stream.series.vbv) {
            lines.push_back(CsvRow(Joined(
                Prefix(stream), {std::to_string(point.picture), CsvDecimal(point.seconds, 3),
                                 CsvDecimal(point.beforeBits, 0), CsvDecimal(point.afterBits, 0),
                                 CsvDecimal(100.0 * point.beforeBits / buffer),
                                 CsvDecimal(100.0 * point.afterBits / buffer)})));
        }
    }
    return lines;
}

std::vector<std::string> LoudnessCsvLines(const std::vector<FileLoudness>& streams) {
    std::vector<std::string> lines =
        HeaderRow({"Seconds", "Momentary (LUFS)", "Short-Term (LUFS)"});
    for (const FileLoudness& stream : streams) {
        for (const auto& [seconds, momentary, shortTerm] : stream.curve.points) {
            lines.push_back(
                CsvRow(Joined(Prefix(stream.path, stream.curve.streamId),
                              {CsvDecimal(seconds, 1), LufsText(momentary), LufsText(shortTerm)})));
        }
    }
    return lines;
}
