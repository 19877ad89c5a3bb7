// The PES payload of one elementary stream as one continuous bit stream. Re-reads the
// file through the BitstreamFile with the program stream walker, as the first pass did,
// skipping packs, system headers and the packets of other ids, and stops after as many
// PES packets as the first pass counted, so that a first pass cut by the time limit
// limits every elementary stream analysis alike.
//
// Reads past the stream's data return 0; AtEnd() tells them from data. PeekBits keeps
// the bits it looked at in a look-ahead, from which the next reads are served.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class BitstreamFile;

// What the first pass tells a stream's pass: where the first pack starts, how many PES
// packets of any id to walk (a first pass cut by the time limit cuts every stream alike),
// the longest PES packet, and the stream's own payload bytes.
struct StreamExtent {
    uint64_t firstPackOffset = 0;
    uint32_t pesPacketCount = 0;
    uint32_t maxPesPacketLength = 0;
    uint64_t payloadBytes = 0;
};

class StreamReader {
  public:
    // Opens the file and loads the first payload of the stream; false when there is none.
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
    bool FetchPayload();
    bool LoadNextPayload();
    int TakeBufferBit();
    uint32_t TakeBufferByte();
    void AdvanceBuffer(size_t count);
    void AfterBufferByte();
    uint32_t TakeBits(int n);
    size_t TakeBytes(uint8_t* into, size_t count);  // into may be null
    bool FindStartCodePrefix();

    BitstreamFile* file_ = nullptr;
    std::vector<uint8_t> payload_;
    size_t payloadSize_ = 0;
    size_t position_ = 0;
    int bitOffset_ = 0;       // bits of payload_[position_] already taken
    uint64_t lookahead_ = 0;  // right-aligned, next bit most significant
    int lookaheadCount_ = 0;
    uint32_t packetBudget_ = 0;
    int streamId_ = -1;
    bool exhausted_ = true;
    bool newPacket_ = false;
    uint32_t bytesRead_ = 0;
};

// The one payload reader of the process.
StreamReader& GetStreamReader();
