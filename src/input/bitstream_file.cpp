// Bitstream file reader.
#include "input/bitstream_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

#include "input/block_prefetcher.h"
#include "input/start_code_search.h"
#include "report/report_log.h"

namespace {

constexpr size_t kLoadPadding = 8;

}  // namespace

namespace {

std::atomic<bool> readAhead{true};

}  // namespace

void SetReadAhead(bool on) { readAhead = on; }

BitstreamFile& GetBitstreamFile() {
    static BitstreamFile file;
    return file;
}

bool BitstreamFile::Open(const std::string& path) {
    Close();
    openFailure_ = OpenFailure::None;
    openError_.clear();
    // O_NONBLOCK: opening a FIFO must not wait for a writer; regular files ignore it.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        NoteSystemFailure();
    } else if (S_ISDIR(info.st_mode)) {
        openFailure_ = OpenFailure::Folder;
    } else if (!S_ISREG(info.st_mode)) {
        openFailure_ = OpenFailure::NotRegularFile;
    }
    if (openFailure_ != OpenFailure::None) {
        if (fd >= 0) ::close(fd);
        ShowErrorMessage("Unable to open file " + path + " for reading.");
        return false;
    }
    buffer_.reset(new (std::nothrow) uint8_t[kBlockSize + kLoadPadding]);
    if (!buffer_) {
        ::close(fd);
        openFailure_ = OpenFailure::System;
        openError_ = std::strerror(ENOMEM);
        ShowErrorMessage("Unable to allocate memory for bitstream file " + path + ".");
        return false;
    }
    fd_ = fd;
    fileSize_ = static_cast<uint64_t>(info.st_size);
    byteIndex_ = 0;
    bitOffset_ = 0;
    bitPosition_ = 0;
    bytesInBuffer_ = 0;
    consumedBytes_ = 0;
    nextBlockOffset_ = 0;
    atEnd_ = false;
    errno = 0;
    if (ReadFirstBlock() == 0) {
        if (errno != 0) {
            NoteSystemFailure();
        } else {
            openFailure_ = OpenFailure::Empty;
        }
        Close();
        ShowErrorMessage("Unable to read from file " + path + ".");
        return false;
    }
    return true;
}

void BitstreamFile::NoteSystemFailure() {
    openFailure_ = OpenFailure::System;
    openError_ = std::strerror(errno);
}

void BitstreamFile::Close() {
    prefetcher_.reset();  // before the descriptor it reads from is closed
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.reset();
    bytesInBuffer_ = 0;
    byteIndex_ = 0;
    bitOffset_ = 0;
    atEnd_ = true;
}

size_t BitstreamFile::ReadFirstBlock() {
    size_t got = ReadAt(fd_, buffer_.get(), kBlockSize, 0);
    return TakeBlock(got);
}

size_t BitstreamFile::Refill() {
    if (!prefetcher_) return TakeBlock(ReadAt(fd_, buffer_.get(), kBlockSize, nextBlockOffset_));
    return TakeBlock(prefetcher_->TakeInto(buffer_));
}

// A whole block may have one after it: that one is read while this one is parsed.
size_t BitstreamFile::TakeBlock(size_t got) {
    if (got == 0) {
        atEnd_ = true;
        return 0;
    }
    // Loads of 8 bytes near the block's end read zeros after its last byte, not what an
    // earlier block left there.
    std::fill_n(buffer_.get() + got, kLoadPadding, uint8_t{0});
    bytesInBuffer_ = got;
    nextBlockOffset_ += got;
    if (got == kBlockSize) RequestNextBlock();
    return got;
}

// A file of one block never needs the read-ahead; without memory or a thread for it,
// the blocks are read when they are due.
void BitstreamFile::RequestNextBlock() {
    if (!readAhead) return;
    try {
        if (!prefetcher_) prefetcher_ = std::make_unique<BlockPrefetcher>(kBlockSize, kLoadPadding);
        prefetcher_->Request(fd_, nextBlockOffset_);
    } catch (const std::exception&) {
        prefetcher_.reset();
    }
}

void BitstreamFile::ReportProgress() const {
    // The file may have changed size since Open; progress stays within 0..100.
    double percent = fileSize_ ? consumedBytes_ * 100.0 / fileSize_ : 100.0;
    SetProgress(static_cast<int>(std::clamp(percent, 0.0, 100.0)));
}

void BitstreamFile::EndOfBlock(bool bytePath) {
    if (bytesInBuffer_ == kBlockSize) {
        Refill();
    } else {
        atEnd_ = true;
    }
    byteIndex_ = 0;
    if (bytePath && consumedBytes_ % kBlockSize == 0) ReportProgress();
}

void BitstreamFile::FinishByte(bool bytePath) {
    ++byteIndex_;
    ++consumedBytes_;
    bitOffset_ = 0;
    if (byteIndex_ == bytesInBuffer_) EndOfBlock(bytePath);
}

void BitstreamFile::Advance(size_t count) {
    byteIndex_ += count;
    consumedBytes_ += count;
    bitPosition_ += 8.0 * static_cast<double>(count);
    if (byteIndex_ == bytesInBuffer_) EndOfBlock(true);
}

int BitstreamFile::TakeBit() {
    int bit = (buffer_[byteIndex_] >> (7 - bitOffset_)) & 1;
    bitPosition_ += 1;
    if (++bitOffset_ == 8) FinishByte(false);
    return bit;
}

int BitstreamFile::ReadBit() { return atEnd_ ? 0 : TakeBit(); }

uint32_t BitstreamFile::ReadBitsSlow(int n) {
    uint32_t value = 0;
    if (bitOffset_ == 0 && n % 8 == 0) {
        for (int i = 0; i < n / 8; ++i) {
            if (atEnd_) return 0;
            value = (value << 8) | buffer_[byteIndex_];
            bitPosition_ += 8;
            FinishByte(true);
        }
        return value;
    }
    for (int i = 0; i < n; ++i) {
        if (atEnd_) return 0;
        value = (value << 1) | static_cast<uint32_t>(TakeBit());
    }
    return value;
}

uint32_t BitstreamFile::PeekAcrossBlock(int n) {
    // Only a full block can be followed by more data; up to 4 bytes of the next block
    // are read without moving the file position, so the next refill reads them again.
    if (bytesInBuffer_ != kBlockSize) return 0;
    uint8_t window[16] = {};
    size_t rest = bytesInBuffer_ - byteIndex_;
    std::memcpy(window, buffer_.get() + byteIndex_, rest);
    ssize_t got = ReadAt(fd_, window + rest, 4, nextBlockOffset_);
    size_t available = rest + static_cast<size_t>(std::max<ssize_t>(got, 0));
    size_t needed = (static_cast<size_t>(bitOffset_ + n) + 7) / 8;
    if (available < needed) return 0;
    uint64_t word = 0;
    for (int i = 0; i < 8; ++i) word = (word << 8) | window[i];
    return static_cast<uint32_t>((word << bitOffset_) >> (64 - n));
}

bool BitstreamFile::FindPattern(uint32_t pattern, int n) {
    if (n <= 0 || n > 32) return false;
    while (bitOffset_ != 0 && !atEnd_) ReadBit();
    if (pattern == kStartCodePrefix && n == kStartCodePrefixBits) return FindStartCodePrefix();
    uint32_t mask = n == 32 ? 0xFFFFFFFFu : (1u << n) - 1;
    uint32_t value = ReadBits(n);
    while ((value & mask) != pattern) {
        if (atEnd_) return false;
        value = (value << 8) + ReadBits(8);
    }
    return true;
}

// FindPattern(0x000001, 24) on a byte boundary, without testing bytes one call at a
// time: the prefix is found when the last three bytes consumed by this search are
// 00 00 01. A cancel is seen at every block (1 MiB), however long the run without one.
bool BitstreamFile::FindStartCodePrefix() {
    int zeros = 0;  // trailing zero bytes consumed by this search, at most 2
    while (!atEnd_ && !IsCancelRequested()) {
        const uint8_t* start = buffer_.get() + byteIndex_;
        const uint8_t* end = buffer_.get() + bytesInBuffer_;
        size_t found = FindPrefixEnd(start, end, zeros);
        Advance(found == kPrefixNotFound ? static_cast<size_t>(end - start) : found);
        if (found != kPrefixNotFound) return true;
    }
    return false;
}

size_t BitstreamFile::CopyBytes(uint8_t* into, size_t count) {
    if (bitOffset_ != 0) {
        size_t copied = 0;
        for (; copied < count && !atEnd_; ++copied)
            into[copied] = static_cast<uint8_t>(ReadBits(8));
        return copied;
    }
    size_t copied = 0;
    while (copied < count && !atEnd_) {
        size_t step = std::min(count - copied, bytesInBuffer_ - byteIndex_);
        std::memcpy(into + copied, buffer_.get() + byteIndex_, step);
        copied += step;
        Advance(step);
    }
    return copied;
}

void BitstreamFile::SkipBytes(uint64_t count) {
    if (bitOffset_ != 0) {
        for (; count > 0 && !atEnd_; --count) ReadBits(8);
        return;
    }
    while (count > 0 && !atEnd_) {
        size_t step = static_cast<size_t>(std::min<uint64_t>(count, bytesInBuffer_ - byteIndex_));
        Advance(step);
        count -= step;
    }
}
