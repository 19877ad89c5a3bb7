// First pass: packs, system headers and PES packets of ISO/IEC 13818-1, 2.5.3.
#include "program/program_stream_scan.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "input/bitstream_file.h"
#include "input/payload_fan_out.h"
#include "input/program_stream_walker.h"
#include "program/multiplex_rate.h"
#include "report/report_log.h"

namespace {

StreamIdTable table;

// What the scan keeps between start codes.
struct ScanState {
    uint64_t currentScr = 0;          // of the current pack, 27 MHz
    double previousPackPosition = 0;  // bit position after the last pack start code
    uint32_t previousMuxRate = 0;     // program_mux_rate of the pack before
    // Stream time at the current pack, in 27 MHz periods from the first pack: the SCR's
    // steps, modulo 2^33, and over a discontinuity the time its bytes take at the mux rate.
    int64_t streamTime = 0;
    uint32_t packetsInPack = 0;
    bool firstPack = true;
    bool stoppedByTime = false;
    uint32_t lastCode = 0;
    PayloadFanOut* fanOut = nullptr;  // where the analysed streams' payloads go, if anywhere
    double declaredEnd = 0;           // bit position where the last pack, header or packet ends
    MultiplexRate multiplexRate;
};

// Scan-wide failures that end the pass at once.
using Stop = std::optional<ScanResult>;

// Clock periods in a millisecond: the 27 MHz of the whole SCR (ISO/IEC 13818-1, 2.4.2.1).
constexpr double kScrTicksPerMs = kSystemClockHz / 1000;
// PTS and DTS count 90 kHz periods.
constexpr double kBaseTicksPerMs = kBaseClockHz / 1000;
// The longest step between two SCRs (ISO/IEC 13818-1, 2.7.1): 0.7 s.
constexpr int64_t kLongestScrStep = 7 * static_cast<int64_t>(kSystemClockHz) / 10;

// Bytes of a DVD audio or subpicture packet before its elementary data.
constexpr int kAc3DtsHeaderBytes = 4;
constexpr int kLpcmHeaderBytes = 7;
constexpr int kSubpictureHeaderBytes = 1;

std::string LowerExtension(const std::string& path) {
    size_t nameStart = path.find_last_of('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return std::string();
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

uint32_t AtLeastZero(int count) { return count > 0 ? static_cast<uint32_t>(count) : 0; }

// Bytes from the current one (excluded) to the next one that may open a pack start
// code or be a transport stream sync byte, or to the end of the block.
size_t BytesToNextCandidate(const BitstreamFile& file) {
    const uint8_t* bytes = file.BufferedBytes();
    size_t count = file.BufferedByteCount();
    size_t i = 1;
    while (i < count && bytes[i] != 0x00 && bytes[i] != kTransportSyncByte) ++i;
    return i;
}

// Gigabytes of zeros (a blank capture) hold a candidate at every byte: a cancel is seen
// at each one.
int FindStreamStart(BitstreamFile& file) {
    while (!file.AtEnd() && !IsCancelRequested()) {
        if (file.PeekBits(32) == kPackStartCode) return StreamKindPack;
        if (file.PeekBits(8) == kTransportSyncByte) return StreamKindTransport;
        file.SkipBytes(BytesToNextCandidate(file));
    }
    return StreamKindNothing;
}

// Moves the stream time on to a pack whose SCR is `scr`, `bytes` after the pack before;
// true when the clock jumped there. Across a jump the stream time goes on by the time
// the bytes take at the mux rate, as it would have had the clock run on.
bool AdvanceStreamTime(ScanState& state, uint64_t scr, double bytes, uint64_t packOffset) {
    int64_t step = ScrDifference(scr, state.currentScr);
    bool jumped = step < 0 || step > kLongestScrStep;
    if (jumped) {
        double bytesPerSecond = state.previousMuxRate * (kMuxRateUnitBitsPerSecond / 8.0);
        step =
            bytesPerSecond > 0 ? static_cast<int64_t>(bytes / bytesPerSecond * kSystemClockHz) : 0;
    }
    state.streamTime += step;
    if (jumped && table.clockDiscontinuities++ == 0) {
        table.firstDiscontinuitySeconds = static_cast<double>(state.streamTime) / kSystemClockHz;
        table.firstDiscontinuityOffset = packOffset;
    }
    return jumped;
}

Stop CountPack(BitstreamFile& file, ScanState& state) {
    ++table.packCount;
    state.packetsInPack = 0;
    double packBytes = 0;  // from the pack before
    if (state.previousPackPosition != 0) {
        // Packs more than 4 GiB apart (a hole in a damaged file) saturate the 32-bit size.
        packBytes = (file.BitPosition() - state.previousPackPosition) / 8;
        auto size32 = static_cast<uint32_t>(std::min(packBytes, double{UINT32_MAX}));
        table.maxPackSize = std::max(table.maxPackSize, size32);
    }
    state.previousPackPosition = file.BitPosition();
    if (state.firstPack && !IsMpeg2PackHeaderAhead(file)) return ScanMpeg1System;

    PackHeader pack = ReadPackHeader(file);
    uint64_t scr27MHz = pack.Scr27MHz();
    auto packOffset = static_cast<uint64_t>(state.previousPackPosition / 8 - kStartCodeBytes);
    bool jumped = false;
    if (state.firstPack) {
        table.firstScrMs = static_cast<double>(scr27MHz) / kScrTicksPerMs;
        state.firstPack = false;
    } else {
        jumped = AdvanceStreamTime(state, scr27MHz, packBytes, packOffset);
    }
    state.currentScr = scr27MHz;
    state.previousMuxRate = pack.programMuxRate;
    state.multiplexRate.AddPack(static_cast<double>(state.streamTime) / kSystemClockHz, packOffset,
                                jumped);
    table.programMuxRate = pack.programMuxRate;
    table.maxProgramMuxRate = std::max(table.maxProgramMuxRate, pack.programMuxRate);
    state.declaredEnd = pack.declaredEndBit;
    return std::nullopt;
}

void CountSystemHeader(BitstreamFile& file, ScanState& state) {
    ++table.systemHeaderCount;
    SystemHeader header = ReadSystemHeader(file, [](const StreamBufferBound& bound) {
        table.stdBufferBoundScale[bound.streamId] = bound.scale;
        table.stdBufferSizeBound[bound.streamId] = bound.size;
        table.stdBufferBoundListed[bound.streamId] = true;
    });
    state.declaredEnd = header.declaredEndBit;
    table.rateBound = header.rateBound;
    table.audioBound = header.audioBound;
    table.fixedFlag = header.fixedFlag;
    table.audioLockFlag = header.audioLockFlag;
    table.videoLockFlag = header.videoLockFlag;
    table.videoBound = header.videoBound;
}

// A PTS or DTS against the SCR of its pack, in 27 MHz periods, modulo 2^33.
int64_t AfterScr(uint64_t stamp, const ScanState& state) {
    return ScrDifference(stamp * kScrExtensionsPerBase, state.currentScr);
}

// Counts the header's time stamps against the clock of the current pack.
void CountTimeStamps(uint8_t id, const PesHeader& header, const ScanState& state) {
    if (header.ptsDtsFlags != 2 && header.ptsDtsFlags != 3) return;
    if (table.firstPtsPending[id]) {
        table.firstPtsMs[id] = static_cast<double>(header.pts) / kBaseTicksPerMs;
        table.firstPtsFromStartMs[id] =
            static_cast<double>(state.streamTime + AfterScr(header.pts, state)) / kScrTicksPerMs;
        table.firstPtsPending[id] = false;
    }
    if (AfterScr(header.pts, state) <= 0) ++table.ptsUnderflows;
    if (header.ptsDtsFlags == 3) {
        if (AfterScr(header.dts, state) <= 0) ++table.dtsUnderflows;
        if (ClockDifference(header.dts, header.pts) > 0) ++table.ptsDtsOutOfSync;
    }
}

void CountShortPesPacket(const PesPacketHeader& packet) {
    if (table.shortPesPackets++ > 0) return;
    constexpr double kLengthFieldBytes = 2;
    table.firstShortPesOffset = static_cast<uint64_t>(
        packet.declaredEndBit / 8 - packet.packetLength - kLengthFieldBytes - kStartCodeBytes);
    table.firstShortPesLength = packet.packetLength;
}

// DVD private stream 1: the first payload byte names the substream.
void CountDvdSubstream(uint8_t sub, int payloadSize) {
    ++table.substreamPacketCount[sub];
    table.substreamBytes[sub] += AtLeastZero(payloadSize);
    if (sub >= kFirstAc3Substream && sub <= kLastDtsSubstream) {
        table.ac3DtsBytes[sub - kFirstAc3Substream] +=
            AtLeastZero(payloadSize - kAc3DtsHeaderBytes);
    } else if (sub >= kFirstLpcmSubstream && sub <= kLastLpcmSubstream) {
        table.lpcmBytes[sub - kFirstLpcmSubstream] += AtLeastZero(payloadSize - kLpcmHeaderBytes);
    } else if (sub >= kFirstSubpictureSubstream && sub <= kLastSubpictureSubstream) {
        table.subpictureBytes[sub - kFirstSubpictureSubstream] +=
            AtLeastZero(payloadSize - kSubpictureHeaderBytes);
    }
}

Stop CountPesPacket(BitstreamFile& file, uint8_t id, ScanState& state) {
    if (state.fanOut) state.fanOut->NotePacket(id);
    ++table.pesPacketCount;
    ++table.packetCount[id];
    PesPacketHeader packet = ReadPesPacketHeader(file, id);
    uint32_t length = packet.packetLength;
    state.declaredEnd = packet.declaredEndBit;
    table.maxPesPacketLength = std::max(table.maxPesPacketLength, length);
    uint32_t scrambling = 0;
    std::optional<uint8_t> sub;
    bool dvdPrivate = table.isDvd && id == kPrivateStream1Id;

    if (packet.shorterThanHeader) {
        CountShortPesPacket(packet);
    } else if (!packet.hasHeader) {
        file.SkipBytes(length);
        table.payloadBytes[id] += length;
    } else {
        ++state.packetsInPack;
        table.maxPacketsPerPack = std::max(table.maxPacketsPerPack, state.packetsInPack);
        const PesHeader& header = packet.header;
        if (header.packHeaderField) return ScanPackHeaderInPes;
        CountTimeStamps(id, header, state);
        scrambling = header.scrambling;
        int payloadSize = packet.PayloadSize();
        table.payloadBytes[id] += AtLeastZero(payloadSize);
        if (state.fanOut && state.fanOut->Carries(id)) {
            // An analysed stream (never DVD private stream 1): its pass takes the payload.
            state.fanOut->DeliverPayload(id, file, AtLeastZero(payloadSize));
        } else {
            // An empty payload has no substream byte: reading one would eat the next
            // start code.
            if (payloadSize >= 1) sub = static_cast<uint8_t>(file.ReadBits(8));
            if (dvdPrivate && sub) CountDvdSubstream(*sub, payloadSize);
            if (payloadSize > 1) file.SkipBytes(static_cast<uint64_t>(payloadSize - 1));
        }
    }

    if (dvdPrivate) {
        if (sub) {
            table.substreamPresent[*sub] = true;
            if (scrambling != 0) table.substreamScrambled[*sub] = true;
        }
    } else if (scrambling != 0) {
        table.scrambled[id] = true;
    }
    table.present[id] = true;
    return std::nullopt;
}

Stop Dispatch(BitstreamFile& file, uint32_t code, ScanState& state) {
    switch (code) {
        case kProgramEndCode:
            return std::nullopt;
        case kPackStartCode:
            return CountPack(file, state);
        case kSystemHeaderStartCode:
            CountSystemHeader(file, state);
            return std::nullopt;
        default:
            return CountPesPacket(file, StreamIdOf(code), state);
    }
}

void CountStreams() {
    for (int id = kFirstVideoStreamId; id <= kLastVideoStreamId; ++id) {
        table.videoStreamCount += table.present[id];
    }
    for (int id = kFirstAudioStreamId; id <= kLastAudioStreamId; ++id) {
        table.audioStreamCount += table.present[id];
    }
    if (table.isDvd && table.present[kPrivateStream1Id]) {
        for (int sub = kFirstAc3Substream; sub <= kLastDtsSubstream; ++sub) {
            table.audioStreamCount += table.substreamPresent[sub];
        }
        for (int sub = kFirstLpcmSubstream; sub <= kLastLpcmSubstream; ++sub) {
            table.audioStreamCount += table.substreamPresent[sub];
        }
    }
}

// The packs of a second program after the program end code (two spots joined with
// `cat`): walked structure by structure and counted, nothing else taken from them.
uint32_t CountPacksOfAnotherProgram(BitstreamFile& file) {
    uint32_t packs = 0;
    while (!file.AtEnd() && !IsCancelRequested()) {
        std::optional<uint32_t> code = ReadNextStartCode(file);
        if (!code) break;
        if (*code == kPackStartCode) {
            ++packs;
            ReadPackHeader(file);
        } else if (*code == kSystemHeaderStartCode) {
            ReadSystemHeader(file, [](const StreamBufferBound&) {});
        } else if (*code != kProgramEndCode) {
            PesPacketHeader packet = ReadPesPacketHeader(file, StreamIdOf(*code));
            file.SkipBytes(static_cast<uint64_t>(std::max(packet.PayloadSize(), 0)));
        }
    }
    return packs;
}

// A file cut short (a truncated upload) ends inside its last structure; bytes after the
// program end code belong to no structure at all, unless another program begins there.
void NoteFileEnd(BitstreamFile& file, const ScanState& state) {
    double fileBits = static_cast<double>(file.FileSize()) * 8;
    if (state.lastCode == kProgramEndCode) {
        table.bytesAfterEndCode = static_cast<uint64_t>((fileBits - file.BitPosition()) / 8);
        if (file.PeekBits(32) == kPackStartCode) {
            table.packsAfterEndCode = CountPacksOfAnotherProgram(file);
        }
    } else if (file.AtEnd() && state.declaredEnd > fileBits) {
        table.bytesMissingAtEnd = static_cast<uint64_t>((state.declaredEnd - fileBits) / 8);
    }
}

// The scan proper, with the file open; every return closes it through the caller.
ScanResult Scan(BitstreamFile& file, int timeLimitSeconds, PayloadFanOut* fanOut) {
    table.streamKind = FindStreamStart(file);
    if (IsCancelRequested() && table.streamKind == StreamKindNothing) return ScanCancelled;
    if (table.streamKind != StreamKindPack) return ScanNotProgramStream;
    table.firstPackOffset = static_cast<uint64_t>(file.BitPosition() / 8);

    ScanState state;
    state.fanOut = fanOut;
    bool syncLost = false;
    while (state.lastCode != kProgramEndCode && !IsCancelRequested() && !file.AtEnd()) {
        double wordStart = file.BitPosition() / 8;
        std::optional<uint32_t> code = ReadNextStartCode(file);
        if (!code && IsCancelRequested()) break;
        if (!code) {
            // What was read before the garbage is still counted and reported.
            table.syncLostOffset = static_cast<uint64_t>(wordStart);
            syncLost = true;
            break;
        }
        state.lastCode = *code;
        if (Stop stop = Dispatch(file, *code, state)) return *stop;
        // The limit counts stream time from the first pack, whatever its clock.
        double streamMs = static_cast<double>(state.streamTime) / kScrTicksPerMs;
        if (timeLimitSeconds != 0 && timeLimitSeconds * 1000.0 < streamMs) {
            state.stoppedByTime = true;
            break;
        }
    }
    ScanResult result = syncLost ? ScanSyncLost
                        : (state.lastCode == kProgramEndCode || state.stoppedByTime)
                            ? ScanOk
                            : ScanNoEndCode;
    NoteFileEnd(file, state);
    CountStreams();
    state.multiplexRate.Finish();
    table.multiplexPeakBps = state.multiplexRate.PeakBitsPerSecond();
    return result;
}

}  // namespace

void ResetStreamIdTable() {
    // Everything, not just the counts: a file without a PTS or a system header entry
    // must not show the values of the file scanned before it.
    table = StreamIdTable{};
    table.firstPtsPending.fill(true);
}

const StreamIdTable& GetStreamIdTable() { return table; }

StreamExtent StreamExtentOf(const StreamIdTable& scanned, int streamId) {
    return {scanned.firstPackOffset, scanned.pesPacketCount, scanned.maxPesPacketLength,
            scanned.payloadBytes[streamId]};
}

double FirstPtsFromClockStartMs(const StreamIdTable& scanned, int id) {
    if (scanned.firstPtsPending[id]) return 0.0;
    return scanned.firstPtsFromStartMs[id];
}

int BufferBoundEntry(const StreamIdTable& scanned, int id) {
    if (scanned.stdBufferBoundListed[id]) return id;
    bool video = id >= kFirstVideoStreamId && id <= kLastVideoStreamId;
    bool audio = id >= kFirstAudioStreamId && id <= kLastAudioStreamId;
    if (video && scanned.stdBufferBoundListed[kAllVideoStreamsId]) return kAllVideoStreamsId;
    if (audio && scanned.stdBufferBoundListed[kAllAudioStreamsId]) return kAllAudioStreamsId;
    return id;
}

ScanResult ScanProgramStream(const std::string& path, int timeLimitSeconds, PayloadFanOut* fanOut) {
    ResetStreamIdTable();
    std::string extension = LowerExtension(path);
    ScanResult result;
    if (extension != ".mpg" && extension != ".mpeg" && extension != ".vob") {
        result = ScanBadExtension;
    } else {
        BitstreamFile& file = GetBitstreamFile();
        if (!file.Open(path)) {
            result = ScanOpenFailed;
        } else {
            table.isDvd = extension == ".vob";
            result = Scan(file, timeLimitSeconds, fanOut);
            file.Close();
        }
    }
    if (fanOut) fanOut->Finish();
    table.result = result;
    return result;
}
