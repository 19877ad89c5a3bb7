// Walks an MPEG audio stream from frame header to frame header (ISO/IEC 11172-3,
// 2.4.1.3): the first accepted header fixes layer, bitrate and sampling frequency; later
// headers that differ, or carry ID bit 0, count as sync losses.
#pragma once

#include <cstdint>
#include <string>

#include "audio/audio_stream_info.h"

// Fills AudioHeaderRecord(streamId); payloadBytes is not used by the scan.
AudioStatus ScanAudioHeaders(const std::string& path, int streamId, uint32_t payloadBytes);

// Bytes of one frame: Layer I in four-byte slots, Layers II and III in bytes; the
// padding adds one slot. 0 for a frequency of 0.
int32_t AudioFrameLength(int32_t layer, int32_t bitrateIndex, int32_t samplingIndex,
                         int32_t paddingBit);
