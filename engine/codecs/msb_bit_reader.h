#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// Bits taken most significant bit first, as the LZH family of methods sends them, from a byte source that
// may hand out its bytes in any chunks. Past the end of the input the reader shows zero bits, so that a
// decoder may look further ahead than the stream's last code; consuming such a bit marks the input as cut.
class TMsbBitReader {
public:
    explicit TMsbBitReader(TByteSource& source) : source_(source) {}

    // Makes at least 57 bits available to Peek (zero bits past the end).
    void Fill() {
        while (count_ <= 56) {
            if (position_ == end_ && !Load()) {
                padding_ += 8;
                count_ += 8;
                continue;
            }
            bits_ |= std::uint64_t{buffer_[position_++]} << (56 - count_);
            count_ += 8;
        }
    }
    // The next `count` bits (1 to 32) without taking them; Fill must have made them available.
    std::uint32_t Peek(unsigned count) const { return static_cast<std::uint32_t>(bits_ >> (64 - count)); }
    void Drop(unsigned count) {
        bits_ <<= count;
        count_ -= count;
    }
    // The next `count` bits (0 to 32), taken.
    std::uint32_t Read(unsigned count) {
        if (count == 0) return 0;
        if (count_ < count) Fill();
        const std::uint32_t value = Peek(count);
        Drop(count);
        return value;
    }
    // True once a bit past the end of the input was taken.
    bool Overrun() const { return count_ < padding_; }

private:
    bool Load() {
        if (ended_) return false;
        end_ = source_.Read(buffer_.data(), buffer_.size());
        position_ = 0;
        ended_ = end_ == 0;  // a source that ended is not asked again
        return !ended_;
    }

    TByteSource& source_;
    std::array<std::uint8_t, 16384> buffer_{};
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
    std::uint64_t bits_ = 0;  // the next bit in bit 63
    unsigned count_ = 0;
    unsigned padding_ = 0;  // zero bits appended after the input ended, counted from the end of bits_
};

}  // namespace kv
