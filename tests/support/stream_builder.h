// Writes program stream structures byte for byte (ISO/IEC 13818-1, 2.5.3), so a test
// can build exactly the edge case it needs.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct SystemHeaderFields {
    uint32_t rateBound = 25200;  // units of 50 bytes/s
    uint32_t audioBound = 1;
    uint32_t videoBound = 1;
    bool fixedFlag = false;
    bool audioLock = true;
    bool videoLock = true;
    struct Bound {
        uint8_t streamId;
        int scale;
        uint32_t size;
    };
    std::vector<Bound> bounds = {{0xE0, 1, 230}, {0xC0, 0, 32}};
};

struct PesFields {
    std::optional<uint64_t> pts;
    std::optional<uint64_t> dts;
    std::optional<uint64_t> escr;  // base; extension 0
    std::optional<uint32_t> esRate;
    std::optional<uint8_t> trickMode;
    std::optional<uint8_t> copyInfo;
    std::optional<uint16_t> crc;
    // PES_extension fields
    bool privateData = false;
    bool packHeaderField = false;
    bool sequenceCounter = false;
    bool pstdBuffer = false;
    std::optional<Bytes> extension2;
    int scrambling = 0;
    int stuffing = 0;                      // 0xFF bytes after the fields
    std::optional<int> headerDataLength;   // overrides the computed value
    std::optional<uint32_t> packetLength;  // overrides the computed value
    Bytes payload;
};

class StreamBuilder {
  public:
    StreamBuilder& Raw(const Bytes& bytes);
    // MPEG-2 pack header: SCR base (90 kHz) and extension, program_mux_rate.
    StreamBuilder& Pack(uint64_t scrBase, uint32_t muxRate = 25200, int stuffing = 0,
                        uint32_t scrExtension = 0);
    StreamBuilder& Mpeg1Pack(uint64_t scr, uint32_t muxRate = 25200);
    StreamBuilder& SystemHeader(const SystemHeaderFields& fields = {});
    // A PES packet with the optional header fields (all ids but those without them).
    StreamBuilder& Pes(uint8_t streamId, const PesFields& fields);
    // A PES packet of an id without header fields (padding, private stream 2, ...).
    StreamBuilder& PlainPes(uint8_t streamId, const Bytes& payload);
    StreamBuilder& EndCode();
    // Pads with a padding packet so the current pack spans `packSize` bytes from
    // `packStart`.
    StreamBuilder& PadPackTo(size_t packStart, size_t packSize);

    size_t Size() const { return bytes_.size(); }
    const Bytes& Build() const { return bytes_; }

  private:
    Bytes bytes_;
};

// A small valid stream: `packs` packs of 2048 bytes, each with one video packet (1200
// bytes of 25 fps MPEG-2 video: three closed GOPs of one I picture), one audio packet (two
// 192-byte MPEG-1 Layer II frames, PTS later than the SCR) and padding, a system header in
// the first; the sequence and program end codes when asked.
Bytes MakeSimpleStream(int packs, bool endCode = true);
