// The files a batch analyses, from the command line's arguments: a file stands for
// itself, a folder for the spots in it and below it, "-" for the paths listed on
// standard input, one a line.
#pragma once

#include <istream>
#include <string>
#include <vector>

struct BatchInput {
    std::string path;
    std::string error;  // not empty: nothing to analyse here (an empty list on standard input)
    // Not empty: an existing folder without spots, which is said on standard error and
    // stands for no file at all.
    std::string note;
};

// Extensions of the files a folder is searched for, in any letter case.
bool HasSpotExtension(const std::string& path);

// In the order given; a folder's spots sorted by path, so that batches are reproducible.
std::vector<BatchInput> ExpandInputs(const std::vector<std::string>& args, std::istream& list);
