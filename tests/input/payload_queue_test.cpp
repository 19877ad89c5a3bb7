// Payload hand-off from the reading thread to a stream's pass: a pass reads through its
// queue exactly what it would read walking the file itself, and the reading never runs
// more than a few chunks ahead of a pass that falls behind.
#include "input/payload_queue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "input/payload_fan_out.h"
#include "program/program_stream_scan.h"
#include "support/stream_builder.h"
#include "support/test_files.h"

namespace {

// One NextPayload call: its bytes and whether it met a packet; the last one is empty.
struct Delivered {
    Bytes bytes;
    bool packetMet;
    bool operator==(const Delivered&) const = default;
};

std::vector<Delivered> Drain(PayloadSource& source) {
    std::vector<Delivered> delivered;
    for (;;) {
        bool packetMet = false;
        std::span<const uint8_t> payload = source.NextPayload(packetMet);
        delivered.push_back({Bytes(payload.begin(), payload.end()), packetMet});
        if (payload.empty()) return delivered;
    }
}

bool IsAnalysed(uint8_t id) { return id >= kFirstAudioStreamId && id <= kLastVideoStreamId; }

// The file walked once with a fan-out, each stream drained on a thread of its own, against
// each stream walked from the file alone.
void ExpectFanOutMatchesFileWalk(const std::string& path, int timeLimit) {
    std::mutex mutex;
    std::map<int, std::vector<Delivered>> viaQueue;
    std::map<int, std::thread> passes;
    PayloadFanOut fanOut(IsAnalysed,
                         [&](uint8_t id, PayloadQueue& queue) {
                             passes[id] = std::thread([&mutex, &viaQueue, &queue, id] {
                                 std::vector<Delivered> delivered = Drain(queue);
                                 std::lock_guard lock(mutex);
                                 viaQueue[id] = std::move(delivered);
                             });
                         },
                         {});
    ScanProgramStream(path, timeLimit, &fanOut);
    for (auto& [id, thread] : passes) thread.join();

    const StreamIdTable& table = GetStreamIdTable();
    for (int id = kFirstAudioStreamId; id <= kLastVideoStreamId; ++id) {
        if (table.packetCount[id] == 0) {
            EXPECT_EQ(0u, viaQueue.count(id)) << path << " " << id;
            continue;
        }
        FilePayloadSource file;
        ASSERT_TRUE(file.Open(path, id, StreamExtentOf(table, id)));
        EXPECT_EQ(Drain(file), viaQueue[id]) << path << " stream " << std::hex << id;
    }
}

class FanOutFixtureTest : public ::testing::TestWithParam<const char*> {
  protected:
    BoundSink bound_;
};

TEST_P(FanOutFixtureTest, PassesReadWhatTheFileWalkReads) {
    for (int timeLimit : {0, 1}) ExpectFanOutMatchesFileWalk(FixturePath(GetParam()), timeLimit);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FanOutFixtureTest,
                         ::testing::Values("mplex_generic.mpg", "ffmpeg_dvd.vob", "ffmpeg_vob.mpg",
                                           "capture_midstream.mpg", "joined_sequences.mpg",
                                           "mp3_vbr.mpg", "late_clock.mpg", "transport.mpg"));

// Streams interleaved at random, with payloads from empty to nearly the largest a PES
// packet holds, packets without header fields, padding and garbage between packets.
Bytes RandomProgramStream(std::mt19937& random) {
    const uint8_t ids[] = {0xE0, 0xE1, 0xC0, 0xC1, 0xBD};
    StreamBuilder builder;
    uint64_t scr = 3600;
    for (int pack = 0; pack < 60; ++pack) {
        builder.Pack(scr += 900);
        if (pack % 20 == 0) builder.SystemHeader();
        for (int packets = static_cast<int>(random() % 4); packets > 0; --packets) {
            uint8_t id = ids[random() % std::size(ids)];
            size_t size = random() % 8 == 0 ? 60000 + random() % 5000 : random() % 3000;
            Bytes payload(size);
            for (uint8_t& byte : payload) byte = static_cast<uint8_t>(random());
            if (random() % 10 == 0) {
                builder.PlainPes(0xBE, payload);
            } else {
                PesFields fields;
                fields.payload = payload;
                builder.Pes(id, fields);
            }
            if (random() % 15 == 0) builder.Raw({0x00, 0x00, 0x00, 0x47});
        }
    }
    if (random() % 2) builder.EndCode();
    return builder.Build();
}

TEST(FanOutTest, RandomInterleavingsReadAsTheFileWalkReadsThem) {
    BoundSink bound;
    TempDir dir;
    std::mt19937 random(20261210);
    for (int round = 0; round < 30; ++round) {
        Bytes file = RandomProgramStream(random);
        // Some files cut short, inside a packet.
        if (round % 3 == 0) file.resize(file.size() - random() % 40000);
        ExpectFanOutMatchesFileWalk(dir.Write("r.mpg", file), 0);
    }
}

TEST(PayloadQueueTest, ReadingWaitsForAPassThatFallsBehindAndNeverForOneThatEnded) {
    PayloadQueue* queue = nullptr;
    size_t committed = 0;
    size_t committedAtFirstWait = 0;
    int waits = 0;
    PayloadQueue waiting([&] {
        if (waits++ > 0) return;
        committedAtFirstWait = committed;
        queue->Abandon();  // the pass ends without reading anything
    });
    queue = &waiting;
    const Bytes payload(4000, 0x5A);
    for (int i = 0; i < 2500; ++i) {  // 10 MB, no pass reading
        std::memcpy(waiting.PayloadRoom(payload.size()), payload.data(), payload.size());
        waiting.CommitPayload(payload.size());
        committed += payload.size();
    }
    waiting.Close(false);
    EXPECT_EQ(1, waits);
    EXPECT_GT(committedAtFirstWait, 0u);
    EXPECT_LT(committedAtFirstWait, 1u << 20);
}

}  // namespace
