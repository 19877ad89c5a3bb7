// Both audio analyses over streams made by real encoders, against ffprobe (frames,
// rate, channels, bitrate) and ffmpeg's astats (peak and DC), as recorded when the files
// were made with tests/fixtures/make-fixtures.sh.
#include <gtest/gtest.h>

#include <cmath>

#include "audio/audio_header_scan.h"
#include "audio/audio_levels.h"
#include "program/program_stream_scan.h"
#include "support/test_files.h"

namespace {

struct AudioFixture {
    const char* name;
    int32_t layer;
    int32_t bitrateKbps;
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
    uint32_t payload = GetStreamIdTable().payloadBytes[0xC0];

    ASSERT_EQ(AudioOk, ScanAudioHeaders(path, 0xC0, payload));
    const AudioStreamInfo& h = AudioHeaderRecord(0xC0);
    EXPECT_EQ(c.layer, h.layer);
    EXPECT_EQ(c.bitrateKbps, h.bitrateKbps);
    EXPECT_EQ(c.frequency, h.samplingFrequency);
    EXPECT_EQ(c.mode, h.mode);
    EXPECT_EQ(c.protectionBit, h.protectionBit);
    EXPECT_EQ(c.frames, h.syncWords);
    EXPECT_EQ(0, h.syncLosses);

    ASSERT_EQ(AudioOk, MeasureAudioLevels(path, 0xC0, payload, 0));
    const AudioStreamInfo& d = AudioDecodeRecord(0xC0);
    EXPECT_EQ(c.layer, d.layer);
    EXPECT_EQ(c.bitrateKbps, d.bitrateKbps);
    EXPECT_EQ(c.frequency, d.samplingFrequency);
    int channels = c.mode == 3 ? 1 : 2;
    EXPECT_EQ(c.frames * SamplesPerFrame(c.layer) * 2 * channels, d.decodedBytes);
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
        AudioFixture{"mp2_48k_stereo.mpg", kLayerII, 192, 48000, 0, 1, 84, -20.582958, -0.000010},
        AudioFixture{"mp2_44k_joint.mpg", kLayerII, 160, 44100, 0, 1, 77, -20.989186, -0.000001},
        AudioFixture{"mp2_mono_crc.mpg", kLayerII, 96, 48000, 3, 0, 84, -17.843748, -0.000001},
        AudioFixture{"mp3_48k.mpg", kLayerIII, 128, 48000, 1, 1, 85, -21.508354, 0.0},
        AudioFixture{"mp2_dc_offset.mpg", kLayerII, 192, 48000, 0, 1, 84, -10.585844, 0.070136},
        AudioFixture{"mp2_clipping.mpg", kLayerII, 192, 48000, 0, 1, 84, 0.000265, -0.000019}),
    CaseNumber());

TEST(AudioFixtures, ClippingAndSilence) {
    BoundSink bound;
    std::string clipping = FixturePath("mp2_clipping.mpg");
    ScanProgramStream(clipping, 0);
    MeasureAudioLevels(clipping, 0xC0, GetStreamIdTable().payloadBytes[0xC0], 0);
    EXPECT_GT(AudioDecodeRecord(0xC0).clippedLeft, 100);
    EXPECT_GT(AudioDecodeRecord(0xC0).clippedRight, 100);

    std::string silence = FixturePath("mp2_silence.mpg");
    ScanProgramStream(silence, 0);
    MeasureAudioLevels(silence, 0xC0, GetStreamIdTable().payloadBytes[0xC0], 0);
    const AudioStreamInfo& s = AudioDecodeRecord(0xC0);
    char text[32];
    std::snprintf(text, sizeof text, "%0.1f %0.1f %0.1f", s.peakLeft, s.dcLeft, s.rmsLeft);
    EXPECT_STREQ("-150.3 -100.0 -77.4", text);
    EXPECT_EQ(0, s.clippedLeft);
}

}  // namespace
