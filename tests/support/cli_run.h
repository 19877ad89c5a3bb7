// Runs the command-line program as a user's shell would, keeping what it printed.
#pragma once

#include <string>
#include <vector>

struct CliRun {
    int exitCode;  // -1 when it did not exit by itself
    std::string out;
    std::string err;
};

// `args` are shell words; standard output and error go through files in `scratchDir`,
// standard input comes from `input`, and `env` (NAME=value words) goes before the command.
CliRun RunCli(const std::string& args, const std::string& scratchDir,
              const std::string& input = "/dev/null", const std::string& env = "");
std::string ReadText(const std::string& path);
// The lines of a file written with CRLF (CSV) or LF endings, without them.
std::vector<std::string> ReadLines(const std::string& path);
