// The JSON document of a run: the tool, the profile (path and SHA-256), when the run
// started, and every file's result in the
// order the files were given, each with every report line (--errors-only and --explain
// shape the text only: a program reads the kinds and checks). Its schema is
// docs/zembra-report.schema.json.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "run/run_result.h"
#include "output/run_stamp.h"

// One file's object on one line. A batch makes it as each file's result comes in, while
// the other files are still being analysed, so that the JSON costs no more time than text.
// Written series by series rather than held as one tree: a long programme's rows cost
// their text alone.
std::string FileJsonText(const RunResult& result);

// The run's document around the files' objects, one file a line.
std::string RunJsonText(const std::vector<std::string>& fileTexts, const RunStamp& stamp);

// The same document in parts, for writing each file's object as it comes in: the start,
// each file's object in turn (`first` for the first), the end.
std::string JsonDocumentStart(const RunStamp& stamp);
std::string JsonDocumentFile(const std::string& fileText, bool first);
std::string JsonDocumentEnd();

// JSON text in which bytes that are not UTF-8 (a file name in another encoding) become
// U+FFFD.
std::string JsonDump(const nlohmann::ordered_json& json, int indent);
