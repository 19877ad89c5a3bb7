// Signal handling.
#include "cli/interrupt.h"

#include <poll.h>
#include <unistd.h>

#include <csignal>

#include "report/report_log.h"

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t stopSignal = 0;
// Standard output's reader went away: a stop of its own, so that a signal after it is
// still a first one.
volatile std::sig_atomic_t outputClosed = 0;

void OnStopSignal(int signal) {
    if (stopSignal != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    stopSignal = signal;
    RequestCancel();
}

void OnWorkerStopSignal(int signal) {
    if (stopSignal == 0) stopSignal = signal;
    RequestCancel();
}

void InstallForStopSignals(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallStopHandlers() {
    InstallForStopSignals(OnStopSignal);
    // A reader that goes away is seen as a failed write, so the files still get written.
    std::signal(SIGPIPE, SIG_IGN);
}

void InstallWorkerStopHandlers() { InstallForStopSignals(OnWorkerStopSignal); }

void StopForClosedOutput() {
    outputClosed = 1;
    RequestCancel();
}

bool StandardOutputClosed() {
    pollfd output{STDOUT_FILENO, 0, 0};
    return ::poll(&output, 1, 0) == 1 && (output.revents & POLLERR) != 0;
}

bool WasInterrupted() { return stopSignal != 0 || outputClosed != 0; }

int StopSignal() { return stopSignal != 0 ? stopSignal : outputClosed != 0 ? SIGPIPE : 0; }
