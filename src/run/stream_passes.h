// The elementary streams' passes of one run. The first pass hands each analysed stream's
// payloads over as it reads the file (one reading for the whole run), and every stream's
// pass runs on a thread of its own meanwhile: the video walk, and the header scan or
// decoding of each audio stream. The sections are written afterwards, in their order,
// from what the passes left.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "input/payload_fan_out.h"

class StreamPasses {
  public:
    // `measureLoudness`: decoded audio streams get their BS.1770 loudness measured too.
    StreamPasses(int timeLimitSeconds, bool decodeAudio, bool measureLoudness = false);
    // Ends every pass still running (its stream ends where the first pass stopped) and
    // waits for it.
    ~StreamPasses();
    StreamPasses(const StreamPasses&) = delete;
    StreamPasses& operator=(const StreamPasses&) = delete;

    PayloadFanOut& FanOut() { return fanOut_; }
    // Waits for the stream's pass and returns its status. A video pass's GOP rows and
    // bitrate samples reach the registered listener now, on the caller's thread.
    uint32_t FinishVideoPass(int id);
    uint32_t FinishAudioPass(int id);

  private:
    struct Pass;
    void Start(uint8_t id, PayloadQueue& queue);
    void Run(Pass& pass, uint8_t id);
    Pass* Finish(int id);

    int timeLimitSeconds_;
    bool decodeAudio_;
    bool measureLoudness_;
    bool recordVideoEvents_;
    std::array<std::unique_ptr<Pass>, 256> passes_;
    PayloadFanOut fanOut_;
};
