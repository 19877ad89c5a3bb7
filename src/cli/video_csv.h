// The GOP rows, one-second bitrate samples and buffer occupancy of every video stream
// analysed, kept for the command line's --gops, --bitrate and --vbv CSV files and its JSON
// figures. A stream whose
// id was not announced (a listener driven by hand) is kept as stream 0.
#pragma once

#include <string>
#include <vector>

#include "output/file_result.h"
#include "video/video_listener.h"

class VideoCsv : public VideoListener {
  public:
    // Without `keepBufferOccupancy` the buffer model's samples are let go.
    explicit VideoCsv(bool keepBufferOccupancy = true) : keepVbv_(keepBufferOccupancy) {}
    void BeginVideoStream(int streamId) override;
    void InitGopGrid() override;
    void InitBitrateGrid() override;
    void AddGopRow(const VideoStreamInfo& info) override;
    void AddBitrateSample(double kilobits) override;
    void DrawBitrateGraph(double averageKbps) override;
    void InitVbvGraph() override;
    void AddVbvSample(const VbvSample& sample) override;
    void DrawVbvGraph(double bufferBits) override;

    // In the order the streams were analysed.
    const std::vector<VideoSeries>& Streams() const { return streams_; }

  private:
    VideoSeries& Current();

    bool keepVbv_;
    std::vector<VideoSeries> streams_;
};
