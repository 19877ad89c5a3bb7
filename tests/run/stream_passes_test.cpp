// Several streams of one file measured side by side, each on its own thread: every
// stream's section reads as if its stream had been measured alone, and the GOP rows and
// bitrate samples of each video stream reach the listener together, in stream order.
#include "run/stream_passes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/stream_reader.h"
#include "program/program_stream_scan.h"
#include "reference/reference_profile.h"
#include "run/analysis_driver.h"
#include "support/stream_builder.h"
#include "support/test_files.h"
#include "video/video_listener.h"

namespace {

// Writes down every call as a line of text.
class TranscriptListener : public VideoListener {
  public:
    void InitGopGrid() override { calls.push_back("init GOPs"); }
    void InitBitrateGrid() override { calls.push_back("init bitrate"); }
    void AddGopRow(const GopRow& row) override {
        calls.push_back("GOP " + row.timeCode + " " + row.structure);
    }
    void AddBitrateSample(double kilobits) override {
        calls.push_back("sample " + std::to_string(kilobits));
    }
    void DrawBitrateGraph(double averageKbps) override {
        calls.push_back("draw " + std::to_string(averageKbps));
    }
    std::vector<std::string> calls;
};

Bytes StreamBytes(const std::string& path, int id) {
    ScanProgramStream(path, 0);
    StreamReader reader;
    reader.Open(path, id, StreamExtentOf(GetStreamIdTable(), id));
    Bytes bytes(64 << 20);
    bytes.resize(reader.ReadBytes(bytes.data(), bytes.size()));
    return bytes;
}

// A spot's video and audio, each carried twice (E0 and E1, C0 and C1), packet by packet.
Bytes CarriedTwice(const Bytes& video, const Bytes& audio) {
    SystemHeaderFields header;
    header.audioBound = 2;
    header.videoBound = 2;
    header.bounds = {{0xE0, 1, 230}, {0xE1, 1, 230}, {0xC0, 0, 32}, {0xC1, 0, 32}};
    StreamBuilder builder;
    constexpr size_t kVideoPiece = 2000;
    constexpr size_t kAudioPiece = 400;
    uint64_t scr = 3600;
    for (size_t v = 0, a = 0; v < video.size() || a < audio.size();
         v += kVideoPiece, a += kAudioPiece) {
        builder.Pack(scr += 1800);
        if (v == 0) builder.SystemHeader(header);
        auto carry = [&](const Bytes& from, size_t at, size_t piece, uint8_t id) {
            if (at >= from.size()) return;
            PesFields fields;
            if (at == 0) fields.pts = 3600 + 18000;
            fields.payload.assign(
                from.begin() + static_cast<long>(at),
                from.begin() + static_cast<long>(std::min(from.size(), at + piece)));
            builder.Pes(id, fields);
        };
        for (uint8_t id : {0xE0, 0xE1}) carry(video, v, kVideoPiece, id);
        for (uint8_t id : {0xC0, 0xC1}) carry(audio, a, kAudioPiece, id);
    }
    return builder.EndCode().Build();
}

// The lines of one stream: from its "Elementary Stream ID ..." line to the next stream's
// or the section's end, written with the other id's number.
std::vector<std::string> StreamLines(const std::vector<std::string>& texts, const std::string& id,
                                     const std::string& asId) {
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line : texts) {
        if (line.rfind("Elementary Stream ", 0) == 0 || line.rfind("End ", 0) == 0) {
            inside = line.rfind("Elementary Stream " + id + " ", 0) == 0;
        }
        if (!inside) continue;
        for (size_t at = line.find("Stream " + id); at != std::string::npos;
             at = line.find("Stream " + id, at + 1)) {
            line.replace(at + 7, id.size(), asId);
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(StreamPassesTest, StreamsMeasuredSideBySideReportAsEachAlone) {
    BoundSink bound;
    TempDir dir;
    std::string spot = FixturePath("mplex_generic.mpg");
    std::string path =
        dir.Write("twice.mpg", CarriedTwice(StreamBytes(spot, 0xE0), StreamBytes(spot, 0xC0)));
    for (const char* profile : {"[Audio]\nDecodeAudio=0\n", "[Audio]\nDecodeAudio=1\n"}) {
        LoadReferenceProfileFrom(dir.WriteText("MpegReference.ini", profile));
        TranscriptListener listener;
        SetVideoListener(&listener);
        AnalyzeFile(path.c_str());
        SetVideoListener(nullptr);

        std::vector<std::string> texts = bound.sink.Texts();
        std::vector<std::string> e0 = StreamLines(texts, "E0", "E0");
        ASSERT_GT(e0.size(), 10u) << profile;
        EXPECT_EQ(e0, StreamLines(texts, "E1", "E0")) << profile;
        std::vector<std::string> c0 = StreamLines(texts, "C0", "C0");
        ASSERT_GT(c0.size(), 10u) << profile;
        EXPECT_EQ(c0, StreamLines(texts, "C1", "C0")) << profile;

        // Each stream's calls together: the grids begun afresh, the rows, the graph.
        const std::vector<std::string>& calls = listener.calls;
        ASSERT_EQ(0u, calls.size() % 2);
        std::vector<std::string> first(calls.begin(),
                                       calls.begin() + static_cast<long>(calls.size() / 2));
        std::vector<std::string> second(calls.begin() + static_cast<long>(calls.size() / 2),
                                        calls.end());
        EXPECT_EQ(first, second);
        ASSERT_GT(first.size(), 4u);
        EXPECT_EQ("init GOPs", first.front());
        EXPECT_EQ(0u, first.back().find("draw "));
    }
}

}  // namespace
