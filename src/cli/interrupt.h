// Ctrl-C for the command line: the first sets the analysis's cancel flag (the run
// ends its current phase and still writes its verdict), the second ends the program.
#pragma once

void InstallInterruptHandler();
bool WasInterrupted();
