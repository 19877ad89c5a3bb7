// Command-line options of zembra-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CliOptions {
    std::string profilePath;  // empty: MpegReference.ini beside the executable
    std::string outputPath;   // empty: no report file
    std::string gopsPath;     // empty: no GOP table file
    std::string bitratePath;  // empty: no bitrate file
    std::string vbvPath;      // empty: no VBV occupancy file
    bool noProfile = false;   // every check an information line, on purpose
    bool errorsOnly = false;
    bool noColor = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

// Parses argv[1..]; on a usage error returns nullopt and sets `error`.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

// An output that names a file to analyse (the same path, or the same device and inode):
// the message that refuses the run, before anything is read or written.
std::optional<std::string> FindOutputOverInput(const CliOptions& options);

extern const char* const kCliUsage;
