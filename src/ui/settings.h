// The application settings: window geometry, the print-only-errors option and the
// process priority, in zembra.ini beside the executable (or, where that folder cannot be
// written, $XDG_CONFIG_HOME/zembra/zembra.ini). Read once at start-up, written at close.
#pragma once

#include <optional>
#include <string>

std::string DefaultSettingsPath();

// The nice value for a ProcessPriority text (matched exactly, letter case included):
// REALTIME -20, HIGH -10, NORMAL 0, IDLE 19; anything else is normal.
int PriorityNiceValue(const std::string& text);
// Sets the process priority; a refusal (no privilege) leaves it as it is, silently.
void ApplyProcessPriority(const std::string& text);
