// Application settings file and process priority.
#include "ui/settings.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "reference/reference_profile.h"

std::string DefaultSettingsPath() {
    std::string folder = ExecutableDirectory();
    if (::access(folder.c_str(), W_OK) == 0) return folder + "zembra.ini";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = config && *config ? config : std::string(home ? home : ".") + "/.config";
    std::error_code ignored;
    std::filesystem::create_directories(base + "/zembra", ignored);
    return base + "/zembra/zembra.ini";
}

int PriorityNiceValue(const std::string& text) {
    if (text == "REALTIME_PRIORITY_CLASS") return -20;
    if (text == "HIGH_PRIORITY_CLASS") return -10;
    if (text == "IDLE_PRIORITY_CLASS") return 19;
    return 0;
}

void ApplyProcessPriority(const std::string& text) {
    ::setpriority(PRIO_PROCESS, 0, PriorityNiceValue(text));
}
