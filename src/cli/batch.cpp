// Worker processes of a batch.
#include "cli/batch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

#include "cli/unique_fd.h"
#include "output/json_report.h"
#include "output/result_json.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// How often the progress is shown while no result comes in.
constexpr int kProgressIntervalMs = 1000;
// Where the system has no process descriptors: how long to wait for a worker that closed
// its output to be reaped before looking again.
constexpr int kReapIntervalMs = 1;
constexpr size_t kReadBlock = 65536;
// How long a worker told to stop may take to write its report before it is killed; every
// loop that reads sees the cancel within a MiB, so this is only for a worker that hangs.
constexpr double kStopGraceSeconds = 5;

// waitpid, again when a signal cuts it short; the pid, or -1 and errno.
pid_t WaitFor(pid_t pid, int& status, int options) {
    pid_t got;
    do {
        got = ::waitpid(pid, &status, options);
    } while (got < 0 && errno == EINTR);
    return got;
}

// A worker's process, killed and reaped when let go of while it still runs, so that a
// throw out of the batch leaves neither a worker nor a zombie behind. Once reaped, its pid
// is forgotten: the system may give it to another process.
class WorkerProcess {
  public:
    WorkerProcess() = default;
    explicit WorkerProcess(pid_t pid) : pid_(pid) {}
    WorkerProcess(WorkerProcess&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
    WorkerProcess& operator=(WorkerProcess&& other) noexcept {
        if (this != &other) {
            KillGroupAndReap();
            pid_ = std::exchange(other.pid_, -1);
        }
        return *this;
    }
    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;
    ~WorkerProcess() { KillGroupAndReap(); }

    pid_t Pid() const { return pid_; }

    // Its exit status once it has ended; nothing while it runs.
    std::optional<int> ReapIfEnded() {
        int status = 0;
        if (pid_ < 0 || WaitFor(pid_, status, WNOHANG) != pid_) return std::nullopt;
        pid_ = -1;
        return status;
    }

    // SIGKILL to the worker, then waits for it to end.
    void KillAndReap() noexcept {
        if (pid_ < 0) return;
        ::kill(pid_, SIGKILL);
        Reap();
    }

  private:
    // The whole group, so that whatever the worker started goes too. The group is the
    // worker's own and keeps its id until the worker is reaped, so it hits no stranger.
    void KillGroupAndReap() noexcept {
        if (pid_ < 0) return;
        if (::kill(-pid_, SIGKILL) != 0) ::kill(pid_, SIGKILL);
        Reap();
    }

    void Reap() noexcept {
        int status = 0;
        WaitFor(pid_, status, 0);
        pid_ = -1;
    }

    pid_t pid_ = -1;
};

struct Worker {
    size_t index = 0;
    WorkerProcess process;
    UniqueFd fd;     // its standard output, non-blocking; closed once it has ended
    UniqueFd pidFd;  // readable once the process has ended; none where the system has none
    std::string output;
    Clock::time_point start;
};

// A descriptor that polls readable once the process has ended (Linux 5.3); none where the
// system has none. By system call: Debian 12's C library declares no C++ wrapper.
UniqueFd ProcessDescriptor(pid_t pid) {
    return UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A memory file holding what every worker reads on its standard input; each worker opens
// it afresh, so each reads it from the start. None when it cannot be made, and `error`
// says why.
UniqueFd MakeWorkerInput(const std::string& bytes, int& error) {
    UniqueFd fd(::memfd_create("zembra-worker-input", MFD_CLOEXEC));
    if (!fd.Valid()) {
        error = errno;
        return {};
    }
    for (size_t written = 0; written < bytes.size();) {
        ssize_t put = ::write(fd.Get(), bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            error = put < 0 ? errno : EIO;
            return {};
        }
        written += static_cast<size_t>(put);
    }
    return fd;
}

// The worker for one file; none when it cannot be started, and `error` says why.
std::optional<Worker> StartWorker(size_t index, const std::string& path,
                                  const BatchSettings& settings, int inputFd, int& error) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = errno;
        return std::nullopt;
    }
    UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    // Only the reading end: a worker that leaves a process behind holding its output must
    // not block the batch once the worker has ended.
    ::fcntl(readEnd.Get(), F_SETFL, O_NONBLOCK);
    std::vector<std::string> args = {settings.executable};
    args.insert(args.end(), settings.workerArgs.begin(), settings.workerArgs.end());
    args.push_back("--");
    args.push_back(path);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Opened in the child before its exec, while the memory file is still open there.
    std::string input =
        inputFd >= 0 ? "/proc/self/fd/" + std::to_string(inputFd) : std::string("/dev/null");

    // Nothing from here to their destroy throws, so they cannot leak.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY, 0);
    // A process group of its own: a terminal's Ctrl-C reaches the main process alone, which
    // tells each worker once. The signals the main process ignores or holds are the
    // worker's own again.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    int spawned = ::posix_spawn(&pid, settings.executable.c_str(), &actions, &attributes,
                                argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    // The worker holds the only writing end now, so its end is the end of the output.
    writeEnd.Reset();
    if (spawned != 0) {
        error = spawned;  // posix_spawn returns its error and leaves errno alone
        return std::nullopt;
    }
    Worker worker;
    worker.index = index;
    worker.process = WorkerProcess(pid);
    worker.fd = std::move(readEnd);
    worker.pidFd = ProcessDescriptor(pid);
    worker.start = Clock::now();
    return worker;
}

// Reads what is there; false at the end of the worker's output.
bool ReadAvailable(Worker& worker) {
    char block[kReadBlock];
    while (true) {
        ssize_t got = ::read(worker.fd.Get(), block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return true;
        if (got <= 0) return false;
        worker.output.append(block, static_cast<size_t>(got));
    }
}

void CloseOutput(Worker& worker) { worker.fd.Reset(); }

void CloseProcess(Worker& worker) {
    CloseOutput(worker);
    worker.pidFd.Reset();
}

std::string SignalText(int signal) {
    const char* name = ::strsignal(signal);
    return "signal " + std::to_string(signal) + (name ? std::string(", ") + name : "");
}

class Batch {
  public:
    Batch(InputFeed& feed, const BatchSettings& settings, const BatchCallbacks& callbacks)
        : feed_(feed), settings_(settings), callbacks_(callbacks) {}

    void Run() {
        start_ = Clock::now();
        if (!settings_.workerInput.empty()) {
            inputFd_ = MakeWorkerInput(settings_.workerInput, inputError_);
        }
        while (true) {
            TakeInputs();
            if (Stopped()) {
                StopEverything();
            } else {
                StartWhatFits();
            }
            if (running_.empty() && (feed_.Ended() || stopping_) && next_ == inputs_.size()) break;
            WaitForWorkers();
            StopOverdueWorkers();
            HandOverInOrder();
            ShowProgressWhenDue();
        }
        if (Stopped()) StopEverything();
        HandOverInOrder();
    }

  private:
    bool Stopped() const { return callbacks_.stopRequested && callbacks_.stopRequested(); }

    void TakeInputs() {
        for (BatchInput& input : feed_.Take()) {
            if (!input.note.empty()) {
                if (callbacks_.note) callbacks_.note(input.note);
                continue;
            }
            inputs_.push_back(std::move(input));
            results_.emplace_back();
        }
    }

    void StartWhatFits() {
        while (next_ < inputs_.size() && static_cast<int>(running_.size()) < settings_.jobs) {
            size_t index = next_++;
            const BatchInput& input = inputs_[index];
            if (!input.error.empty()) {
                Finish(index, {ErrorResult(input.path, input.error), ""});
                continue;
            }
            int error = inputError_;
            std::optional<Worker> worker;
            if (inputFd_.Valid() || settings_.workerInput.empty()) {
                worker = StartWorker(index, input.path, settings_, inputFd_.Get(), error);
            }
            if (!worker) {
                Finish(index, {ErrorResult(input.path, "Unable to start a worker process: " +
                                                           std::string(std::strerror(error))),
                               ""});
                continue;
            }
            running_.push_back(std::move(*worker));
        }
        HandOverInOrder();
    }

    // Once stopped: each running worker is told to stop (its analysis ends its phase and
    // still writes its report), and the files not started are not analysed; a worker still
    // running kStopGraceSeconds later is killed.
    void StopEverything() {
        if (!stopping_) {
            stopping_ = true;
            stoppedAt_ = Clock::now();
            for (const Worker& worker : running_) ::kill(worker.process.Pid(), SIGINT);
            feed_.StopReading();  // the arguments after the list are not analysed either
            TakeInputs();
        }
        while (next_ < inputs_.size()) {
            size_t index = next_++;
            Finish(index, {NotAnalysedResult(inputs_[index].path), ""});
        }
        if (SecondsSince(stoppedAt_) < kStopGraceSeconds) return;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", kStopGraceSeconds);
        while (!running_.empty()) {
            RunResult result =
                ErrorResult(inputs_[running_.front().index].path,
                            "The analysis did not stop within " + std::string(seconds) +
                                " seconds of the interrupt; it was killed");
            result.verdict = FileVerdict::Interrupted;
            Kill(0, {std::move(result), ""});
        }
    }

    // Ends the running worker `at` with SIGKILL and records `result` for its file.
    void Kill(size_t at, BatchResult result) {
        Worker& worker = running_[at];
        worker.process.KillAndReap();
        CloseProcess(worker);
        Finish(worker.index, std::move(result));
        running_.erase(running_.begin() + static_cast<long>(at));
    }

    // Until some worker writes or ends, a time limit is due, or it is time for progress.
    void WaitForWorkers() {
        std::vector<pollfd> fds;
        bool reaping = false;  // a worker without a process descriptor closed its output
        for (const Worker& worker : running_) {
            if (worker.fd.Valid()) fds.push_back({worker.fd.Get(), POLLIN, 0});
            if (worker.pidFd.Valid()) fds.push_back({worker.pidFd.Get(), POLLIN, 0});
            reaping = reaping || (!worker.fd.Valid() && !worker.pidFd.Valid());
        }
        // More of the list, while there is room to start its files.
        bool listWanted =
            !stopping_ && !feed_.Ended() && static_cast<int>(running_.size()) < settings_.jobs;
        if (listWanted) fds.push_back({feed_.WaitDescriptor(), POLLIN, 0});
        int timeout = reaping ? kReapIntervalMs : kProgressIntervalMs;
        if (stopping_) {
            double left = kStopGraceSeconds - SecondsSince(stoppedAt_);
            timeout = std::min(timeout, std::max(0, static_cast<int>(left * 1000) + 1));
        }
        if (settings_.fileTimeoutSeconds > 0) {
            for (const Worker& worker : running_) {
                double left = settings_.fileTimeoutSeconds - SecondsSince(worker.start);
                timeout = std::min(timeout, std::max(0, static_cast<int>(left * 1000) + 1));
            }
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;
        if (listWanted && fds.back().revents != 0) feed_.ReadList();
        for (Worker& worker : running_) {
            if (worker.fd.Valid() && !ReadAvailable(worker)) CloseOutput(worker);
        }
        ReapEnded();
    }

    // Workers that have exited, with what they wrote before.
    void ReapEnded() {
        for (size_t i = 0; i < running_.size();) {
            Worker& worker = running_[i];
            std::optional<int> status = worker.process.ReapIfEnded();
            if (!status) {
                ++i;
                continue;
            }
            if (worker.fd.Valid()) ReadAvailable(worker);  // what is left in the pipe
            CloseProcess(worker);
            Finish(worker.index, WorkerOutcome(inputs_[worker.index].path, worker.output, *status,
                                               false, settings_.fileTimeoutSeconds));
            running_.erase(running_.begin() + static_cast<long>(i));
        }
    }

    void StopOverdueWorkers() {
        if (settings_.fileTimeoutSeconds <= 0) return;
        for (size_t i = 0; i < running_.size();) {
            Worker& worker = running_[i];
            if (SecondsSince(worker.start) < settings_.fileTimeoutSeconds) {
                ++i;
                continue;
            }
            Kill(i, WorkerOutcome(inputs_[worker.index].path, worker.output, 0, true,
                                  settings_.fileTimeoutSeconds));
        }
    }

    void Finish(size_t index, BatchResult result) {
        ++progress_.done;
        if (result.result.verdict != FileVerdict::Pass) ++progress_.failed;
        results_[index] = std::move(result);
        ShowProgress();
    }

    void HandOverInOrder() {
        while (handedOver_ < results_.size() && results_[handedOver_]) {
            callbacks_.result(std::move(*results_[handedOver_]));
            results_[handedOver_].reset();
            ++handedOver_;
        }
    }

    void ShowProgress() {
        lastProgress_ = Clock::now();
        if (!callbacks_.progress) return;
        progress_.total = inputs_.size();
        progress_.elapsedSeconds = SecondsSince(start_);
        callbacks_.progress(progress_);
    }

    void ShowProgressWhenDue() {
        if (SecondsSince(lastProgress_) * 1000 >= kProgressIntervalMs) ShowProgress();
    }

    InputFeed& feed_;
    std::vector<BatchInput> inputs_;
    const BatchSettings& settings_;
    const BatchCallbacks& callbacks_;
    std::vector<std::optional<BatchResult>> results_;
    // Those still running when the batch is left, by a throw too, are killed and reaped.
    std::vector<Worker> running_;
    size_t next_ = 0;
    size_t handedOver_ = 0;
    BatchProgress progress_;
    Clock::time_point start_;
    Clock::time_point lastProgress_;
    UniqueFd inputFd_;    // the workers' standard input; none: /dev/null
    int inputError_ = 0;  // why it could not be made
    bool stopping_ = false;
    Clock::time_point stoppedAt_;
};

}  // namespace

namespace {

// The message is a MessagePack map of two entries: "json", the JSON text as a str 32, then
// "result", the result's tree. Framed by hand so that a long programme's JSON text is not
// also held as a tree, nor copied into one.
constexpr char kMessageStart[] = "\x82\xA4json\xDB";
constexpr size_t kMessageStartBytes = sizeof kMessageStart - 1;
constexpr char kResultKey[] = "\xA6result";
constexpr size_t kResultKeyBytes = sizeof kResultKey - 1;
constexpr size_t kLengthBytes = 4;  // big-endian

}  // namespace

std::string WorkerMessage(const RunResult& result, bool seriesInResult) {
    std::string json = FileJsonText(result);
    std::vector<uint8_t> tree = nlohmann::ordered_json::to_msgpack(ToJson(result, seriesInResult));
    std::string message(kMessageStart, kMessageStartBytes);
    message.reserve(kMessageStartBytes + kLengthBytes + json.size() + kResultKeyBytes + tree.size());
    auto length = static_cast<uint32_t>(json.size());
    for (int shift = 24; shift >= 0; shift -= 8) message += static_cast<char>(length >> shift);
    message += json;
    message.append(kResultKey, kResultKeyBytes);
    message.append(tree.begin(), tree.end());
    return message;
}

BatchResult WorkerOutcome(const std::string& path, const std::string& output, int status,
                          bool timedOut, double timeoutSeconds) {
    if (timedOut) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
        return {ErrorResult(path, "The analysis did not end within " + std::string(seconds) +
                                      " seconds (--file-timeout); it was stopped"),
                ""};
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) {
        // Told to stop before the worker could take it as a cancel.
        RunResult result = ErrorResult(path, "The analysis was interrupted");
        result.verdict = FileVerdict::Interrupted;
        return {std::move(result), ""};
    }
    if (WIFSIGNALED(status)) {
        return {ErrorResult(path, "The analysis crashed (" + SignalText(WTERMSIG(status)) + ")"),
                ""};
    }
    try {
        size_t at = kMessageStartBytes + kLengthBytes;
        if (output.compare(0, kMessageStartBytes, kMessageStart) != 0 || output.size() < at) {
            throw std::runtime_error("not a worker's message");
        }
        size_t length = 0;
        for (size_t i = kMessageStartBytes; i < at; ++i) {
            length = length << 8 | static_cast<unsigned char>(output[i]);
        }
        if (output.size() - at < length + kResultKeyBytes ||
            output.compare(at + length, kResultKeyBytes, kResultKey) != 0) {
            throw std::runtime_error("not a worker's message");
        }
        RunResult result = RunResultFromJson(nlohmann::ordered_json::from_msgpack(
            output.begin() + static_cast<long>(at + length + kResultKeyBytes), output.end()));
        // The worker was given this path; a result for another file is no result.
        if (result.path != path) throw std::runtime_error("another file's result");
        return {std::move(result), output.substr(at, length)};
    } catch (const std::exception&) {
        int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return {ErrorResult(path, "The analysis ended without a result (exit status " +
                                      std::to_string(code) + ")"),
                ""};
    }
}

void RunBatch(InputFeed& feed, const BatchSettings& settings, const BatchCallbacks& callbacks) {
    Batch(feed, settings, callbacks).Run();
}
