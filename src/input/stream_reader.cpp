// PES payload reader.
#include "input/stream_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "input/program_stream_walker.h"
#include "input/start_code_search.h"

bool FilePayloadSource::Open(const std::string& path, int streamId, const StreamExtent& extent) {
    if (!file_.Open(path)) return false;
    try {
        payload_.assign(extent.maxPesPacketLength, 0);
    } catch (const std::bad_alloc&) {
        std::puts("Not enough memory...!!");
        file_.Close();
        return false;
    }
    packetBudget_ = extent.pesPacketCount;
    // Start where the first pass found the first pack, so that what comes before it
    // (a program stream map, say) spends none of the budget.
    file_.SkipBytes(extent.firstPackOffset);
    streamId_ = streamId;
    return true;
}

// Walks the file to the next non-empty payload of the stream. Every PES packet met uses
// one unit of the budget, and the packet that uses the last unit is still delivered.
std::span<const uint8_t> FilePayloadSource::NextPayload(bool& packetMet) {
    while (packetBudget_ > 0 && !file_.AtEnd()) {
        std::optional<uint32_t> code = ReadNextStartCode(file_);
        if (!code || *code == kProgramEndCode) return {};
        if (*code == kPackStartCode) {
            ReadPackHeader(file_);
            continue;
        }
        if (*code == kSystemHeaderStartCode) {
            ReadSystemHeader(file_, [](const StreamBufferBound&) {});
            continue;
        }
        packetMet = true;
        --packetBudget_;
        uint8_t id = StreamIdOf(*code);
        PesPacketHeader packet = ReadPesPacketHeader(file_, id);
        int payloadSize = packet.PayloadSize();
        if (payloadSize <= 0) continue;  // an empty payload delivers nothing
        // Packets without a header (padding, private stream 2, ...) carry no elementary
        // stream: their bytes are never delivered, whatever the id asked for.
        if (id != streamId_ || !packet.hasHeader) {
            file_.SkipBytes(static_cast<uint64_t>(payloadSize));
            continue;
        }
        // The file may have grown a longer packet since the first pass sized the buffer.
        if (payload_.size() < static_cast<size_t>(payloadSize)) payload_.resize(payloadSize);
        size_t copied = file_.CopyBytes(payload_.data(), static_cast<size_t>(payloadSize));
        if (copied > 0) return {payload_.data(), copied};
    }
    return {};
}

bool StreamReader::Open(PayloadSource& source) {
    Close();
    return Start(source);
}

bool StreamReader::Open(const std::string& path, int streamId, const StreamExtent& extent) {
    Close();
    fileSource_ = std::make_unique<FilePayloadSource>();
    if (!fileSource_->Open(path, streamId, extent)) return false;
    return Start(*fileSource_);
}

bool StreamReader::Start(PayloadSource& source) {
    source_ = &source;
    exhausted_ = false;
    return FetchPayload();
}

void StreamReader::Close() {
    source_ = nullptr;
    fileSource_.reset();
    payload_ = nullptr;
    payloadSize_ = 0;
    position_ = 0;
    bitOffset_ = 0;
    lookahead_ = 0;
    lookaheadCount_ = 0;
    exhausted_ = true;
    newPacket_ = false;
    bytesRead_ = 0;
}

bool StreamReader::FetchPayload() {
    position_ = 0;
    std::span<const uint8_t> next = source_->NextPayload(newPacket_);
    payload_ = next.data();
    payloadSize_ = next.size();
    if (next.empty()) {
        exhausted_ = true;
        return false;
    }
    return true;
}

// After the last byte of a payload has been taken, the next one is loaded at once.
void StreamReader::AfterBufferByte() {
    ++bytesRead_;
    ++position_;
    bitOffset_ = 0;
    if (position_ == payloadSize_) FetchPayload();
}

int StreamReader::TakeBufferBit() {
    int bit = (payload_[position_] >> (7 - bitOffset_)) & 1;
    if (++bitOffset_ == 8) AfterBufferByte();
    return bit;
}

uint32_t StreamReader::TakeBufferByte() {
    uint32_t byte = payload_[position_];
    AfterBufferByte();
    return byte;
}

void StreamReader::AdvanceBuffer(size_t count) {
    bytesRead_ += static_cast<uint32_t>(count);
    position_ += count;
    bitOffset_ = 0;
    if (position_ == payloadSize_) FetchPayload();
}

// n bits (1 to 32) from the look-ahead first, then the buffer; 0 when the data ends.
uint32_t StreamReader::TakeBits(int n) {
    uint64_t value = 0;
    int taken = std::min(n, lookaheadCount_);
    if (taken > 0) {
        lookaheadCount_ -= taken;
        value = lookahead_ >> lookaheadCount_;
        lookahead_ &= (uint64_t{1} << lookaheadCount_) - 1;
    }
    for (int left = n - taken; left > 0;) {
        if (exhausted_) return 0;
        if (bitOffset_ == 0 && left >= 8) {
            value = (value << 8) | TakeBufferByte();
            left -= 8;
        } else {
            value = (value << 1) | static_cast<uint32_t>(TakeBufferBit());
            --left;
        }
    }
    return static_cast<uint32_t>(value);
}

int StreamReader::ReadBit() { return static_cast<int>(TakeBits(1)); }

uint32_t StreamReader::ReadBits(int n) {
    if (n <= 0 || n > 32) return 0;
    return TakeBits(n);
}

uint32_t StreamReader::PeekBits(int n) {
    if (n <= 0 || n > 32) return 0;
    while (lookaheadCount_ < n) {
        if (exhausted_) return 0;  // the bits looked at stay in the look-ahead
        if (bitOffset_ == 0 && n - lookaheadCount_ >= 8) {
            lookahead_ = (lookahead_ << 8) | TakeBufferByte();
            lookaheadCount_ += 8;
        } else {
            lookahead_ = (lookahead_ << 1) | static_cast<uint64_t>(TakeBufferBit());
            ++lookaheadCount_;
        }
    }
    return static_cast<uint32_t>(lookahead_ >> (lookaheadCount_ - n));
}

size_t StreamReader::TakeBytes(uint8_t* into, size_t count) {
    size_t taken = 0;
    while (taken < count && !AtEnd()) {
        if (lookaheadCount_ > 0 || bitOffset_ != 0) {
            auto byte = static_cast<uint8_t>(ReadBits(8));
            if (into) into[taken] = byte;
            ++taken;
            continue;
        }
        size_t step = std::min(count - taken, payloadSize_ - position_);
        if (into) std::memcpy(into + taken, payload_ + position_, step);
        taken += step;
        AdvanceBuffer(step);
    }
    return taken;
}

bool StreamReader::FindPattern(uint32_t pattern, int n) {
    if (n <= 0 || n > 32) return false;
    while (bitOffset_ != 0 && !AtEnd()) ReadBit();
    if (pattern == kStartCodePrefix && n == kStartCodePrefixBits) return FindStartCodePrefix();
    uint32_t mask = n == 32 ? 0xFFFFFFFFu : (1u << n) - 1;
    if (AtEnd()) return false;
    uint32_t value = ReadBits(n);
    while ((value & mask) != pattern) {
        if (AtEnd()) return false;
        value = (value << 8) | ReadBits(8);
    }
    return true;
}

// FindPattern(0x000001, 24): true once the last three bytes taken by this search are
// 00 00 01. Bytes in the buffer are searched without being taken one call at a time.
bool StreamReader::FindStartCodePrefix() {
    int zeros = 0;  // trailing zero bytes taken by this search, at most 2
    while (!AtEnd()) {
        if (lookaheadCount_ > 0 || bitOffset_ != 0) {
            uint32_t byte = ReadBits(8);
            if (byte == 1 && zeros == 2) return true;
            zeros = byte == 0 ? std::min(zeros + 1, 2) : 0;
            continue;
        }
        const uint8_t* start = payload_ + position_;
        const uint8_t* end = payload_ + payloadSize_;
        size_t found = FindPrefixEnd(start, end, zeros);
        AdvanceBuffer(found == kPrefixNotFound ? static_cast<size_t>(end - start) : found);
        if (found != kPrefixNotFound) return true;
    }
    return false;
}
