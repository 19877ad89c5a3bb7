// zembra-cli: analyse program stream files from the command line, for ingest pipelines.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/console_sink.h"
#include "cli/interrupt.h"
#include "cli/vbv_csv.h"
#include "reference/ini_file.h"
#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "report/report_text_file.h"
#include "run/analysis_driver.h"
#include "video/video_statistics.h"

namespace {

constexpr int kExitPass = 0;
constexpr int kExitFail = 1;
constexpr int kExitUsage = 2;

bool UseColour(const CliOptions& options) {
    const char* noColor = std::getenv("NO_COLOR");
    return !options.noColor && !(noColor && *noColor) && ::isatty(STDOUT_FILENO);
}

// Writes `lines` to `path` unless the path is empty; false when that fails.
bool WriteIfAsked(const std::string& path, const std::vector<std::string>& lines,
                  const char* what) {
    if (path.empty() || SaveTextLines(path, lines)) return true;
    std::fprintf(stderr, "Error: Unable to write the %s to \"%s\".\n", what, path.c_str());
    return false;
}

// Loads the profile for the next file; with --no-profile, none at all.
void LoadProfile(const CliOptions& options, const std::string& profilePath) {
    if (options.noProfile) {
        LoadNoReferenceProfile();
        return;
    }
    LoadReferenceProfileFrom(profilePath);  // edits take effect at the next file
    // The unknown names of the profile just loaded; the report holds them too.
    for (const ProfileWarning& warning : ProfileWarnings()) {
        std::fprintf(stderr, "Warning: %s\n", ProfileWarningText(warning).c_str());
    }
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "zembra-cli: %s\n", message.c_str());
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // the user's date and time formats in the report
    std::string error;
    std::optional<CliOptions> parsed =
        ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!parsed) {
        std::fprintf(stderr, "zembra-cli: %s\n\n%s", error.c_str(), kCliUsage);
        return kExitUsage;
    }
    const CliOptions& options = *parsed;
    if (options.help) {
        std::fputs(kCliUsage, stdout);
        return kExitPass;
    }
    if (options.version) {
        std::printf("%s\n", VersionText().c_str());
        return kExitPass;
    }

    std::string profilePath =
        options.profilePath.empty() ? DefaultReferenceProfilePath() : options.profilePath;
    // No verdict without a profile: one that cannot be read stops the run before anything
    // is analysed (--no-profile runs without one on purpose).
    if (!options.noProfile) {
        if (std::optional<std::string> error = IniFileReadError(profilePath)) {
            return UsageError("cannot read the reference profile \"" + profilePath +
                              "\": " + *error);
        }
    }
    if (std::optional<std::string> error = FindOutputOverInput(options)) return UsageError(*error);
    ConsoleSink sink(::isatty(STDERR_FILENO));
    SetReportSink(&sink);
    VbvCsv videoCsv;
    SetVideoListener(&videoCsv);
    SetPrintOnlyErrors(options.errorsOnly);
    InstallInterruptHandler();
    bool colour = UseColour(options);

    int exitCode = kExitPass;
    std::vector<std::string> reportText;
    for (const std::string& file : options.files) {
        LoadProfile(options, profilePath);
        AnalyzeFile(file.c_str());
        sink.EndStatus();
        sink.PrintReport(stdout, colour);
        for (std::string& line : sink.Texts()) reportText.push_back(std::move(line));
        if (GetRunState().runFailed) exitCode = kExitFail;
        if (WasInterrupted()) {
            std::fputs("Interrupted: the report covers only what was read before Ctrl-C.\n",
                       stderr);
            exitCode = kExitFail;
            break;
        }
    }
    SetReportSink(nullptr);
    SetVideoListener(nullptr);

    bool written = WriteIfAsked(options.outputPath, reportText, "report");
    written = WriteIfAsked(options.gopsPath, videoCsv.GopLines(), "GOP table") && written;
    written = WriteIfAsked(options.bitratePath, videoCsv.BitrateLines(), "bitrates") && written;
    written = WriteIfAsked(options.vbvPath, videoCsv.VbvLines(), "VBV occupancy") && written;
    return written ? exitCode : kExitFail;
}
