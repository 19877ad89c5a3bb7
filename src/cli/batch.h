// A batch: every file analysed by a worker process of its own (zembra-cli --worker), at
// most `jobs` at once, so that a file that crashes or hangs its worker costs that file
// alone. Results come back in the order of the inputs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/input_list.h"
#include "run/run_result.h"

struct BatchSettings {
    std::string executable;               // zembra-cli itself
    std::vector<std::string> workerArgs;  // before "--" and the file
    int jobs = 1;
    double fileTimeoutSeconds = 0;  // 0: no limit
    std::string workerInput;        // what every worker reads on its standard input
};

struct BatchProgress {
    size_t done = 0;
    size_t total = 0;
    size_t failed = 0;  // verdict fail or error
    double elapsedSeconds = 0;
};

// A file's result, and its JSON object as the worker made it (beside the other workers,
// so that a batch's JSON costs the main process no more than its text); empty where the
// batch made the result itself.
struct BatchResult {
    RunResult result;
    std::string json;
};

struct BatchCallbacks {
    // Each result, in input order, as soon as it and every one before it are in.
    std::function<void(BatchResult&&)> result;
    // After each result, and about once a second.
    std::function<void(const BatchProgress&)> progress;
    // True once no further file may be started (Ctrl-C).
    std::function<bool()> stopRequested;
    // An input that stands for no file (a folder without spots), with what to say of it.
    std::function<void(const std::string&)> note;
};

// Analyses the inputs as they come in from the feed.
void RunBatch(InputFeed& feed, const BatchSettings& settings, const BatchCallbacks& callbacks);

// What a worker writes on its standard output: its result as MessagePack, which keeps a
// path's bytes as they are, with the result's JSON object as text. Without
// `seriesInResult` the series travel in the JSON text alone.
std::string WorkerMessage(const RunResult& result, bool seriesInResult = true);

// The message a worker wrote, its exit status as waitpid gave it and whether it was
// stopped for the time limit: the file's result, or an error result that says what
// happened to the worker.
BatchResult WorkerOutcome(const std::string& path, const std::string& output, int status,
                          bool timedOut, double timeoutSeconds);
