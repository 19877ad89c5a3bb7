// zembra-cli as a pipeline sees it: output, files, exit codes; and its parts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/console_sink.h"
#include "cli/interrupt.h"
#include "output/series_csv.h"
#include "output/text_report.h"
#include "report/memory_sink.h"
#include "report/report_log.h"
#include "run/series_recorder.h"
#include "support/cli_run.h"
#include "support/comma_locale.h"
#include "support/output_checks.h"
#include "support/test_files.h"

namespace {

class CliTest : public ::testing::Test {
  protected:
    CliRun Run(const std::string& args, const std::string& env = "") {
        return RunCli(args, dir_.Path(), "/dev/null", env);
    }
    std::string Sample() { return std::string(ZEMBRA_DATA_DIR) + "/sample.mpg"; }
    TempDir dir_;
};

TEST_F(CliTest, VersionHelpAndUsageErrors) {
    CliRun version = Run("--version");
    EXPECT_EQ(0, version.exitCode);
    EXPECT_EQ("Zembra v1.4.0.131\n", version.out);
    CliRun help = Run("--help");
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find("Usage: zembra-cli"));
    // A usage error says what is wrong in one line, and where the help is.
    for (const char* args : {"", "--bogus x.mpg", "--profile", "--output", "--format xml x.mpg"}) {
        CliRun usage = Run(args);
        EXPECT_EQ(2, usage.exitCode) << args;
        EXPECT_EQ(0u, usage.err.find("zembra-cli: ")) << args;
        EXPECT_TRUE(usage.err.ends_with("\nTry 'zembra-cli --help' for more.\n")) << usage.err;
        EXPECT_EQ(2, std::count(usage.err.begin(), usage.err.end(), '\n')) << usage.err;
        EXPECT_EQ("", usage.out);
    }
}

TEST_F(CliTest, BundledSamplePassesTheBundledProfile) {
    CliRun run = Run("'" + Sample() + "'");
    EXPECT_EQ(0, run.exitCode) << run.out << run.err;
    EXPECT_NE(std::string::npos, run.out.find("Compliance Test: Pass\n \nEnd.\n \n"));
    EXPECT_EQ(std::string::npos, run.out.find("\x1b["));  // not a terminal: plain text
    EXPECT_EQ("", run.err);
}

TEST_F(CliTest, AFileThatCannotBeAnalysedGivesExitThreeAndTheErrorOnStderr) {
    std::string txt = dir_.Write("spot.txt", MakeSimpleStream(1));
    CliRun run = Run("'" + txt + "'");
    EXPECT_EQ(3, run.exitCode);
    EXPECT_EQ("Error: Bad extension for file \"" + txt + "\"..!\n", run.err);
    EXPECT_NE(std::string::npos, run.out.find("Compliance Test: Fail!!"));
}

// 0 every file passed, 1 one failed, 3 one could not be analysed (before a failure).
TEST_F(CliTest, TheExitStatusSaysTheWorstFile) {
    std::string good = dir_.Write("good.mpg", MakeSimpleStream(2));
    std::string bad = dir_.Write("bad.mpg", MakeSimpleStream(2, false));
    std::string profile =
        dir_.WriteText("p.ini", "[System]\nMPEGPackSize=2048\nProgramEndCodeRequired=0\n");
    std::string missing = dir_.Path() + "/missing.mpg";
    EXPECT_EQ(1, Run("--profile '" + profile + "' '" + good + "' '" + bad + "'").exitCode);
    CliRun run = Run("--profile '" + profile + "' '" + good + "' '" + missing + "' '" + bad + "'");
    EXPECT_EQ(3, run.exitCode);
    EXPECT_EQ(3u, [&] {
        size_t count = 0;
        for (size_t at = 0; (at = run.out.find("Result:", at)) != std::string::npos; ++at) ++count;
        return count;
    }());
    // The batch ends with its tally on standard error; a single file has none.
    size_t tally = run.err.rfind("3 files: 1 pass, 1 fail, 1 error, ");
    ASSERT_NE(std::string::npos, tally) << run.err;
    EXPECT_TRUE(run.err.ends_with(" s\n")) << run.err;
    CliRun alone = Run("--profile '" + profile + "' '" + good + "'");
    EXPECT_EQ(0, alone.exitCode);
    EXPECT_EQ("", alone.err);
}

TEST_F(CliTest, ProfileOptionAndErrorsOnly) {
    std::string stream = dir_.Write("s.mpg", MakeSimpleStream(2));
    std::string profile = dir_.WriteText("p.ini", "[System]\nPacketsPerPack=1\n");
    CliRun run = Run("--errors-only --profile '" + profile + "' '" + stream + "'");
    EXPECT_EQ(1, run.exitCode);
    EXPECT_NE(std::string::npos, run.out.find("*Packets per Pack = 2\n"));
    EXPECT_EQ(std::string::npos, run.out.find("MPEG Packs = 2"));
}

// A file's bytes and modification time, to show that a refused run touched nothing.
struct FileState {
    Bytes bytes;
    timespec modified;
    explicit FileState(const std::string& path) : bytes(ReadFileBytes(path)) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        modified = info.st_mtim;
    }
    bool operator==(const FileState& other) const {
        return bytes == other.bytes && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

// An output that would overwrite what it must not (a spot when the CSV name is forgotten,
// the profile, another output, a media file) or that cannot be written is refused before
// anything is read or written: no byte and no modification time change.
TEST_F(CliTest, OutputsNeverOverwriteWhatTheyMustNot) {
    std::string victim = dir_.Write("victim.mpg", MakeSimpleStream(2));
    std::string other = dir_.Write("other.mpg", MakeSimpleStream(2));
    std::string link = dir_.Path() + "/link.mpg";
    ASSERT_EQ(0, ::link(victim.c_str(), link.c_str()));
    std::string profile = dir_.WriteText("p.ini", "[System]\nMPEGPackSize=2048\n");
    // A spot renamed .csv is known by its first bytes; a CSV that begins with "G" is no TS.
    std::string disguised = dir_.Write("spot.csv", MakeSimpleStream(1));
    std::string gops = dir_.WriteText("gops.csv", "GOP #,TimeCode\r\n");
    ASSERT_EQ(0, ::mkdir((dir_.Path() + "/locked").c_str(), 0555));
    // Two names of one file not made yet: relative and absolute, and a link not yet leading
    // anywhere.
    std::string here = std::filesystem::current_path().string();
    std::string dangling = dir_.Path() + "/dangling.csv";
    ASSERT_EQ(0, ::symlink((dir_.Path() + "/new.csv").c_str(), dangling.c_str()));
    const struct {
        std::string args;
        std::string why;
    } cases[] = {
        {"--gops '" + victim + "' '" + victim + "'", "names the file to analyse"},
        {"--output '" + victim + "' '" + victim + "'", "names the file to analyse"},
        {"--bitrate '" + victim + "' '" + other + "' '" + victim + "'",
         "names the file to analyse"},
        {"--output '" + dir_.Path() + "/./victim.mpg' '" + victim + "'",
         "names the file to analyse"},                                            // the same path
        {"--gops '" + link + "' '" + victim + "'", "names the file to analyse"},  // the same inode
        {"--summary '" + victim + "' '" + other + "'", "is a media file"},  // the name forgotten
        {"--format json --output '" + other + "' '" + victim + "'", "is a media file"},
        {"--vbv '" + disguised + "' '" + victim + "'", "is a media file"},
        {"--summary '" + profile + "' '" + victim + "'", "names the profile"},
        {"--output '" + gops + "' --summary '" + gops + "' '" + victim + "'",
         "is also the file of --output"},
        {"--format json --output zembra-fresh.json --summary '" + here + "/zembra-fresh.json' '" +
             victim + "'",
         "is also the file of --output"},
        {"--gops '" + dir_.Path() + "/new.csv' --summary '" + dangling + "' '" + victim + "'",
         "is also the file of --gops"},
        {"--summary - --format json --output - '" + victim + "'",
         "goes to standard output as --output does"},
        {"--output '" + dir_.Path() + "/nosuchdir/r.json' '" + victim + "'",
         "cannot be written: folder"},
        {"--gops '" + dir_.Path() + "' '" + victim + "'", "is a folder"},
    };
    std::vector<std::string> kept = {victim, other, profile, disguised, gops};
    if (::access((dir_.Path() + "/locked").c_str(), W_OK) != 0) {  // not as root
        kept.push_back(dir_.Path() + "/locked");
    }
    std::vector<FileState> before;
    for (const std::string& path : {victim, other, profile, disguised, gops}) {
        before.emplace_back(path);
    }
    for (const auto& c : cases) {
        CliRun run = Run("--profile '" + profile + "' " + c.args);
        EXPECT_EQ(2, run.exitCode) << c.args;
        EXPECT_NE(std::string::npos, run.err.find(c.why)) << c.args << "\n" << run.err;
        EXPECT_NE(std::string::npos, run.err.find("nothing was written")) << c.args;
        EXPECT_EQ("", run.out) << c.args;
        size_t i = 0;
        for (const std::string& path : {victim, other, profile, disguised, gops}) {
            EXPECT_TRUE(before[i++] == FileState(path)) << c.args << ": " << path;
        }
    }
    // The GOP table of an earlier run is no media file: it is replaced.
    EXPECT_EQ(0,
              Run("--profile '" + profile + "' --gops '" + gops + "' '" + victim + "'").exitCode);
}

// A device, a FIFO and a symlink are written through, never replaced by a regular file;
// "-" is standard output.
TEST_F(CliTest, OutputsWriteThroughDevicesFifosAndLinks) {
    std::string stream = dir_.Write("s.mpg", MakeSimpleStream(2));
    std::string profile = dir_.WriteText("p.ini", "[System]\nMPEGPackSize=2048\n");
    auto run = [&](const std::string& args) {
        return Run("--profile '" + profile + "' " + args + " '" + stream + "'");
    };
    struct stat null {};
    ASSERT_EQ(0, ::stat("/dev/null", &null));
    EXPECT_EQ(0, run("--format json --output /dev/null --summary /dev/null").exitCode);
    struct stat after {};
    ASSERT_EQ(0, ::stat("/dev/null", &after));
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(null.st_rdev, after.st_rdev);

    std::string target = dir_.WriteText("real.csv", "old\n");
    std::string link = dir_.Path() + "/link.csv";
    ASSERT_EQ(0, ::symlink("real.csv", link.c_str()));
    EXPECT_EQ(0, run("--summary '" + link + "'").exitCode);
    struct stat linkInfo {};
    ASSERT_EQ(0, ::lstat(link.c_str(), &linkInfo));
    EXPECT_TRUE(S_ISLNK(linkInfo.st_mode));
    EXPECT_EQ(0u, ReadText(target).find("path,verdict,"));

    std::string fifo = dir_.Path() + "/pipe.csv";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0644));
    CommandOutput throughFifo = RunCommand(
        "cat '" + fifo + "' > '" + dir_.Path() + "/read.csv' & '" ZEMBRA_CLI_PATH "' --profile '" +
        profile + "' --summary '" + fifo + "' '" + stream + "' >/dev/null; wait");
    EXPECT_EQ(0, throughFifo.exitCode) << throughFifo.text;
    struct stat fifoInfo {};
    ASSERT_EQ(0, ::lstat(fifo.c_str(), &fifoInfo));
    EXPECT_TRUE(S_ISFIFO(fifoInfo.st_mode));
    EXPECT_EQ(0u, ReadText(dir_.Path() + "/read.csv").find("path,verdict,"));

    CliRun toStandardOutput = run("--format json --summary -");
    EXPECT_EQ(0, toStandardOutput.exitCode);
    EXPECT_NE(std::string::npos, toStandardOutput.out.find("}\npath,verdict,"));
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
        EXPECT_EQ(std::string::npos, entry.path().string().find(".XXXXXX")) << entry.path();
        EXPECT_EQ(std::string::npos, entry.path().filename().string().find("csv.")) << entry.path();
    }
}

// No verdict without a profile: one that cannot be read is a usage error, and nothing is
// analysed; --no-profile runs without one on purpose, and the report says so.
TEST_F(CliTest, AProfileThatCannotBeReadIsAnError) {
    std::string stream = dir_.Write("s.mpg", MakeSimpleStream(2));
    std::string folder = dir_.Path() + "/profiles";
    ASSERT_EQ(0, ::mkdir(folder.c_str(), 0755));
    struct Case {
        std::string profile;
        std::string reason;
    };
    std::string report = dir_.Path() + "/s.txt";
    FileState before(stream);
    for (const Case& c : {Case{dir_.Path() + "/none.ini", "No such file or directory"},
                          Case{folder, "it is a folder"}}) {
        CliRun run =
            Run("--profile '" + c.profile + "' --output '" + report + "' '" + stream + "'");
        EXPECT_EQ(2, run.exitCode) << c.profile;
        EXPECT_EQ("zembra-cli: cannot read the reference profile \"" + c.profile +
                      "\": " + c.reason + "\n",
                  run.err);
        EXPECT_EQ("", run.out);
        EXPECT_FALSE(std::ifstream(report).good()) << "no report without a verdict";
        EXPECT_TRUE(before == FileState(stream));
    }
    CliRun none = Run("--no-profile '" + stream + "'");
    EXPECT_EQ(0, none.exitCode) << none.err;
    EXPECT_NE(std::string::npos, none.out.find("\nReference profile: none, no key is set\n"));
    EXPECT_EQ(2, Run("--no-profile --profile '" + folder + "' '" + stream + "'").exitCode);
}

// A profile that judges nothing would pass every file unjudged: refused. One saved as
// UTF-16 by Windows Notepad judges as it says.
TEST_F(CliTest, AProfileThatSetsNoKeyIsRefused) {
    std::string stream = dir_.Write("s.mpg", MakeSimpleStream(2));
    const std::pair<std::string, std::string> refused[] = {
        {"empty.ini", ""},
        {"blank.ini", "; nothing but a comment\n\n"},
        {"binary.ini", std::string("\x00\x01\x02\xFF\xFE\x00garbage", 13)},
        {"labels.ini", "[Labels]\nStation=One\n"},
        {"typos.ini", "[Video]\nHorizontalSise=720\n[Vidoe]\nFrameRate=3\n"},
    };
    for (const auto& [name, text] : refused) {
        std::string profile = dir_.WriteText(name, text);
        CliRun run = Run("--profile '" + profile + "' '" + stream + "'");
        EXPECT_EQ(2, run.exitCode) << name;
        EXPECT_EQ("zembra-cli: profile \"" + profile +
                      "\" sets no key; use --no-profile to run without one\n",
                  run.err)
            << name;
        EXPECT_EQ("", run.out) << name;
    }
    // A spot given as the profile.
    CliRun spot = Run("--profile '" + stream + "' '" + stream + "'");
    EXPECT_EQ(2, spot.exitCode);

    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("[System]\r\nMPEGPackSize=1024\r\n")) utf16 += {c, '\0'};
    CliRun judged = Run("--profile '" + dir_.WriteText("u16.ini", utf16) + "' '" + stream + "'");
    EXPECT_EQ(1, judged.exitCode) << judged.err;
    EXPECT_NE(std::string::npos, judged.out.find("*MPEG Pack Size = 2048\n"));
}

// A value a key does not take would leave its check unmade: the profile is refused before
// anything is analysed, each such value named with what its key takes.
TEST_F(CliTest, AProfileValueTheKeyDoesNotTakeIsRefused) {
    std::string stream = dir_.Write("s.mpg", MakeSimpleStream(2));
    std::string report = dir_.Path() + "/s.txt";
    struct Case {
        std::string text;
        std::string err;  // after `zembra-cli: ` and before the profile's path
    };
    const Case cases[] = {
        {"[Video]\nFrameRate=25\n",
         "Value \"25\" of key \"FrameRate\" in [Video] of profile \"P\", line 2 is out of "
         "range; FrameRate takes frame_rate_code: 3 for 25 fps, 4 for 29.97 fps, 1 for 23.976 "
         "fps, 2 for 24 fps, 5 for 30 fps, 6 for 50 fps, 7 for 59.94 fps, 8 for 60 fps\n"},
        {"[Video]\nAspectRatio=16:9\n",
         "Unreadable value \"16:9\" of key \"AspectRatio\" in [Video] of profile \"P\", line 2; "
         "AspectRatio takes aspect_ratio_information: 1 for square samples, 2 for 4:3, 3 for "
         "16:9, 4 for 2.21:1\n"},
        {"[System]\nMPEGPackSize=2048\n[Video]\nGOPLengthMax=-15\n[Audio]\nMaxDCLevel=5000\n",
         "Value \"-15\" of key \"GOPLengthMax\" in [Video] of profile \"P\", line 4 is out of "
         "range; GOPLengthMax takes a number of frames from 1 to 65535\n"
         "zembra-cli: Value \"5000\" of key \"MaxDCLevel\" in [Audio] of profile \"P\", line 6 "
         "is out of range; MaxDCLevel takes "},
    };
    for (const Case& c : cases) {
        std::string profile = dir_.WriteText("p.ini", c.text);
        CliRun run = Run("--profile '" + profile + "' --output '" + report + "' '" + stream + "'");
        EXPECT_EQ(2, run.exitCode) << c.text;
        std::string err = "zembra-cli: " + c.err;
        for (size_t at = err.find("\"P\""); at != std::string::npos; at = err.find("\"P\"")) {
            err.replace(at, 3, "\"" + profile + "\"");
        }
        EXPECT_EQ(0u, run.err.find(err)) << run.err;
        EXPECT_EQ("", run.out);
        EXPECT_FALSE(std::ifstream(report).good()) << "no report without a verdict";
    }
}

// A copy of zembra-cli without MpegReference.ini beside it gives no verdict either.
TEST_F(CliTest, NoProfileBesideTheProgram) {
    std::string copy = dir_.Path() + "/zembra-cli";
    std::ifstream from(ZEMBRA_CLI_PATH, std::ios::binary);
    std::ofstream(copy, std::ios::binary) << from.rdbuf();
    ASSERT_EQ(0, ::chmod(copy.c_str(), 0755));
    std::string stream = dir_.Write("s.mpg", MakeSimpleStream(2));
    int status = std::system(("'" + copy + "' '" + stream + "' >/dev/null 2>&1").c_str());
    EXPECT_EQ(2, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

// Once per profile load, that is once per file; the verdict is the file's alone.
TEST_F(CliTest, UnknownProfileNamesAreWarnedOnStderr) {
    std::string stream = dir_.Write("s.mpg", MakeSimpleStream(2));
    std::string profile =
        dir_.WriteText("p.ini", "\xEF\xBB\xBF[System]\r\nVideoStreams=1\r\n  VideoStream=1\r\n");
    std::string text =
        "Unknown key \"VideoStream\" in [System] of profile \"" + profile + "\", line 3";
    CliRun run = Run("--profile '" + profile + "' '" + stream + "' '" + stream + "'");
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(0u, run.err.find("Warning: " + text + "\n" + "Warning: " + text +
                               "\n2 files: 2 pass, 0 fail, 0 error, "))
        << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(0u, line.find("Zembra v1.4.0.131 - "));
    std::getline(lines, line);
    EXPECT_EQ("Reference profile: \"" + profile + "\"", line);
    std::getline(lines, line);
    EXPECT_EQ(text, line);
    std::getline(lines, line);
    EXPECT_EQ(" ", line);
    std::getline(lines, line);
    EXPECT_EQ("File under analysis: \"" + stream + "\"..!", line);
}

TEST_F(CliTest, OutputFileIsTheReportWithCrlf) {
    std::string stream = dir_.Write("s.mpg", MakeSimpleStream(2));
    std::string report = dir_.Path() + "/s.txt";
    std::string profile = dir_.WriteText("p.ini", "[System]\nMPEGPackSize=2048\n");
    CliRun run =
        Run("--profile '" + profile + "' --output '" + report + "' '" + stream + "'", "NO_COLOR=1");
    ASSERT_EQ(0, run.exitCode);
    std::string crlf;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) crlf += line + "\r\n";
    EXPECT_EQ(crlf, ReadText(report));
    // A folder that is not there is found out before any analysis.
    CliRun unwritable = Run("--output '" + dir_.Path() + "/no/dir/s.txt' '" + stream + "'");
    EXPECT_EQ(2, unwritable.exitCode);
    EXPECT_EQ("zembra-cli: --output \"" + dir_.Path() +
                  "/no/dir/s.txt\" cannot be written: folder \"" + dir_.Path() +
                  "/no/dir\": No such file or directory; nothing was written\n",
              unwritable.err);
    EXPECT_EQ("", unwritable.out);
}

// The GOP header's broken_link (own parse of the fixture: set on the first GOP only).
TEST_F(CliTest, GopTableNamesTheBrokenLink) {
    std::string gops = dir_.Path() + "/gops.csv";
    std::string stream = FixturePath("broken_link.mpg");
    CliRun run = Run("--no-profile --gops '" + gops + "' '" + stream + "'");
    EXPECT_EQ(
        "File,Stream,GOP #,TimeCode,GOP Length,Structure,Closed?,Seq. Header?,Broken Link\r\n" +
            stream + ",E0,1,00:00:00:24,12,IBBPBBPBBPBB,No,Yes,Yes\r\n" + stream +
            ",E0,2,00:00:01:11,12,IBBPBBPBBPBB,No,Yes,No\r\n" + stream +
            ",E0,3,00:00:01:23,12,IBBPBBPBBPBB,No,Yes,No\r\n",
        ReadText(gops));
}

TEST_F(CliTest, GopTableAndBitratesAsCsv) {
    std::string gops = dir_.Path() + "/gops.csv";
    std::string bitrate = dir_.Path() + "/bitrate.csv";
    CliRun run = Run("--gops '" + gops + "' --bitrate '" + bitrate + "' '" + Sample() + "'");
    ASSERT_EQ(0, run.exitCode) << run.err;
    // GOP time codes as ffprobe lists them; the sample's GOPs are 15 pictures, I then P.
    std::string row = Sample() + ",E0,";
    std::string expectedGops =
        "File,Stream,GOP #,TimeCode,GOP Length,Structure,Closed?,Seq. Header?,Broken Link\r\n" +
        row + "1,00:00:00:00,15,IPPPPPPPPPPPPPP,Yes,Yes,No\r\n" + row +
        "2,00:00:00:15,15,IPPPPPPPPPPPPPP,No,Yes,No\r\n" + row +
        "3,00:00:01:05,15,IPPPPPPPPPPPPPP,No,Yes,No\r\n" + row +
        "4,00:00:01:20,15,IPPPPPPPPPPPPPP,No,Yes,No\r\n" + row +
        "5,00:00:02:10,15,IPPPPPPPPPPPPPP,No,Yes,No\r\n" + row +
        "6,00:00:03:00,15,IPPPPPPPPPPPPPP,No,Yes,No\r\n" + row +
        "7,00:00:03:15,10,IPPPPPPPPP,No,Yes,No\r\n";
    EXPECT_EQ(expectedGops, ReadText(gops));
    std::vector<std::string> rates = ReadLines(bitrate);
    ASSERT_EQ(5u, rates.size());  // 100 frames: four whole seconds, and no average row
    EXPECT_EQ("File,Stream,Second,Kilobits", rates[0]);
    for (size_t second = 1; second < rates.size(); ++second) {
        EXPECT_EQ(0u, rates[second].find(row + std::to_string(second) + ",")) << rates[second];
    }
}

TEST_F(CliTest, TheAnalysedFileIsNeverChanged) {
    Bytes bytes = MakeSimpleStream(3);
    std::string stream = dir_.Write("s.mpg", bytes);
    ASSERT_EQ(0, ::chmod(stream.c_str(), 0444));
    struct stat before {};
    ::stat(stream.c_str(), &before);
    CliRun run = Run("--profile '" + dir_.WriteText("p.ini", "[System]\nMPEGPackSize=2048\n") +
                     "' '" + stream + "'");
    EXPECT_EQ(0, run.exitCode) << run.out << run.err;
    struct stat after {};
    ::stat(stream.c_str(), &after);
    EXPECT_EQ(bytes, ReadFileBytes(stream));
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

// The whole report of a real stream against a reviewed copy; the version line and the
// processing time change from run to run. Remake a golden file only on purpose, and
// read the diff.
TEST_F(CliTest, ReportsMatchTheirGoldenFiles) {
    struct Golden {
        const char* folder;
        const char* file;
        const char* golden;
        int exitCode;
    };
    // mp2_lsf_24k.mpg: MPEG-2 LSF audio (ISO/IEC 13818-3 at 24 kHz), whose ID bit fails
    // the file while every detail line is read from its frames.
    for (const Golden& g : {Golden{ZEMBRA_DATA_DIR, "sample.mpg", "sample.txt", 0},
                            Golden{ZEMBRA_FIXTURE_DIR, "ffmpeg_dvd.vob", "ffmpeg_dvd.txt", 1},
                            Golden{ZEMBRA_FIXTURE_DIR, "mp2_lsf_24k.mpg", "mp2_lsf_24k.txt", 1}}) {
        CliRun run = Run(std::string("--profile '" ZEMBRA_DATA_DIR "/MpegReference.ini' ") + g.file,
                         std::string("cd '") + g.folder + "' &&");
        EXPECT_EQ(g.exitCode, run.exitCode) << g.file;
        std::istringstream lines(run.out);
        std::string normalised;
        std::string line;
        std::getline(lines, line);
        normalised += "<version line>\n";
        const std::string dataDir = ZEMBRA_DATA_DIR;
        while (std::getline(lines, line)) {
            if (line.rfind("Processing time: ", 0) == 0) line = "Processing time: <elapsed>";
            if (size_t at = line.find(dataDir); at != std::string::npos) {
                line.replace(at, dataDir.size(), "<data>");  // the profile's folder
            }
            normalised += line + "\n";
        }
        EXPECT_EQ(ReadText(std::string(ZEMBRA_GOLDEN_DIR "/") + g.golden), normalised) << g.file;
    }
}

TEST(CliOptions, Parsing) {
    std::string error;
    auto options = ParseCliOptions({"--errors-only", "a.mpg", "--", "--b.mpg"}, error);
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->errorsOnly);
    EXPECT_EQ((std::vector<std::string>{"a.mpg", "--b.mpg"}), options->files);
    EXPECT_FALSE(ParseCliOptions({}, error));
    EXPECT_EQ("no file given", error);
    EXPECT_FALSE(ParseCliOptions({"--output"}, error));
    EXPECT_EQ("option --output needs a value", error);
    EXPECT_TRUE(ParseCliOptions({"--version"}, error));
}

TEST(SeriesRecorder, KilobitsWithADotUnderACommaLocale) {
    CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << CommaLocale::kSkipReason;
    SeriesRecorder csv(false, nullptr);
    csv.InitBitrateGrid();
    csv.AddBitrateSample(12.5);
    csv.AddBitrateSample(4010.2504);
    csv.DrawBitrateGraph(2011.3754);
    ASSERT_EQ(1u, csv.Streams().size());
    EXPECT_EQ((std::vector<std::string>{"File,Stream,Second,Kilobits", "spot.mpg,0,1,12.500",
                                        "spot.mpg,0,2,4010.250"}),
              BitrateCsvLines({{"spot.mpg", csv.Streams().front()}}));
}

// On a terminal pass lines are green, failures red, warnings yellow; information lines
// and headings are plain, even after a failure whose colour they inherit in the report.
TEST(TextReport, ColoursByTheKindOfLine) {
    MemorySink sink;
    SetReportSink(&sink);
    SetPrintOnlyErrors(false);
    ClearReport();
    LogFail("*fail");
    LogInfo("info");
    LogHeading("heading");
    LogPass("pass");
    LogWarning("*warning");
    LogInfo("info");
    SetReportSink(nullptr);
    EXPECT_EQ(LineColour::Red, sink.Lines()[1].colour);  // as the report log keeps it
    std::vector<ShownLine> shown;
    for (const ReportLine& line : sink.Lines()) shown.push_back({line.kind, line.text});
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    PrintLines(out, shown, true);
    PrintLines(out, shown, false);
    std::fclose(out);
    EXPECT_EQ(
        "\x1b[1m\x1b[31m*fail\x1b[0m\n"
        "info\x1b[0m\n"
        "\x1b[1mheading\x1b[0m\n"
        "\x1b[1m\x1b[32mpass\x1b[0m\n"
        "\x1b[1m\x1b[33m*warning\x1b[0m\n"
        "info\x1b[0m\n"
        "*fail\ninfo\nheading\npass\n*warning\ninfo\n",
        std::string(text, size));
    std::free(text);
}

// SIGINT, SIGTERM and SIGHUP alike: the first cancels and is remembered for the exit
// status, the second ends the program. A worker only ever cancels: the main process
// decides when it ends.
TEST(Interrupt, FirstSignalStopsSecondEndsTheProgram) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            InstallStopHandlers();
            ClearCancelRequest();
            std::raise(signal);
            if (!IsCancelRequested() || !WasInterrupted() || StopSignal() != signal) _exit(3);
            std::raise(signal);
            _exit(4);  // not reached: the second signal ends the program
        }
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
        EXPECT_EQ(signal, WTERMSIG(status));
    }
    pid_t worker = fork();
    ASSERT_GE(worker, 0);
    if (worker == 0) {
        InstallWorkerStopHandlers();
        ClearCancelRequest();
        for (int signal : {SIGTERM, SIGINT, SIGINT, SIGHUP}) std::raise(signal);
        _exit(IsCancelRequested() && StopSignal() == SIGTERM ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(worker, waitpid(worker, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
