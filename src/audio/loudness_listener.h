// Where the loudness curve of each decoded audio stream goes when its section is written:
// the desktop's loudness graph, or the command line's CSV. Nothing is done with it while
// no listener is registered.
#pragma once

// One 100 ms step of a stream's loudness (ITU-R BS.1770-4; EBU Tech 3341): the momentary
// (last 400 ms) and short-term (last 3 s) loudness at `seconds` of the stream, in LUFS;
// -infinity where the audio is silent.
struct LoudnessPoint {
    double seconds = 0;
    double momentaryLufs = 0;
    double shortTermLufs = 0;

    bool operator==(const LoudnessPoint&) const = default;
};

class LoudnessListener {
  public:
    virtual ~LoudnessListener() = default;
    // A new stream's curve begins (its stream_id, 0xC0 to 0xDF): forget the previous one.
    virtual void BeginLoudnessCurve(int streamId) { (void)streamId; }
    virtual void AddLoudnessPoint(const LoudnessPoint& point) { (void)point; }
    // The curve is complete. The profile's LoudnessTarget (LUFS) and LoudnessTolerance (LU),
    // each NaN when the key is not set.
    virtual void DrawLoudnessGraph(double targetLufs, double toleranceLu) {
        (void)targetLufs;
        (void)toleranceLu;
    }
};

// nullptr unregisters. The listener must outlive its registration.
void SetLoudnessListener(LoudnessListener* listener);
LoudnessListener& CurrentLoudnessListener();
