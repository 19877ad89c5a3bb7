// The labels table: the [Labels] section of MpegReference.ini, name=value lines that the
// Open command loads when a file is chosen, binding the labels "zembra_version" and
// "file_name" to the version text and the opened file's path. Nothing in the analysis
// reads the table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One labelled entry.
struct stZembraType {
    int32_t index = 0;  // position of the line in the section
    std::string name;
    uint8_t kind = 0;  // kBoundKind for a bound entry
    std::string format;
    std::string unit;
    std::string text;                       // the value as read from the file
    uint8_t marker = 0;                     // kBoundMarker for a bound entry
    const std::string* valueRef = nullptr;  // the live value of a bound entry
    uint8_t bound = 0;
};

constexpr uint8_t kBoundKind = 3;
constexpr uint8_t kBoundMarker = 255;

// The format texts and unit words an entry may take.
extern const char* const kLabelFormats[3];
extern const char* const kLabelUnits[12];

struct LabelCallbacks {
    void (*progress)(int percent);
    void (*status)(const std::string& text);
    int (*ready)();
};

class MpegInfo {
  public:
    // Reads [Labels] of `iniPath`; a missing file or section gives an empty table.
    MpegInfo(const std::string& iniPath, const std::string& filePath,
             const LabelCallbacks& callbacks);

    // Reloads the reference profile from `iniPath`, then binds "zembra_version" to
    // `versionText` and "file_name" to the file path, the names found without regard to
    // case.
    void BindLabels(const std::string& iniPath, const std::string& versionText);

    const std::vector<stZembraType>& Entries() const { return entries_; }
    int32_t Count() const { return count_; }

  private:
    void Bind(const std::string& label, const std::string* value);

    LabelCallbacks callbacks_;
    std::vector<std::string> lines_;  // name=value, in file order
    std::vector<std::string> names_;
    std::vector<stZembraType> entries_;
    std::string filePath_;
    std::string versionText_;
    int32_t count_ = 0;
};

// The labels step of the Open command: builds the table from the profile beside the
// executable (or `iniPath`), binds the two labels and releases the table.
void RunLabelsStep(const std::string& filePath, const std::string& iniPath);
void RunLabelsStep(const std::string& filePath);
