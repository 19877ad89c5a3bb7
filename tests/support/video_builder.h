// Writes MPEG-2 video elementary streams (ISO/IEC 13818-2, 6.2) header by header, and
// carries them in program stream packets of chosen payload sizes.
#pragma once

#include <cstdint>

#include "support/stream_builder.h"

struct SequenceFields {
    uint32_t width = 720;
    uint32_t height = 576;
    uint32_t aspectRatio = 3;
    uint32_t frameRateCode = 3;
    uint32_t bitRateValue = 12500;  // 5 Mbit/s
    uint32_t vbvBufferSize = 112;
    bool intraMatrix = false;
    bool nonIntraMatrix = false;
};

struct PictureCodingFields {
    uint32_t intraDcPrecision = 1;
    uint32_t pictureStructure = 3;
    uint32_t topFieldFirst = 1;
    uint32_t framePredFrameDct = 1;
    uint32_t qScaleType = 1;
    uint32_t alternateScan = 0;
    uint32_t repeatFirstField = 0;
    uint32_t progressiveFrame = 0;
};

class VideoEsBuilder {
  public:
    VideoEsBuilder& SequenceHeader(const SequenceFields& f = {});
    VideoEsBuilder& SequenceExtension(uint32_t profileAndLevel = 0x48, uint32_t chromaFormat = 1,
                                      uint32_t progressiveSequence = 0,
                                      uint32_t bitRateExtension = 0,
                                      uint32_t vbvBufferSizeExtension = 0);
    VideoEsBuilder& SequenceDisplayExtension();
    VideoEsBuilder& SequenceScalableExtension(uint32_t scalableMode);
    VideoEsBuilder& GopHeader(uint32_t hours, uint32_t minutes, uint32_t seconds, uint32_t pictures,
                              bool closed = true, bool dropFrame = false,
                              bool brokenLink = false);
    VideoEsBuilder& PictureHeader(uint32_t type, uint32_t vbvDelay = 0xFFFF,
                                  int extraInformationBytes = 0, uint32_t temporalReference = 0);
    VideoEsBuilder& PictureCodingExtension(const PictureCodingFields& f = {});
    VideoEsBuilder& QuantMatrixExtension();
    VideoEsBuilder& PictureDisplayExtension(int offsets);
    VideoEsBuilder& Extension(uint32_t id, const Bytes& body);  // any other extension
    VideoEsBuilder& UserData(const Bytes& bytes);
    // One slice: its header and `filler` bytes of macroblock data free of start codes.
    VideoEsBuilder& Slice(uint32_t position, size_t filler);
    // Picture header, coding extension and `slices` slices of `filler` bytes.
    VideoEsBuilder& Picture(uint32_t type, int slices = 2, size_t filler = 100,
                            const PictureCodingFields& f = {});
    // A frame picture of one slice with its temporal_reference and vbv_delay.
    VideoEsBuilder& TimedPicture(uint32_t type, uint32_t temporalReference, uint32_t vbvDelay,
                                 size_t filler);
    VideoEsBuilder& EndCode();
    VideoEsBuilder& Raw(const Bytes& bytes);

    size_t Size() const { return bytes_.size(); }
    const Bytes& Build() const { return bytes_; }

  private:
    void StartCode(uint8_t value);
    Bytes bytes_;
};

// One pack per PES packet of at most `payloadSize` bytes, each with a PTS, the first
// pack with a system header; the program end code last.
Bytes PacketizeVideo(const Bytes& es, size_t payloadSize, uint8_t streamId = 0xE0);
// One PES packet per segment, so that each segment starts a packet.
Bytes PacketizeSegments(const std::vector<Bytes>& segments, uint8_t streamId = 0xE0);
