// Temporary files and a bound memory sink for tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

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

// Binds a memory sink to the report log for the life of the object, with
// print-only-errors off and no cancel request.
class BoundSink {
  public:
    BoundSink();
    ~BoundSink();
    MemorySink sink;
};

// Names parameterised cases by their place in the table.
struct CaseNumber {
    template <typename T>
    std::string operator()(const ::testing::TestParamInfo<T>& info) const {
        return "case" + std::to_string(info.index);
    }
};
