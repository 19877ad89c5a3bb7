// Both audio analyses over streams made by real encoders, against ffprobe (frames,
// rate, channels, bitrate, frame sizes) and ffmpeg's astats (peak and DC), as recorded
// when the files were made with tests/fixtures/make-fixtures.sh.
#include <gtest/gtest.h>

#include <cmath>

#include "audio/audio_header_scan.h"
#include "audio/audio_levels.h"
#include "program/program_stream_scan.h"
#include "support/audio_builder.h"
#include "support/test_files.h"

namespace {

struct AudioFixture {
    const char* name;
    int32_t idBit;  // 0: a lower sampling frequency of ISO/IEC 13818-3
    int32_t layer;
    int32_t bitrateKbps;  // a variable bitrate: the mean from ffprobe's frame sizes
    int32_t frequency;
    int32_t mode;  // of the last frame
    int32_t protectionBit;
    int32_t frames;   // ffprobe -show_packets
    double peakDbfs;  // astats "Peak level dB", channel 1
    double dcOffset;  // astats "DC offset", channel 1, as a fraction of full scale
};

class AudioFixtureTest : public ::testing::TestWithParam<AudioFixture> {
  protected:
    BoundSink bound_;
};

TEST_P(AudioFixtureTest, HeaderScanAndDecodingAgreeWithIndependentTools) {
    const AudioFixture& c = GetParam();
    std::string path = FixturePath(c.name);
    ScanProgramStream(path, 0);
    StreamExtent extent = StreamExtentOf(GetStreamIdTable(), 0xC0);
    // Every header of a stream of the lower sampling frequencies has ID bit 0, which the
    // report fails; the stream is read all the same.
    AudioStatus status = c.idBit == kIdLowSamplingFrequencies ? AudioBadIdBit : AudioOk;

    ASSERT_EQ(status, ScanAudioHeaders(path, 0xC0, extent));
    const AudioStreamInfo& h = AudioHeaderRecord(0xC0);
    EXPECT_EQ(c.idBit, h.idBit);
    EXPECT_EQ(c.layer, h.layer);
    EXPECT_EQ(c.bitrateKbps, h.bitrateKbps);
    EXPECT_EQ(c.frequency, h.samplingFrequency);
    EXPECT_EQ(c.mode, h.mode);
    EXPECT_EQ(c.protectionBit, h.protectionBit);
    EXPECT_EQ(c.frames, h.syncWords);
    EXPECT_EQ(0, h.syncLosses);
    EXPECT_EQ(0u, h.skippedBytes);

    ASSERT_EQ(status, MeasureAudioLevels(path, 0xC0, extent, 0));
    const AudioStreamInfo& d = AudioDecodeRecord(0xC0);
    EXPECT_EQ(c.idBit, d.idBit);
    EXPECT_EQ(c.layer, d.layer);
    EXPECT_EQ(c.bitrateKbps, d.bitrateKbps);
    EXPECT_EQ(c.frequency, d.samplingFrequency);
    // Decode mode shows the header fields and counts that header mode shows.
    EXPECT_EQ(h.syncWords, d.syncWords);
    EXPECT_EQ(h.syncLosses, d.syncLosses);
    EXPECT_EQ(h.mode, d.mode);
    EXPECT_EQ(h.protectionBit, d.protectionBit);
    EXPECT_EQ(h.originalFlag, d.originalFlag);
    EXPECT_EQ(h.emphasis, d.emphasis);
    int channels = c.mode == 3 ? 1 : 2;
    EXPECT_EQ(c.frames * SamplesPerFrame(c.idBit, c.layer) * 2 * channels, d.decodedBytes);
    EXPECT_DOUBLE_EQ(
        static_cast<double>(c.frames) * SamplesPerFrame(c.idBit, c.layer) / c.frequency,
        d.decodedSeconds);
    // Both measure the largest magnitude against 32768; decoders may differ in the last
    // bit of a sample.
    EXPECT_NEAR(c.peakDbfs, d.peakLeft, 0.05);
    // DC: the mean in whole sample steps, -100 dBFS below one step.
    double dcSteps = std::trunc(std::fabs(c.dcOffset) * 32768);
    if (dcSteps < 1) {
        EXPECT_DOUBLE_EQ(-100.0, d.dcLeft);
    } else {
        EXPECT_NEAR(20 * std::log10(dcSteps / 32768), d.dcLeft, 0.05);
    }
    if (channels == 1) {
        EXPECT_EQ(d.rmsLeft, d.rmsRight);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, AudioFixtureTest,
    ::testing::Values(
        AudioFixture{"mp2_48k_stereo.mpg", kIdIso11172, kLayerII, 192, 48000, 0, 1, 84, -20.582958,
                     -0.000010},
        AudioFixture{"mp2_44k_joint.mpg", kIdIso11172, kLayerII, 160, 44100, 0, 1, 77, -20.989186,
                     -0.000001},
        AudioFixture{"mp2_mono_crc.mpg", kIdIso11172, kLayerII, 96, 48000, 3, 0, 84, -17.843748,
                     -0.000001},
        AudioFixture{"mp3_48k.mpg", kIdIso11172, kLayerIII, 128, 48000, 1, 1, 85, -21.508354, 0.0},
        // 16104 bytes in 85 frames of 24 ms: 63.2 kbit/s.
        AudioFixture{"mp3_vbr.mpg", kIdIso11172, kLayerIII, 63, 48000, 1, 1, 85, -12.320359,
                     -0.000017},
        AudioFixture{"mp2_dc_offset.mpg", kIdIso11172, kLayerII, 192, 48000, 0, 1, 84, -10.585844,
                     0.070136},
        AudioFixture{"mp2_clipping.mpg", kIdIso11172, kLayerII, 192, 48000, 0, 1, 84, 0.000265,
                     -0.000019},
        // ISO/IEC 13818-3 at 24 kHz: 96 kbit/s from its own bitrate table, 1152 samples a frame.
        AudioFixture{"mp2_lsf_24k.mpg", kIdLowSamplingFrequencies, kLayerII, 96, 24000, 0, 1, 42,
                     -20.605667, -0.000013}),
    CaseNumber());

TEST(AudioFixtures, VariableBitrateRange) {
    BoundSink bound;
    std::string path = FixturePath("mp3_vbr.mpg");
    ScanProgramStream(path, 0);
    ScanAudioHeaders(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0));
    // ffprobe's frame sizes: 96 to 768 bytes, 32 to 256 kbit/s at 48 kHz.
    EXPECT_EQ(32, AudioHeaderRecord(0xC0).bitrateMinKbps);
    EXPECT_EQ(256, AudioHeaderRecord(0xC0).bitrateMaxKbps);
}

// A capture that starts mid-stream: the fixture cut at a pack boundary, inside an audio
// frame. ffprobe counts the whole frames left: 80, 77 and 73. The bytes skipped are the
// rest of the frame the cut fell into (576-byte frames).
TEST(AudioFixtures, CaptureCutAtAPackBoundary) {
    BoundSink bound;
    TempDir dir;
    Bytes whole = ReadFileBytes(FixturePath("mp2_48k_stereo.mpg"));
    ScanProgramStream(FixturePath("mp2_48k_stereo.mpg"), 0);
    uint32_t wholePayload = GetStreamIdTable().payloadBytes[0xC0];
    struct Cut {
        size_t packs;
        int32_t frames;  // ffprobe -show_packets on the cut file
    };
    for (Cut cut : {Cut{1, 80}, Cut{2, 77}, Cut{3, 73}}) {
        std::string path = dir.Write(
            "cut.mpg", Bytes(whole.begin() + static_cast<long>(2048 * cut.packs), whole.end()));
        ScanProgramStream(path, 0);
        uint32_t dropped = wholePayload - GetStreamIdTable().payloadBytes[0xC0];
        uint32_t skipped = (576 - dropped % 576) % 576;
        for (bool decode : {false, true}) {
            const AudioStreamInfo& a = decode ? AudioDecodeRecord(0xC0) : AudioHeaderRecord(0xC0);
            EXPECT_EQ(
                AudioOk,
                decode ? MeasureAudioLevels(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0), 0)
                       : ScanAudioHeaders(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0)));
            EXPECT_EQ(cut.frames, a.syncWords) << cut.packs << decode;
            EXPECT_EQ(skipped, a.skippedBytes) << cut.packs << decode;
            EXPECT_EQ(skipped ? 1 : 0, a.syncLosses) << cut.packs << decode;
            if (decode) {
                EXPECT_EQ(cut.frames * 1152 * 4, a.decodedBytes) << cut.packs;
            }
        }
    }
}

TEST(AudioFixtures, ClippingAndSilence) {
    BoundSink bound;
    std::string clipping = FixturePath("mp2_clipping.mpg");
    ScanProgramStream(clipping, 0);
    MeasureAudioLevels(clipping, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0), 0);
    EXPECT_GT(AudioDecodeRecord(0xC0).clippedLeft, 100);
    EXPECT_GT(AudioDecodeRecord(0xC0).clippedRight, 100);

    std::string silence = FixturePath("mp2_silence.mpg");
    ScanProgramStream(silence, 0);
    MeasureAudioLevels(silence, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0), 0);
    const AudioStreamInfo& s = AudioDecodeRecord(0xC0);
    char text[32];
    std::snprintf(text, sizeof text, "%0.1f %0.1f %0.1f", s.peakLeft, s.dcLeft, s.rmsLeft);
    EXPECT_STREQ("-150.3 -100.0 -77.4", text);
    EXPECT_EQ(0, s.clippedLeft);
}

}  // namespace
