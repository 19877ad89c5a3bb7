// Spots encoded by ffmpeg at test time.
#include "support/encoded_spot.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

bool HaveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

std::string StereoSineAt(double dbfs) {
    char channel[96];
    std::snprintf(channel, sizeof channel, "pow(10,%.2f/20)*sin(2*PI*1000*t)", dbfs);
    return "aevalsrc='" + std::string(channel) + "|" + channel + "':s=48000";
}

std::string EncodeSpot(const TempDir& dir, const std::string& name, const std::string& arguments) {
    std::string path = dir.Path() + "/" + name + ".mpg";
    std::string command =
        "ffmpeg -v error -y " + arguments + " -fflags +bitexact -f vob '" + path + "'";
    EXPECT_EQ(0, std::system(command.c_str())) << command;
    return path;
}
