// Series of a run's video streams.
#include "run/series_recorder.h"

void SeriesRecorder::BeginVideoStream(int streamId) {
    VideoSeries series;
    series.streamId = streamId;
    streams_.push_back(std::move(series));
    next_.BeginVideoStream(streamId);
}

VideoSeries& SeriesRecorder::Current() {
    if (streams_.empty()) streams_.emplace_back();
    return streams_.back();
}

void SeriesRecorder::InitGopGrid() {
    Current().gops.clear();
    next_.InitGopGrid();
}

void SeriesRecorder::InitBitrateGrid() {
    Current().kilobitsPerSecond.clear();
    Current().averageKbps = 0;
    next_.InitBitrateGrid();
}

void SeriesRecorder::AddGopRow(const GopRow& row) {
    Current().gops.push_back(row);
    next_.AddGopRow(row);
}

void SeriesRecorder::AddBitrateSample(double kilobits) {
    Current().kilobitsPerSecond.push_back(kilobits);
    next_.AddBitrateSample(kilobits);
}

void SeriesRecorder::DrawBitrateGraph(double averageKbps) {
    Current().averageKbps = averageKbps;
    next_.DrawBitrateGraph(averageKbps);
}

void SeriesRecorder::InitVbvGraph() {
    Current().vbv.clear();
    Current().vbvBufferBits = 0;
    next_.InitVbvGraph();
}

void SeriesRecorder::AddVbvSample(const VbvSample& sample) {
    if (keepVbv_) {
        Current().vbv.push_back({sample.picture, sample.seconds, sample.beforeBits,
                                 sample.afterBits});
    }
    next_.AddVbvSample(sample);
}

void SeriesRecorder::DrawVbvGraph(double bufferBits) {
    if (keepVbv_) Current().vbvBufferBits = bufferBits;
    next_.DrawVbvGraph(bufferBits);
}
