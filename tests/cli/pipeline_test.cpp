// zembra-cli in an ingest pipeline: folders and lists of files, worker processes, the
// JSON, JUnit and CSV outputs, --explain and --errors-only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "cli/batch.h"
#include "cli/cli_options.h"
#include "cli/file_analysis.h"
#include "cli/progress_line.h"
#include "output/json_report.h"
#include "output/run_stamp.h"
#include "output/text_report.h"
#include "reference/ini_file.h"
#include "reference/reference_profile.h"
#include "reference/sha256.h"
#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "support/cli_run.h"
#include "support/output_checks.h"
#include "support/test_files.h"

namespace {

using json = nlohmann::ordered_json;

const std::string kBundledProfile = ZEMBRA_DATA_DIR "/MpegReference.ini";
const std::string kSample = ZEMBRA_DATA_DIR "/sample.mpg";

// A summary row's end: the run's profile, its SHA-256 and when the run started.
std::string StampColumns(const std::string& profile, const std::string& analysedAt) {
    return "," + profile + "," + Sha256Hex(ReadIniFileBytes(profile).value_or("")) + "," +
           analysedAt;
}

// The start time a summary row ends in.
std::string AnalysedAtOf(const std::string& row) { return row.substr(row.rfind(',') + 1); }

class PipelineTest : public ::testing::Test {
  protected:
    CliRun Run(const std::string& args, const std::string& input = "/dev/null") {
        return RunCli(args, dir_.Path(), input);
    }
    // Runs with --format json, checks the document against the schema and returns it.
    json RunJson(const std::string& args, int exitCode, const std::string& input = "/dev/null") {
        CliRun run = Run("--format json " + args, input);
        EXPECT_EQ(exitCode, run.exitCode) << args << "\n" << run.err;
        std::string path = dir_.WriteText("run.json", run.out);
        EXPECT_EQ("", SchemaErrors(path)) << args;
        return json::parse(run.out);
    }
    std::string Folder(const std::string& name) {
        std::string path = dir_.Path() + "/" + name;
        std::filesystem::create_directories(path);
        return path;
    }
    TempDir dir_;
};

std::vector<std::string> Paths(const json& document) {
    std::vector<std::string> paths;
    for (const json& file : document.at("files")) paths.push_back(file.at("path"));
    return paths;
}

// A folder is searched below itself for spots in any letter case, in path order; "-"
// reads a list; the results keep the order of the input whatever the number of jobs.
TEST_F(PipelineTest, FoldersAndListsInTheOrderGiven) {
    std::string spots = Folder("spots");
    Folder("spots/sub/deeper");
    for (const char* name :
         {"spots/c.Vob", "spots/a.mpg", "spots/sub/B.MPG", "spots/sub/deeper/d.mpeg"}) {
        dir_.Write(name, MakeSimpleStream(2));
    }
    dir_.WriteText("spots/notes.txt", "not a spot");
    dir_.WriteText("spots/sub/a.mpg.bak", "not a spot");
    std::vector<std::string> expected = {spots + "/a.mpg", spots + "/c.Vob", spots + "/sub/B.MPG",
                                         spots + "/sub/deeper/d.mpeg"};
    json folder = RunJson("--no-profile " + Quoted(spots), 0);
    EXPECT_EQ(expected, Paths(folder));

    std::string list = dir_.WriteText(
        "list.txt", spots + "/sub/B.MPG\r\n\n" + spots + "/a.mpg\n" + spots + "/gone.mpg\n");
    std::vector<std::string> listed = {spots + "/c.Vob", spots + "/sub/B.MPG", spots + "/a.mpg",
                                       spots + "/gone.mpg", spots + "/c.Vob"};
    for (const char* jobs : {"1", "3"}) {
        json document = RunJson("--no-profile --jobs " + std::string(jobs) + " " +
                                    Quoted(spots + "/c.Vob") + " - " + Quoted(spots + "/c.Vob"),
                                3, list);
        EXPECT_EQ(listed, Paths(document)) << jobs;
        EXPECT_EQ("error", document["files"][3]["verdict"]) << jobs;
        EXPECT_EQ("pass", document["files"][4]["verdict"]) << jobs;
    }
}

// A path that is not there, a file that cannot be read, a file that is not a program
// stream, an empty list: each gets the verdict error with its reason, in every format, and
// the exit status 3. An existing folder without spots stands for no file: a note says so.
TEST_F(PipelineTest, BadInputGetsAnErrorWithItsReasonInEveryFormat) {
    std::string empty = Folder("empty");
    std::string fifo = dir_.Path() + "/fifo.mpg";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0644));
    std::string text = dir_.WriteText("text.mpg", "hello, not a program stream");
    std::string missing = dir_.Path() + "/missing.mpg";
    struct Case {
        std::string path;
        std::string reason;
    };
    std::vector<Case> cases = {
        {missing,
         "Unable to open file \"" + missing + "\" for reading. No such file or directory."},
        {fifo, "Unable to open file \"" + fifo + "\" for reading. It is not a regular file."},
        {text, "File \"" + text + "\" is NOT a MPEG program stream!!"},
        {"-", "No path on standard input"},
    };
    if (::geteuid() != 0) {  // root reads every file whatever its mode
        std::string locked = dir_.Write("locked.mpg", MakeSimpleStream(2));
        ::chmod(locked.c_str(), 0);
        cases.push_back(
            {locked, "Unable to open file \"" + locked + "\" for reading. Permission denied."});
    }
    std::string args = "--no-profile " + Quoted(empty);
    for (const Case& c : cases) args += " " + Quoted(c.path);

    json document = RunJson(args, 3);
    ASSERT_EQ(cases.size(), document["files"].size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ("error", document["files"][i]["verdict"]) << cases[i].path;
        EXPECT_EQ(cases[i].reason, document["files"][i]["reason"]) << cases[i].path;
    }

    CliRun junit = Run("--format junit --output " + Quoted(dir_.Path() + "/qc.xml") + " " + args);
    EXPECT_EQ(3, junit.exitCode);
    EXPECT_NE(std::string::npos,
              junit.err.find("Note: No .mpg, .mpeg or .vob file in folder \"" + empty + "\"\n"));
    EXPECT_EQ("", junit.out);  // the document went to --output
    std::string counts = JunitCounts(dir_.Path() + "/qc.xml");
    std::string n = std::to_string(cases.size());
    EXPECT_EQ(0u, counts.find("testsuites tests=" + n + " failures=0 errors=" + n + " skipped=0\n"))
        << counts;

    CliRun textRun = Run(args);
    EXPECT_EQ(3, textRun.exitCode);
    for (const Case& c : cases) {
        EXPECT_NE(std::string::npos, textRun.out.find(c.reason.substr(0, c.reason.find('.'))))
            << c.path;
    }
    EXPECT_EQ(2, Run("--format xml " + args).exitCode);
    // A folder without spots alone: nothing to judge, nothing failed.
    CliRun nothing = Run("--no-profile " + Quoted(empty));
    EXPECT_EQ(0, nothing.exitCode);
    EXPECT_EQ("", nothing.out);
}

// A blank capture of 2 GB (sparse: no disk used): the first pass searches it for a pack
// header for many seconds, so a worker is busy with it when the batch is stopped.
std::string BlankSpot(const TempDir& dir) {
    std::string path = dir.Path() + "/blank.mpg";
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    EXPECT_EQ(0, ::ftruncate(fd, off_t{2} << 30));
    ::close(fd);
    return path;
}

// The workers a main process started that are still running (their arguments name it).
int WorkersOf(const std::string& parent) {
    int workers = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string arguments = ReadText(entry.path().string() + "/cmdline");
        if (arguments.find(std::string("--worker-parent\0", 16) + parent + '\0') !=
            std::string::npos) {
            ++workers;
        }
    }
    return workers;
}

// Waits (at most ten seconds) for the workers of a main process that has ended to be gone.
int WorkersLeftAfter(const std::string& parent) {
    for (int i = 0; i < 100 && WorkersOf(parent) > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return WorkersOf(parent);
}

// "status S pid P" as the shell lines below print them.
std::pair<int, std::string> StatusAndPid(const std::string& text) {
    std::istringstream words(text.substr(text.rfind("status ")));
    std::string word, pid;
    int status = -1;
    words >> word >> status >> word >> pid;
    return {status, pid};
}

// SIGINT, SIGTERM and SIGHUP to the main process alone stop a batch alike: the file in
// progress is interrupted (its search for a pack header sees the cancel), the files not
// started are listed as not analysed, every output is whole, the exit status is 128 + the
// signal, and no worker is left.
TEST_F(PipelineTest, ASignalStopsABatchWithWholeOutputs) {
    std::string blank = BlankSpot(dir_);
    std::string jsonPath = dir_.Path() + "/run.json", csv = dir_.Path() + "/run.csv";
    std::string xml = dir_.Path() + "/run.xml", err = dir_.Path() + "/err.txt";
    struct Case {
        const char* signal;
        int status;
        const char* format;
        const char* cause;
    };
    for (const Case& c : {Case{"INT", 130, "json", "Ctrl-C"}, Case{"TERM", 143, "junit", "SIGTERM"},
                          Case{"HUP", 129, "json", "SIGHUP"}}) {
        std::string output = std::string(c.format) == "json" ? jsonPath : xml;
        CommandOutput run = RunCommand(
            "'" ZEMBRA_CLI_PATH "' --no-profile --jobs 1 --format " + std::string(c.format) +
            " --output " + Quoted(output) + " --summary " + Quoted(csv) + " " + Quoted(kSample) +
            " " + Quoted(blank) + " " + Quoted(kSample) + " 2>" + Quoted(err) +
            " & pid=$!; sleep 2; kill -" + c.signal + " $pid; wait $pid; echo status $? pid $pid");
        auto [status, pid] = StatusAndPid(run.text);
        EXPECT_EQ(c.status, status) << c.signal << run.text;
        EXPECT_EQ(0, WorkersLeftAfter(pid)) << c.signal;
        EXPECT_NE(std::string::npos,
                  ReadText(err).find("Interrupted: the report covers only what was read before " +
                                     std::string(c.cause) + "; 1 file not analysed.\n"))
            << ReadText(err);
        std::vector<std::string> rows = ReadLines(csv);
        ASSERT_EQ(4u, rows.size()) << c.signal;
        EXPECT_EQ(0u, rows[1].find(kSample + ",pass,")) << rows[1];
        EXPECT_EQ(0u, rows[2].find(blank + ",interrupted,")) << rows[2];
        EXPECT_NE(std::string::npos, rows[2].find("*Analysis cancelled during the program stream"))
            << rows[2];
        EXPECT_EQ(0u, rows[3].find(kSample + ",not analysed,")) << rows[3];
        if (output == jsonPath) {
            EXPECT_EQ("", SchemaErrors(jsonPath)) << c.signal;
            json document = json::parse(ReadText(jsonPath));
            EXPECT_EQ("interrupted", document["files"][1]["verdict"]);
            EXPECT_EQ("Interrupted during the program stream pass", document["files"][1]["reason"]);
            EXPECT_EQ("not analysed", document["files"][2]["verdict"]);
        } else {
            EXPECT_EQ(0u, JunitCounts(xml).find("testsuites ")) << ReadText(xml);
            EXPECT_NE(std::string::npos,
                      ReadText(xml).find("<skipped message=\"Not analysed: the run was stopped "
                                         "before this file\"/>"));
        }
    }
}

// A signal to a worker alone interrupts its file: not analysed whole, so exit 3, and the
// batch goes on. A stop while the list on standard input is read lists the arguments after
// it as not analysed.
TEST_F(PipelineTest, AnInterruptedFileAndArgumentsAfterTheList) {
    std::string blank = BlankSpot(dir_);
    std::string csv = dir_.Path() + "/run.csv";
    CommandOutput run = RunCommand(
        "'" ZEMBRA_CLI_PATH "' --no-profile --jobs 1 --summary " + Quoted(csv) + " " +
        Quoted(blank) + " " + Quoted(kSample) +
        " >/dev/null & pid=$!; sleep 1; for p in /proc/[0-9]*; do tr '\\0' ' ' < $p/cmdline "
        "2>/dev/null | grep -qF -- \"--worker-parent $pid \" && kill -TERM ${p#/proc/}; done; "
        "wait $pid; echo status $? pid $pid");
    EXPECT_EQ(3, StatusAndPid(run.text).first) << run.text;
    std::vector<std::string> rows = ReadLines(csv);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(0u, rows[1].find(blank + ",interrupted,")) << rows[1];
    EXPECT_EQ(0u, rows[2].find(kSample + ",pass,")) << rows[2];

    // A list that never ends: a FIFO the shell holds open.
    std::string fifo = dir_.Path() + "/list";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0644));
    run =
        RunCommand("exec 3<> " + Quoted(fifo) + "; '" ZEMBRA_CLI_PATH "' --no-profile --summary " +
                   Quoted(csv) + " - " + Quoted(kSample) + " < " + Quoted(fifo) +
                   " >/dev/null 2>&1 & pid=$!; sleep 1; kill -TERM $pid; wait $pid; echo status "
                   "$? pid $pid; exec 3>&-");
    EXPECT_EQ(143, StatusAndPid(run.text).first) << run.text;
    rows = ReadLines(csv);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(0u, rows[1].find(kSample + ",not analysed,")) << rows[1];
}

// Even SIGKILL of the main process leaves no worker behind.
TEST_F(PipelineTest, WorkersDieWithTheMainProcess) {
    std::string blank = BlankSpot(dir_);
    CommandOutput run = RunCommand("'" ZEMBRA_CLI_PATH "' --no-profile " + Quoted(blank) +
                                   " >/dev/null & pid=$!; sleep 1; kill -KILL $pid; wait $pid; "
                                   "echo status $? pid $pid");
    auto [status, pid] = StatusAndPid(run.text);
    EXPECT_EQ(128 + SIGKILL, status);
    EXPECT_EQ(0, WorkersLeftAfter(pid));
}

// A reader that stops reading (`| head -1`) stops the batch: the files are still written,
// no worker is left, and the exit status is 128 + SIGPIPE.
TEST_F(PipelineTest, AClosedStandardOutputStopsTheBatch) {
    std::string blank = BlankSpot(dir_);
    std::string csv = dir_.Path() + "/run.csv";
    std::string status = dir_.Path() + "/status.txt";
    CommandOutput run = RunCommand("{ '" ZEMBRA_CLI_PATH "' --no-profile --jobs 1 --summary " +
                                   Quoted(csv) + " " + Quoted(kSample) + " " + Quoted(blank) + " " +
                                   Quoted(kSample) + " & echo $! > " + Quoted(status + ".pid") +
                                   "; wait $!; echo $? > " + Quoted(status) + "; } | head -1");
    EXPECT_EQ(0u, run.text.find("Zembra v")) << run.text;
    EXPECT_EQ("141\n", ReadText(status));
    std::string pid = ReadText(status + ".pid");
    EXPECT_EQ(0, WorkersLeftAfter(pid.substr(0, pid.size() - 1)));
    std::vector<std::string> rows = ReadLines(csv);
    ASSERT_EQ(4u, rows.size());
    // Stopped while the blank capture was searched, or before it was started.
    EXPECT_TRUE(rows[2].starts_with(blank + ",interrupted,") ||
                rows[2].starts_with(blank + ",not analysed,"))
        << rows[2];
    EXPECT_EQ(0u, rows[3].find(kSample + ",not analysed,")) << rows[3];
}

// A stand-in for zembra-cli that crashes, hangs, or writes no result for some files and
// runs the real one for the rest.
std::string HostileWorker(const TempDir& dir) {
    std::string script = dir.WriteText("worker.sh",
                                       "#!/bin/sh\n"
                                       "for file; do :; done\n"
                                       "case \"$file\" in\n"
                                       "  *crash*) kill -SEGV $$ ;;\n"
                                       "  *ctrl-c*) kill -INT $$ ;;\n"
                                       "  *hang*) exec sleep 60 ;;\n"
                                       "  *garbage*) echo garbage; exit 0 ;;\n"
                                       "esac\n"
                                       "exec '" ZEMBRA_CLI_PATH "' \"$@\"\n");
    ::chmod(script.c_str(), 0755);
    return script;
}

TEST_F(PipelineTest, AWorkerThatCrashesOrHangsCostsOnlyItsFile) {
    std::string good = dir_.Write("good.mpg", MakeSimpleStream(2));
    std::vector<BatchInput> inputs = {{good, "", ""},
                                      {dir_.Path() + "/crash.mpg", "", ""},
                                      {dir_.Path() + "/hang.mpg", "", ""},
                                      {dir_.Path() + "/garbage.mpg", "", ""},
                                      {dir_.Path() + "/ctrl-c.mpg", "", ""},
                                      {dir_.Path() + "/nothing", "No spots", ""},
                                      {good, "", ""}};
    BatchSettings settings{HostileWorker(dir_), {"--worker", "--no-profile"}, 2, 2.0, ""};
    std::vector<RunResult> results;
    std::vector<BatchProgress> progress;
    BatchCallbacks callbacks{[&](BatchResult&& r) { results.push_back(std::move(r.result)); },
                             [&](const BatchProgress& p) { progress.push_back(p); },
                             [] { return false; },
                             {}};
    auto start = std::chrono::steady_clock::now();
    InputFeed feed(inputs);
    RunBatch(feed, settings, callbacks);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20.0) << "the hung worker was not stopped";
    ASSERT_EQ(inputs.size(), results.size());
    const std::pair<FileVerdict, std::string> expected[] = {
        {FileVerdict::Pass, ""},
        {FileVerdict::Error, "The analysis crashed (signal 11, Segmentation fault)"},
        {FileVerdict::Error,
         "The analysis did not end within 2 seconds (--file-timeout); it was stopped"},
        {FileVerdict::Error, "The analysis ended without a result (exit status 0)"},
        {FileVerdict::Interrupted, "The analysis was interrupted"},
        {FileVerdict::Error, "No spots"},
        {FileVerdict::Pass, ""},
    };
    for (size_t i = 0; i < results.size(); ++i) {
        EXPECT_EQ(inputs[i].path, results[i].path);
        EXPECT_EQ(expected[i].first, results[i].verdict) << i;
        EXPECT_EQ(expected[i].second, results[i].reason) << i;
    }
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(7u, progress.back().done);
    EXPECT_EQ(5u, progress.back().failed);
}

// What a worker hands over is its result as it was, a path's bytes included, with the
// same JSON object the main process would make; another file's result is no result.
// A process as /proc/PID/stat gives it.
struct ProcessStat {
    int pid = 0;
    char state = '?';  // 'Z': a zombie
    int parent = 0;
    int group = 0;
};

std::vector<ProcessStat> Processes() {
    std::vector<ProcessStat> processes;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string stat = ReadText(entry.path().string() + "/stat");
        size_t command = stat.rfind(')');  // the command may hold spaces and brackets
        if (command == std::string::npos) continue;
        ProcessStat process;
        process.pid = std::atoi(name.c_str());
        std::istringstream fields(stat.substr(command + 1));
        if (fields >> process.state >> process.parent >> process.group) {
            processes.push_back(process);
        }
    }
    return processes;
}

// This process's children, zombies too.
std::set<int> Children() {
    std::set<int> children;
    for (const ProcessStat& process : Processes()) {
        if (process.parent == ::getpid()) children.insert(process.pid);
    }
    return children;
}

// The children that were not there `before`, as "pid state"; those that were are not the
// batch's.
std::vector<std::string> NewChildren(const std::set<int>& before) {
    std::vector<std::string> added;
    for (const ProcessStat& process : Processes()) {
        if (process.parent == ::getpid() && !before.contains(process.pid)) {
            added.push_back(std::to_string(process.pid) + " " + process.state);
        }
    }
    return added;
}

// Waits (at most five seconds) until no live process is left in the process group.
int LiveProcessesInGroupAfter(int group) {
    int live = 0;
    for (int i = 0; i < 50; ++i) {
        live = 0;
        for (const ProcessStat& process : Processes()) {
            if (process.group == group && process.state != 'Z') ++live;
        }
        if (live == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return live;
}

struct LeaveBatch {};

// A throw out of a callback leaves the batch while workers run: each is killed with what
// it started (its process group) and reaped before the throw goes on, so no child and no
// zombie is left; a worker the batch had already reaped is not touched again.
TEST_F(PipelineTest, ABatchLeftByAThrowKillsAndReapsItsWorkers) {
    std::string blank = BlankSpot(dir_);
    std::string good = dir_.Write("good.mpg", MakeSimpleStream(2));
    // Leaves a process of its own behind in its group, as a worker that forks might.
    std::string forking = dir_.WriteText("forking.sh", "#!/bin/sh\nsleep 60 &\nexec sleep 60\n");
    ::chmod(forking.c_str(), 0755);
    struct Case {
        const char* name;
        std::string executable;
        std::vector<std::string> files;
        int jobs;
        bool throwOnResult;  // else on the progress shown while the workers run
        size_t resultsBefore;
    };
    const Case cases[] = {
        {"one worker on a slow file", ZEMBRA_CLI_PATH, {blank}, 1, false, 0},
        {"two workers on slow files", ZEMBRA_CLI_PATH, {blank, blank}, 2, false, 0},
        {"a result handed over beside a slow file", ZEMBRA_CLI_PATH, {good, blank}, 2, true, 1},
        {"a worker that started a process", forking, {blank}, 1, false, 0},
    };
    for (const Case& c : cases) {
        std::vector<BatchInput> inputs;
        for (const std::string& file : c.files) inputs.push_back({file, "", ""});
        BatchSettings settings{c.executable, {"--worker", "--no-profile"}, c.jobs, 0, ""};
        std::set<int> before = Children();
        std::vector<std::string> runningAtThrow;
        size_t results = 0;
        // Throws once the batch's workers are seen running, so that each is left running.
        auto leaveWhileRunning = [&] {
            std::vector<std::string> running;
            for (const std::string& child : NewChildren(before)) {
                if (!child.ends_with(" Z")) running.push_back(child);
            }
            if (running.size() < c.files.size() - c.resultsBefore) return;
            runningAtThrow = running;
            throw LeaveBatch();
        };
        BatchCallbacks callbacks{[&](BatchResult&&) {
                                     ++results;
                                     if (c.throwOnResult) leaveWhileRunning();
                                 },
                                 [&](const BatchProgress&) {
                                     if (!c.throwOnResult) leaveWhileRunning();
                                 },
                                 [] { return false; },
                                 {}};
        InputFeed feed(inputs);
        EXPECT_THROW(RunBatch(feed, settings, callbacks), LeaveBatch) << c.name;
        EXPECT_EQ(c.resultsBefore, results) << c.name;
        ASSERT_EQ(c.files.size() - c.resultsBefore, runningAtThrow.size()) << c.name;
        EXPECT_EQ(std::vector<std::string>{}, NewChildren(before)) << c.name;
        for (const std::string& worker : runningAtThrow) {
            EXPECT_EQ(0, LiveProcessesInGroupAfter(std::atoi(worker.c_str())))
                << c.name << ": " << worker;
        }
    }
}

// A worker that cannot be started is its file's error, with the reason posix_spawn gave,
// and the batch goes on with the next file.
TEST_F(PipelineTest, AWorkerThatCannotStartGivesTheSpawnError) {
    std::string notExecutable = dir_.WriteText("worker.txt", "#!/bin/sh\nexit 0\n");
    struct Case {
        std::string executable;
        int error;
        std::string workerInput;  // a profile goes through a memory file
    };
    const Case cases[] = {
        {dir_.Path() + "/missing/zembra-cli", ENOENT, ""},
        {notExecutable, EACCES, "[Video]\n"},
        {dir_.Path(), EACCES, ""},
    };
    std::string good = dir_.Write("good.mpg", MakeSimpleStream(2));
    std::vector<BatchInput> inputs = {{good, "", ""}, {good, "", ""}, {good, "", ""}};
    for (const Case& c : cases) {
        BatchSettings settings{c.executable, {"--worker", "--no-profile"}, 2, 0, c.workerInput};
        std::vector<RunResult> results;
        BatchCallbacks callbacks{[&](BatchResult&& r) { results.push_back(std::move(r.result)); },
                                 {},
                                 [] { return false; },
                                 {}};
        std::set<int> before = Children();
        InputFeed feed(inputs);
        RunBatch(feed, settings, callbacks);
        ASSERT_EQ(inputs.size(), results.size()) << c.executable;
        for (const RunResult& result : results) {
            EXPECT_EQ(FileVerdict::Error, result.verdict) << c.executable;
            EXPECT_EQ("Unable to start a worker process: " + std::string(std::strerror(c.error)),
                      result.reason)
                << c.executable;
        }
        EXPECT_EQ(std::vector<std::string>{}, NewChildren(before)) << c.executable;
    }
}

TEST(WorkerMessage, CarriesTheResultUnchanged) {
    RunResult result = ErrorResult("/ingest/caf\xE9/spot.mpg", "File is empty");
    result.lines.push_back({LineKind::Info, "caf\xE9", std::nullopt, true});
    BatchResult back = WorkerOutcome(result.path, WorkerMessage(result), 0, false, 0);
    EXPECT_EQ(result, back.result);
    EXPECT_EQ(FileJsonText(result), back.json);
    BatchResult other = WorkerOutcome("/ingest/other.mpg", WorkerMessage(result), 0, false, 0);
    EXPECT_EQ(FileVerdict::Error, other.result.verdict);
    EXPECT_EQ("The analysis ended without a result (exit status 0)", other.result.reason);
    // A message cut short anywhere (a worker killed while writing) is no result.
    std::string whole = WorkerMessage(result);
    for (size_t cut : {size_t{0}, size_t{3}, size_t{9}, whole.size() / 2, whole.size() - 1}) {
        BatchResult cutShort = WorkerOutcome(result.path, whole.substr(0, cut), 0, false, 0);
        EXPECT_EQ(FileVerdict::Error, cutShort.result.verdict) << cut;
    }
}

// Series written as JSON alone travel in its text alone: the result keeps its figures.
TEST(WorkerMessage, SeriesInTheJsonTextAlone) {
    RunResult result = ErrorResult("/ingest/spot.mpg", "none");
    result.verdict = FileVerdict::Pass;
    VideoStreamFigures video;
    video.id = 0xE0;
    video.gopCount = 2;
    video.series = {0xE0, {{"00:00:00:00", 12, "IBBPBBPBBPBB", true, true, false}}, {4000}, 4000,
                    0, {}};
    result.videoStreams = {video};
    BatchResult back = WorkerOutcome(result.path, WorkerMessage(result, false), 0, false, 0);
    EXPECT_EQ(FileJsonText(result), back.json);
    ASSERT_EQ(1u, back.result.videoStreams.size());
    EXPECT_EQ(2u, back.result.videoStreams[0].gopCount);
    EXPECT_TRUE(back.result.videoStreams[0].series.gops.empty());
}

// On a terminal (here the pseudo-terminal of script(1)) a batch shows its progress on
// standard error, and clears it before each report and at the end.
TEST_F(PipelineTest, ABatchShowsItsProgressOnATerminal) {
    if (RunCommand("command -v script").exitCode != 0) GTEST_SKIP() << "script(1) is missing";
    std::string bad = dir_.WriteText("bad.mpg", "not a stream");
    std::string log = dir_.Path() + "/terminal.txt";
    RunCommand("script -qec \"'" ZEMBRA_CLI_PATH "' --no-color --jobs 1 " + Quoted(kSample) + " " +
               Quoted(bad) + " >/dev/null\" " + Quoted(log));
    std::string terminal = ReadText(log);
    size_t first = terminal.find("\r1/2 files, 0 failed, 00:00:");
    ASSERT_NE(std::string::npos, first) << terminal;
    EXPECT_NE(std::string::npos, terminal.find(" elapsed, about 00:00:", first));
    size_t last = terminal.find("\r2/2 files, 1 failed, 00:00:", first);
    ASSERT_NE(std::string::npos, last) << terminal;
    EXPECT_EQ(last + 30, terminal.find(" elapsed\x1b[K", last)) << "no estimate once done";
    EXPECT_NE(std::string::npos, terminal.rfind("\r\x1b[K")) << "the line is cleared";
}

TEST(ProgressLine, CountsFailuresAndEstimatesTheRest) {
    struct Case {
        BatchProgress progress;
        std::string text;
    };
    const Case cases[] = {
        {{0, 200, 0, 0.4}, "0/200 files, 0 failed, 00:00:00 elapsed"},
        {{50, 200, 3, 83}, "50/200 files, 3 failed, 00:01:23 elapsed, about 00:04:09 left"},
        {{200, 200, 7, 3725}, "200/200 files, 7 failed, 01:02:05 elapsed"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, ProgressLineText(c.progress));
}

// What --explain adds, what --summary writes, and the exit status, on two real streams.
TEST_F(PipelineTest, ExplainAndSummaryOnRealStreams) {
    std::string dvd = ZEMBRA_FIXTURE_DIR "/ffmpeg_dvd.vob";
    std::string summary = dir_.Path() + "/qc.csv";
    CliRun run = Run("--explain --profile " + Quoted(kBundledProfile) + " --summary " +
                     Quoted(summary) + " " + Quoted(kSample) + " " + Quoted(dvd));
    EXPECT_EQ(1, run.exitCode) << run.err;
    for (const char* line :
         {"*Aspect Ratio = Square 1:1   [AspectRatio = 3: 16:9]\n",
          "Horizontal Size = 720   [HorizontalSize = 720 pixels]\n",
          "Max. frames per GOP (without first & last) = 15   [GOPLengthMax = 15 frames]\n",
          "Mode = stereo   [Mode = 3: stereo, joint stereo]\n", "Compliance Test: Pass\n"}) {
        EXPECT_NE(std::string::npos, run.out.find(line)) << line;
    }
    std::vector<std::string> rows = ReadLines(summary);
    ASSERT_EQ(3u, rows.size());
    std::string stamp = StampColumns(kBundledProfile, AnalysedAtOf(rows[1]));
    EXPECT_EQ(
        "path,verdict,duration_s,video_format,video_average_kbps,video_peak_kbps,"
        "gop_length,audio_format,failures,first_failure,profile,profile_sha256,analysed_at\r\n" +
            kSample +
            ",pass,4.00,MPEG-2 720x576 16:9 25 fps,4010,4210,15,"
            "MPEG-1 Layer II 192 kbit/s 48000 Hz stereo,0," +
            stamp + "\r\n" + dvd +
            ",fail,2.00,MPEG-2 720x576 1:1 25 fps,2197,3334,12,,2,"
            "*Substream (DVD): AC3 Audio substream 80" +
            stamp + "\r\n",
        ReadText(summary));
}

// MPEG-2 LSF audio (ISO/IEC 13818-3 at 24 kHz) is named as such in the summary and the
// JSON figures, in both modes; MPEG-1 audio beside it keeps its name.
// The figures of the edge traits: a clock that restarts, a broken link and the pictures it
// hides, a change of format, and a spot whose sync is lost in garbage: a fail, not an error.
TEST_F(PipelineTest, JsonFiguresOfJoinedCutAndChangedSpots) {
    // ffmpeg writes no program end code: the garbage follows the last packet.
    std::string garbage = ReadText(FixturePath("ffmpeg_vob.mpg")) + std::string(4096, '\x55');
    std::string garbageSpot = dir_.WriteText("garbage.mpg", garbage);
    json document =
        RunJson("--no-profile " + Quoted(FixturePath("joined_restart.mpg")) + " " +
                    Quoted(FixturePath("broken_link.mpg")) + " " +
                    Quoted(FixturePath("format_change.mpg")) + " " + Quoted(garbageSpot) + " " +
                    Quoted(FixturePath("joined_end_codes.mpg")) + " " +
                    Quoted(FixturePath("hd_422_1080i.mpg")),
                1);
    const json& files = document.at("files");
    EXPECT_EQ(1, files[0]["programStream"]["clockDiscontinuities"]);
    const json& cut = files[1]["videoStreams"][0];
    EXPECT_EQ(1, cut["brokenLinks"]);
    EXPECT_EQ(2, cut["undisplayedFrames"]);
    EXPECT_EQ(true, cut["gops"][0]["brokenLink"]);
    EXPECT_EQ(false, cut["gops"][1]["brokenLink"]);
    EXPECT_EQ(1, files[2]["videoStreams"][0]["formatChanges"]);
    EXPECT_EQ("fail", files[3]["verdict"]);
    EXPECT_EQ(50, files[3]["videoStreams"][0]["frames"]);
    EXPECT_EQ(34, files[4]["programStream"]["packsAfterEndCode"]);
    EXPECT_EQ(832, files[5]["videoStreams"][0]["vbvBufferSize"]);
    EXPECT_EQ(47185920, files[5]["videoStreams"][0]["vbvBufferBits"]);
}

TEST_F(PipelineTest, LsfAudioIsNamedInTheSummaryAndTheJson) {
    std::string lsf = FixturePath("mp2_lsf_24k.mpg");
    std::string summary = dir_.Path() + "/qc.csv";
    std::string headerMode = dir_.WriteText("header.ini", "[Audio]\nDecodeAudio=0\n");
    for (const std::string& profile : {headerMode, kBundledProfile}) {
        json document = RunJson("--profile " + Quoted(profile) + " --summary " + Quoted(summary) +
                                    " " + Quoted(lsf) + " " + Quoted(kSample),
                                1);
        const json& audio = document["files"][0]["audioStreams"][0];
        EXPECT_EQ("MPEG-2 LSF Layer II 96 kbit/s 24000 Hz stereo", audio["format"]) << profile;
        EXPECT_EQ(42, audio["syncWords"]) << profile;  // ffprobe: 42 packets
        EXPECT_EQ(0, audio["syncLosses"]) << profile;
        EXPECT_EQ(24000, audio["samplingFrequencyHz"]) << profile;
        EXPECT_EQ("MPEG-1 Layer II 192 kbit/s 48000 Hz stereo",
                  document["files"][1]["audioStreams"][0]["format"])
            << profile;
        std::vector<std::string> rows = ReadLines(summary);
        ASSERT_EQ(3u, rows.size()) << profile;
        EXPECT_NE(std::string::npos,
                  rows[1].find(",MPEG-2 LSF Layer II 96 kbit/s 24000 Hz stereo,"))
            << rows[1];
        if (profile == headerMode) {  // the ID bit is the only failure
            EXPECT_EQ(lsf +
                          ",fail,,,,,,MPEG-2 LSF Layer II 96 kbit/s 24000 Hz stereo,1,*Bad ID Bit" +
                          StampColumns(profile, AnalysedAtOf(rows[1])),
                      rows[1]);
        }
        EXPECT_NE(std::string::npos, rows[2].find(",MPEG-1 Layer II 192 kbit/s 48000 Hz stereo,0,"))
            << rows[2];
    }
}

// --errors-only shows the failures print-only-errors shows, each under the headings above
// it: the file's, its section's and its stream's first line; other headings and the
// warnings that fail nothing are left out.
TEST(ErrorsOnly, ShowsPrintOnlyErrorsFailuresUnderTheirHeadings) {
    for (const char* fixture : {"ffmpeg_dvd.vob", "mp2_clipping.mpg", "joined_sequences.mpg",
                                "late_clock.mpg", "mplex_generic.mpg"}) {
        std::string path = FixturePath(fixture);
        std::vector<std::string> printOnlyErrors;
        {
            BoundSink bound;
            LoadReferenceProfileFrom(kBundledProfile);
            SetPrintOnlyErrors(true);
            AnalyzeFile(path.c_str());
            printOnlyErrors = bound.sink.Texts();
        }
        ResetReportLog();
        LoadReferenceProfileFrom(kBundledProfile);
        RunResult result = AnalyseInThisProcess(path, false);
        ResetReportLog();
        std::vector<std::string> desktopFailures;
        for (const std::string& line : printOnlyErrors) {
            if (line.starts_with("*") || line == "Compliance Test: Fail!!") {
                desktopFailures.push_back(line);
            }
        }
        std::vector<std::string> failures;
        std::vector<std::string> streamLines;
        std::vector<ShownLine> lines = ShownLines(result, {true, false});
        for (const ShownLine& line : lines) {
            if (line.kind == LineKind::Fail || line.kind == LineKind::Warning) {
                failures.push_back(line.text);
            } else if (line.kind == LineKind::Heading) {
                EXPECT_TRUE(Contains(printOnlyErrors, line.text)) << fixture << ": " << line.text;
            } else {
                streamLines.push_back(line.text);
            }
        }
        EXPECT_EQ(desktopFailures, failures) << fixture;
        for (const std::string& line : streamLines) {
            EXPECT_TRUE(line.starts_with("Elementary Stream ") ||
                        line.starts_with("Sequence_end_code NOT FOUND, in Stream "))
                << fixture << ": " << line;
        }
        EXPECT_FALSE(streamLines.empty()) << fixture;
        ASSERT_LE(3u, lines.size()) << fixture;
        EXPECT_EQ("File under analysis: \"" + path + "\"..!", lines.front().text) << fixture;
        EXPECT_EQ("Result:", lines[lines.size() - 2].text) << fixture;
    }
}

TEST_F(PipelineTest, GopsBitratesAndBufferOfSeveralFilesNameTheirFileAndStream) {
    std::string gops = dir_.Path() + "/gops.csv";
    std::string bitrate = dir_.Path() + "/bitrate.csv";
    std::string vbv = dir_.Path() + "/vbv.csv";
    CliRun run = Run("--gops " + Quoted(gops) + " --bitrate " + Quoted(bitrate) + " --vbv " +
                     Quoted(vbv) + " " + Quoted(kSample) + " " + Quoted(kSample));
    ASSERT_EQ(0, run.exitCode) << run.err;
    // No progress line in a pipe: the batch's tally alone.
    EXPECT_EQ(0u, run.err.find("2 files: 2 pass, 0 fail, 0 error, ")) << run.err;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
    std::string table = ReadText(gops);
    EXPECT_EQ(0u, table.find("File,Stream,GOP #,TimeCode,GOP Length,Structure,Closed?,Seq. Header?,"
                             "Broken Link\r\n" +
                             kSample + ",E0,1,00:00:00:00,15,IPPPPPPPPPPPPPP,Yes,Yes,No\r\n"));
    EXPECT_NE(std::string::npos,
              table.find(kSample + ",E0,7,00:00:03:15,10,IPPPPPPPPP,No,Yes,No\r\n" + kSample +
                         ",E0,1,00:00:00:00,"));
    std::string rates = ReadText(bitrate);
    EXPECT_EQ(0u, rates.find("File,Stream,Second,Kilobits\r\n" + kSample + ",E0,1,"));
    EXPECT_EQ(1u + 4 + 4, ReadLines(bitrate).size()) << "four seconds each, no average row";
    EXPECT_NE(std::string::npos, rates.find(kSample + ",E0,4,"));
    // Each worker's 100 pictures come back to the main process: 200 rows after the header.
    std::vector<std::string> buffer = ReadLines(vbv);
    ASSERT_EQ(201u, buffer.size());
    EXPECT_EQ("File,Stream,Picture,Seconds,Before (bits),After (bits),Before (%),After (%)",
              buffer[0]);
    EXPECT_EQ(0u, buffer[1].find(kSample + ",E0,1,0.000,"));
    EXPECT_EQ(0u, buffer[101].find(kSample + ",E0,1,0.000,"));
    EXPECT_EQ(0u, buffer[200].find(kSample + ",E0,100,3.960,"));
}

// One stream has the File and Stream columns too; every row's occupancy falls by the
// picture taken out, and a picture of 25 fps video comes every 40 ms. The JSON figures
// hold the same.
TEST_F(PipelineTest, BufferOccupancyOfOneStream) {
    std::string vbv = dir_.Path() + "/vbv.csv";
    std::string output = dir_.Path() + "/run.json";
    ASSERT_EQ(0, Run("--vbv " + Quoted(vbv) + " --format json --output " + Quoted(output) + " " +
                     Quoted(kSample))
                     .exitCode);
    EXPECT_EQ("", SchemaErrors(output));
    json document = json::parse(ReadText(output));
    const json& figures = document["files"][0]["videoStreams"][0]["vbv"];
    EXPECT_EQ(1835008, figures["bufferBits"]);
    ASSERT_EQ(100u, figures["occupancy"].size());
    const json& first = figures["occupancy"][0];
    EXPECT_EQ(1, first[0]);
    EXPECT_EQ(0.0, first[1]);
    EXPECT_EQ(1835008.0, first[2]) << "variable rate: full before the first removal";
    std::vector<std::string> rows = ReadLines(vbv);
    ASSERT_EQ(101u, rows.size());
    EXPECT_EQ("File,Stream,Picture,Seconds,Before (bits),After (bits),Before (%),After (%)",
              rows[0]);
    for (size_t i = 1; i < rows.size(); ++i) {
        unsigned picture = 0;
        double seconds = 0, before = 0, after = 0, beforePercent = 0, afterPercent = 0;
        ASSERT_EQ(0u, rows[i].find(kSample + ",E0,")) << rows[i];
        ASSERT_EQ(
            6, std::sscanf(rows[i].c_str() + kSample.size() + 4, "%u,%lf,%lf,%lf,%lf,%lf", &picture,
                           &seconds, &before, &after, &beforePercent, &afterPercent))
            << rows[i];
        EXPECT_EQ(i, picture);
        EXPECT_NEAR(0.04 * static_cast<double>(i - 1), seconds, 1e-3);
        EXPECT_GT(before, after);
        EXPECT_LE(beforePercent, 100.0);
    }
}

// --loudness measures every decoded stream whatever the profile judges, and its curve comes
// back from each worker: the sample's tone at -21.1 LUFS, silence as "-inf" in the CSV and
// null in the JSON.
TEST_F(PipelineTest, LoudnessCurvesOfSeveralFiles) {
    std::string profile = dir_.WriteText("decode.ini", "[Audio]\nDecodeAudio=1\n");
    std::string silence = ZEMBRA_FIXTURE_DIR "/mp2_silence.mpg";
    std::string csv = dir_.Path() + "/loudness.csv";
    std::string output = dir_.Path() + "/run.json";
    CliRun run = Run("--profile " + Quoted(profile) + " --loudness " + Quoted(csv) +
                     " --format json --output " + Quoted(output) + " " + Quoted(kSample) + " " +
                     Quoted(silence));
    ASSERT_NE(2, run.exitCode) << run.err;
    std::vector<std::string> rows = ReadLines(csv);
    ASSERT_EQ(1u + 40 + 20, rows.size());  // 4 s and 2 s of audio, a row every 100 ms
    EXPECT_EQ("File,Stream,Seconds,Momentary (LUFS),Short-Term (LUFS)", rows[0]);
    EXPECT_EQ(0u, rows[1].find(kSample + ",C0,0.1,"));
    EXPECT_EQ(kSample + ",C0,4.0,-21.06,-21.08", rows[40]);
    EXPECT_EQ(silence + ",C0,0.1,-inf,-inf", rows[41]);

    EXPECT_EQ("", SchemaErrors(output));
    json document = json::parse(ReadText(output));
    const json& tone = document["files"][0]["audioStreams"][0]["loudness"];
    EXPECT_NEAR(-21.05, tone["integratedLufs"].get<double>(), 0.01);
    EXPECT_EQ(40u, tone["curve"].size());
    const json& quiet = document["files"][1]["audioStreams"][0]["loudness"];
    EXPECT_TRUE(quiet["integratedLufs"].is_null());
    EXPECT_TRUE(quiet["curve"][0][1].is_null());

    // Header mode decodes nothing to measure: the table stays empty, and says why.
    std::string header = dir_.WriteText("header.ini", "[Audio]\nDecodeAudio=0\n");
    run = Run("--profile " + Quoted(header) + " --loudness " + Quoted(csv) + " " + Quoted(kSample));
    EXPECT_EQ(1u, ReadLines(csv).size());
    EXPECT_NE(std::string::npos, run.err.find("loudness needs decoded audio (DecodeAudio=1"))
        << run.err;

    // Without --loudness and without a loudness key nothing is measured.
    ASSERT_NE(2, Run("--profile " + Quoted(profile) + " --format json --output " + Quoted(output) +
                     " " + Quoted(kSample))
                     .exitCode);
    document = json::parse(ReadText(output));
    EXPECT_FALSE(document["files"][0]["audioStreams"][0].contains("loudness"));
}

// JSON lines: each file's object as the JSON document holds it, one a line, as each file
// ends; to a file as well as to standard output.
TEST_F(PipelineTest, JsonLinesHoldTheFilesObjects) {
    std::string missing = dir_.Path() + "/missing.mpg";
    std::string args = "--no-profile " + Quoted(kSample) + " " + Quoted(missing);
    json document = RunJson(args, 3);
    std::string saved = dir_.Path() + "/run.jsonl";
    for (const std::string& output : {std::string(), " --output " + Quoted(saved)}) {
        CliRun run = Run("--format jsonl" + output + " " + args);
        EXPECT_EQ(3, run.exitCode) << run.err;
        std::istringstream lines(output.empty() ? run.out : ReadText(saved));
        size_t i = 0;
        for (std::string line; std::getline(lines, line); ++i) {
            ASSERT_LT(i, 2u) << line;
            json file = json::parse(line);
            json expected = document["files"][i];
            // Two runs: the version line's time and the processing time may differ.
            for (json* object : {&file, &expected}) {
                object->erase("processingSeconds");
                (*object)["lines"].erase(0);
            }
            EXPECT_EQ(expected, file) << i;
        }
        EXPECT_EQ(2u, i);
    }
}

// Every machine output names the profile by path and by the SHA-256 of the bytes read,
// and the run's start in ISO 8601 UTC, the same in each.
TEST_F(PipelineTest, MachineOutputsRecordTheProfileAndWhen) {
    std::string summary = dir_.Path() + "/qc.csv";
    std::string xml = dir_.Path() + "/qc.xml";
    std::string profile = Quoted(kBundledProfile);
    std::string before = Iso8601Utc(std::time(nullptr));
    json document = RunJson(
        "--profile " + profile + " --summary " + Quoted(summary) + " " + Quoted(kSample), 0);
    std::string after = Iso8601Utc(std::time(nullptr));
    std::string sha = Sha256Hex(ReadIniFileBytes(kBundledProfile).value());
    EXPECT_EQ(kBundledProfile, document["profile"]);
    EXPECT_EQ(sha, document["profileSha256"]);
    std::string at = document["analysedAt"];
    EXPECT_TRUE(before <= at && at <= after) << at;  // ISO 8601 UTC sorts as text
    std::vector<std::string> rows = ReadLines(summary);
    ASSERT_EQ(2u, rows.size());
    EXPECT_TRUE(rows[1].ends_with("," + kBundledProfile + "," + sha + "," + at)) << rows[1];

    ASSERT_EQ(0, Run("--format junit --output " + Quoted(xml) + " --profile " + profile + " " +
                     Quoted(kSample))
                     .exitCode);
    std::string junit = ReadText(xml);
    EXPECT_NE(std::string::npos,
              junit.find("<property name=\"profile_sha256\" value=\"" + sha + "\"/>"));
    EXPECT_NE(std::string::npos, junit.find(" timestamp=\"20")) << junit;

    json none = RunJson("--no-profile " + Quoted(kSample), 0);
    EXPECT_TRUE(none["profile"].is_null());
    EXPECT_TRUE(none["profileSha256"].is_null());
}

// A worker judges by the profile's bytes it is handed, never by the file at the path,
// which may have been saved again since the batch began (or be gone).
TEST_F(PipelineTest, AWorkerJudgesByTheProfileBytesItIsGiven) {
    std::string gone = dir_.Path() + "/gone.ini";
    std::string failing = dir_.WriteText("failing.ini", "[Video]\nHorizontalSize=352\n");
    CommandOutput worker =
        RunCommand("{ '" ZEMBRA_CLI_PATH "' --worker --profile " + Quoted(gone) + " -- " +
                   Quoted(kSample) + " < " + Quoted(failing) + " 2>/dev/null; }");
    ASSERT_EQ(0, worker.exitCode);
    RunResult result = WorkerOutcome(kSample, worker.text, 0, false, 0).result;
    EXPECT_EQ(FileVerdict::Fail, result.verdict);
    EXPECT_TRUE(std::any_of(result.lines.begin(), result.lines.end(), [&](const ResultLine& l) {
        return l.text == "Reference profile: \"" + gone + "\"";
    }));
    EXPECT_TRUE(std::any_of(result.lines.begin(), result.lines.end(), [](const ResultLine& l) {
        return l.text == "*Horizontal Size = 720";
    }));
}

// The JSON of a passing and a failing stream: verdicts, judged lines with their keys and
// units, and the figures, beside what ffprobe reports of the sample (720x576, 25 fps,
// 100 frames; MP2 at 48 kHz, 192 kbit/s).
TEST_F(PipelineTest, JsonCarriesVerdictsChecksAndFigures) {
    std::string dvd = ZEMBRA_FIXTURE_DIR "/ffmpeg_dvd.vob";
    std::string output = dir_.Path() + "/run.json";
    CliRun run = Run("--format json --output " + Quoted(output) + " --profile " +
                     Quoted(kBundledProfile) + " " + Quoted(kSample) + " " + Quoted(dvd));
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("", SchemaErrors(output));
    json document = json::parse(ReadText(output));
    EXPECT_EQ(kBundledProfile, document["profile"]);
    EXPECT_EQ("1.4.0.131", document["tool"]["version"]);
    const json& sample = document["files"][0];
    EXPECT_EQ("pass", sample["verdict"]);
    EXPECT_EQ(2179072, sample["size"]);
    const json& video = sample["videoStreams"][0];
    EXPECT_EQ(0xE0, video["id"]);
    EXPECT_EQ(720, video["horizontalSize"]);
    EXPECT_EQ(576, video["verticalSize"]);
    EXPECT_EQ(100, video["frames"]);
    EXPECT_EQ(7u, video["gops"].size());
    EXPECT_EQ(4u, video["bitrate"]["kilobitsPerSecond"].size());
    EXPECT_FALSE(video.contains("vbv")) << "a row a picture only when --vbv asks for it";
    const json& audio = sample["audioStreams"][0];
    EXPECT_EQ(48000, audio["samplingFrequencyHz"]);
    EXPECT_EQ(192, audio["bitrateKbps"]);
    EXPECT_EQ(2, audio["layer"]);

    const json& failing = document["files"][1];
    EXPECT_EQ("fail", failing["verdict"]);
    const json* aspect = nullptr;
    for (const json& line : failing["lines"]) {
        if (line["text"] == "*Aspect Ratio = Square 1:1") aspect = &line;
    }
    ASSERT_NE(nullptr, aspect);
    EXPECT_EQ(json::parse(R"({"kind": "fail", "text": "*Aspect Ratio = Square 1:1",
        "check": {"type": "equal", "outcome": "failure",
                  "measured": {"value": 1.0, "unit": "code"},
                  "reference": {"key": {"section": "Video", "name": "AspectRatio"},
                                "value": 3.0, "unit": "code", "set": true},
                  "min": null, "max": null}})"),
              *aspect);
}

// --help describes every option, each taking a value with an example.
TEST(CliHelp, DescribesEveryOptionWithAnExample) {
    std::string usage = kCliUsage;
    std::string examples;  // the indented lines that run zembra-cli
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("     zembra-cli ") != std::string::npos) examples += line + "\n";
    }
    for (const std::string& name : CliOptionNames()) {
        EXPECT_NE(std::string::npos, usage.find("  " + name + " ")) << name;
        if (name == "--help" || name == "--version") continue;
        EXPECT_NE(std::string::npos, examples.find(" " + name + " ")) << name << ": no example";
    }
    EXPECT_EQ(std::string::npos, usage.find("--worker"));
}

}  // namespace
