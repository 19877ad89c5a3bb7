// Reading INI files: sections in brackets, key=value lines, names matched without
// regard to case, ";" and "#" comments. The first of duplicate keys wins, as with the
// Windows profile calls the operators' files were written for.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class IniFile {
  public:
    // A missing or unreadable file gives an empty IniFile.
    static IniFile Load(const std::string& path);

    std::optional<std::string> Value(const std::string& section, const std::string& key) const;
    // The section's name=value entries in file order, duplicates included, names as
    // written.
    std::vector<std::pair<std::string, std::string>> Section(const std::string& section) const;

    // Decimal, or hexadecimal after "0x"/"0X"; anything else (also "720px") gives
    // the default.
    int32_t ReadInt(const std::string& section, const std::string& key, int32_t defaultValue) const;
    // A decimal number with "." (or ",") as the decimal separator.
    double ReadReal(const std::string& section, const std::string& key, double defaultValue) const;

  private:
    static int OnEntry(void* user, const char* section, const char* key, const char* value);
    std::map<std::string, std::string> values_;  // "section\nkey", both lower-cased
    // Every entry in file order: lower-cased section, then name and value as written.
    std::vector<std::pair<std::string, std::pair<std::string, std::string>>> entries_;
};

std::optional<int32_t> ParseIniInt(const std::string& text);

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
std::optional<double> ParseIniReal(const std::string& text);
