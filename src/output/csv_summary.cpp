// CSV summary rows.
#include "output/csv_summary.h"

#include <cstdio>

#include "output/csv.h"
#include "output/key_text.h"
#include "video/video_parser.h"

using json = nlohmann::ordered_json;

namespace {

// Where several streams of a kind are present, their descriptions are joined by this.
constexpr const char* kStreamSeparator = " | ";

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : kStreamSeparator) + part;
    return text;
}

// "MPEG-2 720x576 16:9 25 fps".
std::string VideoFormat(const json& video) {
    std::string aspect = KeyMeaning("AspectRatio", video.at("aspectRatioCode").get<double>());
    std::string rate = KeyMeaning("FrameRate", video.at("frameRateCode").get<double>());
    std::string text = "MPEG-2 " + std::to_string(video.at("horizontalSize").get<uint32_t>()) +
                       "x" + std::to_string(video.at("verticalSize").get<uint32_t>());
    if (!aspect.empty()) text += " " + aspect;
    if (!rate.empty()) text += " " + rate;
    return text;
}

// The figures as the report's lines print them, so that a row and its report agree:
// "Average Bitrate = 4010 Kbps" and "Peak Bitrate (1 sec) = 4210 Kbps" cut the Kbps to a
// whole number, "Video Stream Duration: 4.00 sec" keeps two decimals.
std::string ReportedKbps(const json& kbps) {
    return std::to_string(static_cast<uint32_t>(kbps.get<double>()));
}
std::string ReportedSeconds(const json& seconds) { return CsvDecimal(seconds.get<double>(), 2); }

// A stream the report measured; one it refused (not MPEG-2, a picture type error) has no
// figures in the report, and none here.
bool Measured(const json& video) {
    auto status = video.at("status").get<uint32_t>();
    return status == VideoOk || status == VideoNoEndCode;
}

std::vector<std::string> Row(const FileResult& result, const RunStamp& stamp) {
    std::vector<std::string> videoFormats, averages, peaks, gopLengths, audioFormats;
    std::string duration;
    for (const json& video : result.streams.value("videoStreams", json::array())) {
        if (!Measured(video)) continue;
        // The report's duration is the last measured stream's.
        duration = ReportedSeconds(video.at("durationSeconds"));
        videoFormats.push_back(VideoFormat(video));
        averages.push_back(ReportedKbps(video.at("averageKbps")));
        peaks.push_back(ReportedKbps(video.at("peakKbps")));
        gopLengths.push_back(std::to_string(video.at("gopLengthMax").get<uint32_t>()));
    }
    for (const json& audio : result.streams.value("audioStreams", json::array())) {
        // "MPEG-1 Layer II 192 kbit/s 48000 Hz stereo", named by the analysis.
        audioFormats.push_back(audio.at("format").get<std::string>());
    }
    std::vector<const ResultLine*> failures = FailureLines(result);
    // A file that was never judged: the reason stands for its failures.
    bool unjudged =
        result.verdict == FileVerdict::Error || result.verdict == FileVerdict::NotAnalysed;
    std::string first = unjudged ? result.reason : failures.empty() ? "" : failures.front()->text;
    return {result.path,
            VerdictName(result.verdict),
            duration,
            Joined(videoFormats),
            Joined(averages),
            Joined(peaks),
            Joined(gopLengths),
            Joined(audioFormats),
            std::to_string(failures.size()),
            first,
            stamp.profilePath,
            stamp.profileSha256,
            stamp.analysedAt};
}

}  // namespace

std::vector<std::string> SummaryCsvLines(const std::vector<FileResult>& results,
                                         const RunStamp& stamp) {
    std::vector<std::string> lines = {
        CsvRow({"path", "verdict", "duration_s", "video_format", "video_average_kbps",
                "video_peak_kbps", "gop_length", "audio_format", "failures", "first_failure",
                "profile", "profile_sha256", "analysed_at"})};
    for (const FileResult& result : results) lines.push_back(CsvRow(Row(result, stamp)));
    return lines;
}
