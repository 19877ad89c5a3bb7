// Stream passes on their own threads.
#include "run/stream_passes.h"

#include <new>
#include <system_error>
#include <thread>

#include "audio/audio_header_scan.h"
#include "audio/audio_levels.h"
#include "input/pes_header.h"
#include "report/report_log.h"
#include "video/video_listener.h"
#include "video/video_parser.h"

namespace {

bool IsVideoStream(uint8_t id) { return id >= kFirstVideoStreamId && id <= kLastVideoStreamId; }
bool IsAudioStream(uint8_t id) { return id >= kFirstAudioStreamId && id <= kLastAudioStreamId; }

// What a pass that could not run or finish (no thread or memory to be had) leaves: no
// status of its section's, so that the section reports an unknown error for the stream
// and the file fails.
constexpr uint32_t kPassFailed = 0xFFFF;

}  // namespace

struct StreamPasses::Pass {
    PayloadQueue* queue = nullptr;
    std::thread thread;
    uint32_t status = kPassFailed;
    RecordedVideoEvents videoEvents;
};

StreamPasses::StreamPasses(int timeLimitSeconds, bool decodeAudio, bool measureLoudness)
    : timeLimitSeconds_(timeLimitSeconds),
      decodeAudio_(decodeAudio),
      measureLoudness_(measureLoudness),
      recordVideoEvents_(IsVideoListenerRegistered()),
      fanOut_([](uint8_t id) { return IsVideoStream(id) || IsAudioStream(id); },
              [this](uint8_t id, PayloadQueue& queue) { Start(id, queue); },
              // While the reading waits for a pass, the front end's events still run.
              [] { PumpFrontEndEvents(); }) {}

StreamPasses::~StreamPasses() {
    fanOut_.Finish();
    for (auto& pass : passes_) {
        if (pass && pass->thread.joinable()) pass->thread.join();
    }
}

void StreamPasses::Start(uint8_t id, PayloadQueue& queue) {
    auto pass = std::make_unique<Pass>();
    pass->queue = &queue;
    try {
        pass->thread = std::thread(&StreamPasses::Run, this, std::ref(*pass), id);
    } catch (const std::system_error&) {
        queue.Abandon();
    }
    passes_[id] = std::move(pass);
}

// On the pass's own thread: it reads only its queue and its stream's own record.
void StreamPasses::Run(Pass& pass, uint8_t id) {
    StreamReader reader;
    VideoListener unheard;
    try {
        reader.Open(*pass.queue);
        if (IsVideoStream(id)) {
            VideoListener& listener = recordVideoEvents_ ? pass.videoEvents : unheard;
            pass.status = AnalyzeVideoStream(reader, id, timeLimitSeconds_, listener);
        } else if (decodeAudio_) {
            pass.status = static_cast<uint32_t>(
                MeasureAudioLevels(reader, id, timeLimitSeconds_, measureLoudness_));
        } else {
            pass.status = static_cast<uint32_t>(ScanAudioHeaders(reader, id));
        }
    } catch (const std::bad_alloc&) {
        pass.status = kPassFailed;
    }
    // A pass may end before its stream does (a picture type error, the time limit):
    // the reading must not wait for it any more.
    pass.queue->Abandon();
}

StreamPasses::Pass* StreamPasses::Finish(int id) {
    Pass* pass = passes_[static_cast<size_t>(id)].get();
    if (pass && pass->thread.joinable()) pass->thread.join();
    return pass;
}

uint32_t StreamPasses::FinishVideoPass(int id) {
    Pass* pass = Finish(id);
    if (!pass) return kPassFailed;
    if (recordVideoEvents_) pass->videoEvents.ReplayInto(CurrentVideoListener());
    return pass->status;
}

uint32_t StreamPasses::FinishAudioPass(int id) {
    Pass* pass = Finish(id);
    return pass ? pass->status : kPassFailed;
}
