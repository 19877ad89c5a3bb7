// The files a batch analyses, from the command line's arguments: a file stands for
// itself, a folder for the spots in it and below it, "-" for the paths listed on
// standard input, one a line (or NUL-separated with -0), read as they come.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct BatchInput {
    std::string path;
    std::string error;  // not empty: nothing to analyse here, and why
    // Not empty: an existing folder without spots, which is said on standard error and
    // stands for no file at all.
    std::string note;
};

// Extensions of the files a folder is searched for, in any letter case.
bool HasSpotExtension(const std::string& path);

// The spots in a folder and below it, sorted by path, so that batches are reproducible.
// A place the walk cannot go is an input with its reason, never passed over: a folder that
// cannot be read, a broken symbolic link, a link loop, a file gone before it was looked at.
std::vector<BatchInput> SpotsInFolder(const std::string& folder);

// The inputs in the order given. The arguments are known at once; the list on standard
// input is read as it arrives, so that the analysis starts with its first path.
class InputFeed {
  public:
    // `listFd`: where "-" reads its list; `separator`: '\n' (a trailing '\r' is dropped)
    // or '\0'.
    InputFeed(const std::vector<std::string>& args, int listFd, char separator);
    // A list known in full.
    explicit InputFeed(std::vector<BatchInput> inputs);

    // The inputs that came in since the last call, in order.
    std::vector<BatchInput> Take();
    // The descriptor to wait on for more; -1 when no more is being read.
    int WaitDescriptor() const;
    // Reads what the list holds now; call once WaitDescriptor() polls readable, so that
    // the read does not block.
    void ReadList();
    bool Ended() const { return WaitDescriptor() < 0; }
    // No more of the list is read; the arguments after it come in with the next Take().
    void StopReading();
    // The paths of the arguments, folders expanded: what is known before the list.
    std::vector<std::string> ArgumentPaths() const;
    // Why a path of the list may not be analysed (it names an output of the run); empty
    // when it may.
    void RefuseListed(std::function<std::string(const std::string&)> refuse) {
        refuse_ = std::move(refuse);
    }

  private:
    void AddLine(std::string line);
    void EndList();
    void TakeArgumentsAfterList();

    std::vector<BatchInput> ready_;
    std::vector<BatchInput> afterList_;  // the arguments after "-"
    int listFd_ = -1;
    char separator_ = '\n';
    std::string partial_;  // the list's last line, not ended yet
    size_t listed_ = 0;    // paths the list gave
    std::function<std::string(const std::string&)> refuse_;
};
