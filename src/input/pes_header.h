// PES packet headers of ISO/IEC 13818-1 (2.4.3.6, 2.4.3.7) and the stream ids; the
// program stream walker reads them for the first pass and the payload reader alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/bitstream_file.h"

// Stream ids (ISO/IEC 13818-1, table 2-18).
constexpr uint8_t kProgramStreamMapId = 0xBC;
constexpr uint8_t kPrivateStream1Id = 0xBD;
constexpr uint8_t kPaddingStreamId = 0xBE;
constexpr uint8_t kPrivateStream2Id = 0xBF;
constexpr uint8_t kFirstAudioStreamId = 0xC0;
constexpr uint8_t kLastAudioStreamId = 0xDF;
constexpr uint8_t kFirstVideoStreamId = 0xE0;
constexpr uint8_t kLastVideoStreamId = 0xEF;
constexpr uint8_t kEcmStreamId = 0xF0;
constexpr uint8_t kEmmStreamId = 0xF1;
constexpr uint8_t kDsmccStreamId = 0xF2;
constexpr uint8_t kH2221TypeEStreamId = 0xF8;
constexpr uint8_t kProgramStreamDirectoryId = 0xFF;

// How many ids each range holds: one record a stream id.
constexpr size_t kAudioStreamIdCount = kLastAudioStreamId - kFirstAudioStreamId + 1;
constexpr size_t kVideoStreamIdCount = kLastVideoStreamId - kFirstVideoStreamId + 1;
// stream_id is one byte: a table of every id has this many entries.
constexpr size_t kStreamIdCount = 256;

// Ids whose PES packets carry no header fields after PES_packet_length.
bool HasNoPesHeader(uint8_t id);

// A 33-bit clock value as SCR, PTS and DTS carry it: bits 32..30, marker, bits 29..15,
// marker, bits 14..0, formed exactly. `bits` is the file, or a header's bytes already in
// memory: anything with ReadBits(n).
template <typename Bits>
uint64_t ReadClock33(Bits& bits) {
    uint64_t value = static_cast<uint64_t>(bits.ReadBits(3)) << 30;
    bits.ReadBits(1);
    value |= static_cast<uint64_t>(bits.ReadBits(15)) << 15;
    bits.ReadBits(1);
    return value | bits.ReadBits(15);
}

struct PesHeader {
    uint32_t scrambling = 0;   // PES_scrambling_control
    uint32_t ptsDtsFlags = 0;  // 2: PTS, 3: PTS and DTS
    uint64_t pts = 0;
    uint64_t dts = 0;
    int headerDataLength = 0;  // PES_header_data_length
    bool packHeaderField = false;
};

// Reads the header from the byte after PES_packet_length through its stuffing. The
// flagged fields are read by their flags; stuffing is what PES_header_data_length leaves
// beyond them. A set pack_header_field_flag stops the reading there: a program stream
// may not carry it.
PesHeader ReadPesHeader(BitstreamFile& file);
