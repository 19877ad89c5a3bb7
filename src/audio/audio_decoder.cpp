// The audio decoder over libmpg123's feed interface.
#include "audio/audio_decoder.h"

#include <mpg123.h>

#include <vector>

namespace {

constexpr size_t kFeedBytes = 16384;

// libmpg123 is set up once for the process, by whichever thread gets here first.
bool Mpg123Ready() {
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}

class Mpg123Decoder : public AudioDecoder {
  public:
    int Create(const DecoderCallbacks& callbacks, void* context) override {
        Destroy();
        callbacks_ = callbacks;
        context_ = context;
        decodedBytes_ = 0;
        channels_ = 0;
        rate_ = 0;
        if (!Mpg123Ready()) return 1;
        int error = MPG123_OK;
        handle_ = mpg123_new(nullptr, &error);
        if (!handle_) return 1;
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        // Always signed 16-bit PCM in the stream's own rate and channel count.
        mpg123_format_none(handle_);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i) {
            mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        }
        if (mpg123_open_feed(handle_) != MPG123_OK) {
            Destroy();
            return 1;
        }
        input_.resize(kFeedBytes);
        return 0;
    }

    int Decode(uint8_t* pcm, int32_t size, int32_t* written) override {
        *written = 0;
        for (;;) {
            size_t done = 0;
            int result = mpg123_read(handle_, pcm, static_cast<size_t>(size), &done);
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0;
                int encoding = 0;
                mpg123_getformat(handle_, &rate, &channels, &encoding);
                rate_ = rate;
                channels_ = channels;
                if (done == 0) continue;
                result = MPG123_OK;
            }
            if (result == MPG123_OK || (result == MPG123_NEED_MORE && done > 0)) {
                decodedBytes_ += done;
                *written = static_cast<int32_t>(done);
                return kDecoderOk;
            }
            if (result == MPG123_DONE) return kDecoderEnd;
            if (result != MPG123_NEED_MORE) return kDecoderError;
            size_t got = callbacks_.read(context_, input_.data(), input_.size());
            if (got == 0) return kDecoderEnd;
            if (mpg123_feed(handle_, input_.data(), got) != MPG123_OK) return kDecoderError;
        }
    }

    void GetFormat(DecoderFormatInfo* format) override {
        mpg123_frameinfo info{};
        if (mpg123_info(handle_, &info) != MPG123_OK) return;
        // The header itself gives the indexes and bits that the frame info leaves out
        // (ISO/IEC 11172-3, 2.4.1.3).
        unsigned long header = 0;
        unsigned char* body = nullptr;
        size_t bodyBytes = 0;
        mpg123_framedata(handle_, &header, &body, &bodyBytes);
        format->protectionBit = (info.flags & MPG123_CRC) ? 0 : 1;
        format->layer = 4 - info.layer;
        format->paddingBit = static_cast<int32_t>((header >> 9) & 1);
        format->samplingIndex = static_cast<int32_t>((header >> 10) & 3);
        format->samplingFrequency = static_cast<int32_t>(info.rate);
        format->bitrateIndex = static_cast<int32_t>((header >> 12) & 0xF);
        format->modeExtension = info.mode_ext;
        format->mode = static_cast<int32_t>(info.mode);
        format->stereo = channels_ == 2 ? 1 : 0;
        format->bitrateKbps = info.bitrate;
    }

    void GetPosition(int32_t* milliseconds) override {
        size_t frameBytes = channels_ > 0 ? 2 * static_cast<size_t>(channels_) : 2;
        uint64_t samples = decodedBytes_ / frameBytes;
        *milliseconds = rate_ > 0 ? static_cast<int32_t>(samples * 1000 / rate_) : 0;
    }

    void Destroy() override {
        if (handle_) mpg123_delete(handle_);
        handle_ = nullptr;
    }

    ~Mpg123Decoder() override { Destroy(); }

  private:
    mpg123_handle* handle_ = nullptr;
    DecoderCallbacks callbacks_{};
    void* context_ = nullptr;
    std::vector<unsigned char> input_;
    uint64_t decodedBytes_ = 0;
    int channels_ = 0;
    long rate_ = 0;
};

// A test's decoder behind a measurement's own: the test keeps and destroys its decoder.
class ForwardingDecoder : public AudioDecoder {
  public:
    explicit ForwardingDecoder(AudioDecoder& target) : target_(target) {}
    int Create(const DecoderCallbacks& callbacks, void* context) override {
        return target_.Create(callbacks, context);
    }
    int Decode(uint8_t* pcm, int32_t size, int32_t* written) override {
        return target_.Decode(pcm, size, written);
    }
    void GetFormat(DecoderFormatInfo* format) override { target_.GetFormat(format); }
    void GetPosition(int32_t* milliseconds) override { target_.GetPosition(milliseconds); }
    void Destroy() override { target_.Destroy(); }

  private:
    AudioDecoder& target_;
};

AudioDecoder* testDecoder = nullptr;

}  // namespace

std::unique_ptr<AudioDecoder> MakeAudioDecoder() {
    if (testDecoder) return std::make_unique<ForwardingDecoder>(*testDecoder);
    return std::make_unique<Mpg123Decoder>();
}

void SetAudioDecoder(AudioDecoder* decoder) { testDecoder = decoder; }
