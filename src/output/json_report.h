// The JSON document of a run: the tool, the profile, and every file's result in the
// order the files were given, each with every report line (--errors-only and --explain
// shape the text only: a program reads the kinds and checks). Its schema is
// docs/zembra-report.schema.json.
#pragma once

#include <string>
#include <vector>

#include "output/file_result.h"

// `profilePath` empty: the run had no profile (--no-profile).
std::string RunJsonText(const std::vector<FileResult>& results, const std::string& profilePath);

// JSON text in which bytes that are not UTF-8 (a file name in another encoding) become
// U+FFFD.
std::string JsonDump(const nlohmann::ordered_json& json, int indent);
