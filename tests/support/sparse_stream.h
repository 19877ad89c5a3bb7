// Program stream files of several GiB that cost little disk: the video elementary stream
// is zeros but for islands of header bytes, and only the islands and the pack and PES
// headers are written, so every run of zeros stays a hole in a sparse file. Zeros hold
// no start code prefix, so to a reader they are slice data to pass over.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/stream_builder.h"

// A video elementary stream of Size() bytes: zeros but for islands of bytes.
class SparseElementaryStream {
  public:
    struct Island {
        uint64_t offset;
        Bytes bytes;
    };

    SparseElementaryStream& Append(const Bytes& bytes);
    SparseElementaryStream& AppendZeros(uint64_t count);

    uint64_t Size() const { return size_; }
    const std::vector<Island>& Islands() const { return islands_; }

  private:
    std::vector<Island> islands_;  // in stream order, apart
    uint64_t size_ = 0;
};

// Elementary stream bytes in each PES packet but the last: the largest PES_packet_length
// (16 bits, ISO/IEC 13818-1, 2.4.3.7) less the flag bytes, PES_header_data_length and a PTS.
constexpr uint32_t kSparsePayloadPerPacket = 0xFFFF - (3 + 5);

// Writes `es` as video stream 0xE0 of a program stream file, one pack per PES packet of
// the largest length (65535 bytes, a PTS in each), a system header in the first pack and
// the program end code last. Returns the file size; throws std::runtime_error when the
// file cannot be written.
uint64_t WriteSparseProgramStream(const std::string& path, const SparseElementaryStream& es);

// Bytes the file takes on disk.
uint64_t AllocatedBytes(const std::string& path);
