// Command-line option parsing, on CLI11.
#include "cli/cli_options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

const char* const kCliUsage =
    "Usage: zembra-cli [options] FILE|FOLDER|- ...\n"
    "       zembra-cli --make-profile REFERENCE.mpg [--output MpegReference.ini]\n"
    "Checks MPEG-2 program stream files (.mpg, .mpeg, .vob) against a reference profile\n"
    "and prints each file's compliance report. A FOLDER is searched for .mpg, .mpeg and\n"
    ".vob files (any letter case) in it and below it; \"-\" reads one path per line from\n"
    "standard input (NUL-separated with -0), read as it comes. Each file is analysed in a\n"
    "worker process of its own.\n"
    "\n"
    "Options:\n"
    "  --profile PATH   reference profile (default: MpegReference.ini beside zembra-cli);\n"
    "                   one that cannot be read is a usage error\n"
    "                     zembra-cli --profile /srv/qc/hd.ini spot.mpg\n"
    "  --no-profile     no reference profile: no key is set\n"
    "                     zembra-cli --no-profile --format json spot.mpg\n"
    "  --format F       text (default), json (one document for the run), jsonl (one file's\n"
    "                   JSON object a line, as each file ends), junit (JUnit XML, a test\n"
    "                   suite per file) or html (a page with the verdict, the failures, the\n"
    "                   report and its graphs, to open in a browser or print)\n"
    "                     zembra-cli --format json spots/ | jq '.files[].verdict'\n"
    "                     zembra-cli --format jsonl - < list.txt | jq -r .verdict\n"
    "                     zembra-cli --format html --output spot.html spot.mpg\n"
    "  --output FILE    write the report(s) to FILE in the chosen format, atomically; text\n"
    "                   is also printed, as plain text with CRLF line ends in FILE\n"
    "                   (no output may name a file to analyse)\n"
    "                     zembra-cli --format junit --output qc.xml spots/\n"
    "  --output-dir DIR write a report a spot into DIR (made if missing), each named after\n"
    "                   its spot: spot.mpg.html, .txt, .json, .jsonl or .xml by --format,\n"
    "                   -2, -3 after a name already taken; html adds index.html, a list of\n"
    "                   every spot with its verdict and a link to its report\n"
    "                     zembra-cli --format html --output-dir /srv/qc/today/ spots/\n"
    "  --summary FILE   write one CSV row per file: verdict, duration, formats, bitrates,\n"
    "                   GOP length, failures and the first failure\n"
    "                     zembra-cli --summary today.csv /ingest/today\n"
    "  --jobs N         analyse N files at once (default: one per core)\n"
    "                     zembra-cli --jobs 4 --summary qc.csv spots/\n"
    "  --file-timeout S a file whose analysis takes more than S seconds gets the verdict\n"
    "                   error and the batch goes on (default: no limit)\n"
    "                     zembra-cli --file-timeout 600 spots/\n"
    "  --errors-only    print a failing file's failure lines under their headings, and a\n"
    "                   passing file as one line\n"
    "                     zembra-cli --errors-only spot.mpg\n"
    "  --explain        end each judged line with the profile key and value that judged it\n"
    "                     zembra-cli --explain spot.mpg   (*Aspect Ratio = 4:3   [AspectRatio = 3: "
    "16:9])\n"
    "  --gops FILE      write the GOP table of the video streams as CSV, each row starting\n"
    "                   with its File and Stream\n"
    "                     zembra-cli --gops gops.csv spot.mpg\n"
    "  --bitrate FILE   write their bitrate per second (kilobits) as CSV, a row a second\n"
    "                     zembra-cli --bitrate rates.csv spot.mpg\n"
    "  --vbv FILE       write the video buffer's occupancy before and after each picture's\n"
    "                   removal (bits and % of the buffer) as CSV\n"
    "                     zembra-cli --vbv buffer.csv spot.mpg\n"
    "  --loudness FILE  write each decoded audio stream's loudness every 100 ms as CSV: seconds,\n"
    "                   momentary and short-term loudness in LUFS (needs DecodeAudio=1)\n"
    "                     zembra-cli --loudness loudness.csv spot.mpg\n"
    "  --make-profile REFERENCE.mpg\n"
    "                   write a profile whose keys are the values measured in a known-good\n"
    "                   reference spot, one comment per key, to standard output or --output\n"
    "                     zembra-cli --make-profile good.mpg --output MpegReference.ini\n"
    "  -0  --null       the paths on standard input end in NUL, not a line end, as find\n"
    "                   -print0 writes them: any byte of a name passes\n"
    "                     zembra-cli --null - < <(find /ingest -name '*.mpg' -print0)\n"
    "  --no-color       plain text even on a terminal (so does a non-empty NO_COLOR)\n"
    "                     zembra-cli --no-color spot.mpg | less\n"
    "  --help           show this text\n"
    "  --version        show the version\n"
    "\n"
    "Exit status: 0 every file passed, 1 a file failed, 2 usage or set-up error (nothing\n"
    "analysed), 3 a file could not be analysed, 128 + the signal when stopped: 130 SIGINT\n"
    "(Ctrl-C), 143 SIGTERM, 129 SIGHUP, 141 standard output closed.\n";

namespace {

const std::map<std::string, OutputFormat> kFormats = {{"text", OutputFormat::Text},
                                                      {"json", OutputFormat::Json},
                                                      {"junit", OutputFormat::Junit},
                                                      {"jsonl", OutputFormat::JsonLines},
                                                      {"html", OutputFormat::Html}};

// A count of at least 1 and a time above 0, said in words when they are not.
const CLI::Validator kAtLeastOne(
    [](std::string& text) {
        int value = 0;
        bool ok = CLI::detail::lexical_cast(text, value) && value >= 1;
        return ok ? std::string() : "\"" + text + "\" is not a whole number of at least 1";
    },
    "N");
const CLI::Validator kAboveZero(
    [](std::string& text) {
        double value = 0;
        bool ok = CLI::detail::lexical_cast(text, value) && value > 0;
        return ok ? std::string() : "\"" + text + "\" is not a number of seconds above 0";
    },
    "SECONDS");
// The format's name, as the number of its value that CLI11 then reads into the enum.
const CLI::Validator kFormatName(
    [](std::string& text) {
        auto format = kFormats.find(text);
        if (format == kFormats.end()) {
            return "\"" + text + "\" is not text, json, jsonl, junit or html";
        }
        text = std::to_string(static_cast<int>(format->second));
        return std::string();
    },
    "FORMAT");

// Options only zembra-cli passes to its own workers; --help leaves them out.
constexpr const char* kHiddenGroup = "";

void AddOptions(CLI::App& app, CliOptions& o) {
    app.set_help_flag();  // --help prints kCliUsage, not CLI11's own text
    app.add_flag("-h,--help", o.help);
    app.add_flag("--version", o.version);
    app.add_option("--profile", o.profilePath);
    app.add_flag("--no-profile", o.noProfile)->excludes("--profile");
    app.add_option("--format", o.format)->transform(kFormatName);
    app.add_option("--output", o.outputPath);
    app.add_option("--output-dir", o.outputDir);
    app.add_option("--summary", o.summaryPath);
    app.add_option("--jobs", o.jobs)->check(kAtLeastOne);
    app.add_option("--file-timeout", o.fileTimeoutSeconds)->check(kAboveZero);
    app.add_flag("--errors-only", o.errorsOnly);
    app.add_flag("--explain", o.explain);
    app.add_option("--gops", o.gopsPath);
    app.add_option("--bitrate", o.bitratePath);
    app.add_option("--vbv", o.vbvPath);
    app.add_option("--loudness", o.loudnessPath);
    app.add_option("--make-profile", o.makeProfilePath);
    app.add_flag("--no-color", o.noColor);
    app.add_flag("-0,--null", o.nullSeparated);
    app.add_flag("--worker", o.worker)->group(kHiddenGroup);
    app.add_flag("--worker-status", o.workerStatus)->group(kHiddenGroup);
    app.add_flag("--worker-series", o.workerSeries)->group(kHiddenGroup);
    app.add_flag("--worker-series-text", o.workerSeriesText)->group(kHiddenGroup);
    app.add_flag("--worker-vbv", o.workerVbv)->group(kHiddenGroup);
    app.add_flag("--worker-loudness", o.workerLoudness)->group(kHiddenGroup);
    app.add_flag("--worker-no-read-ahead", o.workerNoReadAhead)->group(kHiddenGroup);
    app.add_option("--worker-parent", o.workerParent)->group(kHiddenGroup);
    app.add_option("files", o.files);
}

// CLI11's messages name an option by all its names ("-h,--help"); ours by the one used.
std::string UsageMessage(const CLI::ParseError& e) {
    std::string message = e.what();
    if (message.starts_with("The following argument")) {  // were (was) not expected: X
        return "unknown option " + message.substr(message.find(": ") + 2);
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) &&
        message.find(" missing") != std::string::npos) {
        return "option " + message.substr(0, message.find(':')) + " needs a value";
    }
    return message;
}

// Where a path leads: absolute and normal, each link followed, a dangling one to the path
// it names (the file a write through it makes), as far as the folders exist.
std::filesystem::path WhereItLeads(const std::string& path) {
    namespace fs = std::filesystem;
    constexpr int kMostLinks = 40;  // as the kernel's own limit, so a loop ends
    std::error_code ignored;
    fs::path at = fs::absolute(path, ignored);
    for (int i = 0; i < kMostLinks && fs::is_symlink(fs::symlink_status(at, ignored)); ++i) {
        fs::path target = fs::read_symlink(at, ignored);
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    return fs::weakly_canonical(at, ignored).lexically_normal();
}

// The same file: one device and inode when both exist, else the same place once made
// absolute and normal, links followed.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    return WhereItLeads(a) == WhereItLeads(b);
}

constexpr size_t kTransportPacketBytes = 188;

bool IsDevice(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode));
}

bool HasMediaExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* media : {".mpg", ".mpeg", ".vob", ".m2v", ".m2p", ".ts"}) {
        if (extension == media) return true;
    }
    return false;
}

// A pack or sequence header (00 00 01 BA, 00 00 01 B3) at the start, or two transport
// stream packets' sync bytes (ISO/IEC 13818-1, 2.4.3.2): a CSV that begins with "G" is none.
bool HasMediaContent(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    unsigned char start[kTransportPacketBytes + 1] = {};
    size_t got = std::fread(start, 1, sizeof start, file);
    std::fclose(file);
    bool startCode = got >= 4 && start[0] == 0 && start[1] == 0 && start[2] == 1 &&
                     (start[3] == 0xBA || start[3] == 0xB3);
    bool transport =
        got > kTransportPacketBytes && start[0] == 0x47 && start[kTransportPacketBytes] == 0x47;
    return startCode || transport;
}

// Why the file an output path names cannot be replaced: an existing media file or folder.
std::optional<std::string> WhyNotReplaceable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return "is a folder";
        if (!S_ISREG(info.st_mode)) return std::nullopt;
        if (HasMediaExtension(path) || HasMediaContent(path)) return "is a media file";
    }
    return std::nullopt;
}

// Why an output path cannot be written: an existing media file or folder, or a folder
// that cannot take the file; nothing when it can. A device or FIFO is written as it is.
std::optional<std::string> WhyNotWritable(const std::string& path) {
    if (std::optional<std::string> why = WhyNotReplaceable(path)) return why;
    // The file is made beside its target: a symlink's folder is its target's.
    std::error_code ignored;
    std::filesystem::path target = std::filesystem::weakly_canonical(path, ignored);
    if (target.empty()) target = path;
    std::string folder = target.parent_path().string();
    if (folder.empty()) folder = ".";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "cannot be written: folder \"" + folder + "\": " + std::strerror(errno);
    }
    return std::nullopt;
}

}  // namespace

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    CliOptions options;
    CLI::App app("zembra-cli", "zembra-cli");
    AddOptions(app, options);
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 takes them
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        error = UsageMessage(e);
        return std::nullopt;
    }
    bool nothingToDo = options.files.empty() && options.makeProfilePath.empty();
    if (nothingToDo && !options.help && !options.version) {
        error = "no file given";
        return std::nullopt;
    }
    if (!options.makeProfilePath.empty() && !options.files.empty()) {
        error = "--make-profile takes one reference spot and no other file";
        return std::nullopt;
    }
    if (!options.outputDir.empty()) {
        if (!options.outputPath.empty()) {
            error = "--output-dir writes a file a spot; it does not go with --output";
            return std::nullopt;
        }
        if (!options.makeProfilePath.empty()) {
            error = "--make-profile writes one profile; it does not go with --output-dir";
            return std::nullopt;
        }
        if (options.outputDir == kStandardOutput) {
            error = "--output-dir needs a folder, not standard output";
            return std::nullopt;
        }
    }
    if (options.worker && options.files.size() != 1) {
        error = "--worker takes one file";
        return std::nullopt;
    }
    return options;
}

std::vector<std::string> CliOptionNames() {
    CliOptions options;
    CLI::App app;
    AddOptions(app, options);
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_group() == kHiddenGroup || option->get_lnames().empty()) continue;
        names.push_back("--" + option->get_lnames().front());
    }
    return names;
}

namespace {

constexpr const char* kOutputDirOption = "--output-dir";

// Each output asked for, with its option.
std::vector<std::pair<const char*, std::string>> OutputsOf(const CliOptions& options) {
    std::vector<std::pair<const char*, std::string>> outputs;
    for (const auto& [option, path] :
         {std::pair{"--output", &options.outputPath}, std::pair{"--gops", &options.gopsPath},
          std::pair{"--bitrate", &options.bitratePath}, std::pair{"--vbv", &options.vbvPath},
          std::pair{"--loudness", &options.loudnessPath},
          std::pair{"--summary", &options.summaryPath}}) {
        if (!path->empty()) outputs.emplace_back(option, *path);
    }
    // The folder's index, which the run writes; the spots' reports take names as they come.
    if (!options.outputDir.empty() && options.format == OutputFormat::Html) {
        outputs.emplace_back(kOutputDirOption,
                             (std::filesystem::path(options.outputDir) / kHtmlIndexName).string());
    }
    return outputs;
}

// A report folder that exists must be a folder the run can write into; one that does not
// is made in a folder that exists.
std::optional<std::string> WhyNoReportFolder(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode)) return "is a file, not a folder";
        if (::access(folder.c_str(), W_OK | X_OK) != 0) {
            return std::string("cannot be written: ") + std::strerror(errno);
        }
        return std::nullopt;
    }
    if (errno != ENOENT) return std::string("cannot be used: ") + std::strerror(errno);
    std::filesystem::path made = folder;
    while (made.has_relative_path() && !made.has_filename()) made = made.parent_path();
    std::string parent = made.parent_path().string();
    if (parent.empty()) parent = ".";
    int error = 0;
    if (::stat(parent.c_str(), &info) != 0) {
        error = errno;
    } else if (!S_ISDIR(info.st_mode)) {
        error = ENOTDIR;
    } else if (::access(parent.c_str(), W_OK | X_OK) != 0) {
        error = errno;
    }
    if (error == 0) return std::nullopt;
    return "cannot be made: folder \"" + parent + "\": " + std::strerror(error);
}

}  // namespace

std::string OutputNaming(const CliOptions& options, const std::string& file) {
    for (const auto& [option, path] : OutputsOf(options)) {
        if (path != kStandardOutput && SameFile(path, file)) {
            return "\"" + file + "\" is the " + option + " output of this run; it was not analysed";
        }
    }
    return "";
}

std::optional<std::string> FindOutputProblem(const CliOptions& options,
                                             const std::vector<std::string>& files,
                                             const std::string& profilePath) {
    std::vector<std::pair<const char*, std::string>> outputs = OutputsOf(options);
    auto refused = [](const char* option, const std::string& path, const std::string& why) {
        return std::string(option) + " \"" + path + "\" " + why + "; nothing was written";
    };
    if (!options.outputDir.empty()) {
        if (std::optional<std::string> why = WhyNoReportFolder(options.outputDir)) {
            return refused(kOutputDirOption, options.outputDir, *why);
        }
        for (const auto& [option, path] : outputs) {
            if (path != kStandardOutput && SameFile(path, options.outputDir)) {
                return refused(option, path, "is the folder of --output-dir");
            }
        }
    }
    for (size_t i = 0; i < outputs.size(); ++i) {
        const auto& [option, path] = outputs[i];
        for (size_t j = 0; j < i; ++j) {
            if (IsDevice(path)) break;  // /dev/null takes any number of outputs
            if (path == outputs[j].second ||
                (path != kStandardOutput && SameFile(path, outputs[j].second))) {
                std::string why =
                    path == kStandardOutput
                        ? std::string("goes to standard output as ") + outputs[j].first + " does"
                        : std::string("is also the file of ") + outputs[j].first;
                return refused(option, path, why);
            }
        }
        if (path == kStandardOutput) continue;
        for (const std::string& file : files) {
            if (SameFile(path, file))
                return refused(option, path, "names the file to analyse \"" + file + "\"");
        }
        if (!profilePath.empty() && SameFile(path, profilePath)) {
            return refused(option, path, "names the profile \"" + profilePath + "\"");
        }
        // The report folder may not be made yet: it was checked above.
        bool inReportFolder = std::string_view(option) == kOutputDirOption;
        if (std::optional<std::string> why =
                inReportFolder ? WhyNotReplaceable(path) : WhyNotWritable(path))
            return refused(option, path, *why);
    }
    return std::nullopt;
}

std::optional<std::string> MakeReportFolder(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return std::nullopt;
    if (::mkdir(folder.c_str(), 0777) == 0) return std::nullopt;
    return "--output-dir \"" + folder + "\" cannot be made: " + std::strerror(errno) +
           "; nothing was written";
}

std::optional<FileId> IdOfFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileId{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

std::string ReportFileRefusal(const CliOptions& options, const std::string& path,
                              const std::set<FileId>& files, const std::string& profilePath) {
    for (const auto& [option, output] : OutputsOf(options)) {
        if (output != kStandardOutput && SameFile(path, output)) {
            return std::string("is the file of ") + option;
        }
    }
    // A report not written yet replaces nothing; what the run reads exists.
    std::optional<FileId> id = IdOfFile(path);
    if (!id) return "";
    if (files.count(*id) != 0) return "names a file to analyse";
    if (!profilePath.empty() && SameFile(path, profilePath)) return "names the profile";
    return WhyNotReplaceable(path).value_or("");
}

const char* ReportExtension(OutputFormat format) {
    switch (format) {
        case OutputFormat::Json:
            return ".json";
        case OutputFormat::JsonLines:
            return ".jsonl";
        case OutputFormat::Junit:
            return ".xml";
        case OutputFormat::Html:
            return ".html";
        case OutputFormat::Text:
            break;
    }
    return ".txt";
}
