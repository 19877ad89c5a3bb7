// Bit-level reading of the file under analysis, most significant bit first, in blocks
// of 1 MiB; the next block is read on a thread of its own while the current one is parsed. Every
// read returns 0 once the data has ended; callers test AtEnd(). The end flag is set as soon as the
// file's last byte has been taken. Progress is reported once per MiB of whole-byte reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "input/block_prefetcher.h"

class BitstreamFile {
  public:
    static constexpr size_t kBlockSize = 1 << 20;

    BitstreamFile() = default;
    BitstreamFile(const BitstreamFile&) = delete;
    BitstreamFile& operator=(const BitstreamFile&) = delete;
    ~BitstreamFile() { Close(); }

    // Opens read-only and reads the first block; shows an error box and returns false
    // when the file cannot be opened, is not a regular file, or is empty.
    bool Open(const std::string& path);
    // Why the last Open failed; None after a successful one.
    enum class OpenFailure { None, System, Folder, NotRegularFile, Empty };
    OpenFailure LastOpenFailure() const { return openFailure_; }
    // The system's reason (strerror) for a System failure.
    const std::string& LastOpenError() const { return openError_; }
    void Close();

    int ReadBit();
    // n from 1 to 32; a read that meets the end part way returns 0.
    uint32_t ReadBits(int n) {
        if (n <= 0 || n > 32) return 0;
        size_t endBit = byteIndex_ * 8 + bitOffset_ + static_cast<size_t>(n);
        if (!atEnd_ && (endBit >> 3) < bytesInBuffer_) {
            // Inside the block, short of its last byte: no refill or progress due.
            uint32_t value =
                static_cast<uint32_t>((LoadBigEndian64(byteIndex_) << bitOffset_) >> (64 - n));
            consumedBytes_ += (endBit >> 3) - byteIndex_;
            byteIndex_ = endBit >> 3;
            bitOffset_ = static_cast<int>(endBit & 7);
            bitPosition_ += n;
            return value;
        }
        return ReadBitsSlow(n);
    }
    // The next n bits (1 to 32) without consuming them; 0 when they run past the end.
    uint32_t PeekBits(int n) {
        if (n <= 0 || n > 32 || atEnd_) return 0;
        size_t endBit = byteIndex_ * 8 + bitOffset_ + static_cast<size_t>(n);
        if (((endBit + 7) >> 3) <= bytesInBuffer_) {
            return static_cast<uint32_t>((LoadBigEndian64(byteIndex_) << bitOffset_) >> (64 - n));
        }
        return PeekAcrossBlock(n);
    }
    // Moves to the next byte boundary, then consumes bytes until the last n bits read
    // equal the pattern: true, standing right after it; false at the end.
    bool FindPattern(uint32_t pattern, int n);

    // The same as `count` calls of ReadBits(8), progress included; stops at the end.
    void SkipBytes(uint64_t count);
    // Likewise, keeping the bytes; returns how many there were before the end.
    size_t CopyBytes(uint8_t* into, size_t count);
    // Unread bytes of the current block from the current byte on (byte boundary only).
    size_t BufferedByteCount() const { return atEnd_ ? 0 : bytesInBuffer_ - byteIndex_; }
    const uint8_t* BufferedBytes() const { return buffer_.get() + byteIndex_; }

    bool AtEnd() const { return atEnd_; }
    bool IsByteAligned() const { return bitOffset_ == 0; }
    double BitPosition() const { return bitPosition_; }
    // Size of the file opened last; still valid after Close.
    uint64_t FileSize() const { return fileSize_; }

  private:
    uint64_t LoadBigEndian64(size_t index) const {
        const uint8_t* p = buffer_.get() + index;
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) value = (value << 8) | p[i];
        return value;
    }
    void NoteSystemFailure();  // from errno
    uint32_t ReadBitsSlow(int n);
    uint32_t PeekAcrossBlock(int n);
    bool FindStartCodePrefix();
    int TakeBit();
    void FinishByte(bool bytePath);
    void Advance(size_t count);
    void EndOfBlock(bool bytePath);
    size_t ReadFirstBlock();
    size_t Refill();
    size_t TakeBlock(size_t got);
    void RequestNextBlock();
    void ReportProgress() const;

    int fd_ = -1;
    std::unique_ptr<uint8_t[]> buffer_;  // kBlockSize plus zeroed room for 8-byte loads
    std::unique_ptr<BlockPrefetcher> prefetcher_;
    size_t bytesInBuffer_ = 0;
    size_t byteIndex_ = 0;
    int bitOffset_ = 0;  // bits of the current byte already taken (0 = byte boundary)
    uint64_t consumedBytes_ = 0;
    uint64_t nextBlockOffset_ = 0;  // file offset of the byte after the current block
    double bitPosition_ = 0;
    uint64_t fileSize_ = 0;
    bool atEnd_ = true;
    OpenFailure openFailure_ = OpenFailure::None;
    std::string openError_;
};

// The one reader of the process: the first pass and the payload reader share it.
BitstreamFile& GetBitstreamFile();

// Whether the files opened from now on read their next block on a thread of their own
// while the current one is parsed (on by default). A batch that already runs a file per
// core gains nothing from the overlap and loses the extra thread's cost.
void SetReadAhead(bool on);
