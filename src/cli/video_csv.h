// The GOP rows and one-second bitrate samples of the last video stream analysed, kept
// for the command line's --gops and --bitrate CSV files.
#pragma once

#include <string>
#include <vector>

#include "video/video_listener.h"

class VideoCsv : public VideoListener {
  public:
    void InitGopGrid() override;
    void InitBitrateGrid() override;
    void AddGopRow(const VideoStreamInfo& info) override;
    void AddBitrateSample(double kilobits) override;
    void DrawBitrateGraph(double averageKbps) override;

    // CSV lines with a header row; the bitrate lines end with the average.
    std::vector<std::string> GopLines() const;
    std::vector<std::string> BitrateLines() const;

  private:
    std::vector<std::string> gopRows_;
    std::vector<double> samples_;
    double averageKbps_ = 0;
};
