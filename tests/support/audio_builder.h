// MPEG audio frames (ISO/IEC 11172-3, 2.4.1.3; with ID 0 those of the lower sampling
// frequencies of ISO/IEC 13818-3) with silent (zero) audio data, and a program stream
// that carries them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "support/stream_builder.h"

struct AudioFrameFields {
    int id = 1;             // 0: ISO/IEC 13818-3 lower sampling frequencies
    int layer = 2;          // header code: 3 Layer I, 2 Layer II, 1 Layer III
    int protection = 1;     // 1: no CRC
    int bitrateIndex = 10;  // 192 kbit/s in Layer II
    int samplingIndex = 1;  // 48 kHz
    int padding = 0;
    int privateBit = 0;
    int mode = 0;
    int modeExtension = 0;
    int copyright = 0;
    int original = 1;
    int emphasis = 0;
};

// One frame of the length its header gives; `length` overrides it.
Bytes AudioFrame(const AudioFrameFields& f = {}, int length = -1);
// `count` frames of the same fields.
Bytes AudioFrames(int count, const AudioFrameFields& f = {});
// One frame per bitrate index, each of its own length: a variable bitrate.
Bytes VariableBitrateFrames(const std::vector<int>& bitrateIndexes, AudioFrameFields f = {});
// The parts one after the other.
Bytes Join(std::initializer_list<Bytes> parts);
// The last `count` bytes, as a capture cut inside a stream begins.
Bytes LastBytes(const Bytes& bytes, size_t count);
// One pack per packet of at most `payloadSize` bytes, stream 0xC0.
Bytes PacketizeAudio(const Bytes& es, size_t payloadSize = 2000);
