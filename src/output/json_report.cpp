// The run's JSON document.
#include "output/json_report.h"

#include "output/result_json.h"
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

std::string JsonDocumentStart(const RunStamp& stamp) {
    bool none = stamp.profilePath.empty();
    json head = {{"tool", {{"name", "Zembra"}, {"version", VersionNumber()}}},
                 {"profile", none ? json(nullptr) : json(stamp.profilePath)},
                 {"profileSha256", none ? json(nullptr) : json(stamp.profileSha256)},
                 {"analysedAt", stamp.analysedAt}};
    std::string text = JsonDump(head, -1);
    text.pop_back();  // the closing brace: the files follow
    return text + ",\"files\":[";
}

std::string JsonDocumentFile(const std::string& fileText, bool first) {
    return (first ? "\n" : ",\n") + fileText;
}

std::string JsonDocumentEnd() { return "\n]}\n"; }

std::string RunJsonText(const std::vector<std::string>& fileTexts, const RunStamp& stamp) {
    std::string text = JsonDocumentStart(stamp);
    for (size_t i = 0; i < fileTexts.size(); ++i) text += JsonDocumentFile(fileTexts[i], i == 0);
    return text + JsonDocumentEnd();
}
