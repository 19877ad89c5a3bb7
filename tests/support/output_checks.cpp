// Schema and XML checks.
#include "support/output_checks.h"

#include <sys/wait.h>

#include <cstdio>

CommandOutput RunCommand(const std::string& command) {
    std::string full = command + " 2>&1";
    std::FILE* pipe = ::popen(full.c_str(), "r");
    if (!pipe) return {-1, "popen failed"};
    std::string text;
    char block[4096];
    for (size_t got; (got = std::fread(block, 1, sizeof block, pipe)) > 0;) text.append(block, got);
    int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

std::string SchemaErrors(const std::string& jsonPath) {
    CommandOutput run = RunCommand(
        "python3 '" ZEMBRA_JSON_VALIDATOR "' '" ZEMBRA_JSON_SCHEMA "' '" + jsonPath + "'");
    if (run.exitCode == 0) return "";
    return run.text.empty() ? "validator exit status " + std::to_string(run.exitCode) : run.text;
}

std::string JunitCounts(const std::string& xmlPath) {
    return RunCommand("python3 '" ZEMBRA_JUNIT_COUNTS "' '" + xmlPath + "'").text;
}
