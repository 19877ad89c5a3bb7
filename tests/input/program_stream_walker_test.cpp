// Program stream walker: each structure's fields, the resynchronisation after damage,
// and cuts at every byte. The walk is written as one line per structure, so that a case
// shows what the first pass and the payload reader both see.
#include "input/program_stream_walker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "support/test_files.h"

namespace {

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

std::string Bytes8(double bits) { return std::to_string(static_cast<uint64_t>(bits / 8)); }

std::string Describe(const PackHeader& p) {
    return "pack scr " + std::to_string(p.scrBase) + "+" + std::to_string(p.scrExtension) +
           " mux " + std::to_string(p.programMuxRate) + " stuffing " +
           std::to_string(p.stuffingLength) + " ends " + Bytes8(p.declaredEndBit);
}

std::string Describe(const SystemHeader& h, const std::string& entries) {
    return "system rate " + std::to_string(h.rateBound) + " audio " + std::to_string(h.audioBound) +
           " video " + std::to_string(h.videoBound) + " fixed " + std::to_string(h.fixedFlag) +
           " locks " + std::to_string(h.audioLockFlag) + std::to_string(h.videoLockFlag) + entries +
           " ends " + Bytes8(h.declaredEndBit);
}

std::string Describe(uint8_t id, const PesPacketHeader& p) {
    std::string text = "pes " + Hex(id) + " length " + std::to_string(p.packetLength);
    if (!p.hasHeader) {
        text += " no header";
    } else if (p.shorterThanHeader) {
        text += " shorter than its header";
    } else {
        const PesHeader& h = p.header;
        if (h.ptsDtsFlags & 2) text += " pts " + std::to_string(h.pts);
        if (h.ptsDtsFlags == 3) text += " dts " + std::to_string(h.dts);
        if (h.scrambling) text += " scrambled " + std::to_string(h.scrambling);
        text += " data " + std::to_string(h.headerDataLength);
    }
    return text + " payload " + std::to_string(p.PayloadSize()) + " ends " +
           Bytes8(p.declaredEndBit);
}

// Walks the whole file as a pass does: each structure read by its start code, a PES
// payload passed over.
std::vector<std::string> Walk(BitstreamFile& file) {
    std::vector<std::string> lines;
    while (!file.AtEnd()) {
        std::optional<uint32_t> code = ReadNextStartCode(file);
        if (!code) {
            lines.push_back("sync lost");
            break;
        }
        if (*code == kProgramEndCode) {
            lines.push_back("end");
            break;
        }
        if (*code == kPackStartCode) {
            lines.push_back(Describe(ReadPackHeader(file)));
        } else if (*code == kSystemHeaderStartCode) {
            std::string entries;
            SystemHeader header = ReadSystemHeader(file, [&](const StreamBufferBound& b) {
                entries += " " + Hex(b.streamId) + ":" + std::to_string(b.scale) + ":" +
                           std::to_string(b.size);
            });
            lines.push_back(Describe(header, entries));
        } else {
            PesPacketHeader packet = ReadPesPacketHeader(file, StreamIdOf(*code));
            lines.push_back(Describe(StreamIdOf(*code), packet));
            if (packet.PayloadSize() > 0) file.SkipBytes(packet.PayloadSize());
        }
    }
    return lines;
}

class WalkerTest : public ::testing::Test {
  protected:
    BitstreamFile& Open(const Bytes& bytes) {
        file_.Open(dir_.Write("f.mpg", bytes));
        return file_;
    }
    std::vector<std::string> WalkOf(const Bytes& bytes) { return Walk(Open(bytes)); }
    TempDir dir_;
    BoundSink bound_;
    BitstreamFile file_;
};

PesFields Payload(size_t size) {
    PesFields f;
    f.payload = Bytes(size, 0xAA);
    return f;
}

struct WalkCase {
    const char* what;
    std::function<Bytes()> bytes;
    std::vector<std::string> lines;
};

class WalkTable : public WalkerTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(WalkTable, ReadsEachStructure) {
    EXPECT_EQ(GetParam().lines, WalkOf(GetParam().bytes())) << GetParam().what;
}

const WalkCase kWalkCases[] = {
    {"pack header fields at their widest, stuffing passed over",
     [] {
         StreamBuilder b;
         return b.Pack((1ull << 33) - 1, (1u << 22) - 1, 7, 299).EndCode().Build();
     },
     {"pack scr 8589934591+299 mux 4194303 stuffing 7 ends 21", "end"}},
    {"system header fields and every entry in file order, the entries for all streams of "
     "a kind among them",
     [] {
         SystemHeaderFields fields;
         fields.rateBound = 3;
         fields.audioBound = 32;
         fields.videoBound = 16;
         fields.fixedFlag = true;
         fields.audioLock = false;
         fields.bounds = {{0xB9, 1, 8191}, {0xE0, 1, 230}, {0xB8, 0, 32}, {0xE0, 0, 7}};
         return StreamBuilder().Pack(0).SystemHeader(fields).EndCode().Build();
     },
     {"pack scr 0+0 mux 25200 stuffing 0 ends 14",
      "system rate 3 audio 32 video 16 fixed 1 locks 01 B9:1:8191 E0:1:230 B8:0:32 E0:0:7 "
      "ends 38",
      "end"}},
    {"PES headers with a PTS, with both stamps, scrambled, and with stuffing",
     [] {
         PesFields pts = Payload(10);
         pts.pts = (1ull << 33) - 1;
         PesFields both = Payload(3);
         both.pts = 9000;
         both.dts = 5400;
         both.scrambling = 2;
         both.stuffing = 4;
         return StreamBuilder().Pes(0xE0, pts).Pes(0xC5, both).Build();
     },
     {"pes E0 length 18 pts 8589934591 data 5 payload 10 ends 24",
      "pes C5 length 20 pts 9000 dts 5400 scrambled 2 data 14 payload 3 ends 50"}},
    {"ids without header fields are all payload",
     [] {
         StreamBuilder b;
         for (uint8_t id :
              {kProgramStreamMapId, kPaddingStreamId, kPrivateStream2Id, kEcmStreamId, kEmmStreamId,
               kDsmccStreamId, kH2221TypeEStreamId, kProgramStreamDirectoryId}) {
             b.PlainPes(id, Bytes(2, 0x80));
         }
         return b.Build();
     },
     {"pes BC length 2 no header payload 2 ends 8", "pes BE length 2 no header payload 2 ends 16",
      "pes BF length 2 no header payload 2 ends 24", "pes F0 length 2 no header payload 2 ends 32",
      "pes F1 length 2 no header payload 2 ends 40", "pes F2 length 2 no header payload 2 ends 48",
      "pes F8 length 2 no header payload 2 ends 56",
      "pes FF length 2 no header payload 2 ends 64"}},
    {"private stream 1 has header fields",
     [] { return StreamBuilder().Pes(kPrivateStream1Id, Payload(1)).Build(); },
     {"pes BD length 4 data 0 payload 1 ends 10"}},
    {"a header longer than its packet is not read: the packet's length is passed over",
     [] {
         PesFields f;
         f.headerDataLength = 20;
         f.packetLength = 10;
         f.payload = Bytes(20, 0xFF);
         return StreamBuilder().Pes(0xE0, f).EndCode().Build();
     },
     {"pes E0 length 10 shorter than its header payload 0 ends 16", "end"}},
    {"packets too short for the header's first three bytes take no byte of the next one",
     [] {
         return StreamBuilder()
             .Raw({0x00, 0x00, 0x01, 0xE0, 0x00, 0x00})
             .Raw({0x00, 0x00, 0x01, 0xE0, 0x00, 0x02, 0x80, 0x00})
             .Raw({0x00, 0x00, 0x01, 0xC0, 0x00, 0x03, 0x80, 0x00, 0x00})
             .EndCode()
             .Build();
     },
     {"pes E0 length 0 shorter than its header payload 0 ends 6",
      "pes E0 length 2 shorter than its header payload 0 ends 14",
      "pes C0 length 3 data 0 payload 0 ends 23", "end"}},
    {"bytes that are no start code are passed over up to the next prefix",
     [] {
         StreamBuilder b;
         b.Raw({0x12, 0x34, 0x56, 0x78, 0x00, 0x00, 0x00}).EndCode();
         return b.Build();
     },
     {"end"}},
    // The bytes read as a start code are never searched again: a prefix that begins inside
    // them is passed over. Both passes have always done so, and reports depend on it.
    {"a prefix inside the 32 bits read as a start code is passed over",
     [] {
         StreamBuilder b;
         b.Raw({0xAA}).PlainPes(kPaddingStreamId, Bytes(1, 0)).PlainPes(kPaddingStreamId, {});
         return b.Build();
     },
     {"pes BE length 0 no header payload 0 ends 14"}},
    {"no prefix before the end",
     [] {
         return StreamBuilder().Pes(0xE0, Payload(2)).Raw({0x00, 0x00, 0x02}).Build();
     },
     {"pes E0 length 5 data 0 payload 2 ends 11", "sync lost"}},
    {"a prefix that ends the file opens a packet of id 00 with nothing in it",
     [] {
         return StreamBuilder().Raw({0x55, 0x66, 0x77, 0x88, 0x00, 0x00, 0x01}).Build();
     },
     {"pes 00 length 0 shorter than its header payload 0 ends 7"}},
};

INSTANTIATE_TEST_SUITE_P(Structures, WalkTable, ::testing::ValuesIn(kWalkCases), CaseNumber());

TEST_F(WalkerTest, TellsAnMpeg2PackFromAnMpeg1OneWithoutReading) {
    BitstreamFile& mpeg2 = Open(StreamBuilder().Pack(3600).Build());
    mpeg2.ReadBits(32);
    EXPECT_TRUE(IsMpeg2PackHeaderAhead(mpeg2));
    EXPECT_EQ(32.0, mpeg2.BitPosition());

    BitstreamFile& mpeg1 = Open(StreamBuilder().Mpeg1Pack(3600).Build());
    mpeg1.ReadBits(32);
    EXPECT_FALSE(IsMpeg2PackHeaderAhead(mpeg1));
    EXPECT_EQ(32.0, mpeg1.BitPosition());
}

// Inside the file's block a pack header is read from memory, across the block's end field
// by field from the file: both give the same header.
TEST_F(WalkerTest, APackHeaderAcrossTheBlockEndReadsAsOneInsideIt) {
    constexpr size_t kBlock = BitstreamFile::kBlockSize;
    const Bytes pack = StreamBuilder().Pack(0x123456789, 0x2AAAAA, 3, 299).EndCode().Build();
    for (size_t at = kBlock - 20; at <= kBlock; ++at) {
        Bytes bytes(at, 0xFF);
        bytes.insert(bytes.end(), pack.begin(), pack.end());
        BitstreamFile& file = Open(bytes);
        file.SkipBytes(at);
        ASSERT_EQ(kPackStartCode, ReadNextStartCode(file)) << at;
        PackHeader header = ReadPackHeader(file);
        EXPECT_EQ(0x123456789u, header.scrBase) << at;
        EXPECT_EQ(299u, header.scrExtension) << at;
        EXPECT_EQ(0x2AAAAAu, header.programMuxRate) << at;  // 10 1010 1010 ... 1010
        EXPECT_EQ(3u, header.stuffingLength) << at;
        EXPECT_EQ((at + kPackHeaderBytes + 3) * 8.0, header.declaredEndBit) << at;
        EXPECT_EQ(kProgramEndCode, ReadNextStartCode(file)) << at;
        EXPECT_TRUE(file.AtEnd()) << at;
    }
}

TEST_F(WalkerTest, ScrCountsTheBaseInExtensionPeriods) {
    PackHeader pack;
    pack.scrBase = (1ull << 33) - 1;
    pack.scrExtension = 299;
    EXPECT_EQ(((1ull << 33) - 1) * 300 + 299, pack.Scr27MHz());
}

// Where the last structure read says it ends, in bytes.
uint64_t EndOf(const std::string& line) { return std::stoull(line.substr(line.rfind(' ') + 1)); }

// Every kind of structure, cut at every byte: the structures before the cut read as in
// the whole file, and the walk stops at the end of the data, either in a structure that
// declares an end at or past the cut or in a start code it cannot complete.
TEST_F(WalkerTest, EveryCutReadsTheStructuresBeforeItUnchanged) {
    StreamBuilder b;
    b.Pack(3600, 25200, 2).SystemHeader();
    PesFields f = Payload(30);
    f.pts = 9000;
    f.dts = 8000;
    f.escr = 77;
    f.privateData = true;
    f.extension2 = Bytes{0x00, 0x01};
    b.Pes(0xE0, f).PlainPes(kPaddingStreamId, Bytes(20, 0xFF)).Pack(7200).Pes(0xC0, Payload(12));
    const Bytes whole = b.EndCode().Build();
    const std::vector<std::string> all = WalkOf(whole);
    ASSERT_EQ(7u, all.size());
    for (size_t cut = 1; cut < whole.size(); ++cut) {
        std::vector<std::string> lines =
            WalkOf(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
        ASSERT_FALSE(lines.empty()) << "cut at " << cut;
        ASSERT_LE(lines.size(), all.size()) << "cut at " << cut;
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            EXPECT_EQ(all[i], lines[i]) << "cut at " << cut;
        }
        EXPECT_TRUE(lines.back() == "sync lost" || EndOf(lines.back()) >= cut)
            << "cut at " << cut << ": " << lines.back();
        EXPECT_TRUE(file_.AtEnd()) << "cut at " << cut;
    }
}

}  // namespace
