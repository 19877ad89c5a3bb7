// Atomic plain-text report writer.
#include "report/report_text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

}  // namespace

bool SaveTextLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return SaveText(path, text);
}

bool SaveText(const std::string& path, const std::string& text) {
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
