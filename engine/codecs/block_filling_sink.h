#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/codecs/codec_io.h"

namespace kv {

// Gathers a decoder's output into blocks of one size and hands each full block to another thread, so that
// hand-overs (and the locking they take) come once a block, not once a write.
class TBlockFillingSink : public TByteSink {
public:
    using TBlock = std::vector<std::uint8_t>;
    // Takes the filled block out of its argument and leaves an empty one (a recycled block, ideally) in its
    // place; false when the receiver has gone and the decoder is to stop.
    using THandOver = std::function<bool(TBlock& block)>;

    TBlockFillingSink(std::size_t block_size, THandOver hand_over);

    bool Write(const std::uint8_t* data, std::size_t size) override;
    // Hands over what the block being filled holds: the end of the output. False when the receiver has gone.
    bool Flush();

private:
    std::size_t block_size_;
    THandOver hand_over_;
    TBlock block_;
};

}  // namespace kv
