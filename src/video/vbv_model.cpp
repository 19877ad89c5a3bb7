// Video buffering verifier.
#include "video/vbv_model.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr double kSystemClockHz = 90000.0;  // vbv_delay counts 90 kHz periods
constexpr double kBitsPerByte = 8.0;

// The buffer between removals. With a coded vbv_delay the stream's bits arrive at the bit
// rate from the first one on, until the stream has none left (C.3.1); without one they
// arrive at the bit rate while the buffer has room (C.3.2).
class VbvBuffer {
  public:
    VbvBuffer(const VbvParameters& p, double streamBits, bool constantDelay)
        : p_(p), remainingBits_(streamBits), constantDelay_(constantDelay) {}

    // Bits that arrive in `seconds` before the next removal.
    void Fill(double seconds) {
        double arriving = std::min(p_.bitRate * seconds, remainingBits_);
        if (!constantDelay_) arriving = std::min(arriving, std::max(0.0, p_.bufferBits - bits_));
        bits_ += arriving;
        remainingBits_ -= arriving;
    }
    // Seconds the first picture waits in the buffer: its vbv_delay, or until the buffer
    // is full or the stream has no more bits.
    double StartUpDelay(uint32_t vbvDelay) const {
        if (constantDelay_) return vbvDelay / kSystemClockHz;
        return std::min(p_.bufferBits, remainingBits_) / p_.bitRate;
    }
    double Bits() const { return bits_; }
    // Once the stream's last bit is in, the buffer only drains towards the end.
    bool AllArrived() const { return remainingBits_ <= 0; }
    // A picture taken out whole. One that has not all arrived is waited for, as a decoder
    // would: its missing bits come in, and the buffer is left empty.
    void Remove(double pictureBits) {
        double missing = std::min(std::max(0.0, pictureBits - bits_), remainingBits_);
        remainingBits_ -= missing;
        bits_ = std::max(0.0, bits_ + missing - pictureBits);
    }

  private:
    const VbvParameters& p_;
    double bits_ = 0;
    double remainingBits_;
    bool constantDelay_;
};

void NoteFirst(uint32_t& count, uint32_t& firstPicture, double& firstSeconds, uint32_t picture,
               double seconds) {
    if (count++ == 0) {
        firstPicture = picture;
        firstSeconds = seconds;
    }
}

}  // namespace

double ExactFieldsPerSecond(uint32_t frameRateCode) {
    static constexpr double kFrameRates[] = {0,  24000.0 / 1001, 24, 25, 30000.0 / 1001, 30,
                                             50, 60000.0 / 1001, 60};
    return frameRateCode < std::size(kFrameRates) ? 2 * kFrameRates[frameRateCode] : 0;
}

VbvFigures ModelVbv(const std::vector<CodedPicture>& pictures, const VbvParameters& p,
                    const std::function<void(const VbvSample&)>& sample) {
    VbvFigures figures;
    if (pictures.empty() || p.bitRate <= 0 || p.bufferBits <= 0 || p.fieldsPerSecond <= 0) {
        return figures;
    }
    figures.modelled = true;
    double streamBits = 0;
    for (const CodedPicture& picture : pictures) streamBits += picture.bytes * kBitsPerByte;
    bool constantDelay = pictures.front().vbvDelay != kNoVbvDelay;
    VbvBuffer buffer(p, streamBits, constantDelay);
    buffer.Fill(buffer.StartUpDelay(pictures.front().vbvDelay));
    figures.minPercent = 100.0;
    double seconds = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
        auto number = static_cast<uint32_t>(i + 1);
        double pictureBits = pictures[i].bytes * kBitsPerByte;
        double before = buffer.Bits();
        if (before > p.bufferBits) {
            NoteFirst(figures.overflows, figures.firstOverflowPicture, figures.firstOverflowSeconds,
                      number, seconds);
        }
        if (before < pictureBits) {
            NoteFirst(figures.underflows, figures.firstUnderflowPicture,
                      figures.firstUnderflowSeconds, number, seconds);
        }
        buffer.Remove(pictureBits);
        double after = buffer.Bits();
        figures.maxPercent = std::max(figures.maxPercent, 100.0 * before / p.bufferBits);
        if (!buffer.AllArrived()) {
            figures.minPercent = std::min(figures.minPercent, 100.0 * after / p.bufferBits);
        }
        if (sample) sample({number, seconds, before, after});
        double interval = pictures[i].displayFields / p.fieldsPerSecond;
        seconds += interval;
        buffer.Fill(interval);
    }
    return figures;
}
