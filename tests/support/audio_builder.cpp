// MPEG audio frame builder for tests.
#include "support/audio_builder.h"

#include <algorithm>

#include "audio/audio_header_scan.h"
#include "support/bit_writer.h"

Bytes AudioFrame(const AudioFrameFields& f, int length) {
    Bytes frame;
    BitWriter w(frame);
    w.Put(0xFFF, 12);
    w.Put(f.id, 1);
    w.Put(f.layer, 2);
    w.Put(f.protection, 1);
    w.Put(f.bitrateIndex, 4);
    w.Put(f.samplingIndex, 2);
    w.Put(f.padding, 1);
    w.Put(f.privateBit, 1);
    w.Put(f.mode, 2);
    w.Put(f.modeExtension, 2);
    w.Put(f.copyright, 1);
    w.Put(f.original, 1);
    w.Put(f.emphasis, 2);
    if (length < 0) {
        length = AudioFrameLength(f.id, f.layer, f.bitrateIndex, f.samplingIndex, f.padding);
    }
    frame.resize(std::max<size_t>(frame.size(), static_cast<size_t>(length)), 0);
    return frame;
}

Bytes AudioFrames(int count, const AudioFrameFields& f) {
    Bytes frames;
    for (int i = 0; i < count; ++i) {
        Bytes frame = AudioFrame(f);
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    return frames;
}

Bytes VariableBitrateFrames(const std::vector<int>& bitrateIndexes, AudioFrameFields f) {
    Bytes frames;
    for (int index : bitrateIndexes) {
        f.bitrateIndex = index;
        Bytes frame = AudioFrame(f);
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    return frames;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes LastBytes(const Bytes& bytes, size_t count) {
    count = std::min(count, bytes.size());
    return Bytes(bytes.end() - static_cast<long>(count), bytes.end());
}

Bytes PacketizeAudio(const Bytes& es, size_t payloadSize) {
    StreamBuilder b;
    uint64_t scr = 3600;
    for (size_t at = 0; at < es.size(); at += payloadSize, scr += 3600) {
        b.Pack(scr);
        PesFields f;
        f.pts = scr + 9000;
        size_t size = std::min(payloadSize, es.size() - at);
        f.payload =
            Bytes(es.begin() + static_cast<long>(at), es.begin() + static_cast<long>(at + size));
        b.Pes(0xC0, f);
    }
    return b.EndCode().Build();
}
