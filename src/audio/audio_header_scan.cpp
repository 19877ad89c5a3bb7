// Audio frame header scan.
#include "audio/audio_header_scan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/stream_reader.h"
#include "report/report_log.h"

namespace {

// A frame header (ISO/IEC 11172-3, 2.4.1.3), most significant bit first:
//   AAAAAAAA AAAABCCD EEEEFFGH IIJJKLMM
// A syncword 0xFFF, B ID (1: ISO/IEC 11172-3; 0: the lower sampling frequencies of
// ISO/IEC 13818-3, 2.4, the same header read with other tables), C layer,
// D protection_bit, E bitrate_index, F sampling_frequency, G padding_bit, H private_bit,
// I mode, J mode_extension, K copyright, L original/copy, M emphasis.
constexpr uint32_t kSyncWord = 0xFFF;
constexpr int kSyncBits = 12;
constexpr int kHeaderBits = 32;
constexpr int kCrcBits = 16;
constexpr int32_t kFreeFormatBitrateIndex = 0;
constexpr int32_t kForbiddenBitrateIndex = 15;
constexpr int32_t kReservedSamplingIndex = 3;

constexpr uint32_t SyncOf(uint32_t header) { return header >> 20; }
constexpr int32_t IdOf(uint32_t header) { return (header >> 19) & 1; }
constexpr int32_t LayerOf(uint32_t header) { return (header >> 17) & 3; }
constexpr int32_t BitrateIndexOf(uint32_t header) { return (header >> 12) & 0xF; }
constexpr int32_t SamplingIndexOf(uint32_t header) { return (header >> 10) & 3; }
constexpr int32_t PaddingOf(uint32_t header) { return (header >> 9) & 1; }

// A header that can begin a frame of a known layer and frequency, of either ID.
constexpr bool IsValidHeader(uint32_t header) {
    return SyncOf(header) == kSyncWord && LayerOf(header) != kLayerReserved &&
           BitrateIndexOf(header) != kForbiddenBitrateIndex &&
           SamplingIndexOf(header) != kReservedSamplingIndex;
}

// Every step of the scan reads at most one frame and the header after it, from where
// the step begins: a frame is at most 1729 bytes (Layer II, 384 kbit/s, 32 kHz, padded;
// at the lower sampling frequencies 1441, Layer II at 160 kbit/s, 16 kHz, padded).
// With this many bytes at hand a step sees what it would see with the whole payload.
constexpr uint64_t kStepBits = 8 * 4096;
// Scanned bytes are dropped from the front once there are this many.
constexpr size_t kDropBytes = 65536;
// Payload read per call of the payload reader.
constexpr size_t kReadBytes = 65536;

}  // namespace

void AudioHeaderScanner::Feed(const uint8_t* data, size_t size) {
    if (step_ == Step::Done || size == 0) return;
    size_t scanned = static_cast<size_t>(bit_ / 8);
    if (scanned >= kDropBytes) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<long>(scanned));
        base_ += scanned;
        bit_ -= 8 * static_cast<uint64_t>(scanned);
    }
    bytes_.insert(bytes_.end(), data, data + size);
    Scan();
}

void AudioHeaderScanner::Finish() {
    final_ = true;
    Scan();
    Conclude();
}

void AudioHeaderScanner::Stop() {
    step_ = Step::Done;
    Conclude();
}

bool AudioHeaderScanner::Sure() const { return final_ || BitsLeft() >= kStepBits; }

void AudioHeaderScanner::Scan() {
    while (step_ != Step::Done && Sure()) {
        switch (step_) {
            case Step::FindStart:
                FindStart();
                break;
            case Step::Header:
                ParseHeader();
                break;
            case Step::Resync:
                SearchSyncWord(Step::Header);
                break;
            case Step::NextSyncWord:
                // The frame was skipped whole, so the next header may stand right here;
                // otherwise the search moves at least one bit first.
                if (Peek(kSyncBits) == kSyncWord) {
                    step_ = Step::FrameEnd;
                } else if (AtEnd()) {
                    step_ = Step::Done;
                } else {
                    Read(1);
                    step_ = Step::SearchNextSyncWord;
                }
                break;
            case Step::SearchNextSyncWord:
                // Not counted: stuffing or garbage between frames is not a loss of sync.
                SearchSyncWord(Step::FrameEnd);
                break;
            case Step::FrameEnd:
                step_ = IsCancelRequested() || AtEnd() ? Step::Done : Step::Header;
                break;
            case Step::Done:
                break;
        }
    }
}

// Byte by byte to the first valid header that the next one confirms; a frame ends on a
// byte boundary, so the first whole frame of a cut capture begins on one.
void AudioHeaderScanner::FindStart() {
    while (Sure()) {
        size_t at = static_cast<size_t>(bit_ / 8);
        if (at < bytes_.size() && bytes_[at] != 0xFF) {
            // A byte other than 0xFF begins no header, whatever follows it.
            const void* found = std::memchr(&bytes_[at], 0xFF, bytes_.size() - at);
            size_t next =
                found ? static_cast<size_t>(static_cast<const uint8_t*>(found) - bytes_.data())
                      : bytes_.size();
            bit_ = 8 * static_cast<uint64_t>(next);
            continue;
        }
        if (BitsLeft() < kHeaderBits) {  // only once the payload has ended
            info_.status = AudioNoInitialSync;
            step_ = Step::Done;
            return;
        }
        uint32_t header = Peek(kHeaderBits);
        if (IsValidHeader(header) && StartConfirmed(header)) {
            info_.skippedBytes = static_cast<uint32_t>(Position() / 8);
            if (info_.skippedBytes > 0) info_.syncLosses = 1;
            started_ = true;
            step_ = Step::Header;
            return;
        }
        SkipBits(8);
    }
}

// The next header must stand exactly one frame later, unless the payload ends first. A
// free-format frame (bitrate index 0) does not give its length: it is taken only at
// the very start of the payload, where nothing is skipped.
bool AudioHeaderScanner::StartConfirmed(uint32_t header) const {
    if (BitrateIndexOf(header) == kFreeFormatBitrateIndex) return Position() == 0;
    int32_t length = AudioFrameLength(IdOf(header), LayerOf(header), BitrateIndexOf(header),
                                      SamplingIndexOf(header), PaddingOf(header));
    return FollowedByHeader(8 * static_cast<uint64_t>(length), IdOf(header), LayerOf(header),
                            SamplingIndexOf(header));
}

// A valid header of this ID, layer and sampling frequency `bitsAhead` bits on, or the
// payload ends before a whole header would.
bool AudioHeaderScanner::FollowedByHeader(uint64_t bitsAhead, int32_t idBit, int32_t layer,
                                          int32_t samplingIndex) const {
    if (BitsLeft() < bitsAhead + kHeaderBits) return true;
    uint32_t next = PeekAt(bitsAhead, kHeaderBits);
    return IsValidHeader(next) && IdOf(next) == idBit && LayerOf(next) == layer &&
           SamplingIndexOf(next) == samplingIndex;
}

// Reads one header at a peeked sync word. ID, layer, bitrate index and sampling index
// keep the first accepted header's values; the other fields those of the last header
// read. A header with ID bit 0 sets AudioBadIdBit whether it is a stray one or the
// stream's own: the report fails the ID bit either way, and in a stream of the lower
// sampling frequencies still shows every frame read with their tables.
void AudioHeaderScanner::ParseHeader() {
    uint64_t headerStart = Position();
    bool headerComplete = BitsLeft() >= kHeaderBits;
    Read(kSyncBits);
    int32_t idBit = Read(1);
    if (idBit == kIdLowSamplingFrequencies) info_.status = AudioBadIdBit;
    if (info_.syncWords == 0) {
        info_.idBit = idBit;
        info_.layer = Read(2);
        info_.protectionBit = Read(1);
        info_.bitrateIndex = Read(4);
        info_.samplingIndex = Read(2);
        frameBitrateIndex_ = info_.bitrateIndex;
    } else {
        if (idBit != info_.idBit || Read(2) != info_.layer) {
            LoseSync();
            return;
        }
        info_.protectionBit = Read(1);  // stored even when the header is then rejected
        int32_t bitrateIndex = Read(4);
        if (bitrateIndex != info_.bitrateIndex &&
            !SwitchesBitrate(headerStart, bitrateIndex, headerComplete)) {
            LoseSync();  // the search starts right after the bitrate index
            return;
        }
        if (Read(2) != info_.samplingIndex) {
            LoseSync();
            return;
        }
        frameBitrateIndex_ = bitrateIndex;
    }
    ReadRestOfHeader();
    ++info_.syncWords;
    CountFrame();
    if (info_.protectionBit == 0) Read(kCrcBits);  // CRC, not verified
    step_ = SkipRestOfFrame() ? Step::NextSyncWord : Step::Done;
}

// A header with another bitrate index, read up to that index: a frame of its own when
// its sampling frequency is the stream's and the next header stands where its length
// ends. Where the payload ends first there is no next header to look at: the frame is
// taken when the stream has switched its bitrate before (the last frame of a capture
// cut short), and is a sync loss in a stream of one bitrate so far, as it always was. A
// free-format or forbidden index gives no length; a stream does not switch to it.
bool AudioHeaderScanner::SwitchesBitrate(uint64_t headerStart, int32_t bitrateIndex,
                                         bool headerComplete) {
    if (!headerComplete || bitrateIndex == kFreeFormatBitrateIndex ||
        bitrateIndex == kForbiddenBitrateIndex) {
        return false;
    }
    if (static_cast<int32_t>(Peek(2)) != info_.samplingIndex) return false;
    int32_t padding = static_cast<int32_t>(PeekAt(2, 1));
    int32_t length =
        AudioFrameLength(info_.idBit, info_.layer, bitrateIndex, info_.samplingIndex, padding);
    uint64_t nextHeader = headerStart + 8 * static_cast<uint64_t>(length) - Position();
    if (BitsLeft() < nextHeader + kHeaderBits) return switched_;
    if (!FollowedByHeader(nextHeader, info_.idBit, info_.layer, info_.samplingIndex)) return false;
    switched_ = true;
    return true;
}

void AudioHeaderScanner::ReadRestOfHeader() {
    info_.paddingBit = Read(1);
    info_.privateBit = Read(1);
    info_.mode = Read(2);
    info_.modeExtension = Read(2);
    info_.copyrightFlag = Read(1);
    info_.originalFlag = Read(1);
    info_.emphasis = Read(2);
}

// A header that could not be accepted: count it and hunt, bit by bit, for 0xFFF.
void AudioHeaderScanner::LoseSync() {
    ++info_.syncLosses;
    step_ = Step::Resync;
}

void AudioHeaderScanner::SearchSyncWord(Step found) {
    while (Sure()) {
        if (Peek(kSyncBits) == kSyncWord) {
            step_ = found;
            return;
        }
        if (AtEnd()) {
            step_ = Step::Done;
            return;
        }
        Read(1);
    }
}

// Skips the frame's bytes after its header (and CRC); false when the payload ends.
bool AudioHeaderScanner::SkipRestOfFrame() {
    int32_t rest = AudioFrameLength(info_.idBit, info_.layer, frameBitrateIndex_,
                                    info_.samplingIndex, info_.paddingBit) -
                   4 - (info_.protectionBit == 0 ? 2 : 0);
    // Skipped as a byte, a 16-bit and 32-bit words, so a negative rest (free format)
    // skips rest mod 4 bytes.
    SkipBits(8 * static_cast<uint64_t>((rest & 3) + 4 * std::max(rest >> 2, 0)));
    return !AtEnd();
}

void AudioHeaderScanner::CountFrame() {
    frameBytes_ += static_cast<uint64_t>(AudioFrameLength(
        info_.idBit, info_.layer, frameBitrateIndex_, info_.samplingIndex, info_.paddingBit));
    int32_t kbps = BitrateKbps(info_.idBit, info_.layer, frameBitrateIndex_);
    if (info_.syncWords == 1) {
        info_.bitrateMinKbps = info_.bitrateMaxKbps = kbps;
    } else {
        info_.bitrateMinKbps = std::min(info_.bitrateMinKbps, kbps);
        info_.bitrateMaxKbps = std::max(info_.bitrateMaxKbps, kbps);
    }
}

// The bitrate and frequency from the tables (for index 0 when no header was accepted);
// a switching bitrate as the mean of the frames: their bytes over their playing time.
void AudioHeaderScanner::Conclude() {
    if (concluded_) return;
    concluded_ = true;
    info_.bitrateKbps = BitrateKbps(info_.idBit, info_.layer, info_.bitrateIndex);
    info_.samplingFrequency = SamplingFrequencyHz(info_.idBit, info_.samplingIndex);
    if (info_.syncWords == 0) {
        info_.bitrateMinKbps = info_.bitrateMaxKbps = info_.bitrateKbps;
        return;
    }
    double seconds = static_cast<double>(static_cast<uint32_t>(info_.syncWords)) *
                     SamplesPerFrame(info_.idBit, info_.layer) / info_.samplingFrequency;
    if (info_.bitrateMinKbps != info_.bitrateMaxKbps && seconds > 0) {
        info_.bitrateKbps = static_cast<int32_t>(
            std::lround(static_cast<double>(frameBytes_) * 8 / seconds / 1000));
    }
}

uint32_t AudioHeaderScanner::PeekAt(uint64_t bitsAhead, int n) const {
    if (BitsLeft() < bitsAhead + static_cast<uint64_t>(n)) return 0;
    uint64_t from = bit_ + bitsAhead;
    size_t first = static_cast<size_t>(from / 8);
    size_t last = static_cast<size_t>((from + static_cast<uint64_t>(n) - 1) / 8);
    uint64_t window = 0;
    for (size_t i = first; i <= last; ++i) window = (window << 8) | bytes_[i];
    int unused = static_cast<int>(8 * (last + 1) - (from + static_cast<uint64_t>(n)));
    return static_cast<uint32_t>((window >> unused) & ((uint64_t{1} << n) - 1));
}

int32_t AudioHeaderScanner::Read(int n) {
    uint32_t value = Peek(n);
    SkipBits(static_cast<uint64_t>(n));
    return static_cast<int32_t>(value);
}

int32_t AudioFrameLength(int32_t idBit, int32_t layer, int32_t bitrateIndex, int32_t samplingIndex,
                         int32_t paddingBit) {
    int32_t frequency = SamplingFrequencyHz(idBit, samplingIndex);
    if (frequency == 0) return 0;
    int32_t bitrate = BitrateKbps(idBit, layer, bitrateIndex);
    int32_t padding = paddingBit ? 1 : 0;
    // A frame's bytes are its samples / 8 x bitrate / frequency: 144 x bitrate / frequency
    // for Layers II and III (1152 samples), 72 x for Layer III at the lower sampling
    // frequencies (576 samples), and for Layer I (384 samples) 12 x in four-byte slots.
    int32_t bytesPerBitrate = SamplesPerFrame(idBit, layer) / 8;
    if (layer == kLayerI) return (bytesPerBitrate / 4 * bitrate * 1000 / frequency + padding) * 4;
    if (layer == kLayerII || layer == kLayerIII) {
        return bytesPerBitrate * bitrate * 1000 / frequency + padding;
    }
    return padding;
}

AudioStatus ScanAudioHeaders(StreamReader& reader, int streamId) {
    AudioStreamInfo& info = AudioHeaderRecord(streamId);
    info = AudioStreamInfo{};
    AudioHeaderScanner scanner;
    std::vector<uint8_t> piece(kReadBytes);
    while (!scanner.Stopped()) {
        size_t got = reader.ReadBytes(piece.data(), piece.size());
        if (got == 0) break;
        scanner.Feed(piece.data(), got);
    }
    scanner.Finish();
    info = scanner.Record();
    return static_cast<AudioStatus>(info.status);
}

AudioStatus ScanAudioHeaders(const std::string& path, int streamId, const StreamExtent& extent) {
    StreamReader reader;
    reader.Open(path, streamId, extent);
    AudioStatus status = ScanAudioHeaders(reader, streamId);
    reader.Close();
    return status;
}
