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
    bool errorsOnly = false;
    bool noColor = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

// Parses argv[1..]; on a usage error returns nullopt and sets `error`.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

extern const char* const kCliUsage;
