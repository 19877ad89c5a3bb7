// SIGINT handling.
#include "cli/interrupt.h"

#include <csignal>

#include "report/report_log.h"

namespace {

volatile std::sig_atomic_t interrupts = 0;

void OnInterrupt(int) {
    if (interrupts > 0) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    interrupts = 1;
    RequestCancel();
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool WasInterrupted() { return interrupts > 0; }
