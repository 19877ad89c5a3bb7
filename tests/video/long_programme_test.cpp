// A programme of more than 4 GiB of video through the real reader and report: the byte
// totals, their shares and the bitrates derived from them must not wrap at 32 bits.
// The file is sparse, so it costs a few hundred MB of disk and a few seconds.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "input/stream_reader.h"
#include "program/program_stream_scan.h"
#include "reference/reference_profile.h"
#include "run/analysis_driver.h"
#include "support/sparse_stream.h"
#include "support/test_files.h"
#include "support/video_builder.h"
#include "video/video_statistics.h"

namespace {

constexpr uint32_t kFramesPerSecond = 25;  // frame_rate_code 3
constexpr int kGops = 2;
constexpr int kFramesPerGop = 25;  // one I frame, then P frames
constexpr int kFrames = kGops * kFramesPerGop;
struct GopSizes {
    uint64_t iFrameBytes;
    uint64_t pFrameBytes;
};
// The first second alone passes 4 GiB, so the peak one-second group does too.
constexpr GopSizes kGopSizes[kGops] = {{10'000'000, 180'000'000}, {20'000'000, 1'000'000}};
constexpr uint64_t kStartCodeBytes = 4;
constexpr uint64_t kFourGiB = uint64_t{1} << 32;
constexpr int kStreamId = 0xE0;

uint64_t FrameBytes(int frame) {
    const GopSizes& gop = kGopSizes[frame / kFramesPerGop];
    return frame % kFramesPerGop == 0 ? gop.iFrameBytes : gop.pFrameBytes;
}

uint64_t GopBytes(const GopSizes& gop) {
    return gop.iFrameBytes + gop.pFrameBytes * (kFramesPerGop - 1);
}

// The headers in front of a frame's zero slice data: the sequence header and its
// extension before the first, a GOP header before each I frame.
Bytes FrameHeaders(int frame) {
    VideoEsBuilder v;
    if (frame == 0) v.SequenceHeader().SequenceExtension();
    bool intra = frame % kFramesPerGop == 0;
    if (intra) {
        v.GopHeader(0, 0, static_cast<uint32_t>(frame / kFramesPerGop), 0, frame == 0);
    }
    v.PictureHeader(intra ? kIPicture : kPPicture).PictureCodingExtension();
    return v.Slice(1, 0).Build();
}

// Each frame measures exactly FrameBytes(frame). The statistics end a frame just after
// the value byte of the start code that follows its slices, so the zeros run up to 4
// bytes short of where the frames so far end; the sequence end code ends the last.
SparseElementaryStream LongProgramme() {
    SparseElementaryStream es;
    uint64_t framesEnd = 0;
    for (int frame = 0; frame < kFrames; ++frame) {
        es.Append(FrameHeaders(frame));
        framesEnd += FrameBytes(frame);
        es.AppendZeros(framesEnd - kStartCodeBytes - es.Size());
    }
    return es.Append(VideoEsBuilder().EndCode().Build());
}

std::string Line(const char* format, unsigned long long first, unsigned long long second = 0) {
    char text[256];
    std::snprintf(text, sizeof text, format, first, second);
    return text;
}

const ReportLine* FindLine(const std::vector<ReportLine>& lines, const std::string& text) {
    for (const ReportLine& line : lines) {
        if (line.text == text) return &line;
    }
    return nullptr;
}

// The long programme's islands happen to fall inside packets; one cut by a packet
// boundary must still reach the reader whole.
TEST(LongProgrammeTest, SparseWriterCarriesIslandsAcrossPackets) {
    const Bytes across = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    const Bytes last = {0x77, 0x88};
    SparseElementaryStream es;
    es.AppendZeros(kSparsePayloadPerPacket - 3)
        .Append(across)
        .AppendZeros(kSparsePayloadPerPacket)
        .Append(last);
    Bytes dense(kSparsePayloadPerPacket - 3, 0);
    dense.insert(dense.end(), across.begin(), across.end());
    dense.resize(dense.size() + kSparsePayloadPerPacket, 0);
    dense.insert(dense.end(), last.begin(), last.end());

    TempDir dir;
    std::string path = dir.Path() + "/islands.mpg";
    WriteSparseProgramStream(path, es);
    ASSERT_EQ(ScanOk, ScanProgramStream(path, 0));
    EXPECT_EQ(3u, GetStreamIdTable().packetCount[kStreamId]);
    StreamReader reader;
    ASSERT_TRUE(reader.Open(path, kStreamId, StreamExtentOf(GetStreamIdTable(), kStreamId)));
    Bytes read(dense.size() + 1);
    EXPECT_EQ(dense.size(), reader.ReadBytes(read.data(), read.size()));
    read.pop_back();
    EXPECT_EQ(dense, read);
    reader.Close();
}

TEST(LongProgrammeTest, VideoByteTotalsPast4GiBInTheReport) {
    const GopSizes& first = kGopSizes[0];
    const GopSizes& second = kGopSizes[1];
    uint64_t iBytes = first.iFrameBytes + second.iFrameBytes;
    uint64_t pBytes = (first.pFrameBytes + second.pFrameBytes) * (kFramesPerGop - 1);
    uint64_t totalBytes = GopBytes(first) + GopBytes(second);
    uint64_t peakBytes = GopBytes(first);  // a GOP lasts one second
    ASSERT_GT(pBytes, kFourGiB);
    ASSERT_GT(peakBytes, kFourGiB);
    // Kbit of 1024 bits; the average frame's bytes 25 times a second.
    uint64_t averageKbps = totalBytes * kFramesPerSecond * 8 / kFrames / 1024;
    uint64_t peakKbps = peakBytes * 8 / 1024;

    TempDir dir;
    std::string path = dir.Path() + "/long.mpg";
    SparseElementaryStream es = LongProgramme();
    ASSERT_EQ(totalBytes, es.Size());
    uint64_t fileBytes = WriteSparseProgramStream(path, es);
    ASSERT_LT(AllocatedBytes(path), fileBytes / 10) << "the file must stay sparse";

    BoundSink bound;
    // The limits themselves pass: a figure over them, or a wrapped one, shows.
    LoadReferenceProfileFrom(dir.WriteText(
        "MpegReference.ini", "[Video]\nVideoAvgBitrate=" + std::to_string(averageKbps) +
                                 "\nVideoPeakBitrate=" + std::to_string(peakKbps) + "\n"));
    // Not the verdict: two GOPs leave none between the first and last to measure, and
    // the GOP length lines fail for that.
    AnalyzeFile(path.c_str());

    const VideoStreamInfo& info = GetVideoStreamInfo(kStreamId);
    EXPECT_EQ(totalBytes, info.totalFrameBytes);
    EXPECT_EQ(iBytes, info.iFrameBytes);
    EXPECT_EQ(pBytes, info.pFrameBytes);
    EXPECT_EQ(peakBytes, info.peakGroupBytes);
    std::vector<std::string> section = LinesBetween(
        bound.sink.Texts(), "Begin Video Streams Summary:", "End Video Streams Summary.");
    std::vector<std::string> expected = {
        "Elementary Stream E0 is a MPEG-2 Video Stream",  // the walk reached the end code
        "Number of Frames = 50 -> 2.00 Sec",
        Line("Max. Frame Size = %llu", first.pFrameBytes),
        Line("Min. Frame Size = %llu", second.pFrameBytes),
        Line("Average Frame Size = %llu", totalBytes / kFrames),
        "Frames I = 2 -> 4%",
        Line("Avg. Frame I Size = %llu KB", iBytes / kGops / 1024),
        Line("Frames I Total Size = %llu bytes, size %llu%%", iBytes, iBytes * 100 / totalBytes),
        "Frames P = 48 -> 96%",
        Line("Avg. Frame P Size = %llu KB", pBytes / (kFrames - kGops) / 1024),
        Line("Frames P Total Size = %llu bytes, size %llu%%", pBytes, pBytes * 100 / totalBytes),
        "Frames B Total Size = 0 bytes, size 0%",
    };
    for (const std::string& line : expected) EXPECT_TRUE(Contains(section, line)) << line;
    // The program stream section's payload total of the stream, past 4 GiB as well.
    EXPECT_EQ(totalBytes, GetStreamIdTable().payloadBytes[kStreamId]);
    char megabytes[64];
    std::snprintf(megabytes, sizeof megabytes, "Total = %.2f MB", totalBytes / 1048576.0);
    EXPECT_TRUE(Contains(bound.sink.Texts(), megabytes)) << megabytes;
    for (const std::string& pass : {Line("Average Bitrate = %llu Kbps", averageKbps),
                                    Line("Peak Bitrate (1 sec) = %llu Kbps", peakKbps)}) {
        const ReportLine* line = FindLine(bound.sink.Lines(), pass);
        ASSERT_NE(nullptr, line) << pass;
        EXPECT_EQ(LineColour::Green, line->colour) << pass;
    }
}

}  // namespace
