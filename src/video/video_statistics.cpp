// Video statistics.
#include "video/video_statistics.h"

#include <algorithm>
#include <array>

#include "input/pes_header.h"
#include "video/video_listener.h"

namespace {

struct TimeCode {
    uint32_t dropFrameFlag = 0;
    uint32_t hours = 0;
    uint32_t minutes = 0;
    uint32_t seconds = 0;
    uint32_t pictures = 0;
};

// Everything the statistics keep for the process, in one place.
struct StatisticsState {
    std::array<VideoStreamInfo, 16> records{};
    VideoStreamInfo* current = &records[0];
    uint32_t pictureType = 0;
    uint32_t frameBoundary = 0;  // BytesRead at the end of the last frame
    uint32_t groupBytes = 0;     // bytes of the one-second group being filled
    TimeCode previousTimeCode;   // of the previous GOP header
    VideoListener silent;
    VideoListener* listener = &silent;
};

StatisticsState state;

TimeCode TimeCodeOf(const GopRecord& gop) {
    return {gop.dropFrameFlag, gop.hours, gop.minutes, gop.seconds, gop.pictures};
}

// Pictures since 00:00:00:00 at the nominal rate; with drop_frame_flag at 30 or 60 fps
// the numbers dropped at each minute but every tenth are left out (SMPTE 12M).
int64_t PicturesSinceMidnight(const TimeCode& tc, uint32_t frameRate) {
    int64_t minutes = int64_t{tc.hours} * 60 + tc.minutes;
    int64_t pictures = (minutes * 60 + tc.seconds) * frameRate + tc.pictures;
    if (tc.dropFrameFlag && (frameRate == 30 || frameRate == 60)) {
        int64_t droppedPerMinute = frameRate == 30 ? 2 : 4;
        pictures -= droppedPerMinute * (minutes - minutes / 10);
    }
    return pictures;
}

// Length of the GOP between two GOP headers. The whole time codes give it; where they
// do not advance (some encoders stamp every GOP 00:00:00:00) only the pictures field
// can: a wrap at the second boundary reads as a full second.
uint32_t GopLength(const TimeCode& previous, const TimeCode& current, uint32_t frameRate) {
    int64_t whole =
        PicturesSinceMidnight(current, frameRate) - PicturesSinceMidnight(previous, frameRate);
    if (whole > 0) return static_cast<uint32_t>(std::min<int64_t>(whole, UINT32_MAX));
    int64_t p = current.pictures;
    int64_t q = previous.pictures;
    int64_t length = p > q ? p - q : int64_t{frameRate} - q + p;
    return static_cast<uint32_t>(std::max<int64_t>(length, 0));
}

bool IsNtscRate(uint32_t frameRateCode) {
    return frameRateCode == 1 || frameRateCode == 4 || frameRateCode == 7;
}

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
    return static_cast<double>(info.frameCount) / info.nominalFrameRate;
}

VideoStreamInfo& GetVideoStreamInfo(int streamId) {
    int index = std::clamp(streamId - kFirstVideoStreamId, 0, 15);
    return state.records[static_cast<size_t>(index)];
}

void ResetVideoStreamInfo(int streamId) {
    VideoStreamInfo& info = GetVideoStreamInfo(streamId);
    info = VideoStreamInfo{};
    info.sequenceHeadersAligned = 1;
    info.minGopLength = kNoGopLengthYet;
    state.current = &info;
    state.pictureType = 0;
    state.frameBoundary = 0;
    state.groupBytes = 0;
    state.previousTimeCode = TimeCode{};
    state.listener->InitGopGrid();
    state.listener->InitBitrateGrid();
}

void NoteSequenceHeader() {
    ++state.current->sequenceHeaderCount;
    ++state.current->gop.pendingSequenceHeaders;
}

void BeginGop() {
    VideoStreamInfo& info = *state.current;
    ++info.gopCount;
    if (info.gopCount == 1) return;
    state.listener->AddGopRow(info);
    if (info.gop.pendingSequenceHeaders > 0) --info.gop.pendingSequenceHeaders;
    info.gop.picturesInGop = 0;
    info.gop.structure.clear();
}

void NoteGopHeader() {
    VideoStreamInfo& info = *state.current;
    if (info.gopCount == 1) info.firstGopClosed = info.gop.closedGop;
    if (info.gop.closedGop == 1) ++info.closedGopCount;
    info.nominalFrameRate = NominalFrameRate(info.frameRateCode);
    TimeCode current = TimeCodeOf(info.gop);
    if (info.gopCount > 2) {
        uint32_t length = GopLength(state.previousTimeCode, current, info.nominalFrameRate);
        info.maxGopLength = std::max(info.maxGopLength, length);
        info.minGopLength = std::min(info.minGopLength, length);
    }
    if (info.gopCount >= 2) state.previousTimeCode = current;
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

void EndPicture(uint32_t bytesRead) {
    VideoStreamInfo& info = *state.current;
    ++info.frameCount;
    uint32_t size = bytesRead - state.frameBoundary;
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
    // One group per second of video at the nominal rate; none while that is unknown.
    if (info.nominalFrameRate != 0 && info.frameCount % info.nominalFrameRate == 0) {
        state.listener->AddBitrateSample(state.groupBytes * 8.0 / 1024.0);
        info.peakGroupBytes = std::max(info.peakGroupBytes, state.groupBytes);
        state.groupBytes = 0;
    }
}

void FinishVideoStream() {
    VideoStreamInfo& info = *state.current;
    state.listener->AddGopRow(info);
    info.peakKbps = info.peakGroupBytes * 8.0 / 1024.0;
    info.averageKbps = info.frameCount == 0
                           ? 0.0
                           : static_cast<double>(info.totalFrameBytes) / info.frameCount *
                                 info.nominalFrameRate * 8.0 / 1024.0;
    // Groups of 24, 30 or 60 frames last 1.001 s at 23.976, 29.97 and 59.94 fps.
    if (IsNtscRate(info.frameRateCode)) {
        info.peakKbps *= 1000.0 / 1001.0;
        info.averageKbps *= 1000.0 / 1001.0;
    }
    state.listener->DrawBitrateGraph(info.averageKbps);
}
