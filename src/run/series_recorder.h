// Keeps the GOP rows, one-second bitrate samples and buffer occupancy of every video stream
// of a run for its result, and passes each call on to the front end's listener, if any. A
// stream whose id was not announced (a listener driven by hand) is kept as stream 0.
#pragma once

#include <vector>

#include "run/run_result.h"
#include "video/video_listener.h"

class SeriesRecorder : public VideoListener {
  public:
    // Without `keepBufferOccupancy` the buffer model's samples are let go (a long programme
    // has one a picture).
    SeriesRecorder(bool keepBufferOccupancy, VideoListener* next)
        : keepVbv_(keepBufferOccupancy), next_(next ? *next : silent_) {}
    void BeginVideoStream(int streamId) override;
    void InitGopGrid() override;
    void InitBitrateGrid() override;
    void AddGopRow(const GopRow& row) override;
    void AddBitrateSample(double kilobits) override;
    void DrawBitrateGraph(double averageKbps) override;
    void InitVbvGraph() override;
    void AddVbvSample(const VbvSample& sample) override;
    void DrawVbvGraph(double bufferBits) override;

    // In the order the streams were analysed.
    std::vector<VideoSeries>& Streams() { return streams_; }

  private:
    VideoSeries& Current();

    bool keepVbv_;
    VideoListener silent_;
    VideoListener& next_;
    std::vector<VideoSeries> streams_;
};
