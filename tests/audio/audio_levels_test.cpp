// Level measurement: per-sample statistics through a fake decoder, and real decoding
// with libmpg123 against ffmpeg's astats on encoder-made streams.
#include "audio/audio_levels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <vector>

#include "audio/audio_decoder.h"
#include "audio/loudness.h"
#include "program/program_stream_scan.h"
#include "report/report_log.h"
#include "support/audio_builder.h"
#include "support/test_files.h"

namespace {

// Hands out prepared PCM blocks, then the end (or an error). With readPerBlock set it
// reads that many bytes of input through the read callback before each block, and keeps
// them.
class FakeDecoder : public AudioDecoder {
  public:
    int Create(const DecoderCallbacks& callbacks, void* context) override {
        callbacks_ = callbacks;
        context_ = context;
        return createResult;
    }
    int Decode(uint8_t* pcm, int32_t size, int32_t* written) override {
        if (readPerBlock > 0) {
            Bytes piece(static_cast<size_t>(readPerBlock));
            size_t got = callbacks_.read(context_, piece.data(), piece.size());
            input.insert(input.end(), piece.begin(), piece.begin() + static_cast<long>(got));
        }
        if (cancelAfterBlocks >= 0 && decoded == cancelAfterBlocks) RequestCancel();
        if (blocks.empty()) return endResult;
        Bytes block = blocks.front();
        blocks.pop_front();
        std::copy(block.begin(),
                  block.begin() + std::min<long>(size, static_cast<long>(block.size())), pcm);
        *written = static_cast<int32_t>(block.size());
        ++decoded;
        return kDecoderOk;
    }
    void GetFormat(DecoderFormatInfo* f) override { *f = format; }
    void GetPosition(int32_t* ms) override { *ms = decoded * msPerBlock; }
    void Destroy() override { ++destroyed; }

    std::deque<Bytes> blocks;
    DecoderFormatInfo format{0, 1, 2, 0, 0, 1, 48000, 10, 0, 0, 1, 0, 0, 0, 192};
    int createResult = 0;
    int endResult = kDecoderEnd;
    int msPerBlock = 24;
    int cancelAfterBlocks = -1;
    int decoded = 0;
    int destroyed = 0;
    int readPerBlock = 0;
    Bytes input;

  private:
    DecoderCallbacks callbacks_{};
    void* context_ = nullptr;
};

// PCM of interleaved frames (left, right), little-endian.
Bytes Pcm(const std::vector<std::pair<int16_t, int16_t>>& frames, bool stereo = true) {
    Bytes pcm;
    for (auto [l, r] : frames) {
        pcm.push_back(static_cast<uint8_t>(l));
        pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(l) >> 8));
        if (stereo) {
            pcm.push_back(static_cast<uint8_t>(r));
            pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(r) >> 8));
        }
    }
    return pcm;
}

std::vector<std::pair<int16_t, int16_t>> Repeat(int count, int16_t left, int16_t right) {
    return std::vector<std::pair<int16_t, int16_t>>(static_cast<size_t>(count), {left, right});
}

std::string FormatLevel(double level) {
    char text[32];
    std::snprintf(text, sizeof text, "%0.1f", level);
    return text;
}

class LevelsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetAudioDecoder(&decoder_);
        UseStream(AudioFrames(3));
    }
    void UseStream(const Bytes& es) {
        path_ = dir_.Write("a.mpg", PacketizeAudio(es));
        ScanProgramStream(path_, 0);
    }
    void TearDown() override { SetAudioDecoder(nullptr); }
    const AudioStreamInfo& Measure(int timeLimit = 0) {
        MeasureAudioLevels(path_, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0), timeLimit);
        return AudioDecodeRecord(0xC0);
    }
    TempDir dir_;
    BoundSink bound_;
    FakeDecoder decoder_;
    std::string path_;
};

TEST_F(LevelsTest, ClippedSamplesCountRunsAcrossBlocks) {
    struct Case {
        const char* what;
        std::vector<std::vector<std::pair<int16_t, int16_t>>> blocks;
        int clippedLeft;
    };
    std::vector<Case> cases = {
        {"one full-scale sample", {{{32767, 0}, {0, 0}}}, 0},
        {"two in a row", {{{32767, 0}, {32767, 0}, {0, 0}}}, 3},
        {"three in a row", {{{32767, 0}, {32767, 0}, {-32768, 0}}}, 4},
        {"a run across two blocks", {{{0, 0}, {32767, 0}}, {{-32768, 0}, {32767, 0}}}, 4},
        {"interrupted runs", {{{32767, 0}, {0, 0}, {32767, 0}, {0, 0}}}, 0},
    };
    for (const Case& c : cases) {
        decoder_.blocks.clear();
        for (const auto& block : c.blocks) decoder_.blocks.push_back(Pcm(block));
        const AudioStreamInfo& a = Measure();
        EXPECT_EQ(c.clippedLeft, a.clippedLeft) << c.what;
        EXPECT_EQ(0, a.clippedRight) << c.what;
    }
}

TEST_F(LevelsTest, PeakAndDcLevels) {
    decoder_.blocks = {Pcm(Repeat(1000, 3, 0)), Pcm({{32767, -32768}})};
    const AudioStreamInfo& a = Measure();
    EXPECT_EQ(AudioOk, a.status);
    EXPECT_NEAR(20 * std::log10(32767.0 / 32768), a.peakLeft, 1e-9);
    EXPECT_DOUBLE_EQ(0.0, a.peakRight);  // -32768 is full scale
    // Means of the sums in integers: (3 x 1000 + 32767) / 1001 = 35, |-32768| / 1001 = 32.
    EXPECT_NEAR(20 * std::log10(35.0 / 32768), a.dcLeft, 1e-9);
    EXPECT_NEAR(20 * std::log10(32.0 / 32768), a.dcRight, 1e-9);
}

TEST_F(LevelsTest, ConstantOffsetGivesItsDcLevel) {
    decoder_.blocks = {Pcm(Repeat(4096, 3, 0))};
    const AudioStreamInfo& a = Measure();
    EXPECT_EQ("-80.8", FormatLevel(a.dcLeft));
    EXPECT_DOUBLE_EQ(-100.0, a.dcRight);
    EXPECT_NEAR(20 * std::log10(0.001 / 32768), a.peakRight, 1e-9);
}

TEST_F(LevelsTest, LongStreamsWithAnOffsetKeepTheirDcLevel) {
    // 30000 x 100000 exceeds 32 bits; a 32-bit sum would wrap to a wrong level.
    for (int i = 0; i < 25; ++i) decoder_.blocks.push_back(Pcm(Repeat(4000, 30000, -30000)));
    const AudioStreamInfo& a = Measure();
    EXPECT_NEAR(20 * std::log10(30000.0 / 32768), a.dcLeft, 1e-9);
    EXPECT_NEAR(20 * std::log10(30000.0 / 32768), a.dcRight, 1e-9);
}

TEST_F(LevelsTest, BlockSizesInFrames) {
    decoder_.blocks = {Pcm(Repeat(1152, 100, 100))};
    EXPECT_EQ(4608, Measure().decodedBytes);
    decoder_.format.stereo = 0;
    decoder_.blocks = {Pcm(Repeat(1152, 100, 0), false)};
    const AudioStreamInfo& mono = Measure();
    EXPECT_EQ(2304, mono.decodedBytes);
    EXPECT_DOUBLE_EQ(1152.0 / 48000, mono.decodedSeconds);
    EXPECT_DOUBLE_EQ(-100.0, mono.dcRight);
    EXPECT_EQ(mono.rmsLeft, mono.rmsRight);
}

// Decode mode shows the header fields the stream holds, as header mode does; the
// decoder's format governs only the samples (channels, rate).
TEST_F(LevelsTest, HeaderFieldsComeFromTheStream) {
    decoder_.format.mode = 1;
    decoder_.format.modeExtension = 2;
    decoder_.format.protectionBit = 0;
    decoder_.format.bitrateKbps = 128;
    decoder_.format.stereo = 0;
    decoder_.format.samplingFrequency = 32000;
    AudioFrameFields f;
    f.privateBit = 1;
    f.copyright = 1;
    f.emphasis = 3;
    UseStream(AudioFrames(3, f));
    decoder_.blocks = {Pcm(Repeat(3200, 1, 1), false)};
    const AudioStreamInfo& a = Measure();
    EXPECT_EQ(AudioOk, a.status);
    EXPECT_EQ(kLayerII, a.layer);
    EXPECT_EQ(192, a.bitrateKbps);
    EXPECT_EQ(48000, a.samplingFrequency);
    EXPECT_EQ(0, a.mode);
    EXPECT_EQ(0, a.modeExtension);
    EXPECT_EQ(1, a.protectionBit);
    EXPECT_EQ(1, a.privateBit);
    EXPECT_EQ(1, a.copyrightFlag);
    EXPECT_EQ(1, a.originalFlag);
    EXPECT_EQ(3, a.emphasis);
    EXPECT_EQ(3, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
    EXPECT_DOUBLE_EQ(0.1, a.decodedSeconds);  // 3200 mono frames at 32 kHz
}

TEST_F(LevelsTest, DecoderIsFedFromTheFirstFrameHeader) {
    Bytes frames = AudioFrames(3);
    UseStream(Join({LastBytes(AudioFrame(), 100), frames}));
    decoder_.readPerBlock = 100000;
    decoder_.blocks = {Pcm(Repeat(10, 1, 1))};
    const AudioStreamInfo& a = Measure();
    EXPECT_EQ(frames, decoder_.input);
    EXPECT_EQ(AudioOk, a.status);
    EXPECT_EQ(100u, a.skippedBytes);
    EXPECT_EQ(1, a.syncLosses);
    EXPECT_EQ(3, a.syncWords);
}

TEST_F(LevelsTest, StreamWithoutAFrameHeaderIsRejected) {
    UseStream(Bytes(3000, 0x33));
    decoder_.readPerBlock = 100000;
    EXPECT_EQ(AudioNoInitialSync, Measure().status);
    EXPECT_TRUE(decoder_.input.empty());
}

// Past the time limit decoding stops, but every frame header is still counted.
TEST_F(LevelsTest, TimeLimitStillScansEveryHeader) {
    UseStream(AudioFrames(1000));
    for (int i = 0; i < 400; ++i) decoder_.blocks.push_back(Pcm(Repeat(1152, 1, 1)));
    decoder_.msPerBlock = 1000;
    decoder_.readPerBlock = 576;
    const AudioStreamInfo& a = Measure(300);
    EXPECT_EQ(301, decoder_.decoded);
    EXPECT_LE(decoder_.input.size(), 301u * 576);  // a read may deliver fewer bytes
    EXPECT_EQ(1000, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
}

TEST_F(LevelsTest, DecoderFailures) {
    decoder_.createResult = 1;
    EXPECT_EQ(AudioDecoderCreateFailed, Measure().status);
    EXPECT_EQ(0, decoder_.destroyed);
    decoder_.createResult = 0;
    decoder_.blocks = {Pcm(Repeat(100, 5, 5))};
    decoder_.endResult = 7;
    const AudioStreamInfo& a = Measure();
    EXPECT_EQ(AudioDecoderFailed, a.status);
    EXPECT_EQ(400, a.decodedBytes);  // what was decoded stays counted
    EXPECT_DOUBLE_EQ(0.0, a.rmsLeft);
    EXPECT_EQ(1, decoder_.destroyed);
}

TEST_F(LevelsTest, NothingDecoded) {
    const AudioStreamInfo& a = Measure();
    EXPECT_EQ(AudioOk, a.status);
    EXPECT_DOUBLE_EQ(-100.0, a.dcLeft);
    EXPECT_EQ("-150.3", FormatLevel(a.peakLeft));
    EXPECT_EQ(kNoLoudness, a.rmsLeft);
    EXPECT_EQ(0, a.decodedBytes);
    EXPECT_DOUBLE_EQ(0.0, a.decodedSeconds);
}

TEST_F(LevelsTest, TimeLimitAndCancel) {
    for (int i = 0; i < 400; ++i) decoder_.blocks.push_back(Pcm(Repeat(1152, 1, 1)));
    decoder_.msPerBlock = 1000;
    const AudioStreamInfo& limited = Measure(300);
    EXPECT_EQ(AudioOk, limited.status);
    EXPECT_EQ(301, decoder_.decoded);  // the block past 300 s is still measured
    EXPECT_NE(kNoLoudness, limited.rmsLeft);

    decoder_.decoded = 0;
    decoder_.cancelAfterBlocks = 5;
    EXPECT_EQ(AudioOk, Measure().status);
    EXPECT_EQ(6, decoder_.decoded);
    ClearCancelRequest();
}

}  // namespace
