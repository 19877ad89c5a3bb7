// Expanding folders and lists into files.
#include "cli/input_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <utility>

namespace fs = std::filesystem;

namespace {

constexpr const char* kListFromStandardInput = "-";
constexpr size_t kListBlock = 65536;

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

using FileId = std::pair<dev_t, ino_t>;

// Walks one folder, following links to folders; `above_` holds the folders being walked,
// so that a link back up the tree ends there. A folder reached twice by other ways (a link
// beside it) is walked twice, as the tree says.
class FolderWalk {
  public:
    explicit FolderWalk(std::vector<BatchInput>& found) : found_(found) {}

    void Walk(const fs::path& folder) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0) {
            Error(folder, "Unable to look at \"" + folder.string() + "\": " + std::strerror(errno));
            return;
        }
        FileId id{info.st_dev, info.st_ino};
        if (!above_.insert(id).second) {
            Error(folder, "Symbolic link loop: the folder \"" + folder.string() +
                              "\" leads back to a folder it is in");
            return;
        }
        WalkEntries(folder);
        above_.erase(id);
    }

  private:
    void WalkEntries(const fs::path& folder) {
        std::error_code error;
        fs::directory_iterator entries(folder, error);
        if (error) {
            Error(folder, "Unable to read the folder \"" + folder.string() +
                              "\": " + std::strerror(error.value()));
            return;
        }
        std::vector<fs::path> paths;
        for (auto end = fs::directory_iterator(); entries != end; entries.increment(error)) {
            paths.push_back(entries->path());
        }
        if (error) {
            Error(folder, "Unable to read the folder \"" + folder.string() +
                              "\": " + std::strerror(error.value()));
        }
        std::sort(paths.begin(), paths.end());
        for (const fs::path& path : paths) Visit(path);
    }

    void Visit(const fs::path& path) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            int error = errno;
            struct stat link {};
            bool isLink = ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
            if (error == ELOOP) {
                Error(path, "Symbolic link loop at \"" + path.string() + "\"");
            } else if (isLink) {
                Error(path, "Broken symbolic link \"" + path.string() + "\" -> \"" +
                                LinkTarget(path) + "\": " + std::strerror(error));
            } else if (error == ENOENT) {
                Error(path, "\"" + path.string() + "\" was gone before it could be read");
            } else {
                Error(path, "Unable to look at \"" + path.string() + "\": " + std::strerror(error));
            }
            return;
        }
        if (S_ISDIR(info.st_mode)) {
            Walk(path);
        } else if (HasSpotExtension(path.string())) {
            found_.push_back({path.string(), "", ""});
        }
    }

    static std::string LinkTarget(const fs::path& link) {
        std::error_code error;
        fs::path target = fs::read_symlink(link, error);
        return error ? std::string("?") : target.string();
    }

    void Error(const fs::path& path, const std::string& reason) {
        found_.push_back({path.string(), reason, ""});
    }

    std::vector<BatchInput>& found_;
    std::set<FileId> above_;
};

void AddArgument(const std::string& arg, std::vector<BatchInput>& inputs) {
    std::error_code error;
    if (!fs::is_directory(arg, error)) {
        inputs.push_back({arg, "", ""});  // the analysis says what is wrong with it, if anything
        return;
    }
    std::vector<BatchInput> spots = SpotsInFolder(arg);
    if (spots.empty()) {
        inputs.push_back({arg, "", "No .mpg, .mpeg or .vob file in folder \"" + arg + "\""});
    }
    for (BatchInput& spot : spots) inputs.push_back(std::move(spot));
}

}  // namespace

bool HasSpotExtension(const std::string& path) {
    std::string extension = Lowered(fs::path(path).extension().string());
    return extension == ".mpg" || extension == ".mpeg" || extension == ".vob";
}

std::vector<BatchInput> SpotsInFolder(const std::string& folder) {
    std::vector<BatchInput> found;
    FolderWalk(found).Walk(folder);
    return found;
}

InputFeed::InputFeed(const std::vector<std::string>& args, int listFd, char separator)
    : separator_(separator) {
    for (const std::string& arg : args) {
        if (arg == kListFromStandardInput) {
            if (listFd_ < 0) listFd_ = listFd;  // standard input is read once
            continue;
        }
        AddArgument(arg, listFd_ < 0 ? ready_ : afterList_);
    }
}

InputFeed::InputFeed(std::vector<BatchInput> inputs) : ready_(std::move(inputs)) {}

std::vector<BatchInput> InputFeed::Take() { return std::exchange(ready_, {}); }

int InputFeed::WaitDescriptor() const { return listFd_; }

void InputFeed::ReadList() {
    if (listFd_ < 0) return;
    char block[kListBlock];
    ssize_t got = ::read(listFd_, block, sizeof block);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (got <= 0) {
        EndList();
        return;
    }
    partial_.append(block, static_cast<size_t>(got));
    size_t start = 0;
    for (size_t end; (end = partial_.find(separator_, start)) != std::string::npos;
         start = end + 1) {
        AddLine(partial_.substr(start, end - start));
    }
    partial_.erase(0, start);
}

void InputFeed::AddLine(std::string line) {
    if (separator_ == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) return;
    ++listed_;
    std::string refused = refuse_ ? refuse_(line) : std::string();
    if (!refused.empty()) {
        ready_.push_back({line, refused, ""});
        return;
    }
    AddArgument(line, ready_);
}

void InputFeed::EndList() {
    if (!partial_.empty()) AddLine(std::exchange(partial_, {}));
    if (listed_ == 0) ready_.push_back({kListFromStandardInput, "No path on standard input", ""});
    TakeArgumentsAfterList();
}

void InputFeed::StopReading() {
    if (listFd_ >= 0) TakeArgumentsAfterList();
}

void InputFeed::TakeArgumentsAfterList() {
    listFd_ = -1;
    for (BatchInput& input : afterList_) ready_.push_back(std::move(input));
    afterList_.clear();
}

std::vector<std::string> InputFeed::ArgumentPaths() const {
    std::vector<std::string> paths;
    for (const std::vector<BatchInput>* inputs : {&ready_, &afterList_}) {
        for (const BatchInput& input : *inputs) paths.push_back(input.path);
    }
    return paths;
}
