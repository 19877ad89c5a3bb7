// Program stream structures, read one at a time.
#include "input/program_stream_walker.h"

namespace {

// The '01' that opens an MPEG-2 pack header after its start code.
constexpr uint32_t kMpeg2PackMarker = 0b01;
// The pack header after its start code, in two parts that end on field boundaries: the
// '01' and the SCR with their markers, then program_mux_rate to pack_stuffing_length.
constexpr int kPackClockBytes = 6;
constexpr int kPackRateBytes = 4;
static_assert(kStartCodeBytes + kPackClockBytes + kPackRateBytes == kPackHeaderBytes);

// Up to 8 bytes of a header already in memory, handed out field by field as ReadBits
// would hand them out of the file.
class BufferedFields {
  public:
    BufferedFields(const uint8_t* bytes, int count) : left_(8 * count) {
        for (int i = 0; i < count; ++i) bits_ = (bits_ << 8) | bytes[i];
    }
    uint32_t ReadBits(int n) {
        left_ -= n;
        return static_cast<uint32_t>((bits_ >> left_) & ((uint64_t{1} << n) - 1));
    }

  private:
    uint64_t bits_ = 0;
    int left_;
};

// The next `count` bytes lie in the file's block short of its last byte: read from
// memory they give what ReadBits gives, and no refill, end or progress report falls
// among them.
bool IsBuffered(const BitstreamFile& file, size_t count) {
    return file.IsByteAligned() && file.BufferedByteCount() > count;
}

template <typename Bits>
void ReadPackClock(Bits& bits, PackHeader& pack) {
    bits.ReadBits(2);
    pack.scrBase = ReadClock33(bits);
    bits.ReadBits(1);
    pack.scrExtension = bits.ReadBits(9);
    bits.ReadBits(1);
}

template <typename Bits>
void ReadPackRate(Bits& bits, PackHeader& pack) {
    pack.programMuxRate = bits.ReadBits(22);
    bits.ReadBits(7);
    pack.stuffingLength = bits.ReadBits(3);
}

}  // namespace

std::optional<uint32_t> ReadStartCodeAfterNextPrefix(BitstreamFile& file) {
    if (!file.FindPattern(kStartCodePrefix, kStartCodePrefixBits)) return std::nullopt;
    return (kStartCodePrefix << 8) | file.ReadBits(8);
}

bool IsMpeg2PackHeaderAhead(BitstreamFile& file) { return file.PeekBits(2) == kMpeg2PackMarker; }

// One pack per 2 KiB or so: most headers are read from memory, which costs far less than
// a file read per field.
PackHeader ReadPackHeader(BitstreamFile& file) {
    double start = file.BitPosition() - kStartCodeBytes * 8.0;  // the start code has been read
    PackHeader pack;
    if (IsBuffered(file, kPackClockBytes + kPackRateBytes)) {
        const uint8_t* bytes = file.BufferedBytes();
        BufferedFields clock(bytes, kPackClockBytes);
        ReadPackClock(clock, pack);
        BufferedFields rate(bytes + kPackClockBytes, kPackRateBytes);
        ReadPackRate(rate, pack);
        file.SkipBytes(kPackClockBytes + kPackRateBytes);
    } else {
        ReadPackClock(file, pack);
        ReadPackRate(file, pack);
    }
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
