// The frame header scan over MPEG audio frames built bit for bit.
#include "audio/audio_header_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "input/stream_reader.h"
#include "program/program_stream_scan.h"
#include "report/report_log.h"
#include "support/audio_builder.h"
#include "support/test_files.h"

namespace {

class HeaderScanTest : public ::testing::Test {
  protected:
    const AudioStreamInfo& Scan(const Bytes& es, size_t payloadSize = 2000) {
        std::string path = dir_.Write("a.mpg", PacketizeAudio(es, payloadSize));
        ScanProgramStream(path, 0);
        ScanAudioHeaders(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0));
        return AudioHeaderRecord(0xC0);
    }
    TempDir dir_;
    BoundSink bound_;
};

// The scanner alone over an elementary stream handed over in pieces of `piece` bytes.
AudioStreamInfo ScanPieces(const Bytes& es, size_t piece) {
    AudioHeaderScanner scanner;
    for (size_t at = 0; at < es.size() && !scanner.Stopped(); at += piece) {
        scanner.Feed(es.data() + at, std::min(piece, es.size() - at));
    }
    scanner.Finish();
    return scanner.Record();
}

AudioStreamInfo ScanBytes(const Bytes& es) { return ScanPieces(es, 4096); }

// Every field the report shows, one per line, so that a difference reads plainly.
std::string Fields(const AudioStreamInfo& a) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "status %d\nsyncWords %d\nsyncLosses %d\nskippedBytes %u\nid %d\nlayer %d\n"
                  "bitrateIndex %d\nbitrateKbps %d (%d to %d)\nsamplingIndex %d\n"
                  "samplingFrequency %d\npadding %d\nprotection %d\nprivate %d\nmode %d\n"
                  "modeExtension %d\ncopyright %d\noriginal %d\nemphasis %d\n",
                  a.status, a.syncWords, a.syncLosses, a.skippedBytes, a.idBit, a.layer,
                  a.bitrateIndex, a.bitrateKbps, a.bitrateMinKbps, a.bitrateMaxKbps,
                  a.samplingIndex, a.samplingFrequency, a.paddingBit, a.protectionBit, a.privateBit,
                  a.mode, a.modeExtension, a.copyrightFlag, a.originalFlag, a.emphasis);
    return text;
}

TEST_F(HeaderScanTest, IdenticalLayerIIFrames) {
    const AudioStreamInfo& a = Scan(AudioFrames(30), 777);
    EXPECT_EQ(AudioOk, a.status);
    EXPECT_EQ(30, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
    EXPECT_EQ(0u, a.skippedBytes);
    EXPECT_EQ(kLayerII, a.layer);
    EXPECT_EQ(192, a.bitrateKbps);
    EXPECT_EQ(192, a.bitrateMinKbps);
    EXPECT_EQ(192, a.bitrateMaxKbps);
    EXPECT_EQ(48000, a.samplingFrequency);
    EXPECT_EQ(1, a.protectionBit);
    EXPECT_EQ(1, a.originalFlag);
}

TEST_F(HeaderScanTest, FrameLengths) {
    EXPECT_EQ(576, AudioFrameLength(kIdIso11172, kLayerII, 10, 1, 0));
    EXPECT_EQ(627, AudioFrameLength(kIdIso11172, kLayerII, 10, 0, 1));
    EXPECT_EQ(384, AudioFrameLength(kIdIso11172, kLayerIII, 9, 1, 0));  // 128 kbit/s
    // Layer I counts four-byte slots: (12 x 192000 / 48000 + padding) x 4.
    EXPECT_EQ(192, AudioFrameLength(kIdIso11172, kLayerI, 6, 1, 0));
    EXPECT_EQ(196, AudioFrameLength(kIdIso11172, kLayerI, 6, 1, 1));
    EXPECT_EQ(0, AudioFrameLength(kIdIso11172, kLayerII, 10, 3, 0));
    // The longest frame there is, which the scan must hold in view at every step.
    EXPECT_EQ(1729, AudioFrameLength(kIdIso11172, kLayerII, 14, 2, 1));
}

// Where the scan begins: the first valid frame header (ID 1, a layer, a bitrate index
// other than 15, a sampling index other than 3) that a header exactly one frame later
// confirms. Whatever comes before it is skipped and counts as one sync loss.
struct StartCase {
    const char* what;
    Bytes es;
    AudioStatus status;
    uint32_t skippedBytes;
    int syncLosses;
    int syncWords;
};

AudioFrameFields With(void (*change)(AudioFrameFields&)) {
    AudioFrameFields f;
    change(f);
    return f;
}

std::vector<StartCase> StartCases() {
    AudioFrameFields idZero = With([](AudioFrameFields& f) { f.id = 0; });
    AudioFrameFields reservedLayer = With([](AudioFrameFields& f) { f.layer = kLayerReserved; });
    AudioFrameFields forbiddenBitrate = With([](AudioFrameFields& f) { f.bitrateIndex = 15; });
    AudioFrameFields reservedFrequency = With([](AudioFrameFields& f) { f.samplingIndex = 3; });
    AudioFrameFields freeFormat = With([](AudioFrameFields& f) { f.bitrateIndex = 0; });
    // A frame tail whose first bytes read as a good Layer II header, 192 kbit/s at
    // 48 kHz, which no header follows 576 bytes later.
    Bytes falseHeader = LastBytes(AudioFrame(), 300);
    falseHeader[0] = 0xFF;
    falseHeader[1] = 0xFD;
    falseHeader[2] = 0xA4;
    Bytes cutShort = AudioFrame();
    cutShort.resize(100);
    Bytes secondFrameDamaged = AudioFrames(6);
    secondFrameDamaged[576] = 0x12;
    return {
        {"a payload that begins with a frame", AudioFrames(5), AudioOk, 0, 0, 5},
        {"one stray byte", Join({Bytes{0x12}, AudioFrames(5)}), AudioOk, 1, 1, 5},
        {"the tail of a frame", Join({LastBytes(AudioFrame(), 100), AudioFrames(5)}), AudioOk, 100,
         1, 5},
        {"a tail that reads as a header no header follows", Join({falseHeader, AudioFrames(5)}),
         AudioOk, 300, 1, 5},
        {"a sync word on no byte boundary", Join({Bytes{0x0F, 0xFF, 0xDA, 0x40}, AudioFrames(3)}),
         AudioOk, 4, 1, 3},
        {"a first header with ID bit 0", Join({AudioFrame(idZero), AudioFrames(3)}), AudioOk, 576,
         1, 3},
        {"a first header of the reserved layer",
         Join({AudioFrame(reservedLayer, 500), AudioFrames(3)}), AudioOk, 500, 1, 3},
        {"a first header with the forbidden bitrate",
         Join({AudioFrame(forbiddenBitrate, 500), AudioFrames(3)}), AudioOk, 500, 1, 3},
        {"a first header with sampling index 3",
         Join({AudioFrame(reservedFrequency, 500), AudioFrames(3)}), AudioOk, 500, 1, 3},
        {"a free-format frame at the very start", AudioFrames(1, freeFormat), AudioOk, 0, 0, 1},
        {"a free-format header after a stray byte: no length to confirm it by",
         Join({Bytes{0x12}, AudioFrame(freeFormat, 100), AudioFrames(2)}), AudioOk, 101, 1, 2},
        {"a second frame that does not begin with a header", secondFrameDamaged, AudioOk, 1152, 1,
         4},
        {"a single frame: the data ends where a second header would stand", AudioFrames(1), AudioOk,
         0, 0, 1},
        {"a frame cut short", cutShort, AudioOk, 0, 0, 1},
        {"no sync word at all", Bytes(600, 0x33), AudioNoInitialSync, 0, 0, 0},
        // The lower sampling frequencies of ISO/IEC 13818-3: a stream of its own, read from
        // its first frame, whose ID bit the report fails.
        {"ISO/IEC 13818-3 frames only (ID bit 0)", AudioFrames(4, idZero), AudioBadIdBit, 0, 0, 4},
        {"reserved-layer frames only", AudioFrames(3, reservedLayer), AudioNoInitialSync, 0, 0, 0},
        {"fewer bytes than a header", Bytes{0xFF, 0xFD, 0xA4}, AudioNoInitialSync, 0, 0, 0},
        {"no payload", Bytes{}, AudioNoInitialSync, 0, 0, 0},
    };
}

class StartTest : public ::testing::TestWithParam<StartCase> {
  protected:
    TempDir dir_;
    BoundSink bound_;
};

TEST_P(StartTest, ScanBeginsAtTheFirstConfirmedHeader) {
    const StartCase& c = GetParam();
    // Through the payload reader, with packets that do not end on frame boundaries.
    std::string path = dir_.Write("a.mpg", PacketizeAudio(c.es, 333));
    ScanProgramStream(path, 0);
    EXPECT_EQ(c.status, ScanAudioHeaders(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0)))
        << c.what;
    const AudioStreamInfo& a = AudioHeaderRecord(0xC0);
    EXPECT_EQ(c.skippedBytes, a.skippedBytes) << c.what;
    EXPECT_EQ(c.syncLosses, a.syncLosses) << c.what;
    EXPECT_EQ(c.syncWords, a.syncWords) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Starts, StartTest, ::testing::ValuesIn(StartCases()), CaseNumber());

TEST(HeaderScanStart, CaptureCutAtEveryByteOfItsFirstFrame) {
    Bytes frames = AudioFrames(6);
    for (size_t cut = 0; cut < 576; ++cut) {
        AudioStreamInfo a = ScanBytes(Bytes(frames.begin() + static_cast<long>(cut), frames.end()));
        EXPECT_EQ(AudioOk, a.status) << cut;
        EXPECT_EQ((576 - cut) % 576, a.skippedBytes) << cut;
        EXPECT_EQ(cut ? 1 : 0, a.syncLosses) << cut;
        EXPECT_EQ(cut ? 5 : 6, a.syncWords) << cut;
    }
}

TEST_F(HeaderScanTest, AFrameWithAnotherLayerIsASyncLoss) {
    AudioFrameFields layerIII;
    layerIII.layer = kLayerIII;
    const AudioStreamInfo& a = Scan(Join({AudioFrames(3), AudioFrame(layerIII), AudioFrames(3)}));
    EXPECT_EQ(AudioOk, a.status);
    EXPECT_EQ(6, a.syncWords);
    EXPECT_EQ(1, a.syncLosses);
}

TEST_F(HeaderScanTest, IdBitZeroSetsItsStatusForGood) {
    AudioFrameFields lowSamplingFrequencies;
    lowSamplingFrequencies.id = 0;
    const AudioStreamInfo& a =
        Scan(Join({AudioFrames(2), AudioFrame(lowSamplingFrequencies), AudioFrames(4)}));
    EXPECT_EQ(AudioBadIdBit, a.status);
    EXPECT_EQ(kIdIso11172, a.idBit);
    EXPECT_EQ(6, a.syncWords);
    EXPECT_EQ(1, a.syncLosses);
    EXPECT_EQ(192, a.bitrateKbps);
    EXPECT_EQ(48000, a.samplingFrequency);
}

// The lower sampling frequencies of ISO/IEC 13818-3 (ID bit 0): the same header with its
// own bitrate and frequency tables, and Layer III frames of 576 samples. Each case gives
// the figures worked out from those tables, so that the frames are built to the length
// the standard gives, not the one the scan computes.
struct LsfFrameCase {
    const char* what;
    int layer;
    int bitrateIndex;
    int samplingIndex;
    int padding;
    int length;  // bytes
    int kbps;
    int hz;
    int samples;  // per channel and frame
};

class LsfFrameTest : public ::testing::TestWithParam<LsfFrameCase> {
  protected:
    TempDir dir_;
    BoundSink bound_;
};

TEST_P(LsfFrameTest, FramesOfTheirOwnLength) {
    const LsfFrameCase& c = GetParam();
    EXPECT_EQ(c.length, AudioFrameLength(kIdLowSamplingFrequencies, c.layer, c.bitrateIndex,
                                         c.samplingIndex, c.padding))
        << c.what;
    EXPECT_EQ(c.kbps, BitrateKbps(kIdLowSamplingFrequencies, c.layer, c.bitrateIndex)) << c.what;
    EXPECT_EQ(c.hz, SamplingFrequencyHz(kIdLowSamplingFrequencies, c.samplingIndex)) << c.what;
    EXPECT_EQ(c.samples, SamplesPerFrame(kIdLowSamplingFrequencies, c.layer)) << c.what;

    AudioFrameFields f;
    f.id = kIdLowSamplingFrequencies;
    f.layer = c.layer;
    f.bitrateIndex = c.bitrateIndex;
    f.samplingIndex = c.samplingIndex;
    f.padding = c.padding;
    // Near each frame's end, a sync word with another layer: a skip that fell short of
    // the frame's length would find it and count a false sync loss, one that went past it
    // would lose the next frame.
    Bytes frame = AudioFrame(f, c.length);
    frame[static_cast<size_t>(c.length) - 6] = 0xFF;
    frame[static_cast<size_t>(c.length) - 5] = static_cast<uint8_t>(0xF1 | (c.layer % 3 + 1) << 1);
    Bytes es;
    for (int i = 0; i < 12; ++i) es = Join({es, frame});
    std::string path = dir_.Write("a.mpg", PacketizeAudio(es, 333));
    ScanProgramStream(path, 0);
    EXPECT_EQ(AudioBadIdBit, ScanAudioHeaders(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0)))
        << c.what;
    const AudioStreamInfo& a = AudioHeaderRecord(0xC0);
    EXPECT_EQ(kIdLowSamplingFrequencies, a.idBit) << c.what;
    EXPECT_EQ(12, a.syncWords) << c.what;
    EXPECT_EQ(0, a.syncLosses) << c.what;
    EXPECT_EQ(0u, a.skippedBytes) << c.what;
    EXPECT_EQ(c.layer, a.layer) << c.what;
    EXPECT_EQ(c.kbps, a.bitrateKbps) << c.what;
    EXPECT_EQ(c.hz, a.samplingFrequency) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Lsf, LsfFrameTest,
    ::testing::Values(
        // (12 x bitrate / frequency + padding) four-byte slots of 384 samples.
        LsfFrameCase{"Layer I, 256 kbit/s, 24 kHz", kLayerI, 14, 1, 0, 512, 256, 24000, 384},
        LsfFrameCase{"Layer I, 32 kbit/s, 22.05 kHz, padded", kLayerI, 1, 0, 1, 72, 32, 22050, 384},
        LsfFrameCase{"Layer I, 144 kbit/s, 16 kHz", kLayerI, 9, 2, 0, 432, 144, 16000, 384},
        // 144 x bitrate / frequency + padding bytes of 1152 samples.
        LsfFrameCase{"Layer II, 96 kbit/s, 24 kHz", kLayerII, 10, 1, 0, 576, 96, 24000, 1152},
        LsfFrameCase{"Layer II, 8 kbit/s, 22.05 kHz", kLayerII, 1, 0, 0, 52, 8, 22050, 1152},
        LsfFrameCase{"Layer II, 160 kbit/s, 16 kHz, padded: the longest frame", kLayerII, 14, 2, 1,
                     1441, 160, 16000, 1152},
        // 72 x bitrate / frequency + padding bytes of 576 samples.
        LsfFrameCase{"Layer III, 64 kbit/s, 24 kHz", kLayerIII, 8, 1, 0, 192, 64, 24000, 576},
        LsfFrameCase{"Layer III, 144 kbit/s, 22.05 kHz, padded", kLayerIII, 13, 0, 1, 471, 144,
                     22050, 576},
        LsfFrameCase{"Layer III, 8 kbit/s, 16 kHz", kLayerIII, 1, 2, 0, 36, 8, 16000, 576}),
    CaseNumber());

AudioFrameFields LsfLayerIII() {
    AudioFrameFields f;
    f.id = kIdLowSamplingFrequencies;
    f.layer = kLayerIII;
    f.bitrateIndex = 8;  // 64 kbit/s at 24 kHz: 192 bytes, where ID 1 would give 336
    return f;
}

// The first accepted header fixes the ID as it fixes layer and sampling frequency: a
// header of the other ID is a sync loss. Any header with ID bit 0 sets AudioBadIdBit.
struct IdCase {
    const char* what;
    Bytes es;
    AudioStatus status;
    int idBit;
    int syncWords;
    int syncLosses;
    uint32_t skippedBytes;
};

std::vector<IdCase> IdCases() {
    AudioFrameFields lsf = LsfLayerIII();
    AudioFrameFields mpeg1 = lsf;
    mpeg1.id = kIdIso11172;
    return {
        {"an LSF stream", AudioFrames(10, lsf), AudioBadIdBit, 0, 10, 0, 0},
        {"a single LSF frame: its own header sets the status", AudioFrames(1, lsf), AudioBadIdBit,
         0, 1, 0, 0},
        {"an LSF stream cut inside a frame",
         Join({LastBytes(AudioFrame(lsf), 100), AudioFrames(8, lsf)}), AudioBadIdBit, 0, 8, 1, 100},
        {"an ISO/IEC 11172-3 header of the same layer inside an LSF stream",
         Join({AudioFrames(3, lsf), AudioFrame(mpeg1), AudioFrames(3, lsf)}), AudioBadIdBit, 0, 6,
         1, 0},
        {"LSF headers inside an ISO/IEC 11172-3 stream: its status, a loss each",
         Join({AudioFrames(3, mpeg1), AudioFrames(2, lsf), AudioFrames(3, mpeg1)}), AudioBadIdBit,
         1, 6, 2, 0},
        {"an LSF header that an ISO/IEC 11172-3 header follows at its length is no start",
         Join({AudioFrame(lsf), AudioFrames(4, mpeg1)}), AudioOk, 1, 4, 1, 192},
    };
}

class IdTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(IdTest, TheFirstHeaderFixesTheId) {
    const IdCase& c = GetParam();
    AudioStreamInfo a = ScanBytes(c.es);
    EXPECT_EQ(c.status, a.status) << c.what;
    EXPECT_EQ(c.idBit, a.idBit) << c.what;
    EXPECT_EQ(c.syncWords, a.syncWords) << c.what;
    EXPECT_EQ(c.syncLosses, a.syncLosses) << c.what;
    EXPECT_EQ(c.skippedBytes, a.skippedBytes) << c.what;
    EXPECT_EQ(kLayerIII, a.layer) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Ids, IdTest, ::testing::ValuesIn(IdCases()), CaseNumber());

// A switching bitrate at the lower sampling frequencies: each frame as long as its own
// index gives in that table, the mean over frames of 576 samples.
TEST(HeaderScanBitrate, VariableBitrateLsfLayerIII) {
    std::vector<int> indexes;
    for (int i = 0; i < 10; ++i) {
        for (int index : {8, 14, 1}) indexes.push_back(index);
    }
    AudioStreamInfo a = ScanBytes(VariableBitrateFrames(indexes, LsfLayerIII()));
    EXPECT_EQ(30, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
    EXPECT_EQ(8, a.bitrateMinKbps);
    EXPECT_EQ(160, a.bitrateMaxKbps);
    // 64, 160 and 8 kbit/s at 24 kHz: 192 + 480 + 24 bytes, ten times, over 30 frames of
    // 24 ms: 77.3 kbit/s.
    EXPECT_EQ(77, a.bitrateKbps);
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
    Bytes frames = Join({AudioFrames(2), VariableBitrateFrames({9, 14, 1})});
    for (size_t cut = 0; cut < frames.size(); cut += 13) {
        const AudioStreamInfo& a =
            Scan(Bytes(frames.begin(), frames.begin() + static_cast<long>(cut)));
        // A header needs four bytes before anything can be said of it.
        EXPECT_EQ(cut < 4 ? AudioNoInitialSync : AudioOk, a.status) << cut;
        EXPECT_LE(a.syncWords, 5) << cut;
        // A header cut short reads zeros where its fields would be: at most one loss.
        EXPECT_LE(a.syncLosses, 1) << cut;
    }
}

// Bitrate switching (ISO/IEC 11172-3, 2.4.2.3): each frame as long as its own header
// says, layer and sampling frequency as the first frame's.
TEST(HeaderScanBitrate, VariableBitrateLayerIII) {
    AudioFrameFields layerIII;
    layerIII.layer = kLayerIII;
    // 128, 256, 32, 320, 64 kbit/s at 48 kHz: 384, 768, 96, 960, 192 bytes.
    std::vector<int> indexes;
    for (int i = 0; i < 20; ++i) {
        for (int index : {9, 13, 1, 14, 5}) indexes.push_back(index);
    }
    AudioStreamInfo a = ScanBytes(VariableBitrateFrames(indexes, layerIII));
    EXPECT_EQ(AudioOk, a.status);
    EXPECT_EQ(100, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
    EXPECT_EQ(9, a.bitrateIndex);  // the first frame's
    EXPECT_EQ(32, a.bitrateMinKbps);
    EXPECT_EQ(320, a.bitrateMaxKbps);
    // 20 x 2400 bytes x 8 over 100 frames of 24 ms: 160 kbit/s.
    EXPECT_EQ(160, a.bitrateKbps);
}

TEST(HeaderScanBitrate, MeanIsRoundedToWholeKbps) {
    AudioFrameFields layerIII;
    layerIII.layer = kLayerIII;
    // 32 and 40 kbit/s: 96 and 120 bytes, a mean of 36 over (32, 40, 32, 40); over
    // (40, 32, 32) 34.67, shown as 35.
    EXPECT_EQ(36, ScanBytes(VariableBitrateFrames({1, 2, 1, 2}, layerIII)).bitrateKbps);
    EXPECT_EQ(35, ScanBytes(VariableBitrateFrames({2, 1, 1}, layerIII)).bitrateKbps);
}

TEST(HeaderScanBitrate, ConstantBitrateWithPaddingShowsItsTableBitrate) {
    AudioFrameFields f;
    f.samplingIndex = 0;  // 44.1 kHz: 626.9 bytes a frame at 192 kbit/s
    Bytes frames;
    for (int i = 0; i < 10; ++i) {
        f.padding = i % 10 != 0;
        frames = Join({frames, AudioFrame(f)});
    }
    AudioStreamInfo a = ScanBytes(frames);
    EXPECT_EQ(10, a.syncWords);
    EXPECT_EQ(0, a.syncLosses);
    EXPECT_EQ(192, a.bitrateKbps);
    EXPECT_EQ(a.bitrateMinKbps, a.bitrateMaxKbps);
}

struct SwitchCase {
    const char* what;
    Bytes es;
    int syncWords;
    int syncLosses;
};

std::vector<SwitchCase> SwitchCases() {
    AudioFrameFields other = With([](AudioFrameFields& f) { f.bitrateIndex = 11; });
    AudioFrameFields free = With([](AudioFrameFields& f) { f.bitrateIndex = 0; });
    AudioFrameFields forbidden = With([](AudioFrameFields& f) { f.bitrateIndex = 15; });
    AudioFrameFields otherRateAndFrequency = With([](AudioFrameFields& f) {
        f.bitrateIndex = 11;
        f.samplingIndex = 0;
    });
    return {
        {"a frame with another bitrate, followed by a header",
         Join({AudioFrames(3), AudioFrame(other), AudioFrames(3)}), 7, 0},
        // Nothing follows to confirm it: a stream that has not switched before keeps
        // its one bitrate, and the header is a sync loss as it always was.
        {"the last frame with another bitrate", Join({AudioFrames(3), AudioFrame(other)}), 3, 1},
        {"the last frame of a switching stream, cut short",
         Join(
             {AudioFrames(2), AudioFrame(other), AudioFrames(1), LastBytes(AudioFrame(other), 10)}),
         4, 0},
        {"another bitrate, and no header where its length ends",
         Join({AudioFrames(3), AudioFrame(other, 300), AudioFrames(3)}), 6, 1},
        {"another bitrate and another sampling frequency",
         Join({AudioFrames(3), AudioFrame(otherRateAndFrequency), AudioFrames(3)}), 6, 1},
        {"a switch to free format", Join({AudioFrames(3), AudioFrame(free, 300), AudioFrames(3)}),
         6, 1},
        {"a switch to the forbidden index",
         Join({AudioFrames(3), AudioFrame(forbidden, 300), AudioFrames(3)}), 6, 1},
    };
}

class SwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTest, BitrateSwitchesThatHold) {
    const SwitchCase& c = GetParam();
    AudioStreamInfo a = ScanBytes(c.es);
    EXPECT_EQ(c.syncWords, a.syncWords) << c.what;
    EXPECT_EQ(c.syncLosses, a.syncLosses) << c.what;
    EXPECT_EQ(10, a.bitrateIndex) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Switches, SwitchTest, ::testing::ValuesIn(SwitchCases()), CaseNumber());

// The same stream in pieces of any size gives the same record: every step waits until
// it can see as far as it would with the whole payload.
TEST(HeaderScanPieces, PieceSizesDoNotChangeTheResult) {
    AudioFrameFields idZero = With([](AudioFrameFields& f) { f.id = 0; });
    AudioFrameFields layerIII = With([](AudioFrameFields& f) { f.layer = kLayerIII; });
    Bytes garbage(3000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 % 256);
    Bytes es = Join({LastBytes(AudioFrame(), 123), AudioFrames(3), garbage, AudioFrame(idZero),
                     VariableBitrateFrames({14, 1, 14, 10}), AudioFrame(layerIII), AudioFrames(2),
                     Bytes(7, 0xFF), AudioFrames(2), Bytes(500, 0)});
    // And a stream of the lower sampling frequencies with its longest frames, a switch of
    // bitrate and a header of the other ID.
    AudioFrameFields lsf = With([](AudioFrameFields& f) {
        f.id = kIdLowSamplingFrequencies;
        f.bitrateIndex = 14;
        f.samplingIndex = 2;
        f.padding = 1;
    });
    Bytes lsfEs = Join({LastBytes(AudioFrame(lsf), 700), AudioFrames(3, lsf), garbage,
                        VariableBitrateFrames({14, 1, 10, 14}, lsf), AudioFrame(),
                        AudioFrames(2, lsf), Bytes(500, 0)});
    for (const Bytes& stream : {es, lsfEs}) {
        std::string whole = Fields(ScanPieces(stream, stream.size()));
        for (size_t piece : {1, 2, 3, 5, 64, 575, 576, 1441, 1729, 4095, 4096, 4097, 10000}) {
            EXPECT_EQ(whole, Fields(ScanPieces(stream, piece))) << piece;
        }
    }
}

TEST(HeaderScanPieces, StopLeavesTheRecordAsScanned) {
    Bytes es = AudioFrames(40);
    AudioHeaderScanner scanner;
    scanner.Feed(es.data(), 576 * 20);
    scanner.Stop();
    EXPECT_TRUE(scanner.Stopped());
    EXPECT_TRUE(scanner.Started());
    // Each step keeps 4096 bytes in view, so frames within them wait for more data.
    EXPECT_GT(scanner.Record().syncWords, 0);
    EXPECT_LT(scanner.Record().syncWords, 20);
    EXPECT_EQ(192, scanner.Record().bitrateKbps);
    scanner.Feed(es.data(), es.size());  // ignored
    scanner.Finish();
    EXPECT_LT(scanner.Record().syncWords, 20);
}

// The scan as it was before the start search and bitrate switching, step for step,
// through the payload reader. On streams that begin with two whole frames and keep one
// bitrate it must agree with the scan in every field.
class ReferenceScan {
  public:
    explicit ReferenceScan(StreamReader& reader) : reader_(reader) {}

    AudioStreamInfo Run() {
        if (reader_.PeekBits(12) != 0xFFF) {
            info_.status = AudioNoInitialSync;
        } else {
            for (;;) {
                if (!ParseHeader()) break;
                if (info_.protectionBit == 0) reader_.ReadBits(16);
                if (!SkipRestOfFrame()) break;
                if (!FindNextSyncWord()) break;
                if (reader_.AtEnd()) break;
            }
        }
        info_.bitrateKbps = BitrateKbps(kIdIso11172, info_.layer, info_.bitrateIndex);
        info_.samplingFrequency = SamplingFrequencyHz(kIdIso11172, info_.samplingIndex);
        info_.bitrateMinKbps = info_.bitrateMaxKbps = info_.bitrateKbps;
        return info_;
    }

  private:
    int32_t Read(int bits) { return static_cast<int32_t>(reader_.ReadBits(bits)); }

    bool ParseHeader() {
        for (;;) {
            reader_.ReadBits(12);
            if (Read(1) == 0) {
                info_.status = AudioBadIdBit;
                if (!CountedResync()) return false;
                continue;
            }
            if (info_.syncWords == 0) {
                info_.layer = Read(2);
                info_.protectionBit = Read(1);
                info_.bitrateIndex = Read(4);
                info_.samplingIndex = Read(2);
            } else {
                bool same = Read(2) == info_.layer;
                if (same) {
                    info_.protectionBit = Read(1);
                    same = Read(4) == info_.bitrateIndex && Read(2) == info_.samplingIndex;
                }
                if (!same) {
                    if (!CountedResync()) return false;
                    continue;
                }
            }
            info_.paddingBit = Read(1);
            info_.privateBit = Read(1);
            info_.mode = Read(2);
            info_.modeExtension = Read(2);
            info_.copyrightFlag = Read(1);
            info_.originalFlag = Read(1);
            info_.emphasis = Read(2);
            ++info_.syncWords;
            return true;
        }
    }

    bool CountedResync() {
        ++info_.syncLosses;
        while (reader_.PeekBits(12) != 0xFFF) {
            if (reader_.AtEnd()) return false;
            reader_.ReadBit();
        }
        return true;
    }

    bool SkipRestOfFrame() {
        // (A sampling index of 3 ended the scan here; the streams compared never hold one.)
        int32_t rest = AudioFrameLength(kIdIso11172, info_.layer, info_.bitrateIndex,
                                        info_.samplingIndex, info_.paddingBit) -
                       4 - (info_.protectionBit == 0 ? 2 : 0);
        reader_.SkipBytes(static_cast<size_t>((rest & 3) + 4 * std::max(rest >> 2, 0)));
        return !reader_.AtEnd();
    }

    bool FindNextSyncWord() {
        if (info_.layer != kLayerReserved && reader_.PeekBits(12) == 0xFFF) return true;
        do {
            if (reader_.AtEnd()) return false;
            reader_.ReadBit();
        } while (reader_.PeekBits(12) != 0xFFF);
        return true;
    }

    StreamReader& reader_;
    AudioStreamInfo info_{};
};

// A stream of one bitrate that begins with two whole frames, then frames with random
// data and fields, stuffing and garbage, headers with ID bit 0 or another layer or
// frequency, frames cut short, and an end anywhere. The random bytes are plain, or rich
// in 0xFF (many false sync words) when `falseSyncs`.
Bytes RandomConstantBitrateStream(std::mt19937& random, bool falseSyncs) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto noise = [&](Bytes& bytes, size_t from) {
        for (size_t i = from; i < bytes.size(); ++i) {
            bytes[i] = falseSyncs && pick(4) == 0 ? 0xFF : static_cast<uint8_t>(random());
        }
    };
    AudioFrameFields base;
    base.layer = 1 + pick(3);
    base.bitrateIndex = 1 + pick(14);
    base.samplingIndex = pick(3);
    base.protection = pick(2);
    auto frame = [&]() {
        AudioFrameFields f = base;
        f.padding = pick(2);
        f.privateBit = pick(2);
        f.mode = pick(4);
        f.modeExtension = pick(4);
        f.copyright = pick(2);
        f.original = pick(2);
        f.emphasis = pick(4);
        Bytes bytes = AudioFrame(f);
        noise(bytes, base.protection ? 4 : 6);
        return bytes;
    };
    Bytes es = Join({frame(), frame()});
    for (int events = 3 + pick(30); events > 0; --events) {
        Bytes part = frame();
        switch (pick(8)) {
            case 0:  // garbage or stuffing
                part.assign(static_cast<size_t>(1 + pick(60)), 0);
                if (pick(2)) noise(part, 0);
                break;
            case 1:
                part[1] &= 0xF7;  // ID bit 0
                break;
            case 2:  // another layer, or another sampling frequency
                if (pick(2)) {
                    part[1] =
                        static_cast<uint8_t>((part[1] & 0xF9) | ((1 + (base.layer % 3)) << 1));
                } else {
                    part[2] = static_cast<uint8_t>((part[2] & 0xF3) |
                                                   (((base.samplingIndex + 1) % 3) << 2));
                }
                break;
            case 3:  // cut short
                part.resize(static_cast<size_t>(4 + pick(static_cast<int>(part.size()) - 4)));
                break;
            default:
                break;
        }
        es = Join({es, part});
    }
    size_t cut = pick(3) == 0 ? static_cast<size_t>(pick(500)) : 0;
    if (cut < es.size()) es.resize(es.size() - cut);
    return es;
}

TEST(HeaderScanReference, AgreesWithTheEarlierScanOnStreamsWithoutTheNewTraits) {
    TempDir dir;
    BoundSink bound;
    std::mt19937 random(20251210);
    int compared = 0;
    for (int i = 0; i < 200; ++i) {
        Bytes es = RandomConstantBitrateStream(random, i % 2 == 1);
        std::string path = dir.Write("r.mpg", PacketizeAudio(es, 1 + random() % 2500));
        ScanProgramStream(path, 0);
        StreamReader reader;
        reader.Open(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0));
        AudioStreamInfo reference = ReferenceScan(reader).Run();
        reader.Close();
        ScanAudioHeaders(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0));
        const AudioStreamInfo& a = AudioHeaderRecord(0xC0);
        // A false header inside garbage with another bitrate index that a header happens
        // to follow at its length is now a frame: the stream then shows two bitrates,
        // and the earlier scan has nothing to say about it.
        if (a.bitrateMinKbps != a.bitrateMaxKbps) continue;
        ++compared;
        EXPECT_EQ(Fields(reference), Fields(a)) << "stream " << i;
    }
    EXPECT_GE(compared, 195);
}

}  // namespace
