// Sparse program stream writer for tests.
#include "support/sparse_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace {

constexpr uint8_t kVideoStreamId = 0xE0;
// After PES_packet_length: the flag bytes, PES_header_data_length and a PTS.
constexpr uint32_t kPesHeaderFieldBytes = 3 + 5;
// The SCRs only need to rise; each PTS stays ahead of its pack's SCR, as a decoder needs.
constexpr uint64_t kFirstScr = 3600;
constexpr uint64_t kScrStepPerPack = 3;
constexpr uint64_t kPtsAheadOfScr = 36000;

// A file opened for writing at chosen offsets, closed on every exit.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {
        if (fd_ < 0) throw std::runtime_error("cannot create " + path);
    }
    ~OutputFile() { ::close(fd_); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void WriteAt(const uint8_t* bytes, size_t count, uint64_t offset) {
        while (count > 0) {
            ssize_t done = ::pwrite(fd_, bytes, count, static_cast<off_t>(offset));
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) throw std::runtime_error("pwrite failed");
            bytes += done;
            count -= static_cast<size_t>(done);
            offset += static_cast<uint64_t>(done);
        }
    }
    void WriteAt(const Bytes& bytes, uint64_t offset) {
        WriteAt(bytes.data(), bytes.size(), offset);
    }

  private:
    int fd_;
};

// The pack header and PES header in front of one payload.
Bytes PacketHeaders(uint64_t scr, bool firstPack, uint32_t payloadSize) {
    StreamBuilder b;
    b.Pack(scr);
    if (firstPack) b.SystemHeader();
    PesFields fields;
    fields.pts = scr + kPtsAheadOfScr;
    fields.packetLength = kPesHeaderFieldBytes + payloadSize;
    return b.Pes(kVideoStreamId, fields).Build();
}

// Writes the parts of the islands that fall in the payload of elementary stream bytes
// [begin, end), which starts at `fileOffset`. `next` is the first island not yet written
// to its end; it moves past the islands finished here.
void WriteIslandsOfPayload(OutputFile& file, const SparseElementaryStream& es, size_t& next,
                           uint64_t begin, uint64_t end, uint64_t fileOffset) {
    const auto& islands = es.Islands();
    for (size_t i = next; i < islands.size() && islands[i].offset < end; ++i) {
        const auto& island = islands[i];
        uint64_t from = std::max(island.offset, begin);
        uint64_t to = std::min(island.offset + island.bytes.size(), end);
        file.WriteAt(island.bytes.data() + (from - island.offset), to - from,
                     fileOffset + (from - begin));
        if (to == island.offset + island.bytes.size()) next = i + 1;
    }
}

}  // namespace

SparseElementaryStream& SparseElementaryStream::Append(const Bytes& bytes) {
    if (!islands_.empty() && islands_.back().offset + islands_.back().bytes.size() == size_) {
        islands_.back().bytes.insert(islands_.back().bytes.end(), bytes.begin(), bytes.end());
    } else {
        islands_.push_back({size_, bytes});
    }
    size_ += bytes.size();
    return *this;
}

SparseElementaryStream& SparseElementaryStream::AppendZeros(uint64_t count) {
    size_ += count;
    return *this;
}

uint64_t WriteSparseProgramStream(const std::string& path, const SparseElementaryStream& es) {
    OutputFile file(path);
    uint64_t fileOffset = 0;
    uint64_t scr = kFirstScr;
    size_t nextIsland = 0;
    for (uint64_t begin = 0; begin < es.Size(); begin += kSparsePayloadPerPacket) {
        auto payloadSize =
            static_cast<uint32_t>(std::min<uint64_t>(kSparsePayloadPerPacket, es.Size() - begin));
        Bytes headers = PacketHeaders(scr, begin == 0, payloadSize);
        file.WriteAt(headers, fileOffset);
        fileOffset += headers.size();
        WriteIslandsOfPayload(file, es, nextIsland, begin, begin + payloadSize, fileOffset);
        fileOffset += payloadSize;
        scr += kScrStepPerPack;
    }
    // Written last, the end code also gives the file its full size over the holes.
    Bytes endCode = StreamBuilder().EndCode().Build();
    file.WriteAt(endCode, fileOffset);
    return fileOffset + endCode.size();
}

uint64_t AllocatedBytes(const std::string& path) {
    constexpr uint64_t kStatBlockBytes = 512;  // st_blocks counts 512-byte units
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) throw std::runtime_error("cannot stat " + path);
    return static_cast<uint64_t>(info.st_blocks) * kStatBlockBytes;
}
