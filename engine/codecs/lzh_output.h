#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/codecs/codec_io.h"

namespace kv {

// The decoded output of the LZH methods: the last window's worth of bytes ahead of a block that is handed
// to the sink when full, and no more bytes than the entry declares. Before the first byte the window holds
// `fill`, which a distance reaching before the start reads.
class TLzhOutput {
public:
    static constexpr std::size_t kMaxMatch = 256;

    TLzhOutput(TByteSink& sink, std::uint64_t limit, std::size_t window, std::uint8_t fill = 0)
        : sink_(sink), left_(limit), window_(window), buffer_(window + kBlockSize + kMaxMatch), position_(window) {
        std::fill_n(buffer_.begin(), window, fill);
    }

    bool Full() const { return left_ == 0; }
    void Put(std::uint8_t byte) {
        buffer_[position_++] = byte;
        --left_;
    }
    // `distance` is at most the window size, `length` at most kMaxMatch.
    void Copy(std::size_t distance, std::size_t length) {
        length = static_cast<std::size_t>(std::min<std::uint64_t>(length, left_));
        left_ -= length;
        std::uint8_t* to = buffer_.data() + position_;
        const std::uint8_t* from = to - distance;
        position_ += length;
        if (distance >= length) {
            std::memcpy(to, from, length);
            return;
        }
        while (length-- > 0) *to++ = *from++;  // an overlapping copy repeats the bytes just written
    }
    // Hands over the block once it is full (or whatever is there with `all`); false when the sink refused it.
    bool Flush(bool all) {
        if (position_ < window_ + kBlockSize && !all) return true;
        if (position_ == window_) return true;
        if (!sink_.Write(buffer_.data() + window_, position_ - window_)) return false;
        std::memmove(buffer_.data(), buffer_.data() + position_ - window_, window_);
        position_ = window_;
        return true;
    }

private:
    // Large against the window, so that moving the window down after each block costs little.
    static constexpr std::size_t kBlockSize = std::size_t{1} << 18;

    TByteSink& sink_;
    std::uint64_t left_;
    std::size_t window_;
    std::vector<std::uint8_t> buffer_;
    std::size_t position_;
};

}  // namespace kv
