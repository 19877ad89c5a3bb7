// The audio section of the report: every MPEG audio stream scanned (or decoded, with
// DecodeAudio=1) and judged against [Audio] of the reference profile; the last stream
// that reaches its detail lines leaves its start and duration for the cross-stream
// checks, and every such stream adds its bitrate to the elementary sum.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct StreamIdTable;

// What the phase hands back to the run.
struct AudioPhaseResult {
    bool failed = false;         // a line or an error failed the file
    bool measured = false;       // a stream reached its detail lines
    double durationSeconds = 0;  // playing time of the last such stream
    double firstPtsMs = 0;       // its first PTS after the first SCR
    uint32_t bitrateSumBps = 0;  // what its streams add to the elementary sum
    std::string cancelledPhase;  // the stream the operator cancelled, if any
};

struct AudioReference;
// DecodeAudio=1, or a loudness key that needs the decoded samples: the streams are decoded
// and their levels measured.
bool DecodesAudio(const AudioReference& ref);
// Decoded streams get their BS.1770 programme loudness measured (it costs more than the
// decoding) when the profile judges it or the front end wants the loudness curve
// (zembra-cli --loudness).
bool MeasuresLoudness(const AudioReference& ref, bool curveWanted);

// Writes the section, judged by `ref`, once the first pass has ended: `finishPass(id)` waits for
// the stream's pass (decoding, or the header scan alone) and returns its status.
AudioPhaseResult RunAudioPhase(const AudioReference& ref, const StreamIdTable& table,
                               const std::function<uint32_t(int id)>& finishPass);
