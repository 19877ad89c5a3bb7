// Decodes one MPEG audio stream and measures its samples: DC, peak and clipped samples
// per channel, RMS loudness, and the amount and playing time of the decoded audio; and,
// when asked, BS.1770 programme loudness into ProgrammeLoudnessRecord(streamId).
#pragma once

#include <cstdint>
#include <string>

#include "audio/audio_stream_info.h"
#include "input/stream_reader.h"

// Fills AudioDecodeRecord(streamId) from the payload of a reader already opened on that
// stream; the reader stays open. Decoding stops at the end of the stream, on Cancel,
// on a decoder error, or once the decoder's position passes timeLimitSeconds (0: no
// limit). The header fields, counts and status come from a header scan of the bytes on
// their way to the decoder (which begins at the first frame header the scan finds), and
// after the time limit of the rest of the stream, so both modes show the same header
// lines.
AudioStatus MeasureAudioLevels(StreamReader& reader, int streamId, int timeLimitSeconds,
                               bool measureLoudness = false);
// The same over a reader of its own; `extent` comes from the first pass.
AudioStatus MeasureAudioLevels(const std::string& path, int streamId, const StreamExtent& extent,
                               int timeLimitSeconds, bool measureLoudness = false);
