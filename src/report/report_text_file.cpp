// Plain-text report and output writer.
#include "report/report_text_file.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {

bool WriteAll(int fd, const std::string& data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t written = ::write(fd, p, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        p += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

// The file a path stands for: a symlink's target (which need not exist yet), else the path.
std::string WrittenPath(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), std::free);
    if (real) return real.get();
    // A link to a file not made yet: its target, read from the link's folder.
    char target[PATH_MAX];
    ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return path;
    std::string linked(target, static_cast<size_t>(length));
    if (linked.front() == '/') return linked;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? linked : path.substr(0, slash + 1) + linked;
}

// A device or a FIFO (/dev/null, a pipe a pipeline reads): written as it is, never
// replaced by a regular file.
bool IsSpecialFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

bool WriteDirectly(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, text);
    return (::close(fd) == 0) && ok;
}

// Holds back the signals that end or interrupt a run while a temporary file exists, so
// that none is left behind: they take effect once it is renamed or removed.
class HeldSignals {
  public:
    HeldSignals() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, signal);
        ::pthread_sigmask(SIG_BLOCK, &held, &before_);
    }
    ~HeldSignals() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    sigset_t before_{};
};

bool WriteAndRename(const std::string& path, const std::string& text) {
    HeldSignals held;
    std::string tempPath = path + ".XXXXXX";
    int fd = ::mkstemp(tempPath.data());
    if (fd < 0) return false;
    // mkstemp creates 0600; a report is an ordinary document.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tempPath.c_str());
    return ok;
}

}  // namespace

bool SaveTextLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return SaveText(path, text);
}

bool SaveText(const std::string& path, const std::string& text) {
    std::string target = WrittenPath(path);
    if (IsSpecialFile(target)) return WriteDirectly(target, text);
    return WriteAndRename(target, text);
}
