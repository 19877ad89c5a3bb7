// Payload hand-off between the reading thread and a stream's pass.
#include "input/payload_queue.h"

#include <chrono>

namespace {

// A chunk is handed over once it holds this much; it has room for one more whole PES
// payload (at most 65535 bytes, ISO/IEC 13818-1 2.4.3.7 PES_packet_length) beyond it.
constexpr size_t kChunkBytes = 128 * 1024;
constexpr size_t kChunkCapacity = kChunkBytes + 64 * 1024;
constexpr size_t kQueuedChunksMax = 4;
constexpr auto kWaitSlice = std::chrono::milliseconds(10);

}  // namespace

PayloadQueue::PayloadQueue(WhileWaiting whileWaiting) : whileWaiting_(std::move(whileWaiting)) {
    filling_ = TakeSpareChunk();
}

PayloadQueue::Chunk PayloadQueue::TakeSpareChunk() {
    if (spares_.empty())
        return Chunk{std::make_unique_for_overwrite<uint8_t[]>(kChunkCapacity), 0, {}};
    Chunk chunk = std::move(spares_.back());
    spares_.pop_back();
    chunk.size = 0;
    chunk.ends.clear();
    return chunk;
}

uint8_t* PayloadQueue::PayloadRoom(size_t size) {
    if (filling_.size + size > kChunkCapacity) HandOver();
    return filling_.data.get() + filling_.size;
}

void PayloadQueue::CommitPayload(size_t bytes) {
    if (bytes == 0) return;
    filling_.size += bytes;
    filling_.ends.push_back(static_cast<uint32_t>(filling_.size));
    if (filling_.size >= kChunkBytes) HandOver();
}

void PayloadQueue::HandOver() {
    std::unique_lock lock(mutex_);
    while (!abandoned_ && queued_.size() >= kQueuedChunksMax) {
        if (whileWaiting_) {
            lock.unlock();
            whileWaiting_();
            lock.lock();
        }
        changed_.wait_for(lock, kWaitSlice);
    }
    if (abandoned_) {
        spares_.push_back(std::move(filling_));
    } else {
        queued_.push_back(std::move(filling_));
        changed_.notify_all();
    }
    filling_ = TakeSpareChunk();
}

void PayloadQueue::Close(bool packetsAfterLastPayload) {
    if (!filling_.ends.empty()) HandOver();
    std::lock_guard lock(mutex_);
    closed_ = true;
    packetsAfterEnd_ = packetsAfterLastPayload;
    changed_.notify_all();
}

std::span<const uint8_t> PayloadQueue::NextPayload(bool& packetMet) {
    if (nextPayload_ == reading_.ends.size()) {
        std::unique_lock lock(mutex_);
        if (reading_.data) spares_.push_back(std::move(reading_));
        reading_ = Chunk{};
        nextPayload_ = 0;
        changed_.wait(lock, [this] { return !queued_.empty() || closed_ || abandoned_; });
        if (queued_.empty()) {
            if (packetsAfterEnd_) packetMet = true;
            return {};
        }
        reading_ = std::move(queued_.front());
        queued_.pop_front();
        changed_.notify_all();  // room for the reader
    }
    size_t start = nextPayload_ == 0 ? 0 : reading_.ends[nextPayload_ - 1];
    size_t end = reading_.ends[nextPayload_++];
    packetMet = true;
    return {reading_.data.get() + start, end - start};
}

void PayloadQueue::Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    queued_.clear();
    spares_.clear();
    changed_.notify_all();
}

bool PayloadQueue::Abandoned() {
    std::lock_guard lock(mutex_);
    return abandoned_;
}
