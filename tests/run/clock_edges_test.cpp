// Whole reports of real spots at the edges of the clock and of the file: a clock that
// wraps through 0, garbage after the last packet, another program after the end code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "input/system_clock.h"
#include "program/program_stream_scan.h"
#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "support/clock_shift.h"
#include "support/test_files.h"

namespace {

class ClockEdgesTest : public ::testing::Test {
  protected:
    // The report of the bytes as spot.mpg, without the lines that name the time of the
    // run or the clock's absolute start.
    std::vector<std::string> Report(const Bytes& bytes) {
        ClearReport();
        std::string path = dir_.Write("spot.mpg", bytes);
        AnalyzeFile(path.c_str());
        std::vector<std::string> lines = bound_.sink.Texts();
        std::erase_if(lines, [](const std::string& line) {
            return line.starts_with("Zembra v") || line.starts_with("Processing time:") ||
                   line.starts_with("Sectors delay");
        });
        return lines;
    }
    // The bundled profile, with `extra` lines after it (a key the file sets already is
    // given its new value with `replace`).
    void BundledProfile(const std::string& extra = "",
                        std::pair<std::string, std::string> replace = {}) {
        Bytes profile = ReadFileBytes(std::string(ZEMBRA_DATA_DIR) + "/MpegReference.ini");
        std::string text(profile.begin(), profile.end());
        if (!replace.first.empty())
            text.replace(text.find(replace.first), replace.first.size(), replace.second);
        LoadReferenceProfileFrom(dir_.WriteText("MpegReference.ini", text + extra));
    }
    TempDir dir_;
    BoundSink bound_;
};

// 90 kHz clock values of a spot as the first pass reads them.
struct SpotClock {
    uint64_t firstScr;
    uint64_t firstVideoPts;
    uint64_t firstAudioPts;
};

SpotClock ClockOf(const std::string& path) {
    ScanProgramStream(path, 0);
    const StreamIdTable& t = GetStreamIdTable();
    auto ticks = [](double ms) { return static_cast<uint64_t>(std::llround(ms * 90)); };
    return {ticks(t.firstScrMs), ticks(t.firstPtsMs[0xE0]), ticks(t.firstPtsMs[0xC0])};
}

// The offset that brings `ticks` to the last period before the wrap.
uint64_t WrapAfter(uint64_t ticks) { return kClockBaseModulus - ticks % kClockBaseModulus - 1; }

// A spot whose clock wraps anywhere reports the same lines and verdict as at its own
// clock, in both audio modes: ffmpeg's VOB (no DTS, audio first) and mplex's (B pictures
// with DTS, video first).
TEST_F(ClockEdgesTest, AWrappingClockReportsAsTheSameSpot) {
    for (const char* name : {"ffmpeg_vob.mpg", "mplex_generic.mpg"}) {
        Bytes spot = ReadFileBytes(FixturePath(name));
        SpotClock clock = ClockOf(FixturePath(name));
        uint64_t firstPts = std::min(clock.firstVideoPts, clock.firstAudioPts);
        uint64_t lastPts = std::max(clock.firstVideoPts, clock.firstAudioPts);
        const struct {
            const char* where;
            uint64_t offset;
        } wraps[] = {
            {"right after the first SCR", WrapAfter(clock.firstScr)},
            {"between the first SCR and the first PTS", WrapAfter((clock.firstScr + firstPts) / 2)},
            {"between the first audio and video PTS", WrapAfter(lastPts - 1)},
            {"a second in", WrapAfter(clock.firstScr + 90000)},
        };
        for (const char* decode : {"0", "1"}) {
            BundledProfile(std::string("\n[Audio]\nDecodeAudio=") + decode + "\n");
            std::vector<std::string> atItsClock = Report(spot);
            for (const auto& wrap : wraps) {
                Bytes shifted = ShiftClock(spot, wrap.offset);
                SpotClock moved = ClockOf(dir_.Write("shifted.mpg", shifted));
                ASSERT_EQ((clock.firstScr + wrap.offset) % kClockBaseModulus, moved.firstScr);
                ASSERT_EQ((clock.firstVideoPts + wrap.offset) % kClockBaseModulus,
                          moved.firstVideoPts);
                EXPECT_EQ(atItsClock, Report(shifted))
                    << name << ", wrap " << wrap.where << ", DecodeAudio=" << decode;
            }
        }
    }
}

// ffmpeg's own muxer with its clock moved across the wrap (-output_ts_offset): 2 s in,
// between the first SCR and the first PTS, and between the first audio and video PTS.
TEST_F(ClockEdgesTest, SpotsMuxedAcrossTheWrapReportAsAtClockZero) {
    BundledProfile();
    std::vector<std::string> atZero = Report(ReadFileBytes(FixturePath("clock_zero.mpg")));
    EXPECT_TRUE(Contains(atZero, "Video Delay Stream E0 = 540.0 ms"));
    EXPECT_TRUE(Contains(atZero, "Initial Delay Audio to Video (PTS based) = -10 msec "));
    for (const char* name :
         {"clock_wrap.mpg", "clock_wrap_scr_pts.mpg", "clock_wrap_audio_video.mpg"}) {
        EXPECT_EQ(atZero, Report(ReadFileBytes(FixturePath(name)))) << name;
    }
}

// 64 KiB of garbage after the last packet: the report says where the sync was lost and
// still gives every figure of the spot in front of it; the verdict is Fail.
TEST_F(ClockEdgesTest, GarbageAfterTheLastPacketKeepsTheSpotsFigures) {
    BundledProfile();
    Bytes spot = ReadFileBytes(FixturePath("ffmpeg_vob.mpg"));
    std::vector<std::string> clean = Report(spot);
    Bytes garbage = spot;
    for (int i = 0; i < 65536; ++i) garbage.push_back(static_cast<uint8_t>(1 + i * 7 % 250));
    std::vector<std::string> lines = Report(garbage);
    EXPECT_TRUE(bound_.sink.ErrorBoxes().empty());
    EXPECT_EQ(Verdict::Fail, bound_.sink.CurrentVerdict());
    std::string syncLost = "*Program stream sync lost at byte " + std::to_string(spot.size()) +
                           ": no start code in the next 65536 bytes";
    auto at = std::find(lines.begin(), lines.end(), syncLost);
    ASSERT_NE(lines.end(), at);
    EXPECT_EQ("Begin Program Streams Summary:", at[-1]);
    // Everything else as the clean spot's report, but the file size, the missing end code
    // the sync loss stands for, and the verdict.
    lines.erase(at);
    auto differs = [](const std::string& line) {
        return line.starts_with("MPEG file size") ||
               line.find("Missing Progam End Code") != std::string::npos ||
               line.starts_with("Compliance Test");
    };
    std::erase_if(lines, differs);
    std::erase_if(clean, differs);
    EXPECT_EQ(clean, lines);
}

// Two spots joined with `cat` after a program end code: a failure that says how much was
// not analysed.
TEST_F(ClockEdgesTest, AJoinedSpotFails) {
    BundledProfile("", {"AspectRatio=3", "AspectRatio=2"});  // the spot is 4:3
    Bytes spot = ReadFileBytes(FixturePath("mplex_generic.mpg"));
    std::vector<std::string> clean = Report(spot);
    ASSERT_EQ(Verdict::Pass, bound_.sink.CurrentVerdict());
    Bytes joined = spot;
    joined.insert(joined.end(), spot.begin(), spot.end());
    std::vector<std::string> lines = Report(joined);
    EXPECT_EQ(Verdict::Fail, bound_.sink.CurrentVerdict());
    uint32_t packs = GetStreamIdTable().packCount;
    std::string line = "*" + std::to_string(spot.size()) +
                       " bytes after the Program End Code hold another program (" +
                       std::to_string(packs) + " packs)";
    auto at = std::find(lines.begin(), lines.end(), line);
    ASSERT_NE(lines.end(), at) << line;
    EXPECT_EQ(0u, at[-1].find("MPEG file size"));
    // The first spot's figures stand as they were.
    lines.erase(at);
    auto differs = [](const std::string& text) {
        return text.starts_with("MPEG file size") || text.starts_with("Compliance Test");
    };
    std::erase_if(lines, differs);
    std::erase_if(clean, differs);
    EXPECT_EQ(clean, lines);
}

}  // namespace
