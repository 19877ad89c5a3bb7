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
// A path as one shell word (paths of the tests hold no quote).
std::string Quoted(const std::string& path);
// The failure lines of a text report ("*" in front), in order.
std::vector<std::string> FailureLinesOf(const std::string& report);
// The lines of a file written with CRLF (CSV) or LF endings, without them.
std::vector<std::string> ReadLines(const std::string& path);
