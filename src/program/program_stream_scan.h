// The first pass over the whole file: is it an MPEG-2 program stream (ISO/IEC
// 13818-1, 2.5.3), and what do its packs, system headers and PES packets hold.
// Fills the process-wide StreamIdTable that the rest of the run reads, and may hand the
// analysed streams' payloads to their passes on the way, so that a run reads the file once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "input/program_stream_walker.h"
#include "input/stream_reader.h"

enum ScanResult : int {
    ScanOk = 0,  // program end code read, or the time limit reached
    ScanBadExtension = 1,
    ScanOpenFailed = 2,
    ScanNotProgramStream = 3,
    ScanMpeg1System = 4,
    ScanPackHeaderInPes = 5,
    ScanSyncLost = 6,
    ScanNoEndCode = 10,  // end of file or cancel before the program end code
    ScanCancelled = 11,  // cancel before the first pack header was found
};

// The sync byte of every transport stream packet (ISO/IEC 13818-1, 2.4.3.2), by which
// the first pass tells a transport stream from a program stream.
constexpr uint8_t kTransportSyncByte = 0x47;

// DVD substreams of private stream 1, named by the first payload byte.
constexpr uint8_t kFirstAc3Substream = 0x80;
constexpr uint8_t kLastAc3Substream = 0x87;
constexpr uint8_t kFirstDtsSubstream = 0x88;
constexpr uint8_t kLastDtsSubstream = 0x8F;
constexpr uint8_t kFirstLpcmSubstream = 0xA0;
constexpr uint8_t kLastLpcmSubstream = 0xAF;
constexpr uint8_t kFirstSubpictureSubstream = 0x20;
constexpr uint8_t kLastSubpictureSubstream = 0x3F;
// AC-3 and DTS run on from one another and are counted in one table.
static_assert(kLastAc3Substream + 1 == kFirstDtsSubstream);
constexpr size_t kAc3DtsSubstreamCount = kLastDtsSubstream - kFirstAc3Substream + 1;
constexpr size_t kLpcmSubstreamCount = kLastLpcmSubstream - kFirstLpcmSubstream + 1;
constexpr size_t kSubpictureSubstreamCount =
    kLastSubpictureSubstream - kFirstSubpictureSubstream + 1;

// What the search at the start of the file found.
enum StreamKind : int { StreamKindNothing = 0, StreamKindPack = 1, StreamKindTransport = 255 };

template <typename T>
using PerId = std::array<T, kStreamIdCount>;

struct StreamIdTable {
    int result;
    bool isDvd;
    uint64_t firstPackOffset;    // bytes before the first pack start code
    uint64_t bytesMissingAtEnd;  // the file ends this much short of its last structure
    uint64_t bytesAfterEndCode;  // after the program end code
    uint32_t packsAfterEndCode;  // of another program that follows the end code
    uint64_t syncLostOffset;     // ScanSyncLost: where the word that is no start code began
    double firstScrMs;
    PerId<bool> firstPtsPending;
    PerId<double> firstPtsMs;
    // The first PTS counted from the first pack's SCR along the clock (modulo 2^33, and
    // across no discontinuity), in ms.
    PerId<double> firstPtsFromStartMs;
    // SCRs that go back, or forward by more than the 0.7 s that ISO/IEC 13818-1 2.7.1
    // allows between two of them: a clock that restarts (joined files) or jumps.
    uint32_t clockDiscontinuities;
    double firstDiscontinuitySeconds;   // stream time of the first, from the first pack
    uint64_t firstDiscontinuityOffset;  // byte offset of the pack after the jump
    // PES packets whose PES_packet_length leaves no room for their own header.
    uint32_t shortPesPackets;
    uint64_t firstShortPesOffset;  // byte offset of the first one's start code
    uint32_t firstShortPesLength;  // its PES_packet_length
    uint32_t ptsUnderflows;
    uint32_t dtsUnderflows;
    uint32_t ptsDtsOutOfSync;
    uint32_t rateBound;  // units of 50 bytes/s
    uint32_t audioBound;
    uint32_t videoBound;
    uint32_t fixedFlag;
    uint32_t audioLockFlag;
    uint32_t videoLockFlag;
    PerId<uint32_t> stdBufferBoundScale;
    PerId<uint32_t> stdBufferSizeBound;
    PerId<bool> stdBufferBoundListed;  // the system header has an entry for the id
    PerId<bool> present;
    PerId<bool> scrambled;
    PerId<bool> substreamScrambled;  // per DVD substream (first payload byte of 0xBD)
    PerId<bool> substreamPresent;
    uint32_t maxPesPacketLength;
    uint32_t programMuxRate;     // units of 50 bytes/s, of the last pack
    uint32_t maxProgramMuxRate;  // the highest of all packs
    double multiplexPeakBps;     // the packs' highest arrival rate over about a second
    PerId<uint32_t> packetCount;
    PerId<uint64_t> payloadBytes;  // 64 bits: a long programme passes 4 GiB
    uint32_t packCount;
    uint32_t systemHeaderCount;
    uint32_t pesPacketCount;
    std::array<uint64_t, kAc3DtsSubstreamCount> ac3DtsBytes;  // AC-3, then DTS
    std::array<uint64_t, kLpcmSubstreamCount> lpcmBytes;
    std::array<uint64_t, kSubpictureSubstreamCount> subpictureBytes;
    PerId<uint32_t> substreamPacketCount;
    PerId<uint64_t> substreamBytes;
    uint32_t maxPackSize;
    uint32_t maxPacketsPerPack;
    int streamKind;
    uint32_t videoStreamCount;
    uint32_t audioStreamCount;
};

class PayloadFanOut;
// With a fan-out, each PES payload of the streams it carries goes to that stream's pass
// as the file is read, and every pass gets the end of its stream when the scan ends.
ScanResult ScanProgramStream(const std::string& path, int timeLimitSeconds,
                             PayloadFanOut* fanOut = nullptr);
void ResetStreamIdTable();
const StreamIdTable& GetStreamIdTable();
// What a stream's pass needs of the first pass.
StreamExtent StreamExtentOf(const StreamIdTable& scanned, int streamId);
// A stream's first PTS counted from the first pack's SCR along the clock, in ms; 0
// without a PTS.
double FirstPtsFromClockStartMs(const StreamIdTable& scanned, int id);
// The system header entry that bounds the stream's buffer: its own, or else the entry
// for all streams of its kind.
int BufferBoundEntry(const StreamIdTable& scanned, int id);
