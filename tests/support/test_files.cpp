// Test file helpers.
#include "support/test_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "report/report_log.h"

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zembra-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const Bytes& bytes) const {
    std::string path = path_ + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string TempDir::WriteText(const std::string& name, const std::string& text) const {
    return Write(name, Bytes(text.begin(), text.end()));
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FixturePath(const std::string& name) {
    return std::string(ZEMBRA_FIXTURE_DIR) + "/" + name;
}

BoundSink::BoundSink() {
    ResetReportLog();
    SetReportSink(&sink);
}

BoundSink::~BoundSink() { ResetReportLog(); }

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> LinesBetween(const std::vector<std::string>& lines,
                                      const std::string& first, const std::string& last) {
    auto begin = std::find(lines.begin(), lines.end(), first);
    auto end = begin == lines.end() ? lines.end() : std::find(begin + 1, lines.end(), last);
    if (end == lines.end()) return {"<no section>"};
    return std::vector<std::string>(begin + 1, end);
}
