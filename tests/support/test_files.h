// Temporary files and a bound memory sink for tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/memory_sink.h"
#include "support/stream_builder.h"

// A fresh directory, removed with its files at the end of the scope.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Writes the file and returns its full path.
    std::string Write(const std::string& name, const Bytes& bytes) const;
    std::string WriteText(const std::string& name, const std::string& text) const;

  private:
    std::string path_;
};

Bytes ReadFileBytes(const std::string& path);
std::string FixturePath(const std::string& name);

// Binds a memory sink to a freshly reset report log for the life of the object, and
// resets the log again when it ends.
class BoundSink {
  public:
    BoundSink();
    ~BoundSink();
    MemorySink sink;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line);
// The lines strictly between the first `first` and the `last` after it; the single line
// "<no section>" when either is missing, so that a missing section differs from an empty one.
std::vector<std::string> LinesBetween(const std::vector<std::string>& lines,
                                      const std::string& first, const std::string& last);

// Names parameterised cases by their place in the table.
struct CaseNumber {
    template <typename T>
    std::string operator()(const ::testing::TestParamInfo<T>& info) const {
        return "case" + std::to_string(info.index);
    }
};
