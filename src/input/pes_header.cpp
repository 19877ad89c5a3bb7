// PES header reading.
#include "input/pes_header.h"

bool HasNoPesHeader(uint8_t id) {
    switch (id) {
        case kProgramStreamMapId:
        case kPaddingStreamId:
        case kPrivateStream2Id:
        case kEcmStreamId:
        case kEmmStreamId:
        case kDsmccStreamId:
        case kH2221TypeEStreamId:
        case kProgramStreamDirectoryId:
            return true;
        default:
            return false;
    }
}

namespace {

// PTS or DTS: a 4-bit prefix, the clock and a closing marker.
uint64_t ReadTimeStamp(BitstreamFile& file) {
    file.ReadBits(4);
    uint64_t stamp = ReadClock33(file);
    file.ReadBits(1);
    return stamp;
}

// Skips a flagged field of `bytes` bytes and counts it.
void SkipField(BitstreamFile& file, bool flag, int bytes, int& headerBytes) {
    if (!flag) return;
    file.SkipBytes(static_cast<uint64_t>(bytes));
    headerBytes += bytes;
}

// PES_extension (ISO/IEC 13818-1, 2.4.3.7); false when pack_header_field_flag is set.
bool ReadPesExtension(BitstreamFile& file, PesHeader& header, int& headerBytes) {
    bool privateData = file.ReadBits(1);
    header.packHeaderField = file.ReadBits(1);
    bool sequenceCounter = file.ReadBits(1);
    bool pstdBuffer = file.ReadBits(1);
    file.ReadBits(3);
    bool extension2 = file.ReadBits(1);
    headerBytes += 1;
    SkipField(file, privateData, 16, headerBytes);
    if (header.packHeaderField) return false;
    SkipField(file, sequenceCounter, 2, headerBytes);
    SkipField(file, pstdBuffer, 2, headerBytes);
    if (extension2) {
        file.ReadBits(1);
        int fieldLength = static_cast<int>(file.ReadBits(7));
        headerBytes += 1;
        SkipField(file, true, fieldLength, headerBytes);
    }
    return true;
}

}  // namespace

PesHeader ReadPesHeader(BitstreamFile& file) {
    PesHeader header;
    int headerBytes = 0;
    file.ReadBits(2);
    header.scrambling = file.ReadBits(2);
    file.ReadBits(4);
    header.ptsDtsFlags = file.ReadBits(2);
    bool escr = file.ReadBits(1);
    bool esRate = file.ReadBits(1);
    bool trickMode = file.ReadBits(1);
    bool copyInfo = file.ReadBits(1);
    bool crc = file.ReadBits(1);
    bool extension = file.ReadBits(1);
    header.headerDataLength = static_cast<int>(file.ReadBits(8));

    if (header.ptsDtsFlags == 2 || header.ptsDtsFlags == 3) {
        header.pts = ReadTimeStamp(file);
        headerBytes += 5;
    }
    if (header.ptsDtsFlags == 3) {
        header.dts = ReadTimeStamp(file);
        headerBytes += 5;
    }
    SkipField(file, escr, 6, headerBytes);
    SkipField(file, esRate, 3, headerBytes);
    SkipField(file, trickMode, 1, headerBytes);
    SkipField(file, copyInfo, 1, headerBytes);
    SkipField(file, crc, 2, headerBytes);
    if (extension && !ReadPesExtension(file, header, headerBytes)) return header;
    if (header.headerDataLength > headerBytes) {
        file.SkipBytes(static_cast<uint64_t>(header.headerDataLength - headerBytes));
    }
    return header;
}
