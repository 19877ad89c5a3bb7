// Where the GOP rows and the one-second bitrate samples of the video stream being
// analysed go: the desktop's GOP table and bitrate graph, or the command line's CSV
// files. Nothing is done with them while no listener is registered.
#pragma once

#include <functional>
#include <vector>

#include "video/video_statistics.h"

class VideoListener {
  public:
    virtual ~VideoListener() = default;
    // A new video stream's analysis begins (its stream_id, 0xE0 to 0xEF, comes first, for
    // listeners that keep every stream): forget the previous rows and samples.
    virtual void BeginVideoStream(int streamId) { (void)streamId; }
    virtual void InitGopGrid() {}
    virtual void InitBitrateGrid() {}
    // One GOP has ended; its row is made from info.gop.
    virtual void AddGopRow(const VideoStreamInfo& info) { (void)info; }
    // Kilobits (1024 bits) of one group of nominal-frame-rate frames.
    virtual void AddBitrateSample(double kilobits) { (void)kilobits; }
    // The stream is finished: all samples are in, with their average in Kbit/s.
    virtual void DrawBitrateGraph(double averageKbps) { (void)averageKbps; }
    // The buffer model's occupancy around each picture's removal, after the stream ends;
    // drawn with the buffer's size when the model could run.
    virtual void InitVbvGraph() {}
    virtual void AddVbvSample(const VbvSample& sample) { (void)sample; }
    virtual void DrawVbvGraph(double bufferBits) { (void)bufferBits; }
};

// nullptr unregisters. The listener must outlive its registration.
void SetVideoListener(VideoListener* listener);
VideoListener& CurrentVideoListener();
bool IsVideoListenerRegistered();

// What a stream's pass tells its listener, kept to be told to the registered listener
// later on the thread that owns it, when the stream's section is written.
class RecordedVideoEvents : public VideoListener {
  public:
    void BeginVideoStream(int streamId) override;
    void InitGopGrid() override;
    void InitBitrateGrid() override;
    void AddGopRow(const VideoStreamInfo& info) override;
    void AddBitrateSample(double kilobits) override;
    void DrawBitrateGraph(double averageKbps) override;
    void InitVbvGraph() override;
    void AddVbvSample(const VbvSample& sample) override;
    void DrawVbvGraph(double bufferBits) override;
    // Tells everything kept, in order, and forgets it.
    void ReplayInto(VideoListener& listener);

  private:
    std::vector<std::function<void(VideoListener&)>> events_;
    std::vector<VbvSample> vbvSamples_;  // told with the graph they belong to
};
