#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// Bits of the old PKZIP methods, taken least significant bit first from a byte source that may hand out
// its bytes in any chunks. Reading past the end of the input fails instead of inventing bits.
class TLegacyBitReader {
public:
    explicit TLegacyBitReader(TByteSource& source) : source_(source) {}

    // The next `count` bits (at most 24), the first bit read in bit 0; false when the input ended first.
    bool Read(unsigned count, std::uint32_t& value) {
        if (count_ < count && !Refill(count)) return false;
        value = static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << count) - 1));
        bits_ >>= count;
        count_ -= count;
        return true;
    }

private:
    bool Refill(unsigned count) {
        while (count_ < count) {
            if (position_ == end_) {
                if (ended_) return false;
                end_ = source_.Read(buffer_.data(), buffer_.size());
                position_ = 0;
                if (end_ == 0) {
                    ended_ = true;  // a source that ended is not asked again
                    return false;
                }
            }
            bits_ |= std::uint64_t{buffer_[position_++]} << count_;
            count_ += 8;
        }
        return true;
    }

    TByteSource& source_;
    std::array<std::uint8_t, 16384> buffer_{};
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
};

}  // namespace kv
