// The video section of the report, through whole runs.
#include "video/video_summary.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "support/test_files.h"
#include "support/video_builder.h"
#include "video/video_statistics.h"

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
    // No GOP length to measure: information without the key, a failure with it.
    EXPECT_TRUE(has("Max. frames per GOP (without first & last) = 0"));
    EXPECT_TRUE(has("Min. frames per GOP (without first & last) = 0"));
    EXPECT_TRUE(has("Avg. Frame P Size = 0 KB"));
    EXPECT_TRUE(has("Average Bitrate = 0 Kbps"));
    EXPECT_TRUE(has("Peak Bitrate (1 sec) = 0 Kbps"));
    EXPECT_EQ(0u, GetRunState().videoWholeSeconds);
    lines = Section(PacketizeVideo(v.Build(), 500), "[Video]\nGOPLengthMax=15\n");
    EXPECT_TRUE(has("*Max. frames per GOP (without first & last) = 0"));
    EXPECT_TRUE(has("*Min. frames per GOP (without first & last) = 0"));
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

namespace {

// A line of the section that starts with `prefix`, or "" when there is none.
std::string LineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) return line;
    }
    return "";
}

// Whether a line of the buffer, bitrate or splice checks failed the file ("*" in front);
// streams this short fail the GOP length lines whatever they hold.
bool AnyFailure(const std::vector<std::string>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        for (const char* failed : {"*VBV", "*Declared", "*Splice", "*Sequence Header before"}) {
            if (line.rfind(failed, 0) == 0) return true;
        }
        return false;
    });
}

// One closed GOP of I and P pictures of `filler` slice bytes, all with vbv_delay 0.1 s.
Bytes ConstantRateStream(const SequenceFields& sequence, size_t filler, int pictures = 50) {
    VideoEsBuilder v;
    v.SequenceHeader(sequence).SequenceExtension().GopHeader(0, 0, 0, 0, true);
    for (int i = 0; i < pictures; ++i) {
        v.TimedPicture(i == 0 ? kIPicture : kPPicture, static_cast<uint32_t>(i), 9000, filler);
    }
    return PacketizeVideo(v.EndCode().Build(), 2000);
}

// The bytes one TimedPicture adds: with bit_rate_value half of it, a frame period at 25 fps
// brings exactly one picture's bits (25 × 8 × bytes = 400 × bytes / 2).
size_t PictureBytes(size_t filler) {
    VideoEsBuilder v;
    v.TimedPicture(kPPicture, 0, 9000, filler);
    return v.Size();
}

}  // namespace

TEST_F(VideoSummaryTest, BufferModelOfAConstantRateStream) {
    size_t filler = PictureBytes(1000) % 2 == 0 ? 1000 : 1001;
    SequenceFields sequence;
    sequence.bitRateValue = static_cast<uint32_t>(PictureBytes(filler) / 2);
    std::vector<std::string> lines =
        Section(ConstantRateStream(sequence, filler), "[Video]\nVBVCheck=1\n");
    EXPECT_EQ("VBV Underflows = 0", LineStarting(lines, "VBV Underflows"));
    EXPECT_EQ("VBV Overflows = 0", LineStarting(lines, "VBV Overflows"));
    EXPECT_FALSE(AnyFailure(lines));

    // 0.1 s of the bit rate is 2.5 pictures, more than one unit of 16 384 bits holds.
    sequence.vbvBufferSize = 1;
    lines = Section(ConstantRateStream(sequence, filler), "[Video]\nVBVCheck=1\n");
    std::string overflow = LineStarting(lines, "*VBV Overflows = ");
    EXPECT_NE(std::string::npos, overflow.find("(first at picture 1, 0.00 s)")) << overflow;
    EXPECT_TRUE(AnyFailure(lines));

    // The same stream without the key: the line informs and nothing fails.
    lines = Section(ConstantRateStream(sequence, filler), "[Video]\nSpliceReady=1\n");
    EXPECT_EQ(0u, LineStarting(lines, "VBV Overflows = ").find("VBV Overflows = "));
    EXPECT_FALSE(AnyFailure(lines));
}

// 25 pictures of 1 000 bytes and their headers a second are 204 864 bits, against
// the bit rate, plus the buffer, which lets a second carry more than the rate.
TEST_F(VideoSummaryTest, DeclaredBitrateAgainstTheMeasuredPeak) {
    struct Case {
        uint32_t bitRateValue;   // units of 400 bit/s
        uint32_t vbvBufferSize;  // units of 16 384 bits
        std::string line;
    };
    const Case cases[] = {
        {100, 1,
         "*Declared Bitrate = 40000 bps, Measured Peak (1 sec) = 204864 bps, "
         "Limit with the VBV Buffer = 56384 bps"},
        // 160 000 bit/s and 3 units of buffer: 209 152; the second fits.
        {400, 3,
         "Declared Bitrate = 160000 bps, Measured Peak (1 sec) = 204864 bps, "
         "Limit with the VBV Buffer = 209152 bps"},
        {400, 2,
         "*Declared Bitrate = 160000 bps, Measured Peak (1 sec) = 204864 bps, "
         "Limit with the VBV Buffer = 192768 bps"},
        {12500, 112,
         "Declared Bitrate = 5000000 bps, Measured Peak (1 sec) = 204864 bps, "
         "Limit with the VBV Buffer = 6835008 bps"},
    };
    for (const Case& c : cases) {
        SequenceFields sequence;
        sequence.bitRateValue = c.bitRateValue;
        sequence.vbvBufferSize = c.vbvBufferSize;
        std::vector<std::string> lines =
            Section(ConstantRateStream(sequence, 1000), "[Video]\nDeclaredBitrateCheck=1\n");
        EXPECT_EQ(c.line, LineStarting(lines, c.line.substr(0, 20)));
        EXPECT_EQ(c.line[0] == '*', AnyFailure(lines)) << c.line;
    }
}

// Where a splicer can cut in and out, on streams whose ends are built to fail one way each.
TEST_F(VideoSummaryTest, SplicePoints) {
    struct Picture {
        uint32_t type;
        uint32_t temporalReference;
    };
    struct Case {
        const char* what;
        bool pictureBeforeSequenceHeader;
        bool closedFirstGop;
        bool secondGopSequenceHeader;
        std::vector<Picture> lastGop;
        const char* spliceIn;
        const char* spliceOut;
        const char* everyGop;
    };
    const std::vector<Picture> complete = {{1, 0}, {2, 3}, {3, 1}, {3, 2}};
    const char* inYes = "Splice In = Yes (I picture of a closed GOP after a sequence header)";
    const char* inNo =
        "*Splice In = No (the first picture is not an I picture of a closed GOP after a "
        "sequence header)";
    const char* outYes = "Splice Out = Yes (last GOP complete)";
    const char* everyYes = "Sequence Header before every GOP = Yes";
    const Case cases[] = {
        {"ready", false, true, true, complete, inYes, outYes, everyYes},
        {"open first GOP", false, false, true, complete, inNo, outYes, everyYes},
        {"P picture first", false, true, true, complete, inNo, outYes, everyYes},
        {"picture before the sequence header", true, true, true, complete, inNo, outYes, everyYes},
        {"dangling B pictures",
         false,
         true,
         true,
         {{1, 0}, {2, 2}, {3, 1}, {3, 3}, {3, 4}},
         inYes,
         "*Splice Out = No (2 B pictures need a picture after the end)",
         everyYes},
        {"GOP without a sequence header", false, true, false, complete, inYes, outYes,
         "*Sequence Header before every GOP = No (1 GOPs without)"},
    };
    for (const Case& c : cases) {
        VideoEsBuilder v;
        if (c.pictureBeforeSequenceHeader) v.TimedPicture(kBPicture, 5, 0xFFFF, 100);
        v.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 0, c.closedFirstGop);
        bool pFirst = std::string(c.what) == "P picture first";
        v.TimedPicture(pFirst ? kPPicture : kIPicture, 0, 0xFFFF, 100);
        v.TimedPicture(kPPicture, 1, 0xFFFF, 100);
        if (c.secondGopSequenceHeader) v.SequenceHeader().SequenceExtension();
        v.GopHeader(0, 0, 1, 0, false);
        for (const Picture& p : c.lastGop) v.TimedPicture(p.type, p.temporalReference, 0xFFFF, 100);
        std::vector<std::string> lines =
            Section(PacketizeVideo(v.EndCode().Build(), 2000),
                    "[Video]\nSpliceReady=1\nSequenceHeaderEveryGOP=1\n");
        EXPECT_EQ(c.spliceIn, LineStarting(lines, c.spliceIn)) << c.what;
        EXPECT_EQ(c.spliceOut, LineStarting(lines, c.spliceOut)) << c.what;
        EXPECT_EQ(c.everyGop, LineStarting(lines, c.everyGop)) << c.what;
        bool ready = std::string(c.what) == "ready";
        EXPECT_EQ(!ready, AnyFailure(lines)) << c.what;
    }
}

// A profile that sets none of these keys gets none of their lines.
TEST_F(VideoSummaryTest, SpotLinesOnlyWhenAsked) {
    std::vector<std::string> lines = Section(TwoSecondStream(), "");
    for (const char* prefix : {"VBV Occupancy", "VBV Underflows", "Declared Bitrate", "Splice In",
                               "Splice Out", "Sequence Header before every GOP"}) {
        EXPECT_EQ("", LineStarting(lines, prefix)) << prefix;
    }
}

// The run hands the video's display time to the spot length line after the sections.
TEST_F(VideoSummaryTest, SpotLengthFromAWholeRun) {
    Section(TwoSecondStream(), "[System]\nSpotDurations=5,3\n");
    EXPECT_TRUE(Contains(bound_.sink.Texts(), "Spot Duration = 75 frames -> 3 sec spot"));
    Section(TwoSecondStream(), "[System]\nSpotDurations=5\n");
    EXPECT_TRUE(
        Contains(bound_.sink.Texts(), "*Spot Duration = 75 frames -> 5 sec spot, 50 frames short"));
    EXPECT_TRUE(GetRunState().runFailed);
}

namespace {

// A stream of one sequence: its profile_and_level_indication, chroma_format and
// frame_rate_code as given, otherwise what TwoSecondStream has.
Bytes StreamOfFormat(uint32_t profileAndLevel, uint32_t chromaFormat, uint32_t frameRateCode) {
    SequenceFields sequence;
    sequence.frameRateCode = frameRateCode;
    VideoEsBuilder v;
    v.SequenceHeader(sequence)
        .SequenceExtension(profileAndLevel, chromaFormat)
        .GopHeader(0, 0, 0, 0);
    for (int i = 0; i < 10; ++i) v.Picture(i == 0 ? 1 : 2, 1, 100);
    return PacketizeVideo(v.EndCode().Build(), 2000);
}

}  // namespace

// Studio and HD streams read what they are. Judging is what it always was for every key
// value (ProfileAndLevel 0 accepts any stream that is not MP@ML, ChromaFormat 0 any chroma
// format but 4:2:0, a frame rate other than 25 and 29.97 fps fails without a key that names
// it), and a key set to the measured code accepts it as well.
TEST_F(VideoSummaryTest, StudioAndHdStreamsNamed) {
    struct Case {
        uint32_t profileAndLevel, chromaFormat, frameRateCode;
        const char* profile;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {0x85,
         2,
         3,
         "",
         {"Stream Type = MPEG-2 422P@ML VBR", "Chroma Format = 4:2:2", "Frame Rate = 25 fps"}},
        {0x85,
         2,
         3,
         "[Video]\nProfileAndLevel=0\nChromaFormat=0\n",
         {"Stream Type = MPEG-2 422P@ML VBR", "Chroma Format = 4:2:2"}},
        {0x85,
         2,
         3,
         "[Video]\nProfileAndLevel=1\nChromaFormat=1\n",
         {"*Stream Type = MPEG-2 422P@ML VBR", "*Chroma Format = 4:2:2"}},
        {0x82,
         2,
         3,
         "[Video]\nProfileAndLevel=130\nChromaFormat=2\n",
         {"Stream Type = MPEG-2 422P@HL VBR", "Chroma Format = 4:2:2"}},
        {0x44,
         1,
         6,
         "[Video]\nProfileAndLevel=68\nFrameRate=6\n",
         {"Stream Type = MPEG-2 MP@HL VBR", "Chroma Format = 4:2:0", "Frame Rate = 50 fps"}},
        {0x46, 1, 7, "", {"Stream Type = MPEG-2 MP@H-14 VBR", "*Frame Rate = 59.94 fps"}},
        {0x14,
         3,
         8,
         "[Video]\nFrameRate=3\n",
         {"Stream Type = MPEG-2 HP@HL VBR", "Chroma Format = 4:4:4", "*Frame Rate = 60 fps"}},
        {0x58,
         1,
         1,
         "[Video]\nFrameRate=1\n",
         {"Stream Type = MPEG-2 SP@ML VBR", "Frame Rate = 23.976 fps"}},
        {0x48, 1, 2, "", {"Stream Type = MPEG-2 MP@ML VBR", "*Frame Rate = 24 fps"}},
        {0x48, 1, 5, "[Video]\nFrameRate=5\n", {"Frame Rate = 30 fps"}},
        // Reserved values stay invalid.
        {0x4F,
         0,
         9,
         "",
         {"Stream Type = Invalid", "Chroma Format = Invalid", "*Frame Rate = Invalid"}},
        {0x8F, 1, 0, "[Video]\nFrameRate=0\n", {"Stream Type = Invalid", "*Frame Rate = Invalid"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines =
            Section(StreamOfFormat(c.profileAndLevel, c.chromaFormat, c.frameRateCode), c.profile);
        for (const std::string& line : c.lines) {
            EXPECT_TRUE(Contains(lines, line)) << line << " with " << c.profile;
            if (line[0] != '*') {
                EXPECT_FALSE(Contains(lines, "*" + line)) << line;
            }
        }
    }
}

// A sequence whose format differs from the one before: each change once, at the first
// picture of the new format, judged by FormatChangesAllowed.
TEST_F(VideoSummaryTest, FormatChangeLines) {
    SequenceFields slate;
    slate.width = 352;
    slate.aspectRatio = 2;
    SequenceFields spot;
    SequenceFields ntsc;
    ntsc.frameRateCode = 4;
    struct Sequence {
        SequenceFields fields;
        uint32_t chroma = 1;
        int pictures = 25;
    };
    auto stream = [](const std::vector<Sequence>& sequences) {
        VideoEsBuilder v;
        uint32_t second = 0;
        for (const Sequence& s : sequences) {
            v.SequenceHeader(s.fields)
                .SequenceExtension(0x48, s.chroma)
                .GopHeader(0, 0, second++, 0);
            for (int i = 0; i < s.pictures; ++i) v.Picture(i == 0 ? 1 : 2, 1, 50);
        }
        return PacketizeVideo(v.EndCode().Build(), 2000);
    };
    const std::string change =
        "Format Change at picture 26 (1.00 s): 352x576 4:3 25 fps -> 720x576 16:9 25 fps";
    const std::string back =
        "Format Change at picture 51 (2.00 s): 720x576 16:9 25 fps -> 352x576 4:3 25 fps";
    const struct {
        const char* what;
        Bytes bytes;
        const char* profile;
        std::vector<std::string> lines;
        const char* absent;
    } cases[] = {
        {"a slate before the spot",
         stream({{slate, 1}, {spot, 1}, {spot, 1}}),
         "[Video]\nFormatChangesAllowed=0\n",
         {"*" + change},
         "Format Change = None"},
        {"accepted",
         stream({{slate, 1}, {spot, 1}}),
         "[Video]\nFormatChangesAllowed=1\n",
         {change},
         "*Format"},
        {"not judged", stream({{slate, 1}, {spot, 1}}), "", {change}, "*Format"},
        // Back and forth: each way is one line, and every change is counted.
        {"back and forth",
         stream({{slate, 1}, {spot, 1}, {slate, 1}, {spot, 1}}),
         "",
         {change, back, "Format Changes = 3 in all"},
         "Format Change at picture 76"},
        // The time before a change runs at the rate of each sequence: 1 s of 25 pictures and
        // 1.001 s of 30 at 29.97 fps.
        {"after another frame rate",
         stream({{spot, 1, 25}, {ntsc, 1, 30}, {spot, 1, 25}}),
         "",
         {"Format Change at picture 26 (1.00 s): 720x576 16:9 25 fps -> 720x576 16:9 29.97 fps",
          "Format Change at picture 56 (2.00 s): 720x576 16:9 29.97 fps -> 720x576 16:9 25 fps"},
         "Format Changes ="},
        {"the chroma format named where it changes",
         stream({{spot, 1}, {spot, 2}}),
         "",
         {"Format Change at picture 26 (1.00 s): 720x576 16:9 25 fps 4:2:0 -> 720x576 16:9 25 "
          "fps 4:2:2"},
         "*Format"},
        {"no change, judged",
         stream({{spot, 1}, {spot, 1}}),
         "[Video]\nFormatChangesAllowed=0\n",
         {"Format Change = None"},
         "Format Change at"},
        {"no change, changes accepted",
         stream({{spot, 1}, {spot, 1}}),
         "[Video]\nFormatChangesAllowed=1\n",
         {"Format Change = None"},
         "*Format"},
        {"no change, not judged: no line", stream({{spot, 1}, {spot, 1}}), "", {}, "Format Change"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = Section(c.bytes, c.profile);
        for (const std::string& line : c.lines)
            EXPECT_TRUE(Contains(lines, line)) << c.what << ": " << line;
        EXPECT_EQ("", LineStarting(lines, c.absent)) << c.what;
        // Before the lines that report the last sequence header.
        auto at = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("Format Change") != std::string::npos;
        });
        if (at != lines.end()) {
            EXPECT_EQ(0u, at[-1].find("Sequence Headers Aligned")) << c.what;
        }
    }
}

// broken_link on the first GOP of a cut: its leading B pictures are coded frames that are
// not shown, and a splicer cannot start there.
TEST_F(VideoSummaryTest, BrokenLinkLinesAndPicturesNotShown) {
    auto cut = [](bool brokenLink) {
        VideoEsBuilder v;
        v.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 0, false, false, brokenLink);
        // Coded order I2 B0 B1 P5 B3 B4: B0 and B1 come before the I picture on screen.
        for (auto [type, tr] : std::vector<std::pair<uint32_t, uint32_t>>{
                 {1, 2}, {3, 0}, {3, 1}, {2, 5}, {3, 3}, {3, 4}}) {
            v.TimedPicture(type, tr, 0xFFFF, 100);
        }
        v.SequenceHeader().SequenceExtension().GopHeader(0, 0, 0, 6, false);
        for (auto [type, tr] : std::vector<std::pair<uint32_t, uint32_t>>{{1, 2}, {3, 0}, {3, 1}}) {
            v.TimedPicture(type, tr, 0xFFFF, 100);
        }
        return PacketizeVideo(v.EndCode().Build(), 2000);
    };
    std::vector<std::string> lines = Section(cut(true), "[Video]\nSpliceReady=1\n");
    EXPECT_TRUE(Contains(lines, "*Broken Link in GOP 1 (0.00 s)"));
    EXPECT_TRUE(Contains(lines, "Number of Frames = 9 -> 0.28 Sec"));  // 7 of the 9 shown
    EXPECT_TRUE(Contains(lines, "*Splice In = No (the first GOP has a broken link)"));
    EXPECT_EQ(2u, GetVideoStreamInfo(0xE0).undisplayedFrames);
    EXPECT_DOUBLE_EQ(7.0 / 25, GetRunState().videoDurationSeconds);

    lines = Section(cut(true), "");
    EXPECT_TRUE(Contains(lines, "Broken Link in GOP 1 (0.00 s)"));  // information
    lines = Section(cut(false), "[Video]\nSpliceReady=1\n");
    EXPECT_EQ("", LineStarting(lines, "Broken Link"));
    EXPECT_TRUE(Contains(lines, "Number of Frames = 9 -> 0.36 Sec"));
}

// The buffer and the bit rate with their sequence extension (ISO/IEC 13818-2, 6.3.5):
// vbv_buffer_size 832 + (2 << 10) units is 47 185 920 bits; bit_rate_value 50 000 +
// (1 << 18) units of 400 bit/s is 124 857 600 bit/s.
TEST_F(VideoSummaryTest, BufferAndBitRateWithTheirExtensions) {
    SequenceFields sequence;
    sequence.bitRateValue = 50000;
    sequence.vbvBufferSize = 832;
    VideoEsBuilder v;
    v.SequenceHeader(sequence).SequenceExtension(0x82, 2, 0, 1, 2).GopHeader(0, 0, 0, 0);
    for (int i = 0; i < 10; ++i) v.Picture(i == 0 ? 1 : 2, 1, 100);
    std::vector<std::string> lines = Section(PacketizeVideo(v.EndCode().Build(), 2000),
                                             "[Video]\nVBVCheck=1\nDeclaredBitrateCheck=1\n");
    EXPECT_TRUE(Contains(lines, "VBV Buffer Size = 832 -> (5760 KB)"));
    EXPECT_TRUE(
        Contains(lines, "Nominal bitrate (Sequence Header) = 124857600 bps -> 121931 Kbps"));
    EXPECT_EQ(0u, LineStarting(lines, "VBV Occupancy = ").find("VBV Occupancy = "));
    EXPECT_NE(std::string::npos, LineStarting(lines, "VBV Occupancy = ").find(" of 47185920 bits"));
    EXPECT_TRUE(Contains(lines,
                         "Declared Bitrate = 124857600 bps, Measured Peak (1 sec) = 0 bps, "
                         "Limit with the VBV Buffer = 172043520 bps"));
}
