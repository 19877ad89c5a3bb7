// What a batch is given to analyse: folders walked without passing anything over, and the
// list on standard input read as it comes, by lines or NUL-separated.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/input_list.h"
#include "support/cli_run.h"
#include "support/output_checks.h"
#include "support/test_files.h"

namespace {

using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

// Every place a folder walk cannot go is an input with its reason, in path order with the
// spots: a broken link, a link that loops, a link back up the tree, a folder that cannot
// be read. Links to files and folders are followed; other files are not spots.
TEST(FolderWalk, NothingIsPassedOverWithoutAWord) {
    TempDir dir;
    std::string top = dir.Path() + "/spots";
    fs::create_directories(top + "/sub");
    fs::create_directories(dir.Path() + "/elsewhere");
    dir.WriteText("spots/a.mpg", "a");
    dir.WriteText("spots/sub/b.MPEG", "b");
    dir.WriteText("spots/notes.txt", "not a spot");
    dir.WriteText("elsewhere/c.vob", "c");
    fs::create_symlink(dir.Path() + "/elsewhere", top + "/linked");
    fs::create_symlink(top + "/gone.mpg", top + "/broken.mpg");
    fs::create_symlink(top + "/loop.mpg", top + "/loop.mpg");
    fs::create_symlink(top, top + "/sub/up");
    fs::create_symlink(top + "/sub", top + "/alias");  // beside: walked again, no loop
    std::vector<BatchInput> expected = {
        {top + "/a.mpg", "", ""},
        {top + "/alias/b.MPEG", "", ""},
        {top + "/alias/up",
         "Symbolic link loop: the folder \"" + top + "/alias/up\" leads back to a folder it is in",
         ""},
        {top + "/broken.mpg",
         "Broken symbolic link \"" + top + "/broken.mpg\" -> \"" + top +
             "/gone.mpg\": No such file or directory",
         ""},
        {top + "/linked/c.vob", "", ""},
        {top + "/loop.mpg", "Symbolic link loop at \"" + top + "/loop.mpg\"", ""},
        {top + "/sub/b.MPEG", "", ""},
        {top + "/sub/up",
         "Symbolic link loop: the folder \"" + top + "/sub/up\" leads back to a folder it is in",
         ""},
    };
    bool root = ::geteuid() == 0;  // root reads every folder whatever its mode
    if (!root) {
        fs::create_directories(top + "/locked");
        dir.WriteText("spots/locked/d.mpg", "d");
        ::chmod((top + "/locked").c_str(), 0);
        expected.insert(
            expected.begin() + 5,
            {top + "/locked", "Unable to read the folder \"" + top + "/locked\": Permission denied",
             ""});
    }
    std::vector<BatchInput> found = SpotsInFolder(top);
    if (!root) ::chmod((top + "/locked").c_str(), 0755);
    ASSERT_EQ(expected.size(), found.size());
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(expected[i].path, found[i].path) << i;
        EXPECT_EQ(expected[i].error, found[i].error) << i;
    }
}

class ListTest : public testing::Test {
  protected:
    CliRun Run(const std::string& args, const std::string& input = "/dev/null") {
        return RunCli(args, dir_.Path(), input);
    }
    TempDir dir_;
};

// -0 takes any byte of a name, a line end included; a name that is not UTF-8 keeps its
// bytes in the JSON beside its readable form. A listed path that is an output of the run
// is not analysed, and says why.
TEST_F(ListTest, NulSeparatedPathsKeepEveryByte) {
    Bytes spot = MakeSimpleStream(2);
    std::string newline = dir_.Write("two\nlines.mpg", spot);
    std::string latin1 = dir_.Write("caf\xE9.mpg", spot);
    std::string summary = dir_.Path() + "/qc.csv";
    std::string list = dir_.WriteText(
        "list", newline + std::string(1, '\0') + latin1 + std::string(1, '\0') + summary);
    CliRun run = Run("--no-profile --format json -0 --summary " + Quoted(summary) + " -", list);
    EXPECT_EQ(3, run.exitCode) << run.err;
    std::string path = dir_.WriteText("run.json", run.out);
    EXPECT_EQ("", SchemaErrors(path));
    json document = json::parse(run.out);
    ASSERT_EQ(3u, document["files"].size());
    EXPECT_EQ(newline, document["files"][0]["path"]);
    EXPECT_EQ("pass", document["files"][0]["verdict"]);
    EXPECT_FALSE(document["files"][0].contains("pathBase64"));
    EXPECT_EQ(dir_.Path() + "/caf\xEF\xBF\xBD.mpg", document["files"][1]["path"]);
    EXPECT_EQ("pass", document["files"][1]["verdict"]);
    std::string base64 = document["files"][1]["pathBase64"];
    CommandOutput decoded = RunCommand("printf %s " + Quoted(base64) + " | base64 -d");
    EXPECT_EQ(latin1, decoded.text);
    EXPECT_EQ("error", document["files"][2]["verdict"]);
    EXPECT_EQ("\"" + summary + "\" is the --summary output of this run; it was not analysed",
              document["files"][2]["reason"]);
}

// The list is read as it comes: the first path's result is out before the second path is
// written, so an ingest watcher can feed the batch as files arrive.
TEST_F(ListTest, TheListIsReadAsItComes) {
    std::string spot = dir_.Write("s.mpg", MakeSimpleStream(2));
    std::string fifo = dir_.Path() + "/list";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0644));
    std::string out = dir_.Path() + "/out.json";
    CommandOutput run =
        RunCommand("'" ZEMBRA_CLI_PATH "' --no-profile --format json - < " + Quoted(fifo) + " > " +
                   Quoted(out) + " & pid=$!; exec 3> " + Quoted(fifo) + "; echo " + Quoted(spot) +
                   " >&3; i=0; while ! grep -q verdict " + Quoted(out) +
                   " && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done; echo waited $i; echo " +
                   Quoted(spot) + " >&3; exec 3>&-; wait $pid; echo status $?");
    EXPECT_EQ(std::string::npos, run.text.find("waited 300"))
        << "the first result waited for the list's end";
    EXPECT_NE(std::string::npos, run.text.find("status 0")) << run.text;
    json document = json::parse(ReadText(out));
    EXPECT_EQ(2u, document["files"].size());
}

}  // namespace
