// Command-line options of zembra-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

enum class OutputFormat { Text, Json, Junit, JsonLines, Html };

struct CliOptions {
    std::string profilePath;      // empty: MpegReference.ini beside the executable
    std::string outputPath;       // empty: no report file
    std::string outputDir;        // empty: no folder of reports, one a spot
    std::string gopsPath;         // empty: no GOP table file
    std::string bitratePath;      // empty: no bitrate file
    std::string vbvPath;          // empty: no buffer occupancy file
    std::string loudnessPath;     // empty: no loudness file
    std::string summaryPath;      // empty: no CSV summary
    std::string makeProfilePath;  // a reference spot to write a profile from
    OutputFormat format = OutputFormat::Text;
    bool noProfile = false;  // every check an information line, on purpose
    bool errorsOnly = false;
    bool explain = false;
    bool noColor = false;
    bool nullSeparated = false;  // -0: the list on standard input is NUL-separated
    bool help = false;
    bool version = false;
    int jobs = 0;                   // 0: one per core
    double fileTimeoutSeconds = 0;  // 0: no limit
    // A batch's worker: analyses its one file and writes the result on standard output.
    // With --profile, the profile's bytes come on its standard input, read once by the
    // main process; the path only names them.
    bool worker = false;
    bool workerStatus = false;       // the worker shows its phase on a terminal's standard error
    bool workerSeries = false;       // the worker's result keeps GOP rows and one-second bitrates
    bool workerSeriesText = false;   // and hands them over in the JSON text alone
    bool workerVbv = false;          // the worker's result keeps each picture's buffer occupancy
    bool workerLoudness = false;     // the worker measures loudness and keeps its curves
    bool workerNoReadAhead = false;  // the worker reads each block when it is due
    int workerParent = 0;            // the main process's id: the worker ends with it
    std::vector<std::string> files;  // files, folders, and "-" for a list on standard input
};

// Parses argv[1..]; on a usage error returns nullopt and sets `error`.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

// An output that must not be written, found before anything is read or written: one that
// names a file to analyse (the same path, or the same device and inode), the profile,
// another output, or an existing media file (by its extension, or a pack, sequence or
// transport stream header at its start), or whose folder cannot be written to. The
// message that refuses the run; nothing when every output may be written. "-" is standard
// output. `profilePath` is empty when no profile is read.
std::optional<std::string> FindOutputProblem(const CliOptions& options,
                                             const std::vector<std::string>& files,
                                             const std::string& profilePath);

// Why a file to analyse may not be: an output of the run names it; empty when none does.
std::string OutputNaming(const CliOptions& options, const std::string& file);

// Makes the --output-dir folder when it is missing (FindOutputProblem has checked that it
// can be made); the message that refuses the run when it cannot be.
std::optional<std::string> MakeReportFolder(const std::string& folder);

// A file's device and inode, to know it under any of its names.
using FileId = std::pair<uint64_t, uint64_t>;
std::optional<FileId> IdOfFile(const std::string& path);

// Why a spot's report may not be written at `path` in the --output-dir folder: it names
// another output, a file to analyse (one of `files`), the profile, or an existing media
// file or folder; empty when it may.
std::string ReportFileRefusal(const CliOptions& options, const std::string& path,
                              const std::set<FileId>& files, const std::string& profilePath);

// The extension of a spot's report in the --output-dir folder: ".txt", ".json", ".jsonl",
// ".xml", ".html".
const char* ReportExtension(OutputFormat format);

// The index of a folder of HTML reports.
constexpr const char* kHtmlIndexName = "index.html";

// Standard output, when an output names it.
constexpr const char* kStandardOutput = "-";

// The long options that --help describes, for the check that it describes all of them.
std::vector<std::string> CliOptionNames();

extern const char* const kCliUsage;
