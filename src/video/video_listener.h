// Where the GOP rows and the one-second bitrate samples of the video stream being
// analysed go: the desktop's GOP table and bitrate graph, or the command line's CSV
// files. Nothing is done with them while no listener is registered.
#pragma once

struct VideoStreamInfo;

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
};

// nullptr unregisters. The listener must outlive its registration.
void SetVideoListener(VideoListener* listener);
VideoListener& CurrentVideoListener();
