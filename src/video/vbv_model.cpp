// Video buffering verifier.
#include "video/vbv_model.h"

#include <algorithm>
#include <iterator>

#include "input/system_clock.h"
#include "video/video_codes.h"

namespace {

static_assert(kVideoTicksPerSecond % kBaseClockHz == 0);
constexpr uint64_t kTicksPerVbvDelayPeriod = kVideoTicksPerSecond / kBaseClockHz;
constexpr uint64_t kBitsPerByte = 8;

// The buffer between removals. With a coded vbv_delay the stream's bits arrive at the bit
// rate from the first one on, until the stream has none left (C.3.1); without one they
// arrive at the bit rate while the buffer has room (C.3.2). Arrivals are counted in whole
// bits, the fraction of a bit carried to the next interval. Rate × ticks fits in 64 bits:
// at most 4.3e11 bit/s (bit_rate with its extension) times the 524 272 ticks of the longest
// vbv_delay.
class VbvBuffer {
  public:
    VbvBuffer(const VbvParameters& p, uint64_t streamBits, bool constantDelay)
        : p_(p), remainingBits_(streamBits), constantDelay_(constantDelay) {}

    // Bits that arrive in `ticks` before the next removal.
    void Fill(uint64_t ticks) {
        uint64_t scaled = p_.bitRate * ticks + carry_;
        uint64_t arriving = std::min(scaled / kVideoTicksPerSecond, remainingBits_);
        carry_ = scaled % kVideoTicksPerSecond;
        if (!constantDelay_) {
            uint64_t room = p_.bufferBits > bits_ ? p_.bufferBits - bits_ : 0;
            if (arriving >= room) carry_ = 0;  // the buffer is full: arrival stops
            arriving = std::min(arriving, room);
        }
        if (arriving == remainingBits_) carry_ = 0;
        Take(arriving);
    }
    // The first picture's start: with a coded delay, the bytes up to its picture start code
    // are in and the delay runs; without one, the buffer fills until it is full or the
    // stream has no more bits.
    void Start(uint32_t vbvDelay) {
        if (constantDelay_) {
            Take(std::min(uint64_t{p_.bytesBeforeDelay} * kBitsPerByte, remainingBits_));
            Fill(vbvDelay * kTicksPerVbvDelayPeriod);
            return;
        }
        uint64_t wanted = std::min(p_.bufferBits, remainingBits_);
        // The ticks in which they arrive, rounded up.
        Fill((wanted * kVideoTicksPerSecond + p_.bitRate - 1) / p_.bitRate);
    }
    uint64_t Bits() const { return bits_; }
    // Once the stream's last bit is in, the buffer only drains towards the end.
    bool AllArrived() const { return remainingBits_ == 0; }
    // A picture taken out whole. One that has not all arrived is waited for, as a decoder
    // would: its missing bits come in, and the buffer is left empty.
    void Remove(uint64_t pictureBits) {
        if (pictureBits > bits_) {
            Take(std::min(pictureBits - bits_, remainingBits_));
            carry_ = 0;
        }
        bits_ = bits_ > pictureBits ? bits_ - pictureBits : 0;
    }

  private:
    void Take(uint64_t arriving) {
        bits_ += arriving;
        remainingBits_ -= arriving;
    }

    const VbvParameters& p_;
    uint64_t bits_ = 0;
    uint64_t remainingBits_;
    uint64_t carry_ = 0;  // bits × ticks per second not yet a whole bit
    bool constantDelay_;
};

void NoteFirst(uint32_t& count, uint32_t& firstPicture, double& firstSeconds, uint32_t picture,
               double seconds) {
    if (count++ == 0) {
        firstPicture = picture;
        firstSeconds = seconds;
    }
}

double Percent(uint64_t bits, uint64_t bufferBits) {
    return 100.0 * static_cast<double>(bits) / static_cast<double>(bufferBits);
}

}  // namespace

VbvFigures ModelVbv(const std::vector<CodedPicture>& pictures, const VbvParameters& p,
                    const std::function<void(const VbvSample&)>& sample) {
    VbvFigures figures;
    uint64_t fieldTicks = FieldTicks(p.frameRateCode);
    if (pictures.empty() || p.bitRate == 0 || p.bufferBits == 0 || fieldTicks == 0) {
        return figures;
    }
    figures.modelled = true;
    uint64_t streamBits = 0;
    for (const CodedPicture& picture : pictures) streamBits += picture.bytes * kBitsPerByte;
    bool constantDelay = pictures.front().vbvDelay != kNoVbvDelay;
    VbvBuffer buffer(p, streamBits, constantDelay);
    buffer.Start(pictures.front().vbvDelay);
    figures.minPercent = 100.0;
    uint64_t ticks = 0;  // since the first removal
    for (size_t i = 0; i < pictures.size(); ++i) {
        auto number = static_cast<uint32_t>(i + 1);
        uint64_t pictureBits = pictures[i].bytes * kBitsPerByte;
        double seconds = static_cast<double>(ticks) / kVideoTicksPerSecond;
        uint64_t before = buffer.Bits();
        if (before > p.bufferBits) {
            NoteFirst(figures.overflows, figures.firstOverflowPicture, figures.firstOverflowSeconds,
                      number, seconds);
        }
        if (before < pictureBits) {
            NoteFirst(figures.underflows, figures.firstUnderflowPicture,
                      figures.firstUnderflowSeconds, number, seconds);
        }
        buffer.Remove(pictureBits);
        uint64_t after = buffer.Bits();
        figures.maxPercent = std::max(figures.maxPercent, Percent(before, p.bufferBits));
        if (!buffer.AllArrived()) {
            figures.minPercent = std::min(figures.minPercent, Percent(after, p.bufferBits));
        } else if (i == 0) {
            // The whole stream was in before the first removal: nothing arrives later.
            figures.minPercent = Percent(after, p.bufferBits);
        }
        if (sample) {
            sample({number, seconds, static_cast<double>(before), static_cast<double>(after)});
        }
        uint64_t interval = pictures[i].displayFields * fieldTicks;
        ticks += interval;
        buffer.Fill(interval);
    }
    return figures;
}
