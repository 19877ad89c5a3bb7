// Test file helpers.
#include "support/test_files.h"

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
    SetReportSink(&sink);
    SetPrintOnlyErrors(false);
    ClearCancelRequest();
}

BoundSink::~BoundSink() {
    SetReportSink(nullptr);
    SetPrintOnlyErrors(false);
    ClearCancelRequest();
}
