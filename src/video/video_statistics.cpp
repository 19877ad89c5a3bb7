// Video statistics.
#include "video/video_statistics.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "input/pes_header.h"
#include "input/start_code_search.h"
#include "report/report_format.h"
#include "video/video_listener.h"

namespace {

// One record per video stream id, for the life of the program: each stream's pass
// writes its own.
std::array<VideoStreamInfo, kVideoStreamIdCount> records{};

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

// Bytes in the report's kilobits.
double Kilobits(double bytes) { return bytes * 8.0 / kBitsPerKbit; }

}  // namespace

void SetVideoListener(VideoListener* listener) {
    registeredListener = listener ? listener : &silentListener;
}

VideoListener& CurrentVideoListener() { return *registeredListener; }

bool IsVideoListenerRegistered() { return registeredListener != &silentListener; }

ScopedVideoListener::ScopedVideoListener(VideoListener* listener)
    : previous_(IsVideoListenerRegistered() ? registeredListener : nullptr) {
    SetVideoListener(listener);
}

ScopedVideoListener::~ScopedVideoListener() { SetVideoListener(previous_); }

GopRow GopRowOf(const VideoStreamInfo& info) {
    const GopRecord& gop = info.gop;
    char timeCode[32];
    std::snprintf(timeCode, sizeof timeCode, "%02u:%02u:%02u:%02u", gop.hours, gop.minutes,
                  gop.seconds, gop.pictures);
    return {timeCode,
            gop.picturesInGop,
            gop.structure,
            gop.closedGop != 0,
            gop.pendingSequenceHeaders > 0,
            gop.brokenLink != 0};
}

void RecordedVideoEvents::InitGopGrid() {
    gopGridBegun_ = true;
    rows_.clear();
}

void RecordedVideoEvents::InitBitrateGrid() {
    bitrateGridBegun_ = true;
    samples_.clear();
    averageKbps_.reset();
}

void RecordedVideoEvents::InitVbvGraph() {
    vbvGraphBegun_ = true;
    vbvSamples_.clear();
    vbvBufferBits_.reset();
}

void RecordedVideoEvents::ReplayInto(VideoListener& listener) {
    if (streamId_) listener.BeginVideoStream(*streamId_);
    if (gopGridBegun_) listener.InitGopGrid();
    if (bitrateGridBegun_) listener.InitBitrateGrid();
    if (vbvGraphBegun_) listener.InitVbvGraph();
    for (const GopRow& row : rows_) listener.AddGopRow(row);
    for (double kilobits : samples_) listener.AddBitrateSample(kilobits);
    if (averageKbps_) listener.DrawBitrateGraph(*averageKbps_);
    if (vbvBufferBits_) {
        for (const VbvSample& sample : vbvSamples_) listener.AddVbvSample(sample);
        listener.DrawVbvGraph(*vbvBufferBits_);
    }
    *this = RecordedVideoEvents();
}

double VideoDurationSeconds(const VideoStreamInfo& info) {
    return static_cast<double>(info.displayTicks) / kVideoTicksPerSecond;
}

uint64_t DisplayFramePeriods(const VideoStreamInfo& info) { return info.displayFields / 2; }

// The whole frame periods at the last sequence's exact rate, in whole seconds and the
// frames after them rounded to the nearest: exact in integers.
SecondsAndFrames DisplayTimeCode(const VideoStreamInfo& info) {
    uint64_t rate = info.nominalFrameRate;
    uint64_t frameTicks = 2 * FieldTicks(info.frameRateCode);
    if (rate == 0 || frameTicks == 0) return {0, 0};
    uint64_t time = DisplayFramePeriods(info) * frameTicks;
    uint64_t seconds = time / kVideoTicksPerSecond;
    uint64_t rest = time - seconds * kVideoTicksPerSecond;
    uint64_t frames = (2 * rest + frameTicks) / (2 * frameTicks);
    if (frames >= rate) {
        ++seconds;
        frames -= rate;
    }
    return {static_cast<uint32_t>(seconds), static_cast<uint32_t>(frames)};
}

uint64_t BitRateBps(const VideoStreamInfo& info) {
    uint64_t value = (uint64_t{info.bitRateExtension} << 18) + info.bitRateValue;
    return value * kBitRateValueUnitBitsPerSecond;
}

uint64_t VbvBufferSizeUnits(const VideoStreamInfo& info) {
    return (uint64_t{info.vbvBufferSizeExtension} << 10) + info.vbvBufferSize;
}

uint64_t VbvBufferBits(const VideoStreamInfo& info) {
    return VbvBufferSizeUnits(info) * kVbvBufferSizeUnitBits;
}

uint32_t DisplayFieldsOfFrame(bool progressiveSequence, bool fieldPair, bool repeatFirstField,
                              bool topFieldFirst) {
    if (fieldPair || !repeatFirstField) return 2;
    if (!progressiveSequence) return 3;
    return topFieldFirst ? 6 : 4;
}

VideoStreamInfo& GetVideoStreamInfo(int streamId) {
    int id = std::clamp<int>(streamId, kFirstVideoStreamId, kLastVideoStreamId);
    return records[static_cast<size_t>(id - kFirstVideoStreamId)];
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
    pictureEnd_ = bytes;
}

void VideoStatistics::NoteSequenceFormat() {
    const VideoStreamInfo& info = info_;
    SequenceFormat format{info.horizontalSize, info.verticalSize, info.aspectRatioCode,
                          info.frameRateCode, info.chromaFormat};
    if (formatKnown_ && format != format_) {
        // Each change once: a stream that goes back and forth lists the way each way.
        bool seen =
            std::any_of(info_.formatChanges.begin(), info_.formatChanges.end(),
                        [&](const FormatChange& c) { return c.from == format_ && c.to == format; });
        if (!seen && info_.formatChanges.size() < kListedStreamEvents) {
            info_.formatChanges.push_back(
                {info.frameCount + 1, VideoDurationSeconds(info), format_, format});
        }
        ++info_.formatChangeCount;
    }
    format_ = format;
    formatKnown_ = true;
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
    listener_.AddGopRow(GopRowOf(info));
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
    firstAnchorShown_ = -1;
    brokenLinkGop_ = info.gop.brokenLink == 1;
    if (brokenLinkGop_) NoteBrokenLink();
}

// An edit that cut the GOP from the pictures its leading B pictures refer to.
void VideoStatistics::NoteBrokenLink() {
    if (info_.brokenLinks.size() < kListedStreamEvents) {
        info_.brokenLinks.push_back({info_.gopCount, VideoDurationSeconds(info_)});
    }
    ++info_.brokenLinkCount;
}

void VideoStatistics::NotePicture(uint32_t pictureCodingType) {
    VideoStreamInfo& info = info_;
    pictureType_ = pictureCodingType;
    if (info.frameCount == 0 && info.gop.picturesInGop == 0) {
        info.splice.cleanStart = pictureCodingType == kIPicture && info.gopCount > 0 &&
                                 info.gop.closedGop == 1 && info.gop.brokenLink == 0 &&
                                 info.bytesBeforeSequenceHeader == 0;
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
        // Shown before the broken link's first I or P picture: it would need a picture
        // from before the edit.
        frameUndisplayed_ = brokenLinkGop_ && firstAnchorShown_ >= 0 && shown < firstAnchorShown_;
        if (shown > lastAnchorShown_) ++bPicturesAfterAnchors_;
        lastBShown_ = std::max(lastBShown_, shown);
        return;
    }
    frameUndisplayed_ = false;
    if (firstAnchorShown_ < 0) firstAnchorShown_ = shown;
    lastAnchorShown_ = std::max(lastAnchorShown_, shown);
    if (lastAnchorShown_ > lastBShown_) bPicturesAfterAnchors_ = 0;
}

void VideoStatistics::NotePictureStartCode(uint32_t bytesRead) {
    if (firstPictureStartCodeEnd_ == 0) firstPictureStartCodeEnd_ = bytesRead;
}

void VideoStatistics::EndPicture(uint32_t bytesRead, uint32_t displayFields, bool fieldPair,
                                 bool startCodeAfter) {
    VideoStreamInfo& info = info_;
    ++info.frameCount;
    ++(fieldPair ? info.fieldPairCount : info.framePictureCount);
    // A picture that is not shown takes no display time; the buffer still gives it up
    // at the decoder's pace.
    uint32_t fieldsShown = frameUndisplayed_ ? 0 : displayFields;
    if (frameUndisplayed_) {
        ++info.undisplayedFrames;
        info.undisplayedFields += displayFields;
    }
    frameUndisplayed_ = false;
    info.displayFields += fieldsShown;
    uint32_t size = bytesRead - frameBoundary_;  // modulo 2^32, past 4 GiB too
    frameBoundary_ = bytesRead;
    // For the buffer, a picture runs from its first header to its last slice.
    uint32_t pictureEnd = bytesRead - (startCodeAfter ? kStartCodeBytes : 0);
    uint32_t pictureBytes = pictureEnd - pictureEnd_;
    pictureEnd_ = pictureEnd;
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
    pictures_.push_back({pictureBytes, vbvDelay_, displayFields});
    uint64_t ticks = fieldsShown * FieldTicks(info.frameRateCode);
    info.displayTicks += ticks;
    CountIntoGroup(size, ticks);
}

// One group per second of display time at the exact rate, closed by the frame that reaches
// the second; the time it runs over counts into the next group. None while the rate is
// unknown. Its bytes per second of its own frames' time make the peak: a group of 30 frames
// at 29.97 fps lasts 1.001 s.
void VideoStatistics::CountIntoGroup(uint32_t bytes, uint64_t ticks) {
    groupBytes_ += bytes;
    groupTicks_ += ticks;
    if (groupTicksBefore_ + groupTicks_ < kVideoTicksPerSecond) return;
    listener_.AddBitrateSample(Kilobits(static_cast<double>(groupBytes_)));
    double perSecond =
        static_cast<double>(groupBytes_) * kVideoTicksPerSecond / static_cast<double>(groupTicks_);
    info_.peakGroupBytes = std::max(info_.peakGroupBytes, perSecond);
    groupTicksBefore_ = groupTicksBefore_ + groupTicks_ - kVideoTicksPerSecond;
    groupBytes_ = 0;
    groupTicks_ = 0;
}

void VideoStatistics::FinishVideoStream() {
    VideoStreamInfo& info = info_;
    listener_.AddGopRow(GopRowOf(info));
    info.peakKbps = Kilobits(info.peakGroupBytes);
    // The average frame period's bytes times the whole-number frame rate. Pictures that
    // are not shown still take their time in the multiplex.
    uint64_t fields = info.displayFields + info.undisplayedFields;
    double framePeriods = static_cast<double>(fields) / 2.0;
    info.averageKbps = fields == 0 ? 0.0
                                   : static_cast<double>(info.totalFrameBytes) / framePeriods *
                                         info.nominalFrameRate * 8.0 / kBitsPerKbit;
    // 24, 30 or 60 frames last 1.001 s at 23.976, 29.97 and 59.94 fps.
    if (IsNtscRate(info.frameRateCode)) info.averageKbps *= 1000.0 / 1001.0;
    listener_.DrawBitrateGraph(info.averageKbps);
    info.splice.danglingBPictures = bPicturesAfterAnchors_;
    ModelBuffer();
}

void VideoStatistics::ModelBuffer() {
    VideoStreamInfo& info = info_;
    uint32_t bytesBeforeDelay = firstPictureStartCodeEnd_ > info.bytesBeforeSequenceHeader
                                    ? firstPictureStartCodeEnd_ - info.bytesBeforeSequenceHeader
                                    : 0;
    VbvParameters parameters{BitRateBps(info), VbvBufferBits(info), info.frameRateCode,
                             bytesBeforeDelay};
    info.vbv = ModelVbv(pictures_, parameters,
                        [this](const VbvSample& sample) { listener_.AddVbvSample(sample); });
    if (info.vbv.modelled) listener_.DrawVbvGraph(static_cast<double>(parameters.bufferBits));
}
