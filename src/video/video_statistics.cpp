// Video statistics.
#include "video/video_statistics.h"

#include <algorithm>
#include <array>

#include "input/pes_header.h"
#include "video/video_listener.h"

namespace {

// Everything the statistics keep for the process, in one place.
struct StatisticsState {
    std::array<VideoStreamInfo, 16> records{};
    VideoStreamInfo* current = &records[0];
    uint32_t pictureType = 0;
    uint32_t frameBoundary = 0;  // BytesRead at the end of the last frame
    uint64_t groupBytes = 0;     // bytes of the one-second group being filled
    uint32_t groupFields = 0;    // its display time in field periods
    VideoListener silent;
    VideoListener* listener = &silent;
};

StatisticsState state;

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
    state.listener = listener ? listener : &state.silent;
}

VideoListener& CurrentVideoListener() { return *state.listener; }

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
    return state.records[static_cast<size_t>(index)];
}

void ResetVideoStreamInfo(int streamId) {
    VideoStreamInfo& info = GetVideoStreamInfo(streamId);
    info = VideoStreamInfo{};
    info.sequenceHeadersAligned = 1;
    state.current = &info;
    state.pictureType = 0;
    state.frameBoundary = 0;
    state.groupBytes = 0;
    state.groupFields = 0;
    state.listener->BeginVideoStream(streamId);
    state.listener->InitGopGrid();
    state.listener->InitBitrateGrid();
}

void SkipBeforeSequenceHeader(uint32_t bytes) {
    state.current->bytesBeforeSequenceHeader = bytes;
    state.frameBoundary = bytes;
}

void NoteSequenceHeader() {
    VideoStreamInfo& info = *state.current;
    ++info.sequenceHeaderCount;
    ++info.gop.pendingSequenceHeaders;
    // Every stream has sequence headers; GOP headers are optional.
    info.nominalFrameRate = NominalFrameRate(info.frameRateCode);
}

void BeginGop() {
    VideoStreamInfo& info = *state.current;
    ++info.gopCount;
    if (info.gopCount == 1) return;
    if (info.gopCount > 2) MeasureGopLength(info);
    state.listener->AddGopRow(info);
    if (info.gop.pendingSequenceHeaders > 0) --info.gop.pendingSequenceHeaders;
    info.gop.picturesInGop = 0;
    info.gop.structure.clear();
}

void NoteGopHeader() {
    VideoStreamInfo& info = *state.current;
    if (info.gopCount == 1) info.firstGopClosed = info.gop.closedGop;
    if (info.gop.closedGop == 1) ++info.closedGopCount;
}

void NotePicture(uint32_t pictureCodingType) {
    VideoStreamInfo& info = *state.current;
    state.pictureType = pictureCodingType;
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

void EndPicture(uint32_t bytesRead, uint32_t displayFields, bool fieldPair) {
    VideoStreamInfo& info = *state.current;
    ++info.frameCount;
    ++(fieldPair ? info.fieldPairCount : info.framePictureCount);
    info.displayFields += displayFields;
    uint32_t size = bytesRead - state.frameBoundary;  // modulo 2^32, past 4 GiB too
    state.frameBoundary = bytesRead;
    switch (state.pictureType) {
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
    state.groupBytes += size;
    state.groupFields += displayFields;
    // One group per second of display time at the nominal rate, closed by the frame
    // that reaches it; none while that rate is unknown.
    uint32_t fieldsPerSecond = 2 * info.nominalFrameRate;
    if (fieldsPerSecond != 0 && state.groupFields >= fieldsPerSecond) {
        state.listener->AddBitrateSample(Kilobits(state.groupBytes));
        info.peakGroupBytes = std::max(info.peakGroupBytes, state.groupBytes);
        state.groupBytes = 0;
        state.groupFields -= fieldsPerSecond;
    }
}

void FinishVideoStream() {
    VideoStreamInfo& info = *state.current;
    state.listener->AddGopRow(info);
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
    state.listener->DrawBitrateGraph(info.averageKbps);
}
