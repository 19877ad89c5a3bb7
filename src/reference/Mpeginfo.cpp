// Labels table.
#include "reference/Mpeginfo.h"

#include <algorithm>
#include <cctype>

#include "reference/ini_file.h"
#include "reference/reference_profile.h"
#include "report/report_log.h"

const char* const kLabelFormats[3] = {"", "%s", "%d"};
const char* const kLabelUnits[12] = {"",     "Bytes", "KB",      "MB",     "seg", "mseg",
                                     "Mbps", "Kbps",  "streams", "frames", "fps", "%"};

namespace {

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

MpegInfo::MpegInfo(const std::string& iniPath, const std::string& filePath,
                   const LabelCallbacks& callbacks)
    : callbacks_(callbacks), filePath_(filePath) {
    for (const auto& [name, value] : IniFile::Load(iniPath).Section("Labels")) {
        lines_.push_back(name + "=" + value);
        names_.push_back(name);
    }
    count_ = static_cast<int32_t>(lines_.size());
    for (int32_t i = 0; i < count_; ++i) {
        stZembraType entry;
        entry.index = i;
        entry.name = names_[i];
        // The value of the first line with that name.
        auto first = std::find(names_.begin(), names_.end(), names_[i]) - names_.begin();
        entry.text = lines_[first].substr(names_[first].size() + 1);
        entries_.push_back(entry);
    }
}

void MpegInfo::Bind(const std::string& label, const std::string* value) {
    auto found = std::find_if(names_.begin(), names_.end(),
                              [&](const std::string& name) { return SameName(name, label); });
    if (found == names_.end()) return;
    stZembraType& entry = entries_[static_cast<size_t>(found - names_.begin())];
    entry.kind = kBoundKind;
    entry.format = kLabelFormats[1];
    entry.unit = kLabelUnits[0];
    entry.marker = kBoundMarker;
    entry.valueRef = value;
    entry.bound = 0;
}

void MpegInfo::BindLabels(const std::string& iniPath, const std::string& versionText) {
    LoadReferenceProfileFrom(iniPath);
    versionText_ = versionText;
    Bind("zembra_version", &versionText_);
    Bind("file_name", &filePath_);
}

void RunLabelsStep(const std::string& filePath, const std::string& iniPath) {
    LabelCallbacks callbacks{SetProgress, SetStatusText, [] { return 1; }};
    MpegInfo info(iniPath, filePath, callbacks);
    info.BindLabels(iniPath, VersionText());
}

void RunLabelsStep(const std::string& filePath) {
    RunLabelsStep(filePath, DefaultReferenceProfilePath());
}
