// Appends fields of any width to a byte vector, most significant bit first.
#pragma once

#include <cstdint>
#include <vector>

class BitWriter {
  public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Put(uint64_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            current_ = static_cast<uint8_t>((current_ << 1) | ((value >> i) & 1));
            if (++count_ == 8) {
                out_.push_back(current_);
                current_ = 0;
                count_ = 0;
            }
        }
    }
    // Zero bits up to the next byte boundary, as before every start code.
    void Align() {
        while (count_ != 0) Put(0, 1);
    }

  private:
    std::vector<uint8_t>& out_;
    uint8_t current_ = 0;
    int count_ = 0;
};
