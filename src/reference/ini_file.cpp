// INI reading on Debian's libinih.
#include "reference/ini_file.h"

#include <ini.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "report/report_text_file.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string EntryName(const std::string& section, const std::string& key) {
    return Lower(section) + '\n' + Lower(key);
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

IniFile IniFile::Load(const std::string& path) {
    IniFile ini;
    ini_parse(path.c_str(), &IniFile::OnEntry, &ini);  // errors leave what was read
    return ini;
}

int IniFile::OnEntry(void* user, const char* section, const char* key, const char* value) {
    auto* ini = static_cast<IniFile*>(user);
    ini->values_.emplace(EntryName(section, key), value);  // keeps the first
    ini->entries_.push_back({Lower(section), {key, value}});
    return 1;
}

std::optional<std::string> IniFile::Value(const std::string& section,
                                          const std::string& key) const {
    auto found = values_.find(EntryName(section, key));
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

std::vector<std::pair<std::string, std::string>> IniFile::Section(
    const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> found;
    std::string wanted = Lower(section);
    for (const auto& [entrySection, entry] : entries_) {
        if (entrySection == wanted) found.push_back(entry);
    }
    return found;
}

int32_t IniFile::ReadInt(const std::string& section, const std::string& key,
                         int32_t defaultValue) const {
    std::optional<std::string> text = Value(section, key);
    if (!text) return defaultValue;
    return ParseIniInt(*text).value_or(defaultValue);
}

double IniFile::ReadReal(const std::string& section, const std::string& key,
                         double defaultValue) const {
    std::optional<std::string> text = Value(section, key);
    if (!text) return defaultValue;
    return ParseIniReal(*text).value_or(defaultValue);
}

std::optional<int32_t> ParseIniInt(const std::string& rawText) {
    std::string text = Trimmed(rawText);
    if (text.empty()) return std::nullopt;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* digits = hex ? text.c_str() + 2 : text.c_str();
    if (hex && !std::isxdigit(static_cast<unsigned char>(*digits))) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(digits, &end, hex ? 16 : 10);
    if (errno != 0 || end == digits || *end != '\0') return std::nullopt;
    // 32 bits either way: 0xFFFFFFFF and 4294967295 both read as -1.
    if (value < INT32_MIN || value > static_cast<long long>(UINT32_MAX)) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::optional<double> ParseIniReal(const std::string& rawText) {
    std::string text = Trimmed(rawText);
    std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || std::isnan(value)) return std::nullopt;
    return value;
}

namespace {

std::string SectionName(const std::string& line) {
    std::string trimmed = Trimmed(line);
    if (trimmed.size() < 2 || trimmed.front() != '[') return std::string();
    size_t close = trimmed.find(']');
    return close == std::string::npos ? std::string()
                                      : Lower(Trimmed(trimmed.substr(1, close - 1)));
}

bool IsKeyLine(const std::string& line, const std::string& key) {
    size_t equals = line.find('=');
    return equals != std::string::npos && Lower(Trimmed(line.substr(0, equals))) == Lower(key);
}

}  // namespace

bool WriteIniValues(const std::string& path, const std::vector<IniUpdate>& updates) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    for (const IniUpdate& update : updates) {
        std::string wanted = Lower(update.section);
        std::string entry = update.key + "=" + update.value;
        bool inSection = false;
        size_t sectionEnd = lines.size();
        bool found = false;
        for (size_t i = 0; i < lines.size() && !found; ++i) {
            if (!SectionName(lines[i]).empty()) {
                if (inSection) {
                    sectionEnd = i;
                    break;
                }
                inSection = SectionName(lines[i]) == wanted;
                if (inSection) sectionEnd = lines.size();
            } else if (inSection && IsKeyLine(lines[i], update.key)) {
                lines[i] = entry;
                found = true;
            }
        }
        if (found) continue;
        bool sectionExists = false;
        for (const std::string& line : lines) sectionExists |= SectionName(line) == wanted;
        if (sectionExists) {
            // After the section's last non-blank line.
            size_t at = sectionEnd;
            while (at > 0 && Trimmed(lines[at - 1]).empty()) --at;
            lines.insert(lines.begin() + static_cast<long>(at), entry);
        } else {
            lines.push_back("[" + update.section + "]");
            lines.push_back(entry);
        }
    }
    return SaveTextLines(path, lines);
}
