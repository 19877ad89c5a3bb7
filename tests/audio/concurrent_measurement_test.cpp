// Two audio streams analysed at the same time on two threads, each through its own
// payload reader, give exactly what each gives analysed alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <latch>
#include <string>
#include <thread>

#include "audio/audio_header_scan.h"
#include "audio/audio_levels.h"
#include "program/program_stream_scan.h"
#include "support/test_files.h"

namespace {

// A program stream holding `es` in a single PES packet of stream `id`. Opening the
// payload reader loads that packet whole and uses up its packet budget, so the reader
// never goes back to the file: the two threads share nothing of the file reading.
Bytes OnePacketStream(const Bytes& es, uint8_t id) {
    PesFields f;
    f.pts = 12600;
    f.payload = es;
    return StreamBuilder().Pack(3600).Pes(id, f).EndCode().Build();
}

// The elementary stream 0xC0 of a fixture made by a real encoder.
Bytes ElementaryStream(const std::string& fixture) {
    std::string path = FixturePath(fixture);
    ScanProgramStream(path, 0);
    StreamReader reader;
    reader.Open(path, 0xC0, StreamExtentOf(GetStreamIdTable(), 0xC0));
    Bytes es;
    uint8_t piece[4096];
    while (size_t got = reader.ReadBytes(piece, sizeof piece)) {
        es.insert(es.end(), piece, piece + got);
    }
    reader.Close();
    return es;
}

// Every field, doubles to the last bit, so that any difference shows.
std::string Describe(const AudioStreamInfo& a) {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "status %d losses %d layer %d bitrate %d/%d (%d-%d) rate %d/%d padding %d "
                  "protection %d private %d mode %d/%d flags %d%d emphasis %d dc %a %a peak %a "
                  "%a clipped %d %d rms %a %a sync %d decoded %d %a skipped %u",
                  a.status, a.syncLosses, a.layer, a.bitrateIndex, a.bitrateKbps, a.bitrateMinKbps,
                  a.bitrateMaxKbps, a.samplingIndex, a.samplingFrequency, a.paddingBit,
                  a.protectionBit, a.privateBit, a.mode, a.modeExtension, a.copyrightFlag,
                  a.originalFlag, a.emphasis, a.dcLeft, a.dcRight, a.peakLeft, a.peakRight,
                  a.clippedLeft, a.clippedRight, a.rmsLeft, a.rmsRight, a.syncWords, a.decodedBytes,
                  a.decodedSeconds, a.skippedBytes);
    return text;
}

struct Stream {
    std::string path;
    int id;
    StreamExtent extent;
};

class ConcurrentAudioTest : public ::testing::TestWithParam<bool> {
  protected:
    // Header scan, or decoding (libmpg123) with GetParam().
    std::string Analyse(StreamReader& reader, int id) {
        bool decode = GetParam();
        if (decode) {
            MeasureAudioLevels(reader, id, 0);
            return Describe(AudioDecodeRecord(id));
        }
        ScanAudioHeaders(reader, id);
        return Describe(AudioHeaderRecord(id));
    }

    BoundSink bound_;
    TempDir dir_;
};

TEST_P(ConcurrentAudioTest, TwoStreamsAtOnceGiveWhatEachGivesAlone) {
    // Streams that differ in layer, bitrate, levels and stream id.
    Stream streams[2] = {
        {dir_.Write("a.mpg", OnePacketStream(ElementaryStream("mp2_dc_offset.mpg"), 0xC0)),
         0xC0,
         {}},
        {dir_.Write("b.mpg", OnePacketStream(ElementaryStream("mp3_48k.mpg"), 0xC1)), 0xC1, {}},
    };
    std::string alone[2];
    for (int i = 0; i < 2; ++i) {
        Stream& s = streams[i];
        ScanProgramStream(s.path, 0);
        s.extent = StreamExtentOf(GetStreamIdTable(), s.id);
        ASSERT_EQ(1u, s.extent.pesPacketCount);
        StreamReader reader;
        ASSERT_TRUE(reader.Open(s.path, s.id, s.extent));
        alone[i] = Analyse(reader, s.id);
        reader.Close();
    }
    ASSERT_NE(alone[0], alone[1]);

    // Several rounds, each starting both threads together, to give a shared state many
    // chances to show.
    for (int round = 0; round < 8; ++round) {
        StreamReader readers[2];
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(readers[i].Open(streams[i].path, streams[i].id, streams[i].extent));
        }
        std::string together[2];
        std::latch start(2);
        auto run = [&](int i) {
            start.arrive_and_wait();
            together[i] = Analyse(readers[i], streams[i].id);
        };
        std::thread first(run, 0);
        std::thread second(run, 1);
        first.join();
        second.join();
        for (int i = 0; i < 2; ++i) {
            readers[i].Close();
            EXPECT_EQ(alone[i], together[i]) << "stream " << i << ", round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HeadersAndLevels, ConcurrentAudioTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Decoding" : "HeaderScan"; });

}  // namespace
