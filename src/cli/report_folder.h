// The folder --output-dir names: one report a spot, named after the spot's file, so that
// an operator finds each spot's report by its name.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

class ReportFolder {
  public:
    // `extension` with its dot (".html"); `reserved`: names the run writes there itself
    // (index.html); `mayWrite`: false for a path no report may take (a file to analyse,
    // the profile, another output, a media file), which is passed over as a name in use.
    ReportFolder(std::string folder, std::string extension, std::vector<std::string> reserved,
                 std::function<bool(const std::string& path)> mayWrite = {});

    // The name of the next spot's report, from then on in use: its file name and the
    // extension ("spot.mpg.html"), "-2", "-3" after the file name for the second and third
    // spot of that name ("spot.mpg-2.html"). Names are told apart without letter case, as a
    // share mounted from Windows tells them.
    std::string Take(const std::string& spotPath);
    std::string PathOf(const std::string& name) const;
    const std::string& Folder() const { return folder_; }

  private:
    std::string folder_;
    std::string extension_;
    std::set<std::string> used_;  // in lower case
    std::function<bool(const std::string&)> mayWrite_;
};
