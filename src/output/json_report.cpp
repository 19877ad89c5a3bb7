// The run's JSON document.
#include "output/json_report.h"

#include "report/report_log.h"

using json = nlohmann::ordered_json;

namespace {

// "1.4.0.131" out of "Zembra v1.4.0.131".
std::string VersionNumber() {
    const std::string& version = VersionText();
    size_t at = version.rfind(" v");
    return at == std::string::npos ? version : version.substr(at + 2);
}

}  // namespace

std::string JsonDump(const json& document, int indent) {
    return document.dump(indent, ' ', false, json::error_handler_t::replace);
}

std::string RunJsonText(const std::vector<FileResult>& results, const std::string& profilePath) {
    json files = json::array();
    for (const FileResult& result : results) files.push_back(ToJson(result));
    json document = {{"tool", {{"name", "Zembra"}, {"version", VersionNumber()}}},
                    {"profile", profilePath.empty() ? json(nullptr) : json(profilePath)},
                    {"files", files}};
    return JsonDump(document, 2) + "\n";
}
