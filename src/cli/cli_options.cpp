// Command-line option parsing.
#include "cli/cli_options.h"

#include <sys/stat.h>

#include <filesystem>

const char* const kCliUsage =
    "Usage: zembra-cli [options] FILE...\n"
    "Checks MPEG-2 program stream files (.mpg, .mpeg, .vob) against a reference profile\n"
    "and prints each file's compliance report.\n"
    "\n"
    "Options:\n"
    "  --profile PATH   reference profile (default: MpegReference.ini beside zembra-cli);\n"
    "                   one that cannot be read is a usage error\n"
    "  --no-profile     no reference profile: no key is set\n"
    "  --errors-only    print only failure and warning lines, headings and the verdict\n"
    "  --output FILE    also write the report(s) to FILE as plain text with CRLF line ends\n"
    "                   (no output may name a file to analyse)\n"
    "  --gops FILE      write the GOP table of the last video stream analysed as CSV\n"
    "  --bitrate FILE   write its bitrate per second (kilobits) and average as CSV\n"
    "  --vbv FILE       write its VBV buffer occupancy before and after each picture as CSV\n"
    "  --no-color       plain text even on a terminal (so does a non-empty NO_COLOR)\n"
    "  --help           show this text\n"
    "  --version        show the version\n"
    "\n"
    "Exit status: 0 every file passed, 1 a file failed or could not be analysed,\n"
    "2 usage error.\n";

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    CliOptions options;
    bool onlyFiles = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--profile") {
            if (!value(options.profilePath)) return std::nullopt;
        } else if (arg == "--output") {
            if (!value(options.outputPath)) return std::nullopt;
        } else if (arg == "--gops") {
            if (!value(options.gopsPath)) return std::nullopt;
        } else if (arg == "--bitrate") {
            if (!value(options.bitratePath)) return std::nullopt;
        } else if (arg == "--vbv") {
            if (!value(options.vbvPath)) return std::nullopt;
        } else if (arg == "--no-profile") {
            options.noProfile = true;
        } else if (arg == "--errors-only") {
            options.errorsOnly = true;
        } else if (arg == "--no-color") {
            options.noColor = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (options.files.empty() && !options.help && !options.version) {
        error = "no file given";
        return std::nullopt;
    }
    if (options.noProfile && !options.profilePath.empty()) {
        error = "--profile and --no-profile exclude each other";
        return std::nullopt;
    }
    return options;
}

namespace {

// The same file: one device and inode when both exist, else the same path once made
// absolute and normal, links resolved as far as they exist.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    std::error_code ignored;
    return std::filesystem::weakly_canonical(a, ignored) ==
           std::filesystem::weakly_canonical(b, ignored);
}

}  // namespace

std::optional<std::string> FindOutputOverInput(const CliOptions& options) {
    const std::pair<const char*, const std::string*> outputs[] = {
        {"--output", &options.outputPath},
        {"--gops", &options.gopsPath},
        {"--bitrate", &options.bitratePath},
        {"--vbv", &options.vbvPath}};
    for (const auto& [option, path] : outputs) {
        if (path->empty()) continue;
        for (const std::string& file : options.files) {
            if (SameFile(*path, file)) {
                return std::string(option) + " \"" + *path + "\" names the file to analyse \"" +
                       file + "\"; nothing was written";
            }
        }
    }
    return std::nullopt;
}
