// Audio level measurement.
#include "audio/audio_levels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "audio/audio_decoder.h"
#include "audio/audio_header_scan.h"
#include "audio/loudness.h"
#include "audio/programme_loudness.h"
#include "input/stream_reader.h"
#include "report/report_log.h"

namespace {

constexpr int32_t kPcmBufferBytes = 16384;
// The extremes of a 16-bit sample: a clipped sample reads one of them; full scale is the
// magnitude of the lowest.
constexpr int16_t kHighestSample = std::numeric_limits<int16_t>::max();
constexpr int16_t kLowestSample = std::numeric_limits<int16_t>::min();
constexpr int32_t kFullScale = -int32_t{kLowestSample};
constexpr double kSilentLevel = 0.001;  // stands in for 0 inside the logarithm
constexpr double kDcFloorDbfs = -100.0;
constexpr size_t kInputPieceBytes = 16384;

// The decoder's input: the stream's payload from its first frame header on. Every byte
// goes through the header scan on its way, which finds that header and gives the
// section its header lines; the bytes before the header are held back from the decoder,
// which would otherwise find its own way into the stream and leave the skip unseen.
class DecoderInput {
  public:
    DecoderInput(StreamReader& reader, AudioHeaderScanner& scanner)
        : reader_(&reader), scanner_(&scanner) {}

    size_t Read(uint8_t* into, size_t count) {
        for (;;) {
            DropUnwanted();
            if (scanner_->Started() && next_ < pending_.size()) {
                size_t n = std::min(count, pending_.size() - next_);
                std::memcpy(into, pending_.data() + next_, n);
                next_ += n;
                return n;
            }
            // A scan that ended without a first header has nothing for the decoder.
            if (!scanner_->Started() && scanner_->Stopped()) return 0;
            if (!ReadPiece()) return 0;
        }
    }

    // The rest of the stream through the scan alone, once decoding stopped early.
    void Drain() {
        std::vector<uint8_t> piece(kInputPieceBytes);
        while (!ended_ && !scanner_->Stopped()) {
            size_t got = reader_->ReadBytes(piece.data(), piece.size());
            if (got == 0) {
                ended_ = true;
                scanner_->Finish();
            } else {
                scanner_->Feed(piece.data(), got);
            }
        }
    }

  private:
    // Bytes before the first frame header, or that the scan has passed while still
    // looking for it, never reach the decoder.
    void DropUnwanted() {
        uint64_t from =
            scanner_->Started() ? scanner_->Record().skippedBytes : scanner_->SearchedBytes();
        if (pendingOffset_ + next_ < from) {
            next_ = static_cast<size_t>(std::min<uint64_t>(pending_.size(), from - pendingOffset_));
        }
    }

    // One piece of the payload into the scan, kept for the decoder; false once the
    // payload has ended.
    bool ReadPiece() {
        if (ended_) return false;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(next_));
        pendingOffset_ += next_;
        next_ = 0;
        size_t old = pending_.size();
        pending_.resize(old + kInputPieceBytes);
        size_t got = reader_->ReadBytes(pending_.data() + old, kInputPieceBytes);
        pending_.resize(old + got);
        if (got == 0) {
            ended_ = true;
            scanner_->Finish();
        } else {
            scanner_->Feed(pending_.data() + old, got);
        }
        return true;
    }

    StreamReader* reader_;
    AudioHeaderScanner* scanner_;
    std::vector<uint8_t> pending_;  // read, not yet handed to the decoder
    uint64_t pendingOffset_ = 0;    // payload offset of pending_[0]
    size_t next_ = 0;               // the next byte of pending_ for the decoder
    bool ended_ = false;
};

double Dbfs(double value) { return 20.0 * std::log10(value / kFullScale); }

// The header lines of decode mode are those of the header scan over the same bytes; the
// decoder gives what only decoding measures. A scan that found no frame header at all
// rejects the stream as header mode does.
void TakeHeaderScan(const AudioHeaderScanner& scanner, AudioStreamInfo& info) {
    AudioStreamInfo merged = scanner.Record();
    merged.dcLeft = info.dcLeft;
    merged.dcRight = info.dcRight;
    merged.peakLeft = info.peakLeft;
    merged.peakRight = info.peakRight;
    merged.clippedLeft = info.clippedLeft;
    merged.clippedRight = info.clippedRight;
    merged.rmsLeft = info.rmsLeft;
    merged.rmsRight = info.rmsRight;
    merged.decodedBytes = info.decodedBytes;
    merged.decodedSeconds = info.decodedSeconds;
    info = merged;
}

// Everything the measurement of one stream keeps, in one object that the decoder's
// callbacks reach through their context: streams measured at once on different threads
// share nothing.
class LevelMeasurement {
  public:
    // `programme`: BS.1770 loudness is measured as well.
    LevelMeasurement(StreamReader& reader, AudioHeaderScanner& scanner, bool programme)
        : reader_(reader), input_(reader, scanner), measureProgramme_(programme) {}

    static DecoderCallbacks Callbacks() { return {Read, nullptr, Position}; }

    DecoderInput& Input() { return input_; }
    void Decode(AudioDecoder& decoder, AudioStreamInfo& info, DecoderFormatInfo& format,
                int timeLimitSeconds);
    // The levels and the amount of decoded audio, into the record.
    void Conclude(AudioStreamInfo& info, const DecoderFormatInfo& format) const;
    ProgrammeLoudnessFigures ProgrammeFigures() { return programme_.Finish(); }

  private:
    static size_t Read(void* context, uint8_t* buffer, size_t count) {
        return static_cast<LevelMeasurement*>(context)->input_.Read(buffer, count);
    }
    static uint32_t Position(void* context) {
        return static_cast<LevelMeasurement*>(context)->reader_.BytesRead();
    }

    void AccumulateBlockStats(int16_t* pcm, int32_t byteCount, int32_t stereo);
    template <int32_t kStride>
    void TakeChannel(int c, const int16_t* samples, int32_t first, int32_t frames);
    void ComputeLevels(AudioStreamInfo& info) const;
    void ConcludeLoudness(AudioStreamInfo& info) const;

    StreamReader& reader_;
    DecoderInput input_;
    int32_t frameCount_ = 0;
    // Sample sums in 64 bits: a long stream with an offset overflows 32.
    int64_t sampleSum_[2] = {0, 0};
    int32_t peak_[2] = {0, 0};
    uint32_t clipRun_[2] = {0, 0};
    uint32_t clipCount_[2] = {0, 0};
    uint32_t decodedTotal_ = 0;
    LoudnessAnalysis loudness_;
    bool measureProgramme_;
    ProgrammeLoudness programme_;
};

// One channel of a block, every kStride-th sample from `first`: the sum and the
// extremes in one loop without a dependency from sample to sample; the clip runs in a
// second loop, only when the block reaches full scale at all.
template <int32_t kStride>
void LevelMeasurement::TakeChannel(int c, const int16_t* samples, int32_t first, int32_t frames) {
    int32_t sum = 0;  // at most 8192 samples of 32768 a block
    int16_t highest = 0;
    int16_t lowest = 0;
    for (int32_t i = 0; i < frames; ++i) {
        int16_t sample = samples[first + i * kStride];
        sum += sample;
        highest = std::max(highest, sample);
        lowest = std::min(lowest, sample);
    }
    sampleSum_[c] += sum;
    peak_[c] = std::max({peak_[c], int32_t{highest}, -int32_t{lowest}});
    if (highest != kHighestSample && lowest != kLowestSample) {
        if (frames > 0) clipRun_[c] = 0;
        return;
    }
    uint32_t run = clipRun_[c];
    for (int32_t i = 0; i < frames; ++i) {
        int16_t sample = samples[first + i * kStride];
        run = (sample == kHighestSample || sample == kLowestSample) ? run + 1 : 0;
        clipCount_[c] += run >= 2;  // a run of k full-scale samples counts k - 1
    }
    clipRun_[c] = run;
}

// Takes one block of little-endian 16-bit PCM (two interleaved channels when stereo is
// nonzero), as the decoder wrote it, into the statistics and the loudness analysis; on a
// big-endian host the block is put into host order in place.
void LevelMeasurement::AccumulateBlockStats(int16_t* pcm, int32_t byteCount, int32_t stereo) {
    int32_t channels = stereo ? 2 : 1;
    int32_t frames = std::min(byteCount / (2 * channels), kPcmBufferBytes / 2 / channels);
    frameCount_ += frames;
    if constexpr (std::endian::native == std::endian::big) {
        for (int32_t i = 0; i < frames * channels; ++i) {
            auto bytes = static_cast<uint16_t>(pcm[i]);
            pcm[i] = static_cast<int16_t>((bytes >> 8) | (bytes << 8));
        }
    }
    if (channels == 2) {
        TakeChannel<2>(0, pcm, 0, frames);
        TakeChannel<2>(1, pcm, 1, frames);
    } else {
        TakeChannel<1>(0, pcm, 0, frames);
    }
    loudness_.AnalyzeInterleaved(pcm, frames, channels);
    programme_.Add(pcm, frames);
}

void LevelMeasurement::ComputeLevels(AudioStreamInfo& info) const {
    double* dc[2] = {&info.dcLeft, &info.dcRight};
    double* peak[2] = {&info.peakLeft, &info.peakRight};
    int32_t* clipped[2] = {&info.clippedLeft, &info.clippedRight};
    for (int c = 0; c < 2; ++c) {
        *peak[c] = Dbfs(peak_[c] ? peak_[c] : kSilentLevel);
        // A run of k full-scale samples counts k - 1; the report adds 2 to a nonzero count.
        *clipped[c] = clipCount_[c] ? static_cast<int32_t>(clipCount_[c] + 2) : 0;
        int64_t mean = frameCount_ ? std::llabs(sampleSum_[c]) / frameCount_ : 0;
        double level = Dbfs(mean ? static_cast<double>(mean) : kSilentLevel);
        *dc[c] = level < kDcFloorDbfs ? kDcFloorDbfs : level;
    }
}

void LevelMeasurement::ConcludeLoudness(AudioStreamInfo& info) const {
    float left = 0;
    float right = 0;
    loudness_.Levels(left, right);
    info.rmsLeft = left;
    info.rmsRight = right;
}

// The decoding loop of one created decoder.
void LevelMeasurement::Decode(AudioDecoder& decoder, AudioStreamInfo& info,
                              DecoderFormatInfo& format, int timeLimitSeconds) {
    // The decoder writes little-endian 16-bit samples; they are read in place.
    std::vector<int16_t> pcm(kPcmBufferBytes / 2);
    bool first = true;
    for (;;) {
        int32_t written = 0;
        int result =
            decoder.Decode(reinterpret_cast<uint8_t*>(pcm.data()), kPcmBufferBytes, &written);
        if (result == kDecoderEnd) {
            info.status = AudioOk;
            ConcludeLoudness(info);
            return;
        }
        if (result != kDecoderOk) {
            info.status = AudioDecoderFailed;
            return;
        }
        written = std::clamp(written, 0, kPcmBufferBytes);
        decodedTotal_ += static_cast<uint32_t>(written);
        if (first) {
            decoder.GetFormat(&format);
            loudness_.Init(format.samplingFrequency);
            if (measureProgramme_)
                programme_.Start(format.samplingFrequency, format.stereo ? 2 : 1);
            first = false;
        }
        AccumulateBlockStats(pcm.data(), written, format.stereo);
        int32_t positionMs = 0;
        decoder.GetPosition(&positionMs);
        bool pastLimit = timeLimitSeconds != 0 && positionMs > timeLimitSeconds * 1000.0;
        if (pastLimit || IsCancelRequested()) {
            info.status = AudioOk;
            ConcludeLoudness(info);
            return;
        }
    }
}

void LevelMeasurement::Conclude(AudioStreamInfo& info, const DecoderFormatInfo& format) const {
    ComputeLevels(info);
    info.decodedBytes = static_cast<int32_t>(decodedTotal_);
    int bytesPerFrame = format.stereo ? 4 : 2;
    info.decodedSeconds = format.samplingFrequency ? static_cast<double>(decodedTotal_) /
                                                         bytesPerFrame / format.samplingFrequency
                                                   : 0.0;
}

}  // namespace

AudioStatus MeasureAudioLevels(StreamReader& reader, int streamId, int timeLimitSeconds,
                               bool measureLoudness) {
    DecoderFormatInfo format{};
    AudioStreamInfo& info = AudioDecodeRecord(streamId);
    info = AudioStreamInfo{};
    AudioHeaderScanner scanner;
    LevelMeasurement measurement(reader, scanner, measureLoudness);
    std::unique_ptr<AudioDecoder> decoder = MakeAudioDecoder();
    if (decoder->Create(LevelMeasurement::Callbacks(), &measurement) != 0) {
        info.status = AudioDecoderCreateFailed;
    } else {
        measurement.Decode(*decoder, info, format, timeLimitSeconds);
        decoder->Destroy();
    }
    if (info.status == AudioOk) {
        // Past the time limit the scan still reads every frame header, as header mode
        // does; a Cancel leaves it where it stands.
        if (IsCancelRequested()) {
            scanner.Stop();
        } else {
            measurement.Input().Drain();
            scanner.Finish();
        }
    }
    measurement.Conclude(info, format);
    ProgrammeLoudnessRecord(streamId) = measurement.ProgrammeFigures();
    if (info.status == AudioOk) TakeHeaderScan(scanner, info);
    return static_cast<AudioStatus>(info.status);
}

AudioStatus MeasureAudioLevels(const std::string& path, int streamId, const StreamExtent& extent,
                               int timeLimitSeconds, bool measureLoudness) {
    StreamReader reader;
    reader.Open(path, streamId, extent);
    AudioStatus status = MeasureAudioLevels(reader, streamId, timeLimitSeconds, measureLoudness);
    reader.Close();
    return status;
}
