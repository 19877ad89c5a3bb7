// The frame header scan over MPEG audio frames built bit for bit.
#include "audio/audio_header_scan.h"

#include <gtest/gtest.h>

#include "program/program_stream_scan.h"
#include "support/audio_builder.h"
#include "support/test_files.h"

namespace {

class HeaderScanTest : public ::testing::Test {
  protected:
    const AudioStreamInfo& Scan(const Bytes& es, size_t payloadSize = 2000) {
        std::string path = dir_.Write("a.mpg", PacketizeAudio(es, payloadSize));
        ScanProgramStream(path, 0);
        ScanAudioHeaders(path, 0xC0, GetStreamIdTable().payloadBytes[0xC0]);
        return AudioHeaderRecord(0xC0);
    }
    TempDir dir_;
    BoundSink bound_;
};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(HeaderScanTest, IdenticalLayerIIFrames) {
    const AudioStreamInfo& a = Scan(AudioFrames(30), 777);
    EXPECT_EQ(AudioOk, a.status);
    EXPECT_EQ(30, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
    EXPECT_EQ(kLayerII, a.layer);
    EXPECT_EQ(192, a.bitrateKbps);
    EXPECT_EQ(48000, a.samplingFrequency);
    EXPECT_EQ(1, a.protectionBit);
    EXPECT_EQ(1, a.originalFlag);
}

TEST_F(HeaderScanTest, FrameLengths) {
    EXPECT_EQ(576, AudioFrameLength(kLayerII, 10, 1, 0));
    EXPECT_EQ(627, AudioFrameLength(kLayerII, 10, 0, 1));
    EXPECT_EQ(384, AudioFrameLength(kLayerIII, 9, 1, 0));  // 128 kbit/s
    // Layer I counts four-byte slots: (12 x 192000 / 48000 + padding) x 4.
    EXPECT_EQ(192, AudioFrameLength(kLayerI, 6, 1, 0));
    EXPECT_EQ(196, AudioFrameLength(kLayerI, 6, 1, 1));
    EXPECT_EQ(0, AudioFrameLength(kLayerII, 10, 3, 0));
}

TEST_F(HeaderScanTest, StreamMustBeginWithASyncWord) {
    const AudioStreamInfo& a = Scan(Join({Bytes{0x12}, AudioFrames(5)}));
    EXPECT_EQ(AudioNoInitialSync, a.status);
    EXPECT_EQ(0, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
}

TEST_F(HeaderScanTest, AFrameWithAnotherBitrateIsASyncLoss) {
    AudioFrameFields other;
    other.bitrateIndex = 11;
    const AudioStreamInfo& a = Scan(Join({AudioFrames(3), AudioFrame(other), AudioFrames(3)}));
    EXPECT_EQ(AudioOk, a.status);
    EXPECT_EQ(6, a.syncWords);
    EXPECT_EQ(1, a.syncLosses);
    EXPECT_EQ(10, a.bitrateIndex);
}

TEST_F(HeaderScanTest, IdBitZeroSetsItsStatusForGood) {
    AudioFrameFields lowSamplingFrequencies;
    lowSamplingFrequencies.id = 0;
    const AudioStreamInfo& a =
        Scan(Join({AudioFrames(2), AudioFrame(lowSamplingFrequencies), AudioFrames(4)}));
    EXPECT_EQ(AudioBadIdBit, a.status);
    EXPECT_EQ(6, a.syncWords);
    EXPECT_EQ(1, a.syncLosses);
}

TEST_F(HeaderScanTest, InvalidSamplingFrequencyEndsTheScan) {
    AudioFrameFields invalid;
    invalid.samplingIndex = 3;
    const AudioStreamInfo& a = Scan(Join({AudioFrame(invalid, 500), AudioFrames(3)}));
    EXPECT_EQ(AudioInvalidFrequency, a.status);
    EXPECT_EQ(1, a.syncWords);
    EXPECT_EQ(0, a.samplingFrequency);
}

TEST_F(HeaderScanTest, StuffingBetweenFramesIsNoSyncLoss) {
    const AudioStreamInfo& a = Scan(Join({AudioFrames(2), Bytes(37, 0), AudioFrames(2)}));
    EXPECT_EQ(4, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
}

TEST_F(HeaderScanTest, CrcWordsAreSkipped) {
    AudioFrameFields crc;
    crc.protection = 0;
    const AudioStreamInfo& a = Scan(AudioFrames(10, crc));
    EXPECT_EQ(10, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
    EXPECT_EQ(0, a.protectionBit);
}

TEST_F(HeaderScanTest, LayerIFramesAreSkippedWhole) {
    // Audio data that holds a sync pattern: a skip that ended inside the frame would
    // take it for a header with another layer and count a false sync loss.
    AudioFrameFields layerI;
    layerI.layer = kLayerI;
    layerI.bitrateIndex = 6;
    Bytes frames;
    for (int i = 0; i < 8; ++i) {
        Bytes frame = AudioFrame(layerI);
        frame[100] = 0xFF;
        frame[101] = 0xFD;  // ID 1, layer code 2
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    const AudioStreamInfo& a = Scan(frames);
    EXPECT_EQ(8, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
    EXPECT_EQ(kLayerI, a.layer);
}

TEST_F(HeaderScanTest, ReservedLayerHasNoBitrate) {
    AudioFrameFields reserved;
    reserved.layer = kLayerReserved;
    const AudioStreamInfo& a = Scan(AudioFrames(3, reserved));
    EXPECT_EQ(0, a.bitrateKbps);
    EXPECT_EQ(kLayerReserved, a.layer);
    EXPECT_GE(a.syncWords, 1);
}

TEST_F(HeaderScanTest, LaterHeadersGiveTheOtherFields) {
    AudioFrameFields joint;
    joint.mode = 1;
    joint.modeExtension = 2;
    joint.copyright = 1;
    const AudioStreamInfo& a = Scan(Join({AudioFrames(2), AudioFrames(1, joint)}));
    EXPECT_EQ(1, a.mode);
    EXPECT_EQ(2, a.modeExtension);
    EXPECT_EQ(1, a.copyrightFlag);
}

TEST_F(HeaderScanTest, EveryCutEndsInOrder) {
    Bytes frames = AudioFrames(4);
    for (size_t cut = 2; cut < frames.size(); cut += 13) {
        const AudioStreamInfo& a =
            Scan(Bytes(frames.begin(), frames.begin() + static_cast<long>(cut)));
        EXPECT_EQ(AudioOk, a.status) << cut;
        EXPECT_LE(a.syncWords, 4) << cut;
        // A header cut short reads zeros where its fields would be: at most one loss.
        EXPECT_LE(a.syncLosses, 1) << cut;
    }
}

}  // namespace
