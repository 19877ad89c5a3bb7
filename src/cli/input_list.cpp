// Expanding folders and lists into files.
#include "cli/input_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr const char* kListFromStandardInput = "-";

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Every spot below the folder; subfolders that cannot be read are passed over.
std::vector<std::string> SpotsIn(const std::string& folder) {
    std::vector<std::string> spots;
    std::error_code error;
    auto options = fs::directory_options::skip_permission_denied;
    for (fs::recursive_directory_iterator it(folder, options, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && HasSpotExtension(it->path().string())) {
            spots.push_back(it->path().string());
        }
    }
    std::sort(spots.begin(), spots.end());
    return spots;
}

void AddArgument(const std::string& arg, std::vector<BatchInput>& inputs) {
    std::error_code error;
    if (!fs::is_directory(arg, error)) {
        inputs.push_back({arg, "", ""});  // the analysis says what is wrong with it, if anything
        return;
    }
    std::vector<std::string> spots = SpotsIn(arg);
    if (spots.empty()) {
        inputs.push_back({arg, "", "No .mpg, .mpeg or .vob file in folder \"" + arg + "\""});
    }
    for (std::string& spot : spots) inputs.push_back({std::move(spot), "", ""});
}

}  // namespace

bool HasSpotExtension(const std::string& path) {
    std::string extension = Lowered(fs::path(path).extension().string());
    return extension == ".mpg" || extension == ".mpeg" || extension == ".vob";
}

std::vector<BatchInput> ExpandInputs(const std::vector<std::string>& args, std::istream& list) {
    std::vector<BatchInput> inputs;
    bool listRead = false;
    for (const std::string& arg : args) {
        if (arg != kListFromStandardInput) {
            AddArgument(arg, inputs);
            continue;
        }
        if (listRead) continue;  // standard input can be read once
        listRead = true;
        size_t before = inputs.size();
        for (std::string line; std::getline(list, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) AddArgument(line, inputs);
        }
        if (inputs.size() == before) inputs.push_back({arg, "No path on standard input", ""});
    }
    return inputs;
}
