// The structures of an MPEG-2 program stream (ISO/IEC 13818-1, 2.5.3) read one at a time
// from a BitstreamFile: the start code that opens each, the pack header, the system
// header and the start of a PES packet, and the resynchronisation after damage. The first
// pass and the payload reader both walk the file with these functions, so both see the
// same structures; each decides what to do with them.
#pragma once

#include <cstdint>
#include <optional>

#include "input/bitstream_file.h"
#include "input/pes_header.h"
#include "input/start_code_search.h"
#include "input/system_clock.h"

// Start code values (ISO/IEC 13818-1, 2.5.3); any other value opens a PES packet whose
// stream id is the start code's last byte.
constexpr uint32_t kProgramEndCode = 0x1B9;
constexpr uint32_t kPackStartCode = 0x1BA;
constexpr uint32_t kSystemHeaderStartCode = 0x1BB;

// program_mux_rate and rate_bound count units of 50 bytes/s (2.5.3.4, 2.5.3.6).
constexpr uint32_t kMuxRateUnitBitsPerSecond = 400;

// System header entries that stand for every stream of a kind (2.5.3.6), as DVD files
// write them.
constexpr int kAllAudioStreamsId = 0xB8;
constexpr int kAllVideoStreamsId = 0xB9;

// The start code after the next 00 00 01, the bytes before it passed over; nullopt when
// the data ends before one.
std::optional<uint32_t> ReadStartCodeAfterNextPrefix(BitstreamFile& file);

// The next start code, prefix and value. When the next 32 bits are none (a damaged file,
// or a packet whose length was wrong), they and the bytes up to the next 00 00 01 are
// passed over. Inline: once per structure, and a returned optional that is not inlined
// costs more than the read.
inline std::optional<uint32_t> ReadNextStartCode(BitstreamFile& file) {
    uint32_t code = file.ReadBits(32);
    if ((code >> 8) == kStartCodePrefix) return code;
    return ReadStartCodeAfterNextPrefix(file);
}

inline uint8_t StreamIdOf(uint32_t startCode) { return static_cast<uint8_t>(startCode & 0xFF); }

// pack_header() after its start code (2.5.3.3), 10 bytes and the stuffing:
//   01AAA1AA AAAAAAAA AAAAA1AA AAAAAAAA AAAAA1BB BBBBBBB1 CCCCCCCC CCCCCCCC CCCCCC11 rrrrrDDD
// A system_clock_reference_base, B its extension, C program_mux_rate, D
// pack_stuffing_length; 1 marker bits, r reserved.
struct PackHeader {
    uint64_t scrBase = 0;         // 90 kHz
    uint32_t scrExtension = 0;    // 27 MHz, 0 to 299
    uint32_t programMuxRate = 0;  // units of 50 bytes/s
    uint32_t stuffingLength = 0;  // bytes
    double declaredEndBit = 0;    // file bit position where the stuffing ends

    uint64_t Scr27MHz() const;
};
// Pack header bytes with the start code, before the stuffing.
constexpr uint32_t kPackHeaderBytes = 14;

inline uint64_t PackHeader::Scr27MHz() const {
    return scrBase * kScrExtensionsPerBase + scrExtension;
}

// An ISO/IEC 11172-1 pack header starts with 0010 where an MPEG-2 one has 01: tells them
// apart without reading.
bool IsMpeg2PackHeaderAhead(BitstreamFile& file);
// Reads the header through its stuffing bytes.
PackHeader ReadPackHeader(BitstreamFile& file);

// system_header() after its start code (2.5.3.5), the fields before the stream entries.
struct SystemHeader {
    uint32_t headerLength = 0;  // bytes after this field; the entries are read by their
                                // leading 1 bit, not by this length
    double declaredEndBit = 0;  // file bit position where header_length says it ends
    uint32_t rateBound = 0;     // units of 50 bytes/s
    uint32_t audioBound = 0;
    uint32_t fixedFlag = 0;
    uint32_t cspsFlag = 0;
    uint32_t audioLockFlag = 0;
    uint32_t videoLockFlag = 0;
    uint32_t videoBound = 0;
    uint32_t packetRateRestrictionFlag = 0;
};
// One stream entry of the system header: the P-STD buffer bound of a stream id.
struct StreamBufferBound {
    uint8_t streamId = 0;
    uint32_t scale = 0;  // P-STD_buffer_bound_scale: 0 units of 128 bytes, 1 of 1024
    uint32_t size = 0;   // P-STD_buffer_size_bound
};

SystemHeader ReadSystemHeaderFields(BitstreamFile& file);
// The entry ahead, or nullopt when the next bit is 0: no entry follows.
std::optional<StreamBufferBound> ReadStreamBufferBound(BitstreamFile& file);

// Reads the whole header, handing each stream entry to `onEntry` in file order.
template <typename OnEntry>
SystemHeader ReadSystemHeader(BitstreamFile& file, OnEntry onEntry) {
    SystemHeader header = ReadSystemHeaderFields(file);
    while (std::optional<StreamBufferBound> entry = ReadStreamBufferBound(file)) onEntry(*entry);
    return header;
}

// The start of a PES packet after its start code (2.4.3.6): PES_packet_length and, for the
// ids that have one, the header through its stuffing. The file then stands at the payload.
struct PesPacketHeader {
    uint32_t packetLength = 0;  // bytes after PES_packet_length
    double declaredEndBit = 0;  // file bit position where PES_packet_length says it ends
    bool hasHeader = false;     // false for the ids of HasNoPesHeader: all payload
    // PES_packet_length leaves no room for the header's own bytes (a damaged packet): the
    // header is not read, the packet's bytes are passed over and it carries no payload.
    bool shorterThanHeader = false;
    PesHeader header;  // when hasHeader and not shorterThanHeader
    // What PES_packet_length leaves for the payload; zero or less when the header claims
    // the whole packet or more.
    int PayloadSize() const;
};
// PES header bytes before the optional fields: the two flag bytes and
// PES_header_data_length.
constexpr int kPesHeaderFixedBytes = 3;

// The two flag bytes and PES_header_data_length ahead do not fit in `packetLength` bytes.
inline bool IsPesHeaderLongerThan(BitstreamFile& file, uint32_t packetLength) {
    constexpr auto kFixedBytes = static_cast<uint32_t>(kPesHeaderFixedBytes);
    if (packetLength < kFixedBytes) return true;
    uint32_t headerDataLength = file.PeekBits(8 * kPesHeaderFixedBytes) & 0xFF;
    return kFixedBytes + headerDataLength > packetLength;
}

// Inline: once per packet, and the payload reader leaves out the fields it does not use.
inline PesPacketHeader ReadPesPacketHeader(BitstreamFile& file, uint8_t streamId) {
    PesPacketHeader packet;
    packet.packetLength = file.ReadBits(16);
    packet.declaredEndBit = file.BitPosition() + packet.packetLength * 8.0;
    packet.hasHeader = !HasNoPesHeader(streamId);
    if (!packet.hasHeader) return packet;
    if (IsPesHeaderLongerThan(file, packet.packetLength)) {
        packet.shorterThanHeader = true;
        file.SkipBytes(packet.packetLength);
        return packet;
    }
    packet.header = ReadPesHeader(file);
    return packet;
}

inline int PesPacketHeader::PayloadSize() const {
    if (shorterThanHeader) return 0;
    if (!hasHeader) return static_cast<int>(packetLength);
    return static_cast<int>(packetLength) - header.headerDataLength - kPesHeaderFixedBytes;
}
