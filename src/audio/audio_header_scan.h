// Walks an MPEG audio stream from frame header to frame header (ISO/IEC 11172-3,
// 2.4.1.3). The walk begins at the first valid frame header that the next header
// confirms, so that a capture cut inside a frame is analysed from its first whole frame
// (the bytes before it count as one sync loss). The first accepted header fixes ID,
// layer and sampling frequency; a later header that differs counts as a sync loss. ID 0
// is the lower sampling frequencies of ISO/IEC 13818-3 (2.4): a stream whose first
// header has it is read with that standard's tables, and any header with it sets
// AudioBadIdBit. The bitrate may switch from frame to frame (2.4.2.3): a header with
// another bitrate index is a frame of its own length when the next header follows it
// exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_stream_info.h"
#include "input/stream_reader.h"

// Fills AudioHeaderRecord(streamId) from the payload of a reader already opened on that
// stream; the reader stays open.
AudioStatus ScanAudioHeaders(StreamReader& reader, int streamId);
// The same over a reader of its own; `extent` comes from the first pass.
AudioStatus ScanAudioHeaders(const std::string& path, int streamId, const StreamExtent& extent);

// Bytes of one frame with the header tables of `idBit`: Layer I in four-byte slots,
// Layers II and III in bytes; the padding adds one slot. 0 for a frequency of 0.
int32_t AudioFrameLength(int32_t idBit, int32_t layer, int32_t bitrateIndex, int32_t samplingIndex,
                         int32_t paddingBit);

// The header scan over a stream's payload handed over piece by piece, so that the bytes
// a decoder reads can be scanned on their way. Each step waits until enough bytes are at
// hand (or the payload has ended) to see what it would see with the whole payload at
// once, so the result does not depend on how the payload is cut into pieces.
class AudioHeaderScanner {
  public:
    // The next bytes of the payload; scans as far as they allow.
    void Feed(const uint8_t* data, size_t size);
    // The payload has ended: scans the rest and completes the record.
    void Finish();
    // Ends the scan where it stands (Cancel) and completes the record.
    void Stop();

    // Finished, stopped, or ended by itself (end of data, Cancel); further bytes are
    // ignored.
    bool Stopped() const { return step_ == Step::Done; }
    // The first frame header was found, at payload offset Record().skippedBytes.
    bool Started() const { return started_; }
    // While not started: payload bytes before this offset cannot begin the first frame.
    uint64_t SearchedBytes() const { return (base_ * 8 + bit_) / 8; }
    // Complete after Finish() or Stop().
    const AudioStreamInfo& Record() const { return info_; }

  private:
    enum class Step { FindStart, Header, Resync, NextSyncWord, SearchNextSyncWord, FrameEnd, Done };

    void Scan();
    bool Sure() const;
    void FindStart();
    bool StartConfirmed(uint32_t header) const;
    void ParseHeader();
    bool SwitchesBitrate(uint64_t headerStart, int32_t bitrateIndex, bool headerComplete);
    bool FollowedByHeader(uint64_t bitsAhead, int32_t idBit, int32_t layer,
                          int32_t samplingIndex) const;
    void ReadRestOfHeader();
    void LoseSync();
    bool SkipRestOfFrame();
    void SearchSyncWord(Step found);
    void CountFrame();
    void Conclude();

    // The bits not yet scanned. Reads past the end give 0 and use up what is left, as
    // the payload reader's do.
    uint64_t BitsLeft() const { return 8 * bytes_.size() - bit_; }
    bool AtEnd() const { return BitsLeft() == 0; }
    uint32_t PeekAt(uint64_t bitsAhead, int n) const;
    uint32_t Peek(int n) const { return PeekAt(0, n); }
    int32_t Read(int n);
    void SkipBits(uint64_t n) { bit_ += n < BitsLeft() ? n : BitsLeft(); }
    uint64_t Position() const { return base_ * 8 + bit_; }

    std::vector<uint8_t> bytes_;  // from the first byte not yet wholly scanned
    uint64_t base_ = 0;           // payload offset of bytes_[0]
    uint64_t bit_ = 0;            // bits of bytes_ scanned
    bool final_ = false;          // the payload has ended
    Step step_ = Step::FindStart;
    bool started_ = false;
    bool concluded_ = false;
    int32_t frameBitrateIndex_ = 0;  // of the frame being scanned
    bool switched_ = false;          // a bitrate switch was confirmed by the next header
    uint64_t frameBytes_ = 0;        // of the accepted frames
    AudioStreamInfo info_{};
};
