// CSV summary rows.
#include "output/csv_summary.h"

#include <cstdio>

#include "output/csv.h"
#include "output/key_text.h"
#include "video/video_parser.h"

namespace {

// Where several streams of a kind are present, their descriptions are joined by this.
constexpr const char* kStreamSeparator = " | ";

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : kStreamSeparator) + part;
    return text;
}

// "MPEG-2 720x576 16:9 25 fps".
std::string VideoFormat(const VideoStreamFigures& video) {
    std::string aspect = KeyMeaning("AspectRatio", video.aspectRatioCode);
    std::string rate = KeyMeaning("FrameRate", video.frameRateCode);
    std::string text = "MPEG-2 " + std::to_string(video.horizontalSize) + "x" +
                       std::to_string(video.verticalSize);
    if (!aspect.empty()) text += " " + aspect;
    if (!rate.empty()) text += " " + rate;
    return text;
}

// The figures as the report's lines print them, so that a row and its report agree:
// "Average Bitrate = 4010 Kbps" and "Peak Bitrate (1 sec) = 4210 Kbps" cut the Kbps to a
// whole number, "Video Stream Duration: 4.00 sec" keeps two decimals.
std::string ReportedKbps(double kbps) { return std::to_string(static_cast<uint32_t>(kbps)); }
std::string ReportedSeconds(double seconds) { return CsvDecimal(seconds, 2); }

// A stream the report measured; one it refused (not MPEG-2, a picture type error) has no
// figures in the report, and none here.
bool Measured(const VideoStreamFigures& video) {
    return video.status == VideoOk || video.status == VideoNoEndCode;
}

std::vector<std::string> Row(const RunResult& result, const RunStamp& stamp) {
    std::vector<std::string> videoFormats, averages, peaks, gopLengths, audioFormats;
    std::string duration;
    for (const VideoStreamFigures& video : result.videoStreams) {
        if (!Measured(video)) continue;
        // The report's duration is the last measured stream's.
        duration = ReportedSeconds(video.durationSeconds);
        videoFormats.push_back(VideoFormat(video));
        averages.push_back(ReportedKbps(video.averageKbps));
        peaks.push_back(ReportedKbps(video.peakKbps));
        gopLengths.push_back(std::to_string(video.gopLengthMax));
    }
    for (const AudioStreamFigures& audio : result.audioStreams) {
        // "MPEG-1 Layer II 192 kbit/s 48000 Hz stereo", named by the analysis.
        audioFormats.push_back(audio.format);
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

std::vector<std::string> SummaryCsvLines(const std::vector<RunResult>& results,
                                         const RunStamp& stamp) {
    std::vector<std::string> lines = {
        CsvRow({"path", "verdict", "duration_s", "video_format", "video_average_kbps",
                "video_peak_kbps", "gop_length", "audio_format", "failures", "first_failure",
                "profile", "profile_sha256", "analysed_at"})};
    for (const RunResult& result : results) lines.push_back(CsvRow(Row(result, stamp)));
    return lines;
}
