// The program stream section of the report.
#include "program/program_stream_summary.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "support/test_files.h"

namespace {

class SummaryTest : public ::testing::Test {
  protected:
    // Scans the bytes as `name` and writes the section with the given profile text.
    std::vector<std::string> Section(const Bytes& bytes, const std::string& profile,
                                     const std::string& name = "f.mpg") {
        LoadReferenceProfileFrom(dir_.WriteText("MpegReference.ini", profile));
        path_ = dir_.Write(name, bytes);
        ScanProgramStream(path_, 0);
        ClearReport();
        failed_ = false;
        muxRateLine_ = WriteProgramStreamSummary(ReferenceProfile.system, GetStreamIdTable(), path_,
                                                 bytes.size(), failed_);
        return bound_.sink.Texts();
    }
    bool Has(const std::string& line) { return Contains(bound_.sink.Texts(), line); }
    const ReportLine& LineWith(const std::string& text) {
        for (const ReportLine& line : bound_.sink.Lines()) {
            if (line.text == text) return line;
        }
        static ReportLine none;
        ADD_FAILURE() << "no line " << text;
        return none;
    }
    TempDir dir_;
    BoundSink bound_;
    std::string path_;
    bool failed_ = false;
    int muxRateLine_ = 0;
};

// DVD files bound the buffers of "all video streams" (0xB9) and "all audio streams"
// (0xB8) instead of each stream (ISO/IEC 13818-1, 2.5.3.6); a stream's own entry wins.
TEST_F(SummaryTest, BufferBoundsFromTheEntryOfTheStreamOrOfItsKind) {
    struct Case {
        std::vector<SystemHeaderFields::Bound> bounds;
        int id;
        uint32_t kilobytes;
    };
    std::vector<Case> cases = {
        {{{0xB9, 1, 232}, {0xB8, 0, 32}}, 0xE0, 232},
        {{{0xB9, 1, 232}, {0xB8, 0, 32}}, 0xC0, 4},
        {{{0xB9, 1, 232}, {0xE0, 1, 100}}, 0xE0, 100},
        {{{0xB8, 0, 32}}, 0xE0, 0},
        {{{0xC1, 0, 32}}, 0xC0, 0},
    };
    for (const Case& c : cases) {
        SystemHeaderFields fields;
        fields.bounds = c.bounds;
        Bytes file = StreamBuilder().Pack(3600).SystemHeader(fields).EndCode().Build();
        Section(file, "");
        ClearReport();
        WriteBufferBoundLine(GetStreamIdTable(), c.id);
        EXPECT_EQ(
            std::vector<std::string>{"P-STD Buffer Size Bound = " + std::to_string(c.kilobytes) +
                                     " KB (From System Header)"},
            bound_.sink.Texts())
            << std::hex << c.id;
    }
}

// A truncated upload fails with what it lacks; bytes after the end code are a warning.
TEST_F(SummaryTest, FileEndLines) {
    Bytes cut = MakeSimpleStream(2, false);
    cut.resize(cut.size() - 100);
    Section(cut, "");
    EXPECT_TRUE(Has("*File ends inside a packet: the last packet lacks 100 bytes"));
    EXPECT_EQ(LineColour::Red,
              LineWith("*File ends inside a packet: the last packet lacks 100 bytes").colour);
    EXPECT_TRUE(failed_);

    Bytes tail = MakeSimpleStream(2);
    tail.insert(tail.end(), 8, 0xFF);
    Section(tail, "");
    EXPECT_EQ(LineColour::Yellow, LineWith("8 bytes after the Program End Code").colour);
    EXPECT_FALSE(failed_);
}

// Two spots joined with `cat`: the report covers the first, and says it does.
TEST_F(SummaryTest, AnotherProgramAfterTheEndCodeFails) {
    Bytes joined = MakeSimpleStream(2);
    Bytes second = MakeSimpleStream(3);
    joined.insert(joined.end(), second.begin(), second.end());
    Section(joined, "");
    std::string line = "*" + std::to_string(second.size()) +
                       " bytes after the Program End Code hold another program (3 packs)";
    EXPECT_EQ(LineColour::Red, LineWith(line).colour);
    EXPECT_TRUE(failed_);
}

TEST_F(SummaryTest, ClockDiscontinuityLine) {
    StreamBuilder b;
    for (uint64_t scr : {3600, 7200, 3600, 10800}) {  // the clock goes back once
        size_t start = b.Size();
        b.Pack(scr).Pes(0xE0, PesFields{});
        b.PadPackTo(start, 2048);
    }
    Bytes restart = b.EndCode().Build();
    const struct {
        Bytes bytes;
        const char* profile;
        const char* line;  // nullptr: no line
        CheckOutcome outcome;
    } cases[] = {
        {restart, "[System]\nClockDiscontinuitiesMax=0\n",
         "*Clock Discontinuities = 1 (first at 0.04 s, byte 4096)", CheckOutcome::Failure},
        {restart, "[System]\nClockDiscontinuitiesMax=1\n",
         "Clock Discontinuities = 1 (first at 0.04 s, byte 4096)", CheckOutcome::Pass},
        {restart, "", "Clock Discontinuities = 1 (first at 0.04 s, byte 4096)",
         CheckOutcome::Information},
        {MakeSimpleStream(3), "[System]\nClockDiscontinuitiesMax=0\n", "Clock Discontinuities = 0",
         CheckOutcome::Pass},
        // Neither the trait nor the key: the report is as it always was.
        {MakeSimpleStream(3), "", nullptr, CheckOutcome::Information},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = Section(c.bytes, c.profile);
        auto found = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find("Clock Discontinuities") != std::string::npos;
        });
        if (!c.line) {
            EXPECT_EQ(lines.end(), found);
            continue;
        }
        ASSERT_NE(lines.end(), found) << c.line;
        EXPECT_EQ(c.line, *found);
        const auto& records = bound_.sink.CheckRecords();
        auto record = std::find_if(records.begin(), records.end(), [&](const CheckRecord& r) {
            return r.line == found - lines.begin();
        });
        ASSERT_NE(records.end(), record) << c.profile;
        EXPECT_EQ(c.outcome, record->outcome) << c.profile;
        EXPECT_EQ(c.outcome == CheckOutcome::Failure, failed_) << c.profile;
        // After the multiplex lines, before the PES packet totals.
        EXPECT_EQ(0u, found[1].find("Total PES packets")) << c.line;
    }
}

TEST_F(SummaryTest, PacketsShorterThanTheirHeaderLine) {
    StreamBuilder b;
    b.Pack(3600).Pes(0xE0, PesFields{});
    size_t first = b.Size();
    for (int i = 0; i < 3; ++i) b.Raw({0x00, 0x00, 0x01, 0xC0, 0x00, 0x01, 0x80});
    std::vector<std::string> lines = Section(b.EndCode().Build(), "");
    std::string line = "*PES packets shorter than their own header = 3 (first at byte " +
                       std::to_string(first) + ", PES_packet_length 1)";
    auto found = std::find(lines.begin(), lines.end(), line);
    ASSERT_NE(lines.end(), found);
    EXPECT_EQ("PES Packet Lenght Max. = 3", found[-1]);
    EXPECT_EQ(LineColour::Red, LineWith(line).colour);
    EXPECT_TRUE(failed_);
}

TEST_F(SummaryTest, LinesOfASimpleStreamInOrder) {
    std::vector<std::string> lines = Section(MakeSimpleStream(3), "");
    std::vector<std::string> expected = {
        "File \"" + path_ + "\" is a MPEG-2 Program Stream",
        "MPEG file size 0.01 MB",
        "MPEG Packs = 3",
        "Sectors delay = 40.0 ms",
        "System headers = 1",
        "Rate Bound = 10080000 bps -> 9843 Kbps",
        "Video Bound = 1 active video streams",
        "Audio Bound = 1 active audio streams",
        "Variable Bitrate Operation (System MPEG-2 VBR)",
        "Video Picture Rate is locked to SCR",
        "Audio Sampling Rate is locked to SCR",
        "MPEG Pack Size = 2048",
        "Packets per Pack = 2",
        "Program Mux Rate = 9843 Kbps",
        "Total PES packets = 9",
        "PES Packet Lenght Max. = 1213",
        "Number of Video Streams: 1",
        "Number of Audio Streams: 1",
        "Padding Stream, packets = 3, Total = 1 KB",
        "MPEG Audio stream, ID: C0",
        "PES packets = 3,",
        "Total = 0.00 MB",
        "Video stream, ID: E0",
        "PES packets = 3,",
        "Total = 0.00 MB",
        "End Program Streams Summary.",
        " ",
    };
    EXPECT_EQ(expected, lines);
    EXPECT_EQ(14, muxRateLine_);
    EXPECT_FALSE(failed_);
}

TEST_F(SummaryTest, ChecksAgainstTheSystemKeys) {
    Section(MakeSimpleStream(3),
            "[System]\nSystemHeadersMin=2\nMPEGPackSize=2048\nPacketsPerPack=1\nSystemVBR=0\n"
            "VideoStreams=1\nAudioStreams=2\nMPEGAudioStreams=1\nMPEGVideoStreams=0\n");
    EXPECT_TRUE(failed_);
    EXPECT_EQ(LineColour::Red, LineWith("*System headers = 1").colour);
    EXPECT_EQ(LineColour::Green, LineWith("MPEG Pack Size = 2048").colour);
    EXPECT_TRUE(Has("*Packets per Pack = 2"));
    EXPECT_TRUE(Has("*Variable Bitrate Operation (System MPEG-2 VBR)"));
    EXPECT_TRUE(Has("Number of Video Streams: 1"));
    EXPECT_TRUE(Has("*Number of Audio Streams: 1"));
    // The audio line answers to MPEGVideoStreams, the video line to MPEGAudioStreams.
    EXPECT_TRUE(Has("*MPEG Audio stream, ID: C0"));
    EXPECT_EQ(LineColour::Green, LineWith("Video stream, ID: E0").colour);
}

TEST_F(SummaryTest, NoSystemHeader) {
    StreamBuilder b;
    PesFields f;
    f.payload = Bytes(10);
    b.Pack(3600).Pes(0xE0, f).EndCode();
    Section(b.Build(), "[System]\nSystemHeadersMin=1\n");
    EXPECT_TRUE(Has("*System headers = 0"));
    EXPECT_FALSE(Has("Video Bound = 0 active video streams"));
    Section(b.Build(), "");
    EXPECT_EQ(LineColour::Green, LineWith("System headers = 0").colour);
    EXPECT_FALSE(failed_);
}

TEST_F(SummaryTest, TimingErrorLines) {
    StreamBuilder b;
    PesFields f;
    f.pts = 3600;  // at the SCR
    f.payload = Bytes(10);
    b.Pack(3600).Pes(0xE0, f).EndCode();
    Section(b.Build(), "[System]\nPacketSCRTimingError=0\n");
    EXPECT_TRUE(Has("*PTS underflow (Mux Error)...!!"));
    EXPECT_FALSE(Has("DTS underflow (Mux Error)...!!"));
    EXPECT_TRUE(failed_);
    Section(b.Build(), "[System]\nPacketSCRTimingError=1\n");
    EXPECT_EQ(LineColour::Green, LineWith("PTS underflow (Mux Error)...!!").colour);
    Section(b.Build(), "");
    EXPECT_FALSE(LineWith("PTS underflow (Mux Error)...!!").bold);
    Section(MakeSimpleStream(1), "[System]\nPacketSCRTimingError=0\n");
    EXPECT_FALSE(Has("*PTS underflow (Mux Error)...!!"));
}

TEST_F(SummaryTest, FixedBitrateLine) {
    SystemHeaderFields cbr;
    cbr.fixedFlag = true;
    Bytes bytes = StreamBuilder().Pack(3600).SystemHeader(cbr).EndCode().Build();
    Section(bytes, "[System]\nSystemVBR=0\n");
    EXPECT_EQ(LineColour::Green, LineWith("Fixed Bitrate Operation (System MPEG-2 CBR)").colour);
    Section(bytes, "[System]\nSystemVBR=1\n");
    EXPECT_TRUE(Has("*Fixed Bitrate Operation (System MPEG-2 CBR)"));
}

Bytes DvdStream() {
    StreamBuilder b;
    b.Pack(3600);
    for (uint8_t sub : {0x80, 0x88, 0xA0, 0x20, 0x40}) {
        PesFields f;
        f.payload = Bytes(2000, 0);
        f.payload[0] = sub;
        f.scrambling = sub == 0x88 ? 1 : 0;
        b.Pes(kPrivateStream1Id, f);
    }
    b.PlainPes(kPrivateStream2Id, Bytes(1010, 0)).PlainPes(0xF0, Bytes(5, 0));
    return b.EndCode().Build();
}

TEST_F(SummaryTest, DvdSubstreamLines) {
    std::vector<std::string> lines =
        Section(DvdStream(), "[System]\nMPEGAudioStreams=1\n", "f.vob");
    EXPECT_EQ("File \"" + path_ + "\" is a DVD MPEG-2 Program Stream", lines[0]);
    auto at = std::find(lines.begin(), lines.end(),
                        "Private Stream 1, ID: BD, packets = 5, Total = 9 KB");
    ASSERT_NE(lines.end(), at);
    std::vector<std::string> expected = {
        "Private Stream 1, ID: BD, packets = 5, Total = 9 KB",
        "Substream (DVD): Subpicture stream 20,        PES packets = 1,        total bytes = 1999",
        "Substream 0x40,        packets = 1,        total bytes = 2000",
        "*Substream (DVD): AC3 Audio substream 80",
        "PES packets = 1,",
        "Total = 1 KB",
        "*Substream (DVD): DTS Audio substream 88",
        " Encrypted!!,",
        "PES packets = 1,",
        "Total = 1 KB",
        "*Substream (DVD): LPCM Audio substream A0",
        "PES packets = 1,",
        "Total = 1 KB",
        "Private Stream 2, packets = 1, Total = 0 KB",
        "ECM Stream packets = 1, total bytes = 5",
    };
    EXPECT_EQ(expected, std::vector<std::string>(at, at + static_cast<long>(expected.size())));
    EXPECT_TRUE(Has("Number of Audio Streams: 3"));
    EXPECT_TRUE(failed_);

    lines = Section(DvdStream(), "[System]\nMPEGAudioStreams=1\n", "f.mpg");
    EXPECT_TRUE(Has("Private Stream 1, ID: BD, packets = 5, Total = 9 KB"));
    EXPECT_FALSE(Has("PES packets = 1,"));
    EXPECT_FALSE(failed_);
}

TEST_F(SummaryTest, MegabytesOfAudioAndVideo) {
    // 1,038,336 payload bytes make 1.00 MB of MPEG audio; video needs 1,048,576.
    StreamBuilder b;
    b.Pack(3600);
    PesFields f;
    f.payload = Bytes(64896, 0);
    for (int i = 0; i < 16; ++i) b.Pes(0xC0, f).Pes(0xE0, f);
    Section(b.EndCode().Build(), "");
    auto lines = bound_.sink.Texts();
    auto audio = std::find(lines.begin(), lines.end(), "MPEG Audio stream, ID: C0");
    auto video = std::find(lines.begin(), lines.end(), "Video stream, ID: E0");
    ASSERT_NE(lines.end(), audio);
    ASSERT_NE(lines.end(), video);
    EXPECT_EQ("Total = 1.00 MB", audio[2]);
    EXPECT_EQ("Total = 0.99 MB", video[2]);
}

TEST_F(SummaryTest, OtherStreamsAndReservedIds) {
    StreamBuilder b;
    b.Pack(3600).Raw({0x00, 0x00, 0x01, 0x05, 0x00, 0x04, 0x80, 0x00, 0x00, 0x77});
    b.PlainPes(kDsmccStreamId, Bytes(3)).PlainPes(kEmmStreamId, Bytes(2));
    b.PlainPes(kH2221TypeEStreamId, Bytes(1)).PlainPes(kProgramStreamDirectoryId, Bytes(4));
    Section(b.EndCode().Build(), "");
    EXPECT_TRUE(Has("Other stream 0x05,    packets = 1,    Total = 0 KB"));
    EXPECT_TRUE(Has("EMM Stream packets = 1, total bytes = 2"));
    EXPECT_TRUE(Has("DSMCC Stream packets = 1, total bytes = 3"));
    EXPECT_TRUE(Has("ITU-T Rec. H.222.1 type E packets = 1, total bytes = 1"));
    EXPECT_TRUE(Has("Program Stream Directory packets = 1, total bytes = 4"));
}

TEST_F(SummaryTest, PrintOnlyErrorsKeepsFailuresAndClosingHeadings) {
    SetPrintOnlyErrors(true);
    std::vector<std::string> lines = Section(MakeSimpleStream(2), "[System]\nPacketsPerPack=1\n");
    std::vector<std::string> expected = {"*Packets per Pack = 2", "End Program Streams Summary.",
                                         " "};
    EXPECT_EQ(expected, lines);
    EXPECT_EQ(1, muxRateLine_);  // where the mux-rate line would have followed
}

TEST_F(SummaryTest, EncryptedStreamLine) {
    PesFields f;
    f.scrambling = 3;
    f.payload = Bytes(10);
    std::vector<std::string> lines =
        Section(StreamBuilder().Pack(3600).Pes(0xE2, f).EndCode().Build(), "");
    auto video = std::find(lines.begin(), lines.end(), "Video stream, ID: E2");
    ASSERT_NE(lines.end(), video);
    EXPECT_EQ(" Encrypted!!,", video[1]);
}

}  // namespace

namespace {

// 30 packs of 2048 bytes, one every 40 ms: 409,600 bit/s for 1.2 s, against the mux rate
// and rate bound given (units of 50 bytes/s; 1024 is 409,600 bit/s).
Bytes PacedStream(uint32_t muxRate, uint32_t rateBound) {
    StreamBuilder b;
    SystemHeaderFields header;
    header.rateBound = rateBound;
    for (int i = 0; i < 30; ++i) {
        size_t start = b.Size();
        b.Pack(3600 * static_cast<uint64_t>(i + 1), muxRate);
        if (i == 0) b.SystemHeader(header);
        b.PadPackTo(start, 2048);
    }
    return b.EndCode().Build();
}

}  // namespace

TEST_F(SummaryTest, MuxRateAgainstTheMultiplexAndTheRateBound) {
    struct Case {
        uint32_t muxRate;
        uint32_t rateBound;
        std::string checkKey;
        std::vector<std::string> lines;  // absent: no line of the kind
        bool failed;
    };
    const Case cases[] = {
        {1024,
         1024,
         "MuxRateCheck=1\n",
         {"Multiplex Peak (1 sec) = 409600 bps, Highest Program Mux Rate = 409600 bps",
          "Rate Bound = 409600 bps, Highest Program Mux Rate = 409600 bps"},
         false},
        {1000,
         1024,
         "MuxRateCheck=1\n",
         {"*Multiplex Peak (1 sec) = 409600 bps, Highest Program Mux Rate = 400000 bps",
          "Rate Bound = 409600 bps, Highest Program Mux Rate = 400000 bps"},
         true},
        {1024,
         1000,
         "MuxRateCheck=1\n",
         {"Multiplex Peak (1 sec) = 409600 bps, Highest Program Mux Rate = 409600 bps",
          "*Rate Bound = 400000 bps, Highest Program Mux Rate = 409600 bps"},
         true},
        // 0 accepts what it shows; without the key the section is as it always was.
        {1000,
         1000,
         "MuxRateCheck=0\n",
         {"Multiplex Peak (1 sec) = 409600 bps, Highest Program Mux Rate = 400000 bps",
          "Rate Bound = 400000 bps, Highest Program Mux Rate = 400000 bps"},
         false},
        {1000, 1000, "", {}, false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts =
            Section(PacedStream(c.muxRate, c.rateBound), "[System]\n" + c.checkKey);
        std::vector<std::string> lines;
        for (const std::string& text : texts) {
            if (text.find("Highest Program Mux Rate") != std::string::npos) lines.push_back(text);
        }
        EXPECT_EQ(c.lines, lines) << c.muxRate << " " << c.rateBound << " " << c.checkKey;
        EXPECT_EQ(c.failed, failed_) << c.muxRate << " " << c.rateBound << " " << c.checkKey;
    }
}
