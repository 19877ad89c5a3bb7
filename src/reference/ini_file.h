// Reading INI files as operators write them: sections in brackets, key=value lines, names
// matched without regard to case, ";" and "#" comment lines, and ";" after a blank
// starting a comment at the end of a line. Indentation is layout: an indented key is a
// key, never the continuation of the line above. A UTF-8 byte order mark, UTF-16 (little
// or big endian, with its byte order mark, as Windows Notepad saves "Unicode") and CRLF line
// ends are read too. The first of duplicate keys wins, as with the Windows profile calls
// the operators' files were written for.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One key=value line. The section is empty before the first section header.
struct IniEntry {
    std::string section;  // as written, without the blanks inside the brackets
    std::string name;     // as written, without blanks around it
    std::string value;    // without blanks or a comment around it
    int line;             // 1-based
};

// One [section] header line.
struct IniSectionHeader {
    std::string name;  // as written, without the blanks inside the brackets
    int line;          // 1-based
};

class IniFile {
  public:
    // A missing or unreadable file gives an empty IniFile.
    static IniFile Load(const std::string& path);
    // The file's text as it stands. Lines that are neither a header, a key=value line, a
    // comment nor blank are left out.
    static IniFile Parse(const std::string& text);

    std::optional<std::string> Value(const std::string& section, const std::string& key) const;
    // The section's name=value entries in file order, duplicates included, names as
    // written.
    std::vector<std::pair<std::string, std::string>> Section(const std::string& section) const;

    // Decimal, or hexadecimal after "0x"/"0X"; anything else (also "720px") gives
    // the default.
    int32_t ReadInt(const std::string& section, const std::string& key, int32_t defaultValue) const;
    // A decimal number with "." (or ",") as the decimal separator, under every locale.
    double ReadReal(const std::string& section, const std::string& key, double defaultValue) const;

    // Every key=value line and every section header, in file order.
    const std::vector<IniEntry>& Entries() const { return entries_; }
    const std::vector<IniSectionHeader>& SectionHeaders() const { return headers_; }

  private:
    std::map<std::string, std::string> values_;  // "section\nkey", both lower-cased
    std::vector<IniEntry> entries_;
    std::vector<IniSectionHeader> headers_;
};

// The file's bytes as they stand; nothing when it cannot be read.
std::optional<std::string> ReadIniFileBytes(const std::string& path);

// Why the file cannot be read: the system's reason, or that it is a folder; nothing when
// it can.
std::optional<std::string> IniFileReadError(const std::string& path);

// A section or key name in the form names are compared in: lower case.
std::string LowerIniName(std::string name);

std::optional<int32_t> ParseIniInt(const std::string& text);
// Reads the same under every locale (LC_NUMERIC of a comma locale included).
std::optional<double> ParseIniReal(const std::string& text);

struct IniUpdate {
    std::string section;
    std::string key;
    std::string value;
};

// Sets each key to its value in the file, keeping every other line as it is: an existing
// key (names matched without regard to case) gets its new value, a new key goes at the
// end of its section, a new section at the end of the file. The file is replaced whole,
// so a failed write leaves it as it was. False when it cannot be written.
bool WriteIniValues(const std::string& path, const std::vector<IniUpdate>& updates);
