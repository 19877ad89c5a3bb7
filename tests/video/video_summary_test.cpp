// The video section of the report, through whole runs.
#include "video/video_summary.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "support/test_files.h"
#include "support/video_builder.h"

namespace {

class VideoSummaryTest : public ::testing::Test {
  protected:
    // The lines between the section's headings.
    std::vector<std::string> Section(const Bytes& file, const std::string& profile) {
        LoadReferenceProfileFrom(dir_.WriteText("MpegReference.ini", profile));
        std::string path = dir_.Write("v.mpg", file);
        AnalyzeFile(path.c_str());
        return LinesBetween(bound_.sink.Texts(),
                            "Begin Video Streams Summary:", "End Video Streams Summary.");
    }
    bool IsFailure(const std::string& text) {
        for (const ReportLine& line : bound_.sink.Lines()) {
            if (line.text == text) return line.colour == LineColour::Red && line.bold;
        }
        ADD_FAILURE() << "no line " << text;
        return false;
    }
    TempDir dir_;
    BoundSink bound_;
};

// 2 GOPs of 25 frames (I then 24 P), 400 bytes of slice data each, and the end code.
Bytes TwoSecondStream(bool endCode = true) {
    VideoEsBuilder v;
    for (int g = 0; g < 3; ++g) {
        v.SequenceHeader().SequenceExtension().GopHeader(0, 0, static_cast<uint32_t>(g), 0, g == 0);
        for (int i = 0; i < 25; ++i) v.Picture(i == 0 ? 1 : 2, 1, 400);
    }
    if (endCode) v.EndCode();
    return PacketizeVideo(v.Build(), 2000);
}

TEST_F(VideoSummaryTest, DetailLinesInOrder) {
    std::vector<std::string> lines = Section(TwoSecondStream(), "");
    std::vector<std::string> prefixes = {
        "Elementary Stream E0 is a MPEG-2 Video Stream",
        "Video Delay Stream E0 = 400.0 ms",  // the first PTS, 440 ms, after the SCR's 40
        "Number of Frames = 75 -> 3.00 Sec",
        "Number of Sequence Headers = 3",
        "Sequence Headers Aligned = ",
        "Horizontal Size = 720",
        "Vertical Size = 576",
        "Aspect Ratio = 16:9",
        "Frame Rate = 25 fps",
        "P-STD Buffer Size Bound = 230 KB (From System Header)",
        "VBV Buffer Size = 112 -> (224 KB)",
        "Stream Type = MPEG-2 MP@ML VBR",
        "Chroma Format = 4:2:0",
        "Picture Structure = Frame",
        "Intra DC Precision = 9",
        "Top Field First = Yes",
        "DCT Type = Frame",
        "Quant. Scale = Nonlinear",
        "Scan Type = ZigZag",
        "Frame Type = Interlaced",
        "Number of GOPs = 3",
        "First GOP Closed = Yes",
        "Number of Closed GOP = 1",
        "Max. frames per GOP (without first & last) = 25",
        "Min. frames per GOP (without first & last) = 25",
        "Avg. frames per GOP (Total) = 25.00",
        "Max. Frame Size = ",
        "Min. Frame Size = ",
        "Average Frame Size = ",
        "Frames I = 3 -> 4%",
        "Avg. Frame I Size = 0 KB",
        "Frames I Total Size = ",
        "Frames P = 72 -> 96%",
        "Avg. Frame P Size = 0 KB",
        "Frames P Total Size = ",
        "Frames B = 0 -> 0%",
        "Avg. Frame B Size = 0 KB",
        "Frames B Total Size = 0 bytes, size 0%",
        "Nominal bitrate (Sequence Header) = 5000000 bps -> 4882 Kbps",
        "Average Bitrate = ",
        "Peak Bitrate (1 sec) = ",
    };
    ASSERT_EQ(prefixes.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(0u, lines[i].find(prefixes[i])) << lines[i];
    }
    EXPECT_FALSE(GetRunState().runFailed);
    EXPECT_DOUBLE_EQ(3.0, GetRunState().videoDurationSeconds);
    EXPECT_EQ(3u, GetRunState().videoWholeSeconds);
    EXPECT_EQ(0u, GetRunState().videoRemainingFrames);
    EXPECT_DOUBLE_EQ(400.0, GetRunState().videoFirstPtsMs);
}

TEST_F(VideoSummaryTest, ChecksAgainstTheVideoKeys) {
    Section(TwoSecondStream(),
            "[Video]\nHorizontalSize=704\nFrameRate=3\nAllGOPClosed=1\nGOPLengthMax=15\n"
            "FramesBRequired=1\nCBR_VBR=0\nVideoAvgBitrate=10\nSequenceHeadersMin=4\n");
    EXPECT_TRUE(IsFailure("*Horizontal Size = 720"));
    EXPECT_FALSE(IsFailure("Frame Rate = 25 fps"));
    EXPECT_TRUE(IsFailure("*Number of Closed GOP = 1"));
    EXPECT_TRUE(IsFailure("*Max. frames per GOP (without first & last) = 25"));
    EXPECT_TRUE(IsFailure("*Frames B = 0 -> 0%"));
    EXPECT_TRUE(IsFailure("*Stream Type = MPEG-2 MP@ML VBR"));
    EXPECT_TRUE(IsFailure("*Number of Sequence Headers = 3"));
    EXPECT_TRUE(GetRunState().runFailed);
}

TEST_F(VideoSummaryTest, MissingEndCodeLine) {
    for (auto [profile, failure] : {std::pair{"[Video]\nVideoEndCodeRequired=1\n", true},
                                    std::pair{"[Video]\nVideoEndCodeRequired=0\n", false}}) {
        std::vector<std::string> lines = Section(TwoSecondStream(false), profile);
        std::string expected = failure ? "*Sequence_end_code NOT FOUND, in Stream E0!!"
                                       : "Sequence_end_code NOT FOUND, in Stream E0!!";
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(expected, lines[0]);
        EXPECT_EQ("Number of Frames = 75 -> 3.00 Sec", lines[2]);  // the last picture counts
        EXPECT_EQ(failure, GetRunState().runFailed);
    }
}

// What the coded frames use, judged by PictureStructure (3 frame, 0 field pictures).
TEST_F(VideoSummaryTest, PictureStructureOfTheWholeStream) {
    PictureCodingFields frame;
    PictureCodingFields top;
    top.pictureStructure = 1;
    PictureCodingFields bottom;
    bottom.pictureStructure = 2;
    struct Case {
        const char* what;
        std::vector<PictureCodingFields> pictures;
        std::vector<std::string> lines;
    };
    std::vector<Case> cases = {
        {"frame pictures", {frame, frame}, {"*Picture Structure = Frame"}},
        {"field pictures",
         {top, bottom},
         {"Picture Structure = Field", "Picture Structure = Field"}},
        {"field pictures after a frame picture",
         {frame, top, bottom},
         {"Picture Structure = Frame and Field"}},
    };
    for (const Case& c : cases) {
        VideoEsBuilder v;
        v.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 0);
        for (const PictureCodingFields& f : c.pictures) v.Picture(1, 1, 50, f);
        std::vector<std::string> lines =
            Section(PacketizeVideo(v.EndCode().Build(), 500), "[Video]\nPictureStructure=0\n");
        std::vector<std::string> structure;
        for (const std::string& line : lines) {
            if (line.find("Picture Structure") != std::string::npos) structure.push_back(line);
        }
        EXPECT_EQ(c.lines, structure) << c.what;
    }
}

// A capture cut from a longer recording: the bytes before its first sequence header
// are passed over and said.
TEST_F(VideoSummaryTest, SkippedStartIsAWarning) {
    Bytes es = VideoEsBuilder().Slice(7, 200).Picture(3).Build();
    size_t skipped = es.size();
    Bytes rest = VideoEsBuilder()
                     .SequenceHeader()
                     .SequenceExtension()
                     .GopHeader(0, 0, 0, 0)
                     .Picture(1)
                     .EndCode()
                     .Build();
    es.insert(es.end(), rest.begin(), rest.end());
    std::vector<std::string> lines = Section(PacketizeVideo(es, 500), "");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ("Elementary Stream E0 is a MPEG-2 Video Stream", lines[0]);
    EXPECT_EQ(std::to_string(skipped) + " bytes skipped before the first sequence header",
              lines[1]);
    for (const ReportLine& line : bound_.sink.Lines()) {
        if (line.text == lines[1]) {
            EXPECT_EQ(LineColour::Yellow, line.colour);
        }
    }
    EXPECT_EQ("Number of Frames = 1 -> 0.04 Sec", lines[3]);
}

// The error box's text is the stream's only line, a failure line.
TEST_F(VideoSummaryTest, RejectedStreamsShowAMessageAndTheirReason) {
    Bytes mpeg1 =
        PacketizeVideo(VideoEsBuilder().SequenceHeader().GopHeader(0, 0, 0, 0).Build(), 500);
    EXPECT_EQ(
        std::vector<std::string>{"*Elementary Stream E0 is a MPEG-1 Video Stream (Not Valid)!!"},
        Section(mpeg1, ""));
    ASSERT_FALSE(bound_.sink.ErrorBoxes().empty());
    EXPECT_EQ("Elementary Stream E0 is a MPEG-1 Video Stream (Not Valid)!!",
              bound_.sink.ErrorBoxes().back());
    EXPECT_TRUE(GetRunState().runFailed);
    EXPECT_EQ(0.0, GetRunState().videoDurationSeconds);
}

TEST_F(VideoSummaryTest, UndefinedFiguresPrintZero) {
    // No GOP header and an invalid frame rate: nothing to divide by, no GOP measured.
    SequenceFields odd;
    odd.frameRateCode = 9;
    odd.aspectRatio = 5;
    VideoEsBuilder v;
    v.SequenceHeader(odd).SequenceExtension().Picture(1).EndCode();
    std::vector<std::string> lines = Section(PacketizeVideo(v.Build(), 500), "");
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("Number of Frames = 1 -> 0.00 Sec"));
    EXPECT_TRUE(has("*Aspect Ratio = Invalid"));
    EXPECT_TRUE(has("*Frame Rate = Invalid"));
    EXPECT_TRUE(has("Avg. frames per GOP (Total) = 0.00"));
    EXPECT_TRUE(has("Number of Closed GOP = All"));
    EXPECT_TRUE(has("*Max. frames per GOP (without first & last) = 0"));
    EXPECT_TRUE(has("*Min. frames per GOP (without first & last) = 0"));
    EXPECT_TRUE(has("Avg. Frame P Size = 0 KB"));
    EXPECT_TRUE(has("Average Bitrate = 0 Kbps"));
    EXPECT_TRUE(has("Peak Bitrate (1 sec) = 0 Kbps"));
    EXPECT_EQ(0u, GetRunState().videoWholeSeconds);
}

TEST_F(VideoSummaryTest, TwoStreamsInOrderAndTheLastLeavesItsFigures) {
    // E2 (a single frame) comes first in the file, E0 (three seconds) after it.
    Bytes e2 = VideoEsBuilder()
                   .SequenceHeader()
                   .SequenceExtension()
                   .GopHeader(0, 0, 0, 0)
                   .Picture(1)
                   .EndCode()
                   .Build();
    Bytes file = PacketizeVideo(e2, 300, 0xE2);
    file.resize(file.size() - 4);  // without its program end code
    Bytes e0 = TwoSecondStream();
    file.insert(file.end(), e0.begin(), e0.end());
    std::vector<std::string> lines = Section(file, "");
    auto first =
        std::find(lines.begin(), lines.end(), "Elementary Stream E0 is a MPEG-2 Video Stream");
    auto second =
        std::find(lines.begin(), lines.end(), "Elementary Stream E2 is a MPEG-2 Video Stream");
    ASSERT_NE(lines.end(), first);
    ASSERT_NE(lines.end(), second);
    EXPECT_LT(first, second);
    EXPECT_DOUBLE_EQ(1.0 / 25, GetRunState().videoDurationSeconds);
}

}  // namespace
