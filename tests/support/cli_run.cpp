// Running zembra-cli from the tests.
#include "support/cli_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "support/test_files.h"

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::vector<std::string> FailureLinesOf(const std::string& report) {
    std::vector<std::string> lines;
    std::istringstream text(report);
    for (std::string line; std::getline(text, line);) {
        if (line.starts_with("*")) lines.push_back(line);
    }
    return lines;
}

std::string ReadText(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::istringstream text(ReadText(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

CliRun RunCli(const std::string& args, const std::string& scratchDir, const std::string& input,
              const std::string& env) {
    std::string out = scratchDir + "/stdout";
    std::string err = scratchDir + "/stderr";
    std::string command = env + " '" ZEMBRA_CLI_PATH "' " + args + " >" + Quoted(out) + " 2>" +
                          Quoted(err) + " <" + Quoted(input);
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
}
