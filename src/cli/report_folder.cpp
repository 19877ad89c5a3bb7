// Report names in the --output-dir folder.
#include "cli/report_folder.h"

#include <utility>

namespace {

// Room for "-NNNNN" and the extension within a file name's 255 bytes.
constexpr size_t kLongestBase = 230;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The spot's file name, cut to fit without splitting a UTF-8 character; "spot" for a path
// that names no file ("dir/", ".").
std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return "spot";
    if (name.size() > kLongestBase) {
        size_t cut = kLongestBase;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name;
}

}  // namespace

ReportFolder::ReportFolder(std::string folder, std::string extension,
                           std::vector<std::string> reserved,
                           std::function<bool(const std::string&)> mayWrite)
    : folder_(std::move(folder)), extension_(std::move(extension)), mayWrite_(std::move(mayWrite)) {
    while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
    for (const std::string& name : reserved) used_.insert(Lower(name));
}

std::string ReportFolder::PathOf(const std::string& name) const {
    return folder_ == "/" ? "/" + name : folder_ + "/" + name;
}

std::string ReportFolder::Take(const std::string& spotPath) {
    std::string base = BaseName(spotPath);
    for (int n = 1;; ++n) {
        std::string name = base + (n == 1 ? "" : "-" + std::to_string(n)) + extension_;
        if (used_.count(Lower(name)) != 0) continue;
        used_.insert(Lower(name));
        if (mayWrite_ && !mayWrite_(PathOf(name))) continue;
        return name;
    }
}
