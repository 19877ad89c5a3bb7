// zembra-cli: analyse program stream files from the command line, for ingest pipelines.
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "cli/batch.h"
#include "cli/cli_options.h"
#include "cli/file_analysis.h"
#include "cli/input_list.h"
#include "cli/interrupt.h"
#include "cli/make_profile.h"
#include "cli/progress_line.h"
#include "output/csv_summary.h"
#include "output/json_report.h"
#include "output/junit_report.h"
#include "output/series_csv.h"
#include "output/text_report.h"
#include "reference/ini_file.h"
#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "report/report_text_file.h"

namespace {

constexpr int kExitPass = 0;
constexpr int kExitFail = 1;
constexpr int kExitUsage = 2;
// Each worker holds two descriptors; this many stay well inside the usual limit of 1024.
constexpr int kMostJobs = 256;

bool UseColour(const CliOptions& options) {
    const char* noColor = std::getenv("NO_COLOR");
    return !options.noColor && !(noColor && *noColor) && ::isatty(STDOUT_FILENO);
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "zembra-cli: %s\n", message.c_str());
    return kExitUsage;
}

bool Written(bool ok, const std::string& path, const char* what) {
    if (!ok) std::fprintf(stderr, "Error: Unable to write the %s to \"%s\".\n", what, path.c_str());
    return ok;
}

// Writes `lines` to `path` unless the path is empty; false when that fails.
bool WriteIfAsked(const std::string& path, const std::vector<std::string>& lines,
                  const char* what) {
    return path.empty() || Written(SaveTextLines(path, lines), path, what);
}

// Loads the profile for the next file; with --no-profile, none at all.
void LoadProfile(const CliOptions& options, const std::string& profilePath) {
    if (options.noProfile) {
        LoadNoReferenceProfile();
        return;
    }
    LoadReferenceProfileFrom(profilePath);
    // The unknown names of the profile just loaded; the report holds them too.
    for (const ProfileWarning& warning : ProfileWarnings()) {
        std::fprintf(stderr, "Warning: %s\n", ProfileWarningText(warning).c_str());
    }
}

// A batch's worker: the file's result on standard output, for the process that started it.
int RunWorker(const CliOptions& options) {
    LoadProfile(options, options.profilePath);
    InstallInterruptHandler();
    std::string message =
        WorkerMessage(AnalyseInThisProcess(options.files.front(), options.workerStatus));
    bool ok = std::fwrite(message.data(), 1, message.size(), stdout) == message.size();
    return std::fflush(stdout) == 0 && ok ? kExitPass : kExitFail;
}

int MakeProfile(const CliOptions& options) {
    LoadMeasuringProfile();
    FileResult reference = AnalyseInThisProcess(options.makeProfilePath, ::isatty(STDERR_FILENO));
    if (reference.verdict == FileVerdict::Error) {
        std::fprintf(stderr, "zembra-cli: no profile from \"%s\": %s\n",
                     options.makeProfilePath.c_str(), reference.reason.c_str());
        return kExitFail;
    }
    std::string text = ProfileText(reference);
    if (options.outputPath.empty()) {
        std::fputs(text.c_str(), stdout);
        return kExitPass;
    }
    return Written(SaveText(options.outputPath, text), options.outputPath, "profile") ? kExitPass
                                                                                      : kExitFail;
}

std::string ExecutablePath() {
    char path[4096];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

BatchSettings WorkerSettings(const CliOptions& options, const std::string& profilePath,
                             size_t files) {
    BatchSettings settings;
    settings.executable = ExecutablePath();
    settings.workerArgs = {"--worker"};
    if (options.noProfile) {
        settings.workerArgs.push_back("--no-profile");
    } else {
        settings.workerArgs.insert(settings.workerArgs.end(), {"--profile", profilePath});
    }
    // One file shows its phases as a run always has; a batch shows its own progress line.
    bool oneFile = files == 1;
    if (oneFile && ::isatty(STDERR_FILENO)) settings.workerArgs.push_back("--worker-status");
    unsigned cores = std::thread::hardware_concurrency();
    int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(cores > 0 ? cores : 1);
    settings.jobs = std::min(jobs, kMostJobs);
    settings.fileTimeoutSeconds = options.fileTimeoutSeconds;
    return settings;
}

// Standard error's progress line: only on a terminal, and only for a batch.
class ProgressDisplay {
  public:
    explicit ProgressDisplay(bool on) : on_(on) {}
    void Show(const BatchProgress& progress) {
        if (!on_) return;
        std::fprintf(stderr, "\r%s\x1b[K", ProgressLineText(progress).c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void Clear() {
        if (shown_) std::fputs("\r\x1b[K", stderr);
        shown_ = false;
    }

  private:
    bool on_;
    bool shown_ = false;
};

std::vector<FileSeries> AllSeries(const std::vector<FileResult>& results) {
    std::vector<FileSeries> all;
    for (const FileResult& result : results) {
        for (VideoSeries& series : VideoSeriesOf(result)) all.push_back({result.path, series});
    }
    return all;
}

// `pieces`: the text report's lines, or each file's JSON object.
bool WriteDocument(const CliOptions& options, const std::vector<FileResult>& results,
                   const std::string& profile, const std::vector<std::string>& pieces) {
    if (options.format == OutputFormat::Text) {
        return WriteIfAsked(options.outputPath, pieces, "report");
    }
    std::string document = options.format == OutputFormat::Json ? RunJsonText(pieces, profile)
                                                                : RunJunitText(results, profile);
    if (options.outputPath.empty()) {
        std::fputs(document.c_str(), stdout);
        return std::fflush(stdout) == 0;
    }
    return Written(SaveText(options.outputPath, document), options.outputPath, "report");
}

int RunFiles(const CliOptions& options, const std::string& profilePath) {
    std::vector<BatchInput> inputs = ExpandInputs(options.files, std::cin);
    std::vector<std::string> paths;
    for (const BatchInput& input : inputs) paths.push_back(input.path);
    if (std::optional<std::string> error = FindOutputOverInput(options, paths)) {
        return UsageError(*error);
    }
    InstallInterruptHandler();
    bool colour = UseColour(options);
    TextOptions textOptions{options.errorsOnly, options.explain};
    ProgressDisplay progress(inputs.size() > 1 && ::isatty(STDERR_FILENO));

    std::vector<FileResult> results;
    std::vector<std::string> pieces;  // made as the results come in, beside the workers
    BatchCallbacks callbacks;
    callbacks.result = [&](BatchResult&& batchResult) {
        FileResult& result = batchResult.result;
        if (options.format == OutputFormat::Text) {
            std::vector<ShownLine> lines = ShownLines(result, textOptions);
            progress.Clear();
            PrintLines(stdout, lines, colour);
            for (std::string& text : Texts(lines)) pieces.push_back(std::move(text));
        } else if (options.format == OutputFormat::Json) {
            bool made = !batchResult.json.empty();
            pieces.push_back(made ? std::move(batchResult.json) : FileJsonText(result));
        }
        results.push_back(std::move(result));
    };
    callbacks.progress = [&](const BatchProgress& p) { progress.Show(p); };
    callbacks.stopRequested = [] { return WasInterrupted(); };
    RunBatch(inputs, WorkerSettings(options, profilePath, inputs.size()), callbacks);
    progress.Clear();

    int exitCode = kExitPass;
    for (const FileResult& result : results) {
        if (result.verdict != FileVerdict::Pass) exitCode = kExitFail;
    }
    if (WasInterrupted()) {
        std::fputs("Interrupted: the report covers only what was read before Ctrl-C.\n", stderr);
        exitCode = kExitFail;
    }
    std::string profile = options.noProfile ? "" : profilePath;
    bool written = WriteDocument(options, results, profile, pieces);
    written = WriteIfAsked(options.summaryPath, SummaryCsvLines(results), "summary") && written;
    std::vector<FileSeries> series = AllSeries(results);
    written = WriteIfAsked(options.gopsPath, GopCsvLines(series), "GOP table") && written;
    written = WriteIfAsked(options.bitratePath, BitrateCsvLines(series), "bitrates") && written;
    return written ? exitCode : kExitFail;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // the user's date and time formats in the report
    std::string error;
    std::optional<CliOptions> parsed =
        ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        std::fprintf(stderr, "zembra-cli: %s\n\n%s", error.c_str(), kCliUsage);
        return kExitUsage;
    }
    const CliOptions& options = *parsed;
    if (options.help) {
        std::fputs(kCliUsage, stdout);
        return kExitPass;
    }
    if (options.version) {
        std::printf("%s\n", VersionText().c_str());
        return kExitPass;
    }
    if (options.worker) return RunWorker(options);
    if (!options.makeProfilePath.empty()) {
        if (std::optional<std::string> error =
                FindOutputOverInput(options, {options.makeProfilePath})) {
            return UsageError(*error);
        }
        return MakeProfile(options);
    }

    std::string profilePath =
        options.profilePath.empty() ? DefaultReferenceProfilePath() : options.profilePath;
    // No verdict without a profile: one that cannot be read stops the run before anything
    // is analysed (--no-profile runs without one on purpose).
    if (!options.noProfile) {
        if (std::optional<std::string> error = IniFileReadError(profilePath)) {
            return UsageError("cannot read the reference profile \"" + profilePath +
                              "\": " + *error);
        }
    }
    return RunFiles(options, profilePath);
}
