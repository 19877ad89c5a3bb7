// Stopping the command line. SIGINT (Ctrl-C), SIGTERM (what timeout, systemd, docker and
// Kubernetes send) and SIGHUP (a closed terminal) stop a batch alike: the analysis's cancel
// flag is set, the workers are told to stop, and every output is still written whole. A
// second signal ends the program at once. A closed standard output (`| head`) stops the
// batch the same way.
#pragma once

// The main process: the first signal stops the run, the second ends it.
void InstallStopHandlers();
// A worker: each signal cancels the analysis, which ends its phase and still writes its
// report; the main process ends a worker that does not stop in time.
void InstallWorkerStopHandlers();
// Standard output was closed by its reader: stop as for a signal (SIGPIPE).
void StopForClosedOutput();
// True when standard output is a pipe whose reader has gone (`| head` that has ended),
// seen before anything more is written to it.
bool StandardOutputClosed();

bool WasInterrupted();
// The signal that stopped the run; 0 when none did.
int StopSignal();
