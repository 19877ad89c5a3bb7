// Program stream structures, read one at a time.
#include "input/program_stream_walker.h"

#include "input/start_code_search.h"

namespace {

// The '01' that opens an MPEG-2 pack header after its start code.
constexpr uint32_t kMpeg2PackMarker = 0b01;
// PES header bytes before the optional fields: the two flag bytes and
// PES_header_data_length (ISO/IEC 13818-1, 2.4.3.6).
constexpr int kPesHeaderFixedBytes = 3;

}  // namespace

std::optional<uint32_t> ReadNextStartCode(BitstreamFile& file) {
    uint32_t code = file.ReadBits(32);
    if ((code >> 8) == kStartCodePrefix) return code;
    if (!file.FindPattern(kStartCodePrefix, kStartCodePrefixBits)) return std::nullopt;
    return (kStartCodePrefix << 8) | file.ReadBits(8);
}

bool IsMpeg2PackHeaderAhead(BitstreamFile& file) { return file.PeekBits(2) == kMpeg2PackMarker; }

PackHeader ReadPackHeader(BitstreamFile& file) {
    double start = file.BitPosition() - 32;  // the start code has been read
    PackHeader pack;
    file.ReadBits(2);
    pack.scrBase = ReadClock33(file);
    file.ReadBits(1);
    pack.scrExtension = file.ReadBits(9);
    file.ReadBits(1);
    pack.programMuxRate = file.ReadBits(22);
    file.ReadBits(7);
    pack.stuffingLength = file.ReadBits(3);
    pack.declaredEndBit = start + (kPackHeaderBytes + pack.stuffingLength) * 8.0;
    file.SkipBytes(pack.stuffingLength);
    return pack;
}

SystemHeader ReadSystemHeaderFields(BitstreamFile& file) {
    SystemHeader header;
    double lengthStart = file.BitPosition();
    header.headerLength = file.ReadBits(16);
    header.declaredEndBit = lengthStart + 16 + header.headerLength * 8.0;
    file.ReadBits(1);
    header.rateBound = file.ReadBits(22);
    file.ReadBits(1);
    header.audioBound = file.ReadBits(6);
    header.fixedFlag = file.ReadBits(1);
    header.cspsFlag = file.ReadBits(1);
    header.audioLockFlag = file.ReadBits(1);
    header.videoLockFlag = file.ReadBits(1);
    file.ReadBits(1);
    header.videoBound = file.ReadBits(5);
    header.packetRateRestrictionFlag = file.ReadBits(1);
    file.ReadBits(7);
    return header;
}

std::optional<StreamBufferBound> ReadStreamBufferBound(BitstreamFile& file) {
    if (file.PeekBits(1) != 1) return std::nullopt;
    StreamBufferBound bound;
    bound.streamId = static_cast<uint8_t>(file.ReadBits(8));
    file.ReadBits(2);
    bound.scale = file.ReadBits(1);
    bound.size = file.ReadBits(13);
    return bound;
}

PesPacketHeader ReadPesPacketHeader(BitstreamFile& file, uint8_t streamId) {
    PesPacketHeader packet;
    packet.packetLength = file.ReadBits(16);
    packet.declaredEndBit = file.BitPosition() + packet.packetLength * 8.0;
    packet.hasHeader = !HasNoPesHeader(streamId);
    if (packet.hasHeader) packet.header = ReadPesHeader(file);
    return packet;
}

int PesPacketHeader::PayloadSize() const {
    if (!hasHeader) return static_cast<int>(packetLength);
    return static_cast<int>(packetLength) - header.headerDataLength - kPesHeaderFixedBytes;
}
