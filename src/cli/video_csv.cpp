// GOP rows, bitrate samples and buffer occupancy of every video stream.
#include "cli/video_csv.h"

#include <cstdio>

#include "video/video_statistics.h"

void VideoCsv::BeginVideoStream(int streamId) {
    VideoSeries series;
    series.streamId = streamId;
    streams_.push_back(std::move(series));
}

VideoSeries& VideoCsv::Current() {
    if (streams_.empty()) streams_.emplace_back();
    return streams_.back();
}

void VideoCsv::InitGopGrid() { Current().gops.clear(); }

void VideoCsv::InitBitrateGrid() {
    Current().kilobitsPerSecond.clear();
    Current().averageKbps = 0;
}

void VideoCsv::AddGopRow(const VideoStreamInfo& info) {
    const GopRecord& gop = info.gop;
    char timeCode[32];
    std::snprintf(timeCode, sizeof timeCode, "%02u:%02u:%02u:%02u", gop.hours, gop.minutes,
                  gop.seconds, gop.pictures);
    Current().gops.push_back({timeCode, gop.picturesInGop, gop.structure, gop.closedGop != 0,
                              gop.pendingSequenceHeaders > 0, gop.brokenLink != 0});
}

void VideoCsv::AddBitrateSample(double kilobits) {
    Current().kilobitsPerSecond.push_back(kilobits);
}

void VideoCsv::DrawBitrateGraph(double averageKbps) { Current().averageKbps = averageKbps; }

void VideoCsv::InitVbvGraph() {
    Current().vbv.clear();
    Current().vbvBufferBits = 0;
}

void VideoCsv::AddVbvSample(const VbvSample& sample) {
    if (!keepVbv_) return;
    Current().vbv.push_back({sample.picture, sample.seconds, sample.beforeBits, sample.afterBits});
}

void VideoCsv::DrawVbvGraph(double bufferBits) {
    if (keepVbv_) Current().vbvBufferBits = bufferBits;
}
