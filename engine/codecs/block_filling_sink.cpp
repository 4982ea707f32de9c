#include "engine/codecs/block_filling_sink.h"

#include <algorithm>
#include <utility>

namespace kv {

TBlockFillingSink::TBlockFillingSink(std::size_t block_size, THandOver hand_over)
    : block_size_(block_size), hand_over_(std::move(hand_over)) {
    block_.reserve(block_size_);
}

bool TBlockFillingSink::Write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const std::size_t step = std::min(size, block_size_ - block_.size());
        block_.insert(block_.end(), data, data + step);
        data += step;
        size -= step;
        if (block_.size() == block_size_ && !Flush()) return false;
    }
    return true;
}

bool TBlockFillingSink::Flush() {
    if (block_.empty()) return true;
    if (!hand_over_(block_)) return false;
    block_.clear();
    block_.reserve(block_size_);
    return true;
}

}  // namespace kv
