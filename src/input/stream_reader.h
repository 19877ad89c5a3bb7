// The PES payload of one elementary stream as one continuous bit stream. The payloads
// come from a PayloadSource: in a run, the first pass hands them over as it reads the
// file (payload_queue.h); a tool that looks at one stream walks the file itself
// (FilePayloadSource).
//
// Reads past the stream's data return 0; AtEnd() tells them from data. PeekBits keeps
// the bits it looked at in a look-ahead, from which the next reads are served.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "input/bitstream_file.h"

// What the first pass tells a stream's pass: where the first pack starts, how many PES
// packets of any id to walk (a first pass cut by the time limit cuts every stream alike),
// the longest PES packet, and the stream's own payload bytes.
struct StreamExtent {
    uint64_t firstPackOffset = 0;
    uint32_t pesPacketCount = 0;
    uint32_t maxPesPacketLength = 0;
    uint64_t payloadBytes = 0;
};

// Where a stream's payloads come from, one PES payload at a time.
class PayloadSource {
  public:
    virtual ~PayloadSource() = default;
    // The next non-empty payload of the stream, valid until the next call; empty at the
    // end. Sets packetMet when a PES packet of any stream was met on the way.
    virtual std::span<const uint8_t> NextPayload(bool& packetMet) = 0;
};

// The payloads of one stream walked from the file with the program stream walker, as the
// first pass walks it: packs, system headers and the packets of other ids are passed
// over, and the walk stops after as many PES packets as the first pass counted, so that
// a first pass cut by the time limit limits every stream alike.
class FilePayloadSource : public PayloadSource {
  public:
    // False when the file cannot be opened or the payload buffer not had.
    bool Open(const std::string& path, int streamId, const StreamExtent& extent);
    std::span<const uint8_t> NextPayload(bool& packetMet) override;

  private:
    BitstreamFile file_;
    std::vector<uint8_t> payload_;
    uint32_t packetBudget_ = 0;
    int streamId_ = -1;
};

class StreamReader {
  public:
    // Loads the first payload of the stream; false when there is none. The source must
    // outlive the reading.
    bool Open(PayloadSource& source);
    // The same over a FilePayloadSource of the reader's own.
    bool Open(const std::string& path, int streamId, const StreamExtent& extent);
    void Close();

    int ReadBit();
    uint32_t ReadBits(int n);  // n from 1 to 32
    uint32_t PeekBits(int n);  // n from 1 to 32; 0 when the data ends first
    // Moves to the next byte boundary, then consumes until the last n bits read equal
    // the pattern; false when the data ends first.
    bool FindPattern(uint32_t pattern, int n);
    // Up to `count` whole bytes, as that many ReadBits(8) calls each made while AtEnd()
    // is false; returns how many there were.
    size_t ReadBytes(uint8_t* into, size_t count) { return TakeBytes(into, count); }
    // The same, passing the bytes over.
    size_t SkipBytes(size_t count) { return TakeBytes(nullptr, count); }

    // No data remains: the payloads are used up and so is the look-ahead.
    bool AtEnd() const { return exhausted_ && lookaheadCount_ == 0; }
    // Set whenever loading met a PES packet start code; cleared only by the caller.
    bool IsNewPacket() const { return newPacket_; }
    void ClearNewPacket() { newPacket_ = false; }
    // Payload bytes taken from the buffer since Open (a byte counts once all its bits
    // went to the caller or into the look-ahead).
    uint32_t BytesRead() const { return bytesRead_; }

  private:
    bool Start(PayloadSource& source);
    bool FetchPayload();
    int TakeBufferBit();
    uint32_t TakeBufferByte();
    void AdvanceBuffer(size_t count);
    void AfterBufferByte();
    uint32_t TakeBits(int n);
    size_t TakeBytes(uint8_t* into, size_t count);  // into may be null
    bool FindStartCodePrefix();

    PayloadSource* source_ = nullptr;
    std::unique_ptr<FilePayloadSource> fileSource_;  // for Open(path, ...)
    const uint8_t* payload_ = nullptr;
    size_t payloadSize_ = 0;
    size_t position_ = 0;
    int bitOffset_ = 0;       // bits of payload_[position_] already taken
    uint64_t lookahead_ = 0;  // right-aligned, next bit most significant
    int lookaheadCount_ = 0;
    bool exhausted_ = true;
    bool newPacket_ = false;
    uint32_t bytesRead_ = 0;
};
