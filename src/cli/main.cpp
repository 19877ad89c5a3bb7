// zembra-cli: analyse program stream files from the command line, for ingest pipelines.
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_summary.h"
#include "cli/batch.h"
#include "cli/cli_options.h"
#include "cli/file_analysis.h"
#include "cli/input_list.h"
#include "cli/interrupt.h"
#include "cli/make_profile.h"
#include "cli/progress_line.h"
#include "cli/report_folder.h"
#include "input/bitstream_file.h"
#include "output/csv_summary.h"
#include "output/html_report.h"
#include "output/json_report.h"
#include "output/junit_report.h"
#include "output/run_stamp.h"
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
// A file could not be analysed: missing, unreadable, not a program stream, a worker that
// crashed or ran out of time.
constexpr int kExitNotAnalysed = 3;
// A stopped run exits with 128 + the signal, as a shell reports a program the signal
// ended: 130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP, 141 for a closed output.
constexpr int kExitSignalBase = 128;
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

// The run's document goes to standard output: no --output, or "--output -".
bool ToStandardOutput(const std::string& path) { return path.empty() || path == kStandardOutput; }

// The chosen format goes to standard output: neither a file nor a folder of them is named.
bool DocumentToStandardOutput(const CliOptions& options) {
    return options.outputDir.empty() && ToStandardOutput(options.outputPath);
}

// Text is printed as it comes, with --output as well.
bool UsesStandardOutput(const CliOptions& options) {
    if (DocumentToStandardOutput(options) || options.format == OutputFormat::Text) return true;
    for (const std::string* path : {&options.summaryPath, &options.gopsPath, &options.bitratePath,
                                    &options.vbvPath, &options.loudnessPath}) {
        if (*path == kStandardOutput) return true;
    }
    return false;
}

// Writes `lines` to `path` ("-": standard output) unless the path is empty; false when that
// fails.
bool WriteIfAsked(const std::string& path, const std::vector<std::string>& lines,
                  const char* what) {
    if (path == kStandardOutput) {
        for (const std::string& line : lines) std::printf("%s\r\n", line.c_str());
        return std::fflush(stdout) == 0;
    }
    return path.empty() || Written(SaveTextLines(path, lines), path, what);
}

// Everything on standard input.
std::string ReadStandardInput() {
    std::string bytes;
    char block[65536];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, stdin)) > 0) bytes.append(block, got);
    return bytes;
}

// The worker's profile: the bytes the main process read, on standard input; with
// --no-profile, none at all.
void LoadWorkerProfile(const CliOptions& options) {
    if (options.noProfile) {
        LoadNoReferenceProfile();
        return;
    }
    LoadReferenceProfileFromText(options.profilePath, ReadStandardInput());
    // The unknown names of the profile; the report holds them too.
    for (const ProfileWarning& warning : ProfileWarnings()) {
        std::fprintf(stderr, "Warning: %s\n", ProfileWarningText(warning).c_str());
    }
}

// A worker never outlives the main process that started it, even one killed outright:
// the system kills the worker when its parent ends, and a parent that ended before that
// was arranged is seen at once.
void DieWithParent(int parent) {
    if (parent <= 0) return;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) std::_Exit(kExitNotAnalysed);
}

// A batch's worker: the file's result on standard output, for the process that started it.
int RunWorker(const CliOptions& options) {
    DieWithParent(options.workerParent);
    InstallWorkerStopHandlers();
    LoadWorkerProfile(options);
    if (options.workerNoReadAhead) SetReadAhead(false);
    std::string message = WorkerMessage(
        AnalyseInThisProcess(options.files.front(), options.workerStatus,
                             {options.workerSeries, options.workerVbv, options.workerLoudness}),
        !options.workerSeriesText);
    bool ok = std::fwrite(message.data(), 1, message.size(), stdout) == message.size();
    return std::fflush(stdout) == 0 && ok ? kExitPass : kExitFail;
}

int MakeProfile(const CliOptions& options) {
    LoadMeasuringProfile();
    RunResult reference = AnalyseInThisProcess(options.makeProfilePath, ::isatty(STDERR_FILENO));
    if (reference.verdict == FileVerdict::Error) {
        std::fprintf(stderr, "zembra-cli: no profile from \"%s\": %s\n",
                     options.makeProfilePath.c_str(), reference.reason.c_str());
        return kExitFail;
    }
    std::string text = ProfileText(reference);
    if (ToStandardOutput(options.outputPath)) {
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

// The profile as the main process read it, once for the whole batch.
struct LoadedProfile {
    std::string path;  // empty: --no-profile
    std::string bytes;
};

// The JSON holds each video stream's GOP rows and bitrates; the CSV files hold a series each.
bool WritesSeriesJson(const CliOptions& options) {
    return options.format == OutputFormat::Json || options.format == OutputFormat::JsonLines;
}

// The HTML graphs and the CSV files read the series from the result itself.
bool ReadsSeries(const CliOptions& options) {
    return options.format == OutputFormat::Html || !options.gopsPath.empty() ||
           !options.bitratePath.empty() || !options.vbvPath.empty() ||
           !options.loudnessPath.empty();
}

BatchSettings WorkerSettings(const CliOptions& options, const LoadedProfile& profile,
                             bool oneFile) {
    BatchSettings settings;
    settings.executable = ExecutablePath();
    settings.workerArgs = {"--worker", "--worker-parent", std::to_string(::getpid())};
    if (profile.path.empty()) {
        settings.workerArgs.push_back("--no-profile");
    } else {
        settings.workerArgs.insert(settings.workerArgs.end(), {"--profile", profile.path});
        settings.workerInput = profile.bytes;
    }
    // One file shows its phases as a run always has; a batch shows its own progress line.
    if (oneFile && ::isatty(STDERR_FILENO)) settings.workerArgs.push_back("--worker-status");
    // A long programme's series cost memory a GOP and a second: kept only for an output
    // that writes them.
    if (WritesSeriesJson(options) || ReadsSeries(options)) {
        settings.workerArgs.push_back("--worker-series");
    }
    // Written as JSON text alone, they travel as that text alone.
    if (!ReadsSeries(options)) settings.workerArgs.push_back("--worker-series-text");
    if (!options.vbvPath.empty()) settings.workerArgs.push_back("--worker-vbv");
    if (!options.loudnessPath.empty()) settings.workerArgs.push_back("--worker-loudness");
    unsigned cores = std::thread::hardware_concurrency();
    int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(cores > 0 ? cores : 1);
    settings.jobs = std::min(jobs, kMostJobs);
    // Workers side by side keep the cores busy, and each one's read-ahead thread then only
    // costs: it made a batch of spots 9 % slower on two cores.
    if (settings.jobs > 1 && !oneFile) settings.workerArgs.push_back("--worker-no-read-ahead");
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

std::vector<FileSeries> AllSeries(const std::vector<RunResult>& results) {
    std::vector<FileSeries> all;
    for (const RunResult& result : results) {
        for (VideoSeries& series : VideoSeriesOf(result)) all.push_back({result.path, series});
    }
    return all;
}

std::vector<FileLoudness> AllLoudnessCurves(const std::vector<RunResult>& results) {
    std::vector<FileLoudness> all;
    for (const RunResult& result : results) {
        for (LoudnessCurve& curve : LoudnessCurvesOf(result)) all.push_back({result.path, curve});
    }
    return all;
}

// Where the chosen format goes: text is printed as each file's report comes in, and so are
// JSON and JSON lines when they go to standard output; --output gets the whole document at
// the end; --output-dir gets each file's report as it comes in, and HTML's index at the end.
class DocumentWriter {
  public:
    DocumentWriter(const CliOptions& options, const RunStamp& stamp,
                   const std::vector<std::string>& arguments)
        : options_(options),
          stamp_(stamp),
          streamJson_(options.format == OutputFormat::Json && DocumentToStandardOutput(options)) {
        if (!options.outputDir.empty()) {
            for (const std::string& path : arguments) NoteInput(path);
            std::vector<std::string> reserved;
            if (options.format == OutputFormat::Html) reserved.push_back(kHtmlIndexName);
            // A name no report may take is passed over as one in use.
            folder_.emplace(
                options.outputDir, ReportExtension(options.format), reserved,
                [this](const std::string& path) {
                    return ReportFileRefusal(options_, path, inputs_, stamp_.profilePath).empty();
                });
        }
        if (streamJson_) std::fputs(JsonDocumentStart(stamp_).c_str(), stdout);
    }

    void Add(const RunResult& result, std::string json, ProgressDisplay& progress, bool colour,
             const TextOptions& textOptions) {
        if (options_.format == OutputFormat::Text) {
            // The text holds the reports there are; the machine outputs list the rest.
            if (result.verdict == FileVerdict::NotAnalysed) return;
            std::vector<ShownLine> lines = ShownLines(result, textOptions);
            progress.Clear();
            PrintLines(stdout, lines, colour);
            if (folder_) {
                std::string text;
                for (const std::string& line : Texts(lines)) text += line + "\r\n";
                WriteSpot(result, text, progress);
                return;
            }
            for (std::string& text : Texts(lines)) pieces_.push_back(std::move(text));
        } else if (folder_) {
            WriteSpot(result, SpotDocument(result, std::move(json)), progress);
        } else if (options_.format == OutputFormat::Json) {
            if (json.empty()) json = FileJsonText(result);
            if (!streamJson_) {
                pieces_.push_back(std::move(json));
                return;
            }
            std::fputs(JsonDocumentFile(json, first_).c_str(), stdout);
            first_ = false;
        } else if (options_.format == OutputFormat::JsonLines) {
            if (json.empty()) json = FileJsonText(result);
            json += '\n';
            if (ToStandardOutput(options_.outputPath)) {
                std::fputs(json.c_str(), stdout);
            } else {
                pieces_.push_back(std::move(json));
            }
        } else if (options_.format == OutputFormat::Html) {
            AddToPage(result);
        }
    }

    // False when a file cannot be written.
    bool Finish(const std::vector<RunResult>& results) {
        if (folder_) {
            if (options_.format != OutputFormat::Html) return folderWritten_;
            std::string index = folder_->PathOf(kHtmlIndexName);
            bool written =
                Written(SaveText(index, HtmlIndexText(entries_, stamp_)), index, "index");
            return written && folderWritten_;
        }
        if (options_.format == OutputFormat::Text) {
            // Printed as it came; a file gets it whole.
            if (ToStandardOutput(options_.outputPath)) return true;
            return WriteIfAsked(options_.outputPath, pieces_, "report");
        }
        if (streamJson_) {
            std::fputs(JsonDocumentEnd().c_str(), stdout);
            return std::fflush(stdout) == 0;
        }
        if (options_.format == OutputFormat::JsonLines) {
            if (ToStandardOutput(options_.outputPath)) return std::fflush(stdout) == 0;
            std::string lines;
            for (const std::string& line : pieces_) lines += line;
            return Written(SaveText(options_.outputPath, lines), options_.outputPath, "report");
        }
        std::string document = WholeDocument(results);
        if (ToStandardOutput(options_.outputPath)) {
            std::fputs(document.c_str(), stdout);
            return std::fflush(stdout) == 0;
        }
        return Written(SaveText(options_.outputPath, document), options_.outputPath, "report");
    }

  private:
    void NoteInput(const std::string& path) {
        if (std::optional<FileId> id = IdOfFile(path)) inputs_.insert(*id);
    }

    // What one file's report is in the chosen format, as --output holds it for one file.
    std::string SpotDocument(const RunResult& result, std::string json) const {
        switch (options_.format) {
            case OutputFormat::Json:
                return RunJsonText({json.empty() ? FileJsonText(result) : std::move(json)}, stamp_);
            case OutputFormat::JsonLines:
                return (json.empty() ? FileJsonText(result) : std::move(json)) + "\n";
            case OutputFormat::Junit:
                return RunJunitText({result}, stamp_);
            case OutputFormat::Html:
                return HtmlReportText(result, stamp_);
            case OutputFormat::Text:
                break;
        }
        return "";
    }

    // Each file's report under its own name in the folder, as soon as it is in.
    void WriteSpot(const RunResult& result, const std::string& document,
                   ProgressDisplay& progress) {
        NoteInput(result.path);
        std::string name = folder_->Take(result.path);
        std::string path = folder_->PathOf(name);
        if (!SaveText(path, document)) {
            progress.Clear();
            folderWritten_ = Written(false, path, "report");
        }
        entries_.push_back(HtmlIndexEntryOf(result, HtmlHrefOfName(name)));
    }

    // One file is a page of its own; with a second, each becomes a section of one page.
    void AddToPage(const RunResult& result) {
        size_t spot = entries_.size() + 1;
        if (spot == 1) {
            firstOnPage_ = result;
        } else {
            if (firstOnPage_) {
                sections_.push_back(HtmlSpotSection(*firstOnPage_, stamp_, "spot-1-"));
                firstOnPage_.reset();
            }
            sections_.push_back(
                HtmlSpotSection(result, stamp_, "spot-" + std::to_string(spot) + "-"));
        }
        entries_.push_back(HtmlIndexEntryOf(result, "#spot-" + std::to_string(spot)));
    }

    // The document made at the end: JSON, JUnit or HTML.
    std::string WholeDocument(const std::vector<RunResult>& results) const {
        if (options_.format == OutputFormat::Json) return RunJsonText(pieces_, stamp_);
        if (options_.format == OutputFormat::Junit) return RunJunitText(results, stamp_);
        if (firstOnPage_) return HtmlReportText(*firstOnPage_, stamp_);
        return HtmlRunText(entries_, sections_, stamp_);
    }

    const CliOptions& options_;
    const RunStamp& stamp_;
    bool streamJson_;
    bool first_ = true;
    std::vector<std::string> pieces_;  // the text's lines, or the files' JSON objects
    std::optional<ReportFolder> folder_;
    std::set<FileId> inputs_;  // no report replaces one of them
    bool folderWritten_ = true;
    std::vector<HtmlIndexEntry> entries_;
    std::optional<RunResult> firstOnPage_;
    std::vector<std::string> sections_;
};

// The HTML page draws each video stream's bitrates and buffer occupancy, and the loudness
// curve of each stream the profile has measured anyway: asking for loudness the profile
// does not judge would add its lines to the report.
void AskForGraphs(const CliOptions& options, BatchSettings& settings) {
    if (options.format != OutputFormat::Html) return;
    auto ask = [&settings](const char* arg) {
        std::vector<std::string>& args = settings.workerArgs;
        if (std::find(args.begin(), args.end(), arg) == args.end()) args.push_back(arg);
    };
    ask("--worker-series");
    ask("--worker-vbv");
    if (MeasuresLoudness(ReferenceProfile.audio, false)) ask("--worker-loudness");
}

// The run's exit status from its results: an interrupt first, then a file that could not
// be analysed, then a failed one.
int ExitStatus(const std::vector<RunResult>& results) {
    if (WasInterrupted()) return kExitSignalBase + StopSignal();
    auto any = [&](FileVerdict verdict) {
        return std::any_of(results.begin(), results.end(),
                           [&](const RunResult& r) { return r.verdict == verdict; });
    };
    // A file interrupted by a signal its worker alone received was not analysed whole.
    if (any(FileVerdict::Error) || any(FileVerdict::Interrupted) || any(FileVerdict::NotAnalysed)) {
        return kExitNotAnalysed;
    }
    return any(FileVerdict::Fail) ? kExitFail : kExitPass;
}

void SayWhyStopped(const std::vector<RunResult>& results) {
    std::string cause = StopSignal() == SIGINT    ? "Ctrl-C"
                        : StopSignal() == SIGPIPE ? "the closing of standard output"
                                                  : sigabbrev_np(StopSignal());
    if (StopSignal() != SIGINT && StopSignal() != SIGPIPE) cause = "SIG" + cause;
    auto notAnalysed = std::count_if(results.begin(), results.end(), [](const RunResult& r) {
        return r.verdict == FileVerdict::NotAnalysed;
    });
    std::fprintf(stderr, "Interrupted: the report covers only what was read before %s",
                 cause.c_str());
    if (notAnalysed > 0) {
        std::fprintf(stderr, "; %ld %s not analysed", static_cast<long>(notAnalysed),
                     notAnalysed == 1 ? "file" : "files");
    }
    std::fputs(".\n", stderr);
}

// A batch's count by verdict, last on standard error: "38 files: 30 pass, 6 fail, 2 error,
// 4.1 s".
void PrintTally(const std::vector<RunResult>& results, double seconds) {
    auto count = [&](FileVerdict verdict) {
        return std::count_if(results.begin(), results.end(),
                             [&](const RunResult& r) { return r.verdict == verdict; });
    };
    std::string tally = std::to_string(results.size()) +
                        " files: " + std::to_string(count(FileVerdict::Pass)) + " pass, " +
                        std::to_string(count(FileVerdict::Fail)) + " fail, " +
                        std::to_string(count(FileVerdict::Error)) + " error";
    for (FileVerdict verdict : {FileVerdict::Interrupted, FileVerdict::NotAnalysed}) {
        if (count(verdict) > 0) {
            tally += ", " + std::to_string(count(verdict)) + " " + VerdictName(verdict);
        }
    }
    std::fprintf(stderr, "%s, %.1f s\n", tally.c_str(), seconds);
}

int RunFiles(const CliOptions& options, const LoadedProfile& profile) {
    auto start = std::chrono::steady_clock::now();
    InputFeed feed(options.files, STDIN_FILENO, options.nullSeparated ? '\0' : '\n');
    if (std::optional<std::string> error =
            FindOutputProblem(options, feed.ArgumentPaths(), profile.path)) {
        return UsageError(*error);
    }
    if (!options.outputDir.empty()) {
        if (std::optional<std::string> error = MakeReportFolder(options.outputDir)) {
            return UsageError(*error);
        }
    }
    // A path of the list can only be checked when it comes.
    feed.RefuseListed([&options](const std::string& path) { return OutputNaming(options, path); });
    InstallStopHandlers();
    bool colour = UseColour(options);
    TextOptions textOptions{options.errorsOnly, options.explain};
    bool oneFile = feed.Ended() && feed.ArgumentPaths().size() == 1;
    ProgressDisplay progress(!oneFile && ::isatty(STDERR_FILENO));

    RunStamp stamp = StampRun(profile.path, profile.bytes, std::time(nullptr));
    DocumentWriter document(options, stamp, feed.ArgumentPaths());
    // JUnit is written at the end from the whole results; the other outputs need only
    // what the summary and the GOP and bitrate tables read.
    bool keepWhole = options.format == OutputFormat::Junit && options.outputDir.empty();
    bool keepSeries = !options.gopsPath.empty() || !options.bitratePath.empty() ||
                      !options.vbvPath.empty() || !options.loudnessPath.empty();
    std::vector<RunResult> results;
    BatchCallbacks callbacks;
    callbacks.result = [&](BatchResult&& batchResult) {
        RunResult& result = batchResult.result;
        document.Add(result, std::move(batchResult.json), progress, colour, textOptions);
        // Each file as it ends, for the program reading; a reader that went away
        // (`| head`) stops the batch, and the files are still written.
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) StopForClosedOutput();
        if (!keepWhole) KeepForSummary(result, keepSeries);
        results.push_back(std::move(result));
    };
    callbacks.progress = [&](const BatchProgress& p) { progress.Show(p); };
    // Existing folders without spots are said and left out: nothing there to judge.
    callbacks.note = [&](const std::string& note) {
        progress.Clear();
        std::fprintf(stderr, "Note: %s\n", note.c_str());
    };
    // A reader of standard output that has gone stops the batch before its next report.
    bool watchOutput = UsesStandardOutput(options);
    callbacks.stopRequested = [watchOutput] {
        if (watchOutput && !WasInterrupted() && StandardOutputClosed()) StopForClosedOutput();
        return WasInterrupted();
    };
    BatchSettings settings = WorkerSettings(options, profile, oneFile);
    AskForGraphs(options, settings);
    RunBatch(feed, settings, callbacks);
    progress.Clear();

    int exitCode = ExitStatus(results);
    if (WasInterrupted()) SayWhyStopped(results);
    bool written = document.Finish(results);
    written =
        WriteIfAsked(options.summaryPath, SummaryCsvLines(results, stamp), "summary") && written;
    std::vector<FileSeries> series = AllSeries(results);
    written = WriteIfAsked(options.gopsPath, GopCsvLines(series), "GOP table") && written;
    written = WriteIfAsked(options.bitratePath, BitrateCsvLines(series), "bitrates") && written;
    written = WriteIfAsked(options.vbvPath, VbvCsvLines(series), "buffer occupancy") && written;
    std::vector<FileLoudness> curves = AllLoudnessCurves(results);
    // Loudness is measured on decoded audio only: an empty table says why, when that is why.
    if (!options.loudnessPath.empty() && curves.empty() && !DecodesAudio(ReferenceProfile.audio)) {
        std::fputs(
            "Note: --loudness measured no audio stream: loudness needs decoded audio "
            "(DecodeAudio=1 in the profile).\n",
            stderr);
    }
    written = WriteIfAsked(options.loudnessPath, LoudnessCsvLines(curves), "loudness") && written;
    if (results.size() > 1) {
        PrintTally(results,
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return written || WasInterrupted() ? exitCode : kExitFail;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // the user's date and time formats in the report
    std::string error;
    std::optional<CliOptions> parsed =
        ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        std::fprintf(stderr, "zembra-cli: %s\nTry 'zembra-cli --help' for more.\n", error.c_str());
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
                FindOutputProblem(options, {options.makeProfilePath}, "")) {
            return UsageError(*error);
        }
        return MakeProfile(options);
    }

    std::string profilePath =
        options.profilePath.empty() ? DefaultReferenceProfilePath() : options.profilePath;
    // No verdict without a profile: one that cannot be read stops the run before anything
    // is analysed (--no-profile runs without one on purpose). It is read once: every file
    // of the batch is judged by these bytes, even if the file is saved again meanwhile.
    LoadedProfile profile;
    if (!options.noProfile) {
        std::optional<std::string> error = IniFileReadError(profilePath);
        std::optional<std::string> bytes;
        if (!error) bytes = ReadIniFileBytes(profilePath);
        if (!bytes) {
            return UsageError("cannot read the reference profile \"" + profilePath +
                              "\": " + error.value_or(std::strerror(errno)));
        }
        profile = {profilePath, *bytes};
        // An empty file, a binary one or a spot given by mistake judges nothing: every
        // file would pass unjudged.
        LoadReferenceProfileFromText(profilePath, profile.bytes);
        // A value the key does not take would leave its check unmade: refused, each said.
        bool valuesApplied = true;
        for (const ProfileWarning& warning : ProfileWarnings()) {
            if (!IsValueNotApplied(warning)) continue;
            std::fprintf(stderr, "zembra-cli: %s\n", ProfileWarningText(warning).c_str());
            valuesApplied = false;
        }
        if (!valuesApplied) return kExitUsage;
        if (ReferenceProfileOrigin().keysSet == 0) {
            return UsageError("profile \"" + profilePath +
                              "\" sets no key; use --no-profile to run without one");
        }
    }
    return RunFiles(options, profile);
}
