// Video elementary stream builder for tests.
#include "support/video_builder.h"

#include <algorithm>

#include "support/bit_writer.h"

void VideoEsBuilder::StartCode(uint8_t value) { bytes_.insert(bytes_.end(), {0, 0, 1, value}); }

VideoEsBuilder& VideoEsBuilder::Raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

VideoEsBuilder& VideoEsBuilder::SequenceHeader(const SequenceFields& f) {
    StartCode(0xB3);
    BitWriter w(bytes_);
    w.Put(f.width, 12);
    w.Put(f.height, 12);
    w.Put(f.aspectRatio, 4);
    w.Put(f.frameRateCode, 4);
    w.Put(f.bitRateValue, 18);
    w.Put(1, 1);
    w.Put(f.vbvBufferSize, 10);
    w.Put(0, 1);
    w.Put(f.intraMatrix, 1);
    for (int i = 0; f.intraMatrix && i < 64; ++i) w.Put(16, 8);
    w.Put(f.nonIntraMatrix, 1);
    for (int i = 0; f.nonIntraMatrix && i < 64; ++i) w.Put(16, 8);
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::SequenceExtension(uint32_t profileAndLevel, uint32_t chromaFormat,
                                                  uint32_t progressiveSequence,
                                                  uint32_t bitRateExtension,
                                                  uint32_t vbvBufferSizeExtension) {
    StartCode(0xB5);
    BitWriter w(bytes_);
    w.Put(1, 4);
    w.Put(profileAndLevel, 8);
    w.Put(progressiveSequence, 1);
    w.Put(chromaFormat, 2);
    w.Put(0, 2 + 2);
    w.Put(bitRateExtension, 12);
    w.Put(1, 1);
    w.Put(vbvBufferSizeExtension, 8);
    w.Put(0, 1 + 2 + 5);
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::SequenceDisplayExtension() {
    StartCode(0xB5);
    BitWriter w(bytes_);
    w.Put(2, 4);
    w.Put(1, 3);
    w.Put(1, 1);
    w.Put(0x050505, 24);
    w.Put(720, 14);
    w.Put(1, 1);
    w.Put(576, 14);
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::SequenceScalableExtension(uint32_t scalableMode) {
    StartCode(0xB5);
    BitWriter w(bytes_);
    w.Put(5, 4);
    w.Put(scalableMode, 2);
    w.Put(0, 4);
    if (scalableMode == 1) w.Put(0x1FFFFFFFFFFull, 14 + 1 + 14 + 20);
    if (scalableMode == 3) w.Put(0b1011011, 1 + 1 + 3 + 3);
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::GopHeader(uint32_t hours, uint32_t minutes, uint32_t seconds,
                                          uint32_t pictures, bool closed, bool dropFrame,
                                          bool brokenLink) {
    StartCode(0xB8);
    BitWriter w(bytes_);
    w.Put(dropFrame, 1);
    w.Put(hours, 5);
    w.Put(minutes, 6);
    w.Put(1, 1);
    w.Put(seconds, 6);
    w.Put(pictures, 6);
    w.Put(closed, 1);
    w.Put(brokenLink, 1);
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::PictureHeader(uint32_t type, uint32_t vbvDelay,
                                              int extraInformationBytes,
                                              uint32_t temporalReference) {
    StartCode(0x00);
    BitWriter w(bytes_);
    w.Put(temporalReference, 10);
    w.Put(type, 3);
    w.Put(vbvDelay, 16);
    if (type == 2 || type == 3) w.Put(0b0111, 4);
    if (type == 3) w.Put(0b0111, 4);
    for (int i = 0; i < extraInformationBytes; ++i) w.Put(0x1AA, 9);
    w.Put(0, 1);
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::PictureCodingExtension(const PictureCodingFields& f) {
    StartCode(0xB5);
    BitWriter w(bytes_);
    w.Put(8, 4);
    w.Put(0xFFFF, 16);
    w.Put(f.intraDcPrecision, 2);
    w.Put(f.pictureStructure, 2);
    w.Put(f.topFieldFirst, 1);
    w.Put(f.framePredFrameDct, 1);
    w.Put(0, 1);
    w.Put(f.qScaleType, 1);
    w.Put(0, 1);
    w.Put(f.alternateScan, 1);
    w.Put(f.repeatFirstField, 1);
    w.Put(1, 1);
    w.Put(f.progressiveFrame, 1);
    w.Put(0, 1);
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::QuantMatrixExtension() {
    StartCode(0xB5);
    BitWriter w(bytes_);
    w.Put(3, 4);
    for (int matrix = 0; matrix < 4; ++matrix) {
        w.Put(matrix % 2, 1);
        for (int i = 0; matrix % 2 && i < 64; ++i) w.Put(0, 8);  // zeros: a misstep shows
    }
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::PictureDisplayExtension(int offsets) {
    StartCode(0xB5);
    BitWriter w(bytes_);
    w.Put(7, 4);
    for (int i = 0; i < offsets; ++i) w.Put(0x1000180003ull, 34);
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::Extension(uint32_t id, const Bytes& body) {
    StartCode(0xB5);
    BitWriter w(bytes_);
    w.Put(id, 4);
    w.Put(0, 4);
    return Raw(body);
}

VideoEsBuilder& VideoEsBuilder::UserData(const Bytes& bytes) {
    StartCode(0xB2);
    return Raw(bytes);
}

VideoEsBuilder& VideoEsBuilder::Slice(uint32_t position, size_t filler) {
    StartCode(static_cast<uint8_t>(position));
    BitWriter w(bytes_);
    w.Put(8, 5);  // quantiser_scale_code
    w.Put(0, 1);  // no intra_slice fields
    w.Put(0b11, 2);
    for (size_t i = 0; i < filler; ++i) w.Put(0x5A, 8);
    w.Align();
    return *this;
}

VideoEsBuilder& VideoEsBuilder::Picture(uint32_t type, int slices, size_t filler,
                                        const PictureCodingFields& f) {
    PictureHeader(type).PictureCodingExtension(f);
    for (int s = 1; s <= slices; ++s) Slice(static_cast<uint32_t>(s), filler);
    return *this;
}

VideoEsBuilder& VideoEsBuilder::TimedPicture(uint32_t type, uint32_t temporalReference,
                                             uint32_t vbvDelay, size_t filler) {
    PictureHeader(type, vbvDelay, 0, temporalReference).PictureCodingExtension();
    return Slice(1, filler);
}

VideoEsBuilder& VideoEsBuilder::EndCode() {
    StartCode(0xB7);
    return *this;
}

Bytes PacketizeSegments(const std::vector<Bytes>& segments, uint8_t streamId) {
    StreamBuilder b;
    uint64_t scr = 3600;
    for (size_t i = 0; i < segments.size(); ++i, scr += 3600) {
        b.Pack(scr);
        if (i == 0) b.SystemHeader();
        PesFields f;
        f.pts = scr + 36000;
        f.payload = segments[i];
        b.Pes(streamId, f);
    }
    return b.EndCode().Build();
}

Bytes PacketizeVideo(const Bytes& es, size_t payloadSize, uint8_t streamId) {
    std::vector<Bytes> segments;
    for (size_t at = 0; at < es.size(); at += payloadSize) {
        size_t size = std::min(payloadSize, es.size() - at);
        segments.emplace_back(es.begin() + static_cast<long>(at),
                              es.begin() + static_cast<long>(at + size));
    }
    return PacketizeSegments(segments, streamId);
}
