// Where the GOP rows and the one-second bitrate samples of the video stream being
// analysed go: the desktop's GOP table and bitrate graph, or the command line's CSV
// files. Nothing is done with them while no listener is registered.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "video/gop_row.h"
#include "video/video_statistics.h"

// The row of the GOP that has just ended, from the stream's record.
GopRow GopRowOf(const VideoStreamInfo& info);

class VideoListener {
  public:
    virtual ~VideoListener() = default;
    // A new video stream's analysis begins (its stream_id, 0xE0 to 0xEF, comes first, for
    // listeners that keep every stream): forget the previous rows and samples.
    virtual void BeginVideoStream(int streamId) { (void)streamId; }
    virtual void InitGopGrid() {}
    virtual void InitBitrateGrid() {}
    // One GOP has ended.
    virtual void AddGopRow(const GopRow& row) { (void)row; }
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

// Registers a listener for the object's lifetime, then the one registered before again.
class ScopedVideoListener {
  public:
    explicit ScopedVideoListener(VideoListener* listener);
    ~ScopedVideoListener();
    ScopedVideoListener(const ScopedVideoListener&) = delete;
    ScopedVideoListener& operator=(const ScopedVideoListener&) = delete;
    // The listener registered before, nullptr when none was.
    VideoListener* Previous() const { return previous_; }

  private:
    VideoListener* previous_;
};

// What a stream's pass tells its listener, kept to be told to the registered listener
// later on the thread that owns it, when the stream's section is written. Kept as rows and
// samples, not as calls, so that a long programme costs their bytes alone.
class RecordedVideoEvents : public VideoListener {
  public:
    void BeginVideoStream(int streamId) override { streamId_ = streamId; }
    void InitGopGrid() override;
    void InitBitrateGrid() override;
    void AddGopRow(const GopRow& row) override { rows_.push_back(row); }
    void AddBitrateSample(double kilobits) override { samples_.push_back(kilobits); }
    void DrawBitrateGraph(double averageKbps) override { averageKbps_ = averageKbps; }
    void InitVbvGraph() override;
    void AddVbvSample(const VbvSample& sample) override { vbvSamples_.push_back(sample); }
    void DrawVbvGraph(double bufferBits) override { vbvBufferBits_ = bufferBits; }
    // Tells everything kept, in the order a pass makes its calls, and forgets it.
    void ReplayInto(VideoListener& listener);

  private:
    std::optional<int> streamId_;
    bool gopGridBegun_ = false;
    bool bitrateGridBegun_ = false;
    bool vbvGraphBegun_ = false;
    std::vector<GopRow> rows_;
    std::vector<double> samples_;
    std::optional<double> averageKbps_;
    std::vector<VbvSample> vbvSamples_;
    std::optional<double> vbvBufferBits_;
};
