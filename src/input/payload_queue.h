// The PES payloads of one elementary stream, handed from the thread that reads the file
// to the thread of that stream's pass. Payloads travel in chunks of about 64 KiB, and at
// most a few chunks wait in the queue: a reader that runs ahead of a slow pass waits for
// it, so memory stays bounded whatever the file's size.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "input/stream_reader.h"

class PayloadQueue : public PayloadSource {
  public:
    // Called between slices of a wait for room, so that a front end stays responsive.
    using WhileWaiting = std::function<void()>;

    explicit PayloadQueue(WhileWaiting whileWaiting = {});

    // Reading side. Room for a payload of up to `size` bytes, then how many were put there
    // (0: none; an empty payload delivers nothing).
    uint8_t* PayloadRoom(size_t size);
    void CommitPayload(size_t bytes);
    // No more payloads: whatever is filled goes, then the end, which tells whether PES
    // packets of any stream came after this stream's last payload.
    void Close(bool packetsAfterLastPayload);

    // Pass side.
    std::span<const uint8_t> NextPayload(bool& packetMet) override;
    // The pass has ended: whatever comes from now on is dropped, and the reader never
    // waits for it again.
    void Abandon();
    // Whether the pass has ended, so that the reader need not copy its payloads.
    bool Abandoned();

  private:
    struct Chunk {
        std::unique_ptr<uint8_t[]> data;
        size_t size = 0;
        std::vector<uint32_t> ends;  // where each payload ends in data
    };

    void HandOver();
    Chunk TakeSpareChunk();

    WhileWaiting whileWaiting_;
    Chunk filling_;  // reading side only

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> queued_;
    std::vector<Chunk> spares_;  // emptied chunks, kept so that no chunk is allocated twice
    bool closed_ = false;
    bool abandoned_ = false;
    bool packetsAfterEnd_ = false;

    Chunk reading_;  // pass side only: the chunk being read
    size_t nextPayload_ = 0;
};
