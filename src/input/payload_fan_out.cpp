// Payload hand-off from the first pass.
#include "input/payload_fan_out.h"

PayloadFanOut::PayloadFanOut(StreamChoice carries, StreamStart start,
                             PayloadQueue::WhileWaiting whileWaiting)
    : carries_(std::move(carries)),
      start_(std::move(start)),
      whileWaiting_(std::move(whileWaiting)) {}

void PayloadFanOut::NotePacket(uint8_t id) {
    ++packets_;
    if (queues_[id] || !carries_(id)) return;
    queues_[id] = std::make_unique<PayloadQueue>(whileWaiting_);
    start_(id, *queues_[id]);
}

void PayloadFanOut::DeliverPayload(uint8_t id, BitstreamFile& file, size_t size) {
    PayloadQueue& queue = *queues_[id];
    if (queue.Abandoned()) {
        file.SkipBytes(size);
        return;
    }
    size_t copied = file.CopyBytes(queue.PayloadRoom(size), size);
    queue.CommitPayload(copied);
    if (copied > 0) packetsAtLastPayload_[id] = packets_;
}

void PayloadFanOut::Finish() {
    for (size_t id = 0; id < queues_.size(); ++id) {
        if (queues_[id]) queues_[id]->Close(packets_ > packetsAtLastPayload_[id]);
    }
}
