// In-process analysis of one file.
#include "cli/file_analysis.h"

#include <chrono>

#include "audio/audio_summary.h"
#include "cli/console_sink.h"
#include "cli/file_capture.h"
#include "cli/video_csv.h"
#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "video/video_statistics.h"

FileResult AnalyseInThisProcess(const std::string& path, bool showStatus, SeriesWanted wanted) {
    ConsoleSink sink(showStatus);
    SetReportSink(&sink);
    SetLoudnessRequested(wanted.loudness);
    VideoCsv video(wanted.bufferOccupancy);
    SetVideoListener(&video);
    // Every line is kept; --errors-only leaves lines out when the result is shown.
    SetPrintOnlyErrors(false);
    auto start = std::chrono::steady_clock::now();
    AnalyzeFile(path.c_str());
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    sink.EndStatus();
    SetReportSink(nullptr);
    SetVideoListener(nullptr);
    SetLoudnessRequested(false);
    return CaptureFileResult(path, sink, video, elapsed.count(), wanted.loudness);
}
