// INI reading and writing. The line reader is our own: libinih, used before, reads an
// indented line as the continuation of the key above it (its multi-line values), which
// turned an operator's indented key into a value of the key before it and the check into
// an information line; it also gives no line numbers for the profile's warnings.
#include "reference/ini_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "report/report_text_file.h"

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r\n\v\f";
constexpr std::string_view kCommentStarts = ";#";
// Only after a blank, so that a value may hold ";" ("a;b") and "#" ("Spot #3").
constexpr char kInlineCommentStart = ';';

std::string_view TrimmedView(std::string_view text) {
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string Trimmed(const std::string& text) { return std::string(TrimmedView(text)); }

std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
        text.remove_prefix(kUtf8ByteOrderMark.size());
    }
    return text;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A file that starts with a UTF-16 byte order mark (Windows Notepad's "Unicode") as UTF-8,
// surrogate pairs joined; a lone surrogate becomes U+FFFD. Any other text as it is.
std::string AsUtf8(std::string_view text) {
    bool little = text.starts_with("\xFF\xFE");
    bool big = text.starts_with("\xFE\xFF");
    if (!little && !big) return std::string(text);
    auto unit = [&](size_t at) {
        auto first = static_cast<uint8_t>(text[at]);
        auto second = static_cast<uint8_t>(text[at + 1]);
        return static_cast<uint32_t>(little ? second << 8 | first : first << 8 | second);
    };
    constexpr uint32_t kReplacement = 0xFFFD;
    std::string out;
    for (size_t at = 2; at + 1 < text.size(); at += 2) {
        uint32_t code = unit(at);
        bool high = code >= 0xD800 && code < 0xDC00;
        if (high && at + 3 < text.size() && unit(at + 2) >= 0xDC00 && unit(at + 2) < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = kReplacement;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::string_view WithoutInlineComment(std::string_view value) {
    for (size_t i = 1; i < value.size(); ++i) {
        if (value[i] == kInlineCommentStart &&
            kBlanks.find(value[i - 1]) != std::string_view::npos) {
            return value.substr(0, i);
        }
    }
    return value;
}

// What one line of an INI file is; the views point into the line.
struct IniLine {
    enum class Kind { Other, SectionHeader, KeyValue };
    Kind kind = Kind::Other;
    std::string_view name;  // the section's or the key's
    std::string_view value;
};

// Blanks around a line are layout, whatever they are and wherever the line stands.
// Blank lines, comments and lines that are neither a header nor key=value are Other.
IniLine ClassifyIniLine(std::string_view rawLine) {
    std::string_view line = TrimmedView(rawLine);
    if (line.empty() || kCommentStarts.find(line.front()) != std::string_view::npos) return {};
    if (line.front() == '[') {
        size_t close = line.find(']');
        if (close == std::string_view::npos) return {};
        return {IniLine::Kind::SectionHeader, TrimmedView(line.substr(1, close - 1)), {}};
    }
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return {};
    return {IniLine::Kind::KeyValue, TrimmedView(line.substr(0, equals)),
            TrimmedView(WithoutInlineComment(line.substr(equals + 1)))};
}

// The lines without their LF or CRLF ends; a last line without an end counts.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

std::string EntryName(const std::string& section, const std::string& key) {
    return LowerIniName(section) + '\n' + LowerIniName(key);
}

}  // namespace

// ASCII only: std::tolower() would follow the locale, and a Latin-1 locale changes bytes
// of UTF-8 names.
std::string LowerIniName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return name;
}

// C stdio, because a stream's read of a directory throws where fread() reports an error.
std::optional<std::string> ReadIniFileBytes(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return std::nullopt;
    std::string text;
    char block[65536];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) text.append(block, got);
    if (std::ferror(file.get())) return std::nullopt;
    return text;
}

std::optional<std::string> IniFileReadError(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "it is a folder";
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return std::strerror(errno);
    return std::nullopt;
}

IniFile IniFile::Load(const std::string& path) {
    std::optional<std::string> text = ReadIniFileBytes(path);
    return text ? Parse(*text) : IniFile();
}

IniFile IniFile::Parse(const std::string& text) {
    IniFile ini;
    std::string section;
    int lineNumber = 0;
    std::string utf8 = AsUtf8(text);
    for (std::string_view rawLine : SplitLines(WithoutByteOrderMark(utf8))) {
        ++lineNumber;
        IniLine line = ClassifyIniLine(rawLine);
        if (line.kind == IniLine::Kind::SectionHeader) {
            section = std::string(line.name);
            ini.headers_.push_back({section, lineNumber});
        } else if (line.kind == IniLine::Kind::KeyValue) {
            IniEntry entry{section, std::string(line.name), std::string(line.value), lineNumber};
            ini.values_.emplace(EntryName(entry.section, entry.name),
                                entry.value);  // keeps the first
            ini.entries_.push_back(std::move(entry));
        }
    }
    return ini;
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
    std::string wanted = LowerIniName(section);
    for (const IniEntry& entry : entries_) {
        if (LowerIniName(entry.section) == wanted) found.emplace_back(entry.name, entry.value);
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
    // std::from_chars reads the "C" locale's numbers whatever LC_NUMERIC is (strtod
    // stopped at the "." of "-20.5" under de_DE). It takes no "+", which operators write.
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') return std::nullopt;
    }
    double value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || std::isnan(value)) return std::nullopt;
    return value;
}

namespace {

// The file's lines as written, the byte order mark kept in the first one.
std::vector<std::string> ReadLinesAsWritten(const std::string& path) {
    std::string text = ReadIniFileBytes(path).value_or(std::string());
    std::vector<std::string> lines;
    for (std::string_view line : SplitLines(text)) lines.emplace_back(line);
    return lines;
}

IniLine ClassifyLineAt(const std::vector<std::string>& lines, size_t at) {
    std::string_view line = lines[at];
    return ClassifyIniLine(at == 0 ? WithoutByteOrderMark(line) : line);
}

bool IsHeaderOf(const IniLine& line, const std::string& lowerSection) {
    return line.kind == IniLine::Kind::SectionHeader &&
           LowerIniName(std::string(line.name)) == lowerSection;
}

void SetIniValue(std::vector<std::string>& lines, const IniUpdate& update) {
    std::string wanted = LowerIniName(update.section);
    std::string wantedKey = LowerIniName(update.key);
    std::string entry = update.key + "=" + update.value;
    size_t header = 0;
    while (header < lines.size() && !IsHeaderOf(ClassifyLineAt(lines, header), wanted)) ++header;
    if (header == lines.size()) {
        lines.push_back("[" + update.section + "]");
        lines.push_back(entry);
        return;
    }
    size_t sectionEnd = header + 1;
    for (; sectionEnd < lines.size(); ++sectionEnd) {
        IniLine line = ClassifyLineAt(lines, sectionEnd);
        if (line.kind == IniLine::Kind::SectionHeader) break;
        if (line.kind == IniLine::Kind::KeyValue &&
            LowerIniName(std::string(line.name)) == wantedKey) {
            lines[sectionEnd] = entry;
            return;
        }
    }
    // After the section's last non-blank line.
    while (TrimmedView(lines[sectionEnd - 1]).empty()) --sectionEnd;
    lines.insert(lines.begin() + static_cast<long>(sectionEnd), entry);
}

}  // namespace

bool WriteIniValues(const std::string& path, const std::vector<IniUpdate>& updates) {
    std::vector<std::string> lines = ReadLinesAsWritten(path);
    for (const IniUpdate& update : updates) SetIniValue(lines, update);
    return SaveTextLines(path, lines);
}
