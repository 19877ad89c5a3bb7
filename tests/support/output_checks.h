// Checks of the command line's documents by independent readers: the JSON against its
// published schema (python3-jsonschema), the JUnit XML through Python's XML parser.
#pragma once

#include <string>

// The output of `command` (standard output and error), and its exit status.
struct CommandOutput {
    int exitCode;
    std::string text;
};
CommandOutput RunCommand(const std::string& command);

// Empty when the JSON file is valid against docs/zembra-report.schema.json; else the
// validator's messages.
std::string SchemaErrors(const std::string& jsonPath);

// "testsuites tests=N failures=N errors=N skipped=N" and one such line per test suite
// with its name, as an XML parser reads them; the parser's error when it is not XML.
std::string JunitCounts(const std::string& xmlPath);
