// Whole runs over damaged copies of real streams: every run ends with its verdict and
// nothing crashes or hangs (the sanitizer build of this suite also checks every read).
#include <gtest/gtest.h>

#include <random>

#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "support/test_files.h"

namespace {

// Offsets of every start code prefix 00 00 01 in the bytes.
std::vector<size_t> StartCodes(const Bytes& bytes) {
    std::vector<size_t> at;
    for (size_t i = 0; i + 3 < bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) at.push_back(i);
    }
    return at;
}

// Offsets of the start codes of one kind (0xBA packs, or PES packets of any id).
std::vector<size_t> StartCodesOf(const Bytes& bytes, bool packs) {
    std::vector<size_t> found;
    for (size_t at : StartCodes(bytes)) {
        uint8_t code = bytes[at + 3];
        if (packs ? code == 0xBA : code >= 0xBC) found.push_back(at);
    }
    return found;
}

// A few of the offsets, evenly spread, so that each kind of damage stays cheap.
std::vector<size_t> Spread(const std::vector<size_t>& offsets, size_t count) {
    std::vector<size_t> chosen;
    for (size_t i = 0; i < count && !offsets.empty(); ++i) {
        chosen.push_back(offsets[i * offsets.size() / count]);
    }
    return chosen;
}

std::vector<Bytes> DamagedCopies(const Bytes& whole) {
    std::vector<Bytes> copies;
    std::vector<size_t> packs = StartCodesOf(whole, true);
    std::vector<size_t> packets = StartCodesOf(whole, false);
    // Cuts at structure boundaries, and one and five bytes into the structure.
    for (size_t at : Spread(StartCodes(whole), 40)) {
        for (size_t into : {0, 1, 5}) {
            copies.emplace_back(whole.begin(), whole.begin() + static_cast<long>(at + into));
        }
    }
    // Bit flips at fixed seeds.
    std::mt19937 random(1234);
    for (int i = 0; i < 25; ++i) {
        Bytes copy = whole;
        for (int flips = 1 + i % 8; flips > 0; --flips) {
            copy[random() % copy.size()] ^= static_cast<uint8_t>(1 << (random() % 8));
        }
        copies.push_back(copy);
    }
    // PES_packet_length of 0 and of 0xFFFF (past the end for the last packets).
    for (size_t at : Spread(packets, 15)) {
        for (uint8_t value : {0x00, 0xFF}) {
            Bytes copy = whole;
            copy[at + 4] = copy[at + 5] = value;
            copies.push_back(copy);
        }
    }
    // Packs duplicated and dropped.
    for (size_t i : {size_t{1}, packs.size() / 3, packs.size() / 2, packs.size() - 2}) {
        if (i + 1 >= packs.size()) continue;
        Bytes pack(whole.begin() + static_cast<long>(packs[i]),
                   whole.begin() + static_cast<long>(packs[i + 1]));
        Bytes duplicated = whole;
        duplicated.insert(duplicated.begin() + static_cast<long>(packs[i + 1]), pack.begin(),
                          pack.end());
        copies.push_back(duplicated);
        Bytes dropped = whole;
        dropped.erase(dropped.begin() + static_cast<long>(packs[i]),
                      dropped.begin() + static_cast<long>(packs[i + 1]));
        copies.push_back(dropped);
    }
    return copies;
}

TEST(CorruptFiles, EveryDamagedCopyGetsAVerdict) {
    TempDir dir;
    LoadReferenceProfileFrom(
        dir.WriteText("MpegReference.ini", "[Audio]\nDecodeAudio=1\n[Processing]\n"));
    int runs = 0;
    for (const char* name : {"mplex_generic.mpg", "ffmpeg_dvd.vob", "mp2_48k_stereo.mpg"}) {
        Bytes whole = ReadFileBytes(FixturePath(name));
        std::string extension = std::string(name).substr(std::string(name).rfind('.'));
        for (const Bytes& copy : DamagedCopies(whole)) {
            BoundSink bound;
            std::string path = dir.Write("damaged" + extension, copy);
            AnalyzeFile(path.c_str());
            std::vector<std::string> texts = bound.sink.Texts();
            ASSERT_GE(texts.size(), 4u) << name << " run " << runs;
            const std::string& verdict = texts[texts.size() - 4];
            EXPECT_TRUE(verdict == "Compliance Test: Pass" || verdict == "Compliance Test: Fail!!")
                << name << " run " << runs << ": " << verdict;
            EXPECT_EQ("End.", texts[texts.size() - 2]);
            EXPECT_FALSE(IsAnalysisRunning());
            ++runs;
        }
    }
    EXPECT_GE(runs, 200);
}

}  // namespace
