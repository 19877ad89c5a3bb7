// Program stream builder for tests.
#include "support/stream_builder.h"

#include "support/audio_builder.h"
#include "support/bit_writer.h"
#include "support/video_builder.h"

namespace {

void PutStartCode(Bytes& out, uint8_t code) { out.insert(out.end(), {0x00, 0x00, 0x01, code}); }

// A 33-bit clock value with its three markers, as SCR, ESCR, PTS and DTS carry it.
void PutClock33(BitWriter& w, uint64_t value) {
    w.Put(value >> 30, 3);
    w.Put(1, 1);
    w.Put(value >> 15, 15);
    w.Put(1, 1);
    w.Put(value, 15);
    w.Put(1, 1);
}

// PTS or DTS in its 5 bytes (ISO/IEC 13818-1, 2.4.3.7).
void PutTimeStamp(BitWriter& w, int prefix, uint64_t stamp) {
    w.Put(prefix, 4);
    PutClock33(w, stamp);
}

}  // namespace

StreamBuilder& StreamBuilder::Raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

StreamBuilder& StreamBuilder::Pack(uint64_t scrBase, uint32_t muxRate, int stuffing,
                                   uint32_t scrExtension) {
    PutStartCode(bytes_, 0xBA);
    BitWriter w(bytes_);
    w.Put(0b01, 2);
    PutClock33(w, scrBase);
    w.Put(scrExtension, 9);
    w.Put(1, 1);
    w.Put(muxRate, 22);
    w.Put(0b11, 2);
    w.Put(0b11111, 5);
    w.Put(stuffing, 3);
    bytes_.insert(bytes_.end(), stuffing, 0xFF);
    return *this;
}

StreamBuilder& StreamBuilder::Mpeg1Pack(uint64_t scr, uint32_t muxRate) {
    PutStartCode(bytes_, 0xBA);
    BitWriter w(bytes_);
    w.Put(0b0010, 4);
    PutClock33(w, scr);
    w.Put(1, 1);
    w.Put(muxRate, 22);
    w.Put(1, 1);
    return *this;
}

StreamBuilder& StreamBuilder::SystemHeader(const SystemHeaderFields& f) {
    PutStartCode(bytes_, 0xBB);
    BitWriter w(bytes_);
    w.Put(6 + 3 * f.bounds.size(), 16);
    w.Put(1, 1);
    w.Put(f.rateBound, 22);
    w.Put(1, 1);
    w.Put(f.audioBound, 6);
    w.Put(f.fixedFlag, 1);
    w.Put(0, 1);
    w.Put(f.audioLock, 1);
    w.Put(f.videoLock, 1);
    w.Put(1, 1);
    w.Put(f.videoBound, 5);
    w.Put(0, 1);
    w.Put(0x7F, 7);
    for (const auto& bound : f.bounds) {
        w.Put(bound.streamId, 8);
        w.Put(0b11, 2);
        w.Put(bound.scale, 1);
        w.Put(bound.size, 13);
    }
    return *this;
}

StreamBuilder& StreamBuilder::Pes(uint8_t streamId, const PesFields& f) {
    Bytes header;
    BitWriter w(header);
    bool extension = f.privateData || f.packHeaderField || f.sequenceCounter || f.pstdBuffer ||
                     f.extension2.has_value();
    int ptsDtsFlags = f.pts ? (f.dts ? 3 : 2) : 0;
    w.Put(0b10, 2);
    w.Put(f.scrambling, 2);
    w.Put(0, 4);
    w.Put(ptsDtsFlags, 2);
    w.Put(f.escr.has_value(), 1);
    w.Put(f.esRate.has_value(), 1);
    w.Put(f.trickMode.has_value(), 1);
    w.Put(f.copyInfo.has_value(), 1);
    w.Put(f.crc.has_value(), 1);
    w.Put(extension, 1);
    Bytes fields;
    BitWriter fw(fields);
    if (f.pts) PutTimeStamp(fw, ptsDtsFlags == 3 ? 0b0011 : 0b0010, *f.pts);
    if (f.dts) PutTimeStamp(fw, 0b0001, *f.dts);
    if (f.escr) {
        fw.Put(0b11, 2);
        PutClock33(fw, *f.escr);
        fw.Put(0, 9);
        fw.Put(1, 1);
    }
    if (f.esRate) {
        fw.Put(1, 1);
        fw.Put(*f.esRate, 22);
        fw.Put(1, 1);
    }
    if (f.trickMode) fw.Put(*f.trickMode, 8);
    if (f.copyInfo) fw.Put(0x80 | *f.copyInfo, 8);
    if (f.crc) fw.Put(*f.crc, 16);
    if (extension) {
        fw.Put(f.privateData, 1);
        fw.Put(f.packHeaderField, 1);
        fw.Put(f.sequenceCounter, 1);
        fw.Put(f.pstdBuffer, 1);
        fw.Put(0b111, 3);
        fw.Put(f.extension2.has_value(), 1);
        if (f.privateData) {
            for (int i = 0; i < 16; ++i) fw.Put(0xA0 + i, 8);
        }
        if (f.sequenceCounter) fw.Put(0x8181, 16);
        if (f.pstdBuffer) fw.Put(0x6000 | 230, 16);
        if (f.extension2) {
            fw.Put(1, 1);
            fw.Put(f.extension2->size(), 7);
            for (uint8_t b : *f.extension2) fw.Put(b, 8);
        }
    }
    fields.insert(fields.end(), f.stuffing, 0xFF);
    int headerDataLength = f.headerDataLength.value_or(static_cast<int>(fields.size()));
    w.Put(headerDataLength, 8);
    uint32_t length =
        f.packetLength.value_or(static_cast<uint32_t>(3 + fields.size() + f.payload.size()));

    PutStartCode(bytes_, streamId);
    bytes_.push_back(static_cast<uint8_t>(length >> 8));
    bytes_.push_back(static_cast<uint8_t>(length));
    Raw(header).Raw(fields).Raw(f.payload);
    return *this;
}

StreamBuilder& StreamBuilder::PlainPes(uint8_t streamId, const Bytes& payload) {
    PutStartCode(bytes_, streamId);
    bytes_.push_back(static_cast<uint8_t>(payload.size() >> 8));
    bytes_.push_back(static_cast<uint8_t>(payload.size()));
    return Raw(payload);
}

StreamBuilder& StreamBuilder::EndCode() {
    PutStartCode(bytes_, 0xB9);
    return *this;
}

StreamBuilder& StreamBuilder::PadPackTo(size_t packStart, size_t packSize) {
    size_t used = bytes_.size() - packStart;
    constexpr size_t kPaddingHeader = 6;
    if (used + kPaddingHeader <= packSize) {
        PlainPes(0xBE, Bytes(packSize - used - kPaddingHeader, 0xFF));
    }
    return *this;
}

// 1200 bytes of MPEG-2 video for pack `index`: the first opens the sequence; each
// holds three closed GOPs of one picture, so that even one pack has GOPs to measure.
Bytes VideoChunk(int index, bool last, bool endCode) {
    constexpr size_t kChunkSize = 1200;
    constexpr size_t kSliceOverhead = 5;
    constexpr size_t kEndCodeSize = 4;
    constexpr int kGopsPerChunk = 3;
    VideoEsBuilder v;
    if (index == 0) v.SequenceHeader().SequenceExtension();
    for (int g = 0; g < kGopsPerChunk; ++g) {
        v.GopHeader(0, 0, 0, static_cast<uint32_t>(kGopsPerChunk * index + g) % 25, true);
        v.PictureHeader(1).PictureCodingExtension();
        if (g < kGopsPerChunk - 1) v.Slice(1, 100);
    }
    size_t end = last && endCode ? kEndCodeSize : 0;
    v.Slice(1, kChunkSize - v.Size() - kSliceOverhead - end);
    if (end) v.EndCode();
    return v.Build();
}

// Two MPEG-1 Layer II frames of 64 kbit/s at 48 kHz, 192 bytes each.
Bytes AudioChunk() {
    AudioFrameFields frame;
    frame.bitrateIndex = 4;
    return AudioFrames(2, frame);
}

Bytes MakeSimpleStream(int packs, bool endCode) {
    StreamBuilder b;
    for (int i = 0; i < packs; ++i) {
        size_t start = b.Size();
        uint64_t scr = 3600 * static_cast<uint64_t>(i + 1);
        b.Pack(scr);
        if (i == 0) b.SystemHeader();
        PesFields video;
        video.pts = scr + 36000;
        video.dts = scr + 32400;
        video.payload = VideoChunk(i, i == packs - 1, endCode);
        b.Pes(0xE0, video);
        PesFields audio;
        audio.pts = scr + 30000;
        audio.payload = AudioChunk();
        b.Pes(0xC0, audio);
        b.PadPackTo(start, 2048);
    }
    if (endCode) b.EndCode();
    return b.Build();
}
