// Audio frame header scan.
#include "audio/audio_header_scan.h"

#include <algorithm>

#include "input/stream_reader.h"
#include "report/report_log.h"

namespace {

constexpr uint32_t kSyncWord = 0xFFF;

enum class Found { Yes, End };

class HeaderScan {
  public:
    HeaderScan(StreamReader& reader, AudioStreamInfo& info) : reader_(reader), info_(info) {}

    void Run() {
        if (reader_.PeekBits(12) != kSyncWord) {
            info_.status = AudioNoInitialSync;
            return;
        }
        for (;;) {
            if (ParseHeader() == Found::End) break;
            if (info_.protectionBit == 0) reader_.ReadBits(16);  // CRC, not verified
            if (!SkipRestOfFrame()) break;
            if (FindNextSyncWord() == Found::End) break;
            if (IsCancelRequested() || reader_.AtEnd()) break;
        }
    }

  private:
    // Reads headers until one is accepted; the sync word has just been peeked.
    Found ParseHeader() {
        for (;;) {
            reader_.ReadBits(12);
            if (reader_.ReadBits(1) == 0) {  // ID: only MPEG-1 is expected
                info_.status = AudioBadIdBit;
                if (CountedResync() == Found::End) return Found::End;
                continue;
            }
            if (info_.syncWords == 0) {
                info_.layer = Read(2);
                info_.protectionBit = Read(1);
                info_.bitrateIndex = Read(4);
                info_.samplingIndex = Read(2);
            } else {
                bool same = Read(2) == info_.layer;
                if (same) {
                    info_.protectionBit = Read(1);
                    same = Read(4) == info_.bitrateIndex && Read(2) == info_.samplingIndex;
                }
                if (!same) {
                    if (CountedResync() == Found::End) return Found::End;
                    continue;
                }
            }
            ReadRestOfHeader();
            ++info_.syncWords;
            return Found::Yes;
        }
    }

    void ReadRestOfHeader() {
        info_.paddingBit = Read(1);
        info_.privateBit = Read(1);
        info_.mode = Read(2);
        info_.modeExtension = Read(2);
        info_.copyrightFlag = Read(1);
        info_.originalFlag = Read(1);
        info_.emphasis = Read(2);
    }

    int32_t Read(int bits) { return static_cast<int32_t>(reader_.ReadBits(bits)); }

    // A header that could not be accepted: count it and hunt, bit by bit, for 0xFFF.
    Found CountedResync() {
        ++info_.syncLosses;
        return SearchSyncWord();
    }

    Found SearchSyncWord() {
        while (reader_.PeekBits(12) != kSyncWord) {
            if (reader_.AtEnd()) return Found::End;
            reader_.ReadBit();
        }
        return Found::Yes;
    }

    // Skips the frame's bytes after its header (and CRC); false to stop the scan.
    bool SkipRestOfFrame() {
        if (SamplingFrequencyHz(info_.samplingIndex) == 0) {
            info_.status = AudioInvalidFrequency;
            return false;
        }
        int32_t rest = AudioFrameLength(info_.layer, info_.bitrateIndex, info_.samplingIndex,
                                        info_.paddingBit) -
                       4 - (info_.protectionBit == 0 ? 2 : 0);
        // Skipped as a byte, a 16-bit and 32-bit words, so a negative rest (free format,
        // forbidden index, reserved layer) skips rest mod 4 bytes.
        reader_.SkipBytes(static_cast<size_t>((rest & 3) + 4 * std::max(rest >> 2, 0)));
        return !reader_.AtEnd();
    }

    // Not counted: stuffing or garbage between frames is not a loss of sync. A frame of
    // a known layer was skipped whole, so the next header may stand right here.
    Found FindNextSyncWord() {
        if (info_.layer != kLayerReserved && reader_.PeekBits(12) == kSyncWord) return Found::Yes;
        do {
            if (reader_.AtEnd()) return Found::End;
            reader_.ReadBit();
        } while (reader_.PeekBits(12) != kSyncWord);
        return Found::Yes;
    }

    StreamReader& reader_;
    AudioStreamInfo& info_;
};

}  // namespace

int32_t AudioFrameLength(int32_t layer, int32_t bitrateIndex, int32_t samplingIndex,
                         int32_t paddingBit) {
    int32_t frequency = SamplingFrequencyHz(samplingIndex);
    if (frequency == 0) return 0;
    int32_t bitrate = BitrateKbps(layer, bitrateIndex);
    int32_t padding = paddingBit ? 1 : 0;
    if (layer == kLayerI) return (12 * bitrate * 1000 / frequency + padding) * 4;
    if (layer == kLayerII || layer == kLayerIII) return 144 * bitrate * 1000 / frequency + padding;
    return padding;
}

AudioStatus ScanAudioHeaders(const std::string& path, int streamId, uint32_t /*payloadBytes*/) {
    AudioStreamInfo& info = AudioHeaderRecord(streamId);
    info = AudioStreamInfo{};
    StreamReader& reader = GetStreamReader();
    reader.Open(path, streamId);
    HeaderScan(reader, info).Run();
    info.bitrateKbps = BitrateKbps(info.layer, info.bitrateIndex);
    info.samplingFrequency = SamplingFrequencyHz(info.samplingIndex);
    reader.Close();
    return static_cast<AudioStatus>(info.status);
}
