// The video buffer model's occupancy around each picture of the last video stream
// analysed, kept beside its GOP rows and bitrates for the command line's --vbv CSV file.
#pragma once

#include <string>
#include <vector>

#include "cli/video_csv.h"

class VbvCsv : public VideoCsv {
  public:
    void InitVbvGraph() override;
    void AddVbvSample(const VbvSample& sample) override;
    void DrawVbvGraph(double bufferBits) override;

    // A header row, one row per picture in stream order, the buffer size last (0 when the
    // model could not run).
    std::vector<std::string> VbvLines() const;

  private:
    std::vector<VbvSample> samples_;
    double bufferBits_ = 0;
};
