// The GOP rows and one-second bitrate samples of every video stream analysed, kept for
// the command line's --gops and --bitrate CSV files and its JSON figures.
#pragma once

#include <string>
#include <vector>

#include "output/series_csv.h"
#include "video/video_listener.h"

class VideoCsv : public VideoListener {
  public:
    void BeginVideoStream(int streamId) override;
    void InitGopGrid() override;
    void InitBitrateGrid() override;
    void AddGopRow(const VideoStreamInfo& info) override;
    void AddBitrateSample(double kilobits) override;
    void DrawBitrateGraph(double averageKbps) override;

    // In the order the streams were analysed.
    const std::vector<VideoSeries>& Streams() const { return streams_; }
    // CSV lines of the last stream, with a header row; the bitrate lines end with the
    // average.
    std::vector<std::string> GopLines() const;
    std::vector<std::string> BitrateLines() const;

  private:
    VideoSeries& Current();
    std::vector<FileSeries> LastStream() const;

    std::vector<VideoSeries> streams_;
};
