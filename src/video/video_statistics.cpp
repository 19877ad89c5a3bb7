// Video statistics.
#include "video/video_statistics.h"

#include <algorithm>
#include <array>

#include "input/pes_header.h"
#include "video/video_listener.h"

namespace {

// One record per video stream id, for the life of the program: each stream's pass
// writes its own.
std::array<VideoStreamInfo, 16> records{};

VideoListener silentListener;
VideoListener* registeredListener = &silentListener;

VideoStreamInfo FreshRecord() {
    VideoStreamInfo info{};
    info.sequenceHeadersAligned = 1;
    return info;
}

bool IsNtscRate(uint32_t frameRateCode) {
    return frameRateCode == 1 || frameRateCode == 4 || frameRateCode == 7;
}

// The GOP that is ending, unless it is the first: its length in coded frames.
void MeasureGopLength(VideoStreamInfo& info) {
    uint32_t length = info.gop.picturesInGop;
    bool firstMeasured = info.gopCount == 3;
    info.maxGopLength = std::max(info.maxGopLength, length);
    info.minGopLength = firstMeasured ? length : std::min(info.minGopLength, length);
}

// Bytes in kilobits of 1024 bits.
double Kilobits(uint64_t bytes) { return static_cast<double>(bytes) * 8.0 / 1024.0; }

}  // namespace

void SetVideoListener(VideoListener* listener) {
    registeredListener = listener ? listener : &silentListener;
}

VideoListener& CurrentVideoListener() { return *registeredListener; }

bool IsVideoListenerRegistered() { return registeredListener != &silentListener; }

void RecordedVideoEvents::BeginVideoStream(int streamId) {
    events_.emplace_back(
        [streamId](VideoListener& listener) { listener.BeginVideoStream(streamId); });
}

void RecordedVideoEvents::InitGopGrid() {
    events_.emplace_back([](VideoListener& listener) { listener.InitGopGrid(); });
}

void RecordedVideoEvents::InitBitrateGrid() {
    events_.emplace_back([](VideoListener& listener) { listener.InitBitrateGrid(); });
}

void RecordedVideoEvents::AddGopRow(const VideoStreamInfo& info) {
    events_.emplace_back([info](VideoListener& listener) { listener.AddGopRow(info); });
}

void RecordedVideoEvents::AddBitrateSample(double kilobits) {
    events_.emplace_back(
        [kilobits](VideoListener& listener) { listener.AddBitrateSample(kilobits); });
}

void RecordedVideoEvents::DrawBitrateGraph(double averageKbps) {
    events_.emplace_back(
        [averageKbps](VideoListener& listener) { listener.DrawBitrateGraph(averageKbps); });
}

void RecordedVideoEvents::InitVbvGraph() {
    events_.emplace_back([](VideoListener& listener) { listener.InitVbvGraph(); });
}

// One sample per picture: kept side by side, not as an event each, so that a long
// programme's hours of pictures cost their samples' bytes alone.
void RecordedVideoEvents::AddVbvSample(const VbvSample& sample) { vbvSamples_.push_back(sample); }

void RecordedVideoEvents::DrawVbvGraph(double bufferBits) {
    events_.emplace_back([samples = std::move(vbvSamples_), bufferBits](VideoListener& listener) {
        for (const VbvSample& sample : samples) listener.AddVbvSample(sample);
        listener.DrawVbvGraph(bufferBits);
    });
    vbvSamples_.clear();
}

void RecordedVideoEvents::ReplayInto(VideoListener& listener) {
    for (const auto& event : events_) event(listener);
    events_.clear();
}

uint32_t NominalFrameRate(uint32_t frameRateCode) {
    // frame_rate_code of ISO/IEC 13818-2, table 6-4, rounded up to whole frames.
    static constexpr uint32_t kRates[] = {0, 24, 24, 25, 30, 30, 50, 60, 60};
    return frameRateCode < std::size(kRates) ? kRates[frameRateCode] : 0;
}

double VideoDurationSeconds(const VideoStreamInfo& info) {
    if (info.nominalFrameRate == 0) return 0;
    return static_cast<double>(info.displayFields) / 2.0 / info.nominalFrameRate;
}

uint64_t DisplayFramePeriods(const VideoStreamInfo& info) { return info.displayFields / 2; }

uint32_t DisplayFieldsOfFrame(bool progressiveSequence, bool fieldPair, bool repeatFirstField,
                              bool topFieldFirst) {
    if (fieldPair || !repeatFirstField) return 2;
    if (!progressiveSequence) return 3;
    return topFieldFirst ? 6 : 4;
}

VideoStreamInfo& GetVideoStreamInfo(int streamId) {
    int index = std::clamp(streamId - kFirstVideoStreamId, 0, 15);
    return records[static_cast<size_t>(index)];
}

VideoStatistics::VideoStatistics(int streamId, VideoListener& listener)
    : info_(GetVideoStreamInfo(streamId)), listener_(listener) {
    info_ = FreshRecord();
    listener_.BeginVideoStream(streamId);
    listener_.InitGopGrid();
    listener_.InitBitrateGrid();
    listener_.InitVbvGraph();
}

void VideoStatistics::Reject(uint32_t status) {
    info_ = FreshRecord();
    info_.status = status;
}

void VideoStatistics::SkipBeforeSequenceHeader(uint32_t bytes) {
    info_.bytesBeforeSequenceHeader = bytes;
    frameBoundary_ = bytes;
}

void VideoStatistics::NoteSequenceHeader() {
    VideoStreamInfo& info = info_;
    ++info.sequenceHeaderCount;
    sequenceHeaderSincePicture_ = true;
    ++info.gop.pendingSequenceHeaders;
    // Every stream has sequence headers; GOP headers are optional.
    info.nominalFrameRate = NominalFrameRate(info.frameRateCode);
}

void VideoStatistics::BeginGop() {
    VideoStreamInfo& info = info_;
    ++info.gopCount;
    if (info.gopCount == 1) return;
    if (info.gopCount > 2) MeasureGopLength(info);
    listener_.AddGopRow(info);
    if (info.gop.pendingSequenceHeaders > 0) --info.gop.pendingSequenceHeaders;
    info.gop.picturesInGop = 0;
    info.gop.structure.clear();
}

void VideoStatistics::NoteGopHeader() {
    VideoStreamInfo& info = info_;
    if (info.gopCount == 1) info.firstGopClosed = info.gop.closedGop;
    if (info.gop.closedGop == 1) ++info.closedGopCount;
    if (!sequenceHeaderSincePicture_) ++info.splice.gopsWithoutSequenceHeader;
    // temporal_reference counts from 0 again in each GOP (ISO/IEC 13818-2, 6.3.9).
    lastAnchorShown_ = -1;
    lastBShown_ = -1;
    bPicturesAfterAnchors_ = 0;
}

void VideoStatistics::NotePicture(uint32_t pictureCodingType) {
    VideoStreamInfo& info = info_;
    pictureType_ = pictureCodingType;
    if (info.frameCount == 0 && info.gop.picturesInGop == 0) {
        info.splice.cleanStart = pictureCodingType == kIPicture && info.gopCount > 0 &&
                                 info.gop.closedGop == 1 && info.bytesBeforeSequenceHeader == 0;
    }
    sequenceHeaderSincePicture_ = false;
    ++info.gop.picturesInGop;
    switch (pictureCodingType) {
        case kIPicture:
            ++info.iFrameCount;
            info.gop.structure += 'I';
            break;
        case kPPicture:
            ++info.pFrameCount;
            info.gop.structure += 'P';
            break;
        case kBPicture:
            ++info.bFrameCount;
            info.gop.structure += 'B';
            break;
        default:
            break;
    }
}

void VideoStatistics::NotePictureTiming(uint32_t temporalReference, uint32_t vbvDelay) {
    vbvDelay_ = vbvDelay;
    auto shown = static_cast<int32_t>(temporalReference);
    if (pictureType_ == kBPicture) {
        if (shown > lastAnchorShown_) ++bPicturesAfterAnchors_;
        lastBShown_ = std::max(lastBShown_, shown);
        return;
    }
    lastAnchorShown_ = std::max(lastAnchorShown_, shown);
    if (lastAnchorShown_ > lastBShown_) bPicturesAfterAnchors_ = 0;
}

void VideoStatistics::EndPicture(uint32_t bytesRead, uint32_t displayFields, bool fieldPair) {
    VideoStreamInfo& info = info_;
    ++info.frameCount;
    ++(fieldPair ? info.fieldPairCount : info.framePictureCount);
    info.displayFields += displayFields;
    uint32_t size = bytesRead - frameBoundary_;  // modulo 2^32, past 4 GiB too
    frameBoundary_ = bytesRead;
    switch (pictureType_) {
        case kIPicture:
            info.iFrameBytes += size;
            break;
        case kPPicture:
            info.pFrameBytes += size;
            break;
        case kBPicture:
            info.bFrameBytes += size;
            break;
        default:
            info.otherFrameBytes += size;
            break;
    }
    info.maxFrameSize = std::max(info.maxFrameSize, size);
    if (info.minFrameSize == 0 || size < info.minFrameSize) info.minFrameSize = size;
    info.totalFrameBytes += size;
    pictures_.push_back({size, vbvDelay_, displayFields});
    groupBytes_ += size;
    groupFields_ += displayFields;
    // One group per second of display time at the nominal rate, closed by the frame
    // that reaches it; none while that rate is unknown.
    uint32_t fieldsPerSecond = 2 * info.nominalFrameRate;
    if (fieldsPerSecond != 0 && groupFields_ >= fieldsPerSecond) {
        listener_.AddBitrateSample(Kilobits(groupBytes_));
        info.peakGroupBytes = std::max(info.peakGroupBytes, groupBytes_);
        groupBytes_ = 0;
        groupFields_ -= fieldsPerSecond;
    }
}

void VideoStatistics::FinishVideoStream() {
    VideoStreamInfo& info = info_;
    listener_.AddGopRow(info);
    info.peakKbps = Kilobits(info.peakGroupBytes);
    // The average frame period's bytes times the whole-number frame rate.
    double framePeriods = static_cast<double>(info.displayFields) / 2.0;
    info.averageKbps = info.displayFields == 0
                           ? 0.0
                           : static_cast<double>(info.totalFrameBytes) / framePeriods *
                                 info.nominalFrameRate * 8.0 / 1024.0;
    // Groups of 24, 30 or 60 frames last 1.001 s at 23.976, 29.97 and 59.94 fps.
    if (IsNtscRate(info.frameRateCode)) {
        info.peakKbps *= 1000.0 / 1001.0;
        info.averageKbps *= 1000.0 / 1001.0;
    }
    listener_.DrawBitrateGraph(info.averageKbps);
    info.splice.danglingBPictures = bPicturesAfterAnchors_;
    ModelBuffer();
}

void VideoStatistics::ModelBuffer() {
    VideoStreamInfo& info = info_;
    VbvParameters parameters{
        static_cast<double>(info.bitRateValue) * kBitRateValueUnitBitsPerSecond,
        static_cast<double>(info.vbvBufferSize) * kVbvBufferSizeUnitBits,
        ExactFieldsPerSecond(info.frameRateCode)};
    info.vbv = ModelVbv(pictures_, parameters,
                        [this](const VbvSample& sample) { listener_.AddVbvSample(sample); });
    if (info.vbv.modelled) listener_.DrawVbvGraph(parameters.bufferBits);
}
