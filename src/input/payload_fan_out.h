// The first pass's hand-off of the analysed streams' PES payloads: one queue a stream,
// each read by that stream's pass while the first pass goes on reading the file.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "input/bitstream_file.h"
#include "input/payload_queue.h"
#include "input/pes_header.h"

class PayloadFanOut {
  public:
    using StreamChoice = std::function<bool(uint8_t id)>;
    // Called on the first PES packet of a carried stream, with the queue its pass reads.
    using StreamStart = std::function<void(uint8_t id, PayloadQueue& queue)>;

    PayloadFanOut(StreamChoice carries, StreamStart start, PayloadQueue::WhileWaiting whileWaiting);

    // A PES packet of the id begins (any id: each one counts for the packets met).
    void NotePacket(uint8_t id);
    bool Carries(uint8_t id) const { return queues_[id] != nullptr; }
    // Takes the packet's payload of `size` bytes from the file: to the stream's pass, or
    // passed over once that pass has ended. The file moves on by `size` bytes either way.
    void DeliverPayload(uint8_t id, BitstreamFile& file, size_t size);
    // The first pass has ended: every pass gets the end of its stream.
    void Finish();

  private:
    StreamChoice carries_;
    StreamStart start_;
    PayloadQueue::WhileWaiting whileWaiting_;
    std::array<std::unique_ptr<PayloadQueue>, kStreamIdCount> queues_;
    std::array<uint64_t, kStreamIdCount> packetsAtLastPayload_{};
    uint64_t packets_ = 0;
};
