// A batch: every file analysed by a worker process of its own (zembra-cli --worker), at
// most `jobs` at once, so that a file that crashes or hangs its worker costs that file
// alone. Results come back in the order of the inputs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/input_list.h"
#include "output/file_result.h"

struct BatchSettings {
    std::string executable;               // zembra-cli itself
    std::vector<std::string> workerArgs;  // before "--" and the file
    int jobs = 1;
    double fileTimeoutSeconds = 0;  // 0: no limit
};

struct BatchProgress {
    size_t done = 0;
    size_t total = 0;
    size_t failed = 0;  // verdict fail or error
    double elapsedSeconds = 0;
};

struct BatchCallbacks {
    // Each result, in input order, as soon as it and every one before it are in.
    std::function<void(FileResult&&)> result;
    // After each result, and about once a second.
    std::function<void(const BatchProgress&)> progress;
    // True once no further file may be started (Ctrl-C).
    std::function<bool()> stopRequested;
};

void RunBatch(const std::vector<BatchInput>& inputs, const BatchSettings& settings,
              const BatchCallbacks& callbacks);

// The result a worker wrote on its standard output, its exit status as waitpid gave it and
// whether it was stopped for the time limit: the file's result, or an error result that
// says what happened to the worker.
FileResult WorkerOutcome(const std::string& path, const std::string& output, int status,
                         bool timedOut, double timeoutSeconds);
