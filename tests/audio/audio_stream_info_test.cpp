// The name an audio stream gets in the CSV summary and the JSON figures.
#include "audio/audio_stream_info.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

struct NameCase {
    AudioStreamInfo record;
    const char* name;
};

AudioStreamInfo Record(int32_t idBit, int32_t layer, int32_t kbps, int32_t hz, int32_t mode) {
    AudioStreamInfo a{};
    a.idBit = idBit;
    a.layer = layer;
    a.bitrateKbps = kbps;
    a.samplingFrequency = hz;
    a.mode = mode;
    return a;
}

class AudioFormatNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(AudioFormatNameTest, NamesStandardLayerRateFrequencyAndMode) {
    EXPECT_EQ(GetParam().name, AudioFormatName(GetParam().record));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, AudioFormatNameTest,
    ::testing::Values(
        NameCase{Record(kIdIso11172, kLayerII, 192, 48000, 0),
                 "MPEG-1 Layer II 192 kbit/s 48000 Hz stereo"},
        NameCase{Record(kIdIso11172, kLayerIII, 128, 44100, 1),
                 "MPEG-1 Layer III 128 kbit/s 44100 Hz joint stereo"},
        NameCase{Record(kIdIso11172, kLayerI, 384, 32000, 2),
                 "MPEG-1 Layer I 384 kbit/s 32000 Hz dual channel"},
        NameCase{Record(kIdLowSamplingFrequencies, kLayerII, 96, 24000, 0),
                 "MPEG-2 LSF Layer II 96 kbit/s 24000 Hz stereo"},
        NameCase{Record(kIdLowSamplingFrequencies, kLayerIII, 64, 22050, 3),
                 "MPEG-2 LSF Layer III 64 kbit/s 22050 Hz single channel"},
        NameCase{Record(kIdLowSamplingFrequencies, kLayerI, 256, 16000, 1),
                 "MPEG-2 LSF Layer I 256 kbit/s 16000 Hz joint stereo"},
        // A stream without an accepted header (refused, or a decoder that could not be
        // made) keeps the name it always had: its record counts as ISO/IEC 11172-3.
        NameCase{AudioStreamInfo{}, "MPEG-1 reserved layer 0 kbit/s 0 Hz stereo"}),
    CaseNumber());

}  // namespace
