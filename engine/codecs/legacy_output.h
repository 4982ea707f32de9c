#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// The output side shared by the old PKZIP decoders: keeps the last bytes for back references (up to
// 8 KiB is asked for), hands the sink blocks of 32 KiB and stops at the declared unpacked size.
class TLegacyOutput {
public:
    static constexpr std::size_t kMaxDistance = 8192;

    TLegacyOutput(TByteSink& sink, std::uint64_t limit) : sink_(sink), limit_(limit) {}

    bool Full() const { return total_ == limit_; }
    // False when the sink refused a block; bytes past the limit are dropped.
    bool Put(std::uint8_t byte) {
        if (total_ == limit_) return true;
        ring_[total_ & kRingMask] = byte;
        ++total_;
        return (total_ & (kBlockSize - 1)) != 0 || Flush();
    }
    // Copies `length` bytes from `distance` (1 to kMaxDistance) back; before the first byte the history
    // reads as zeros, as the old compressors assumed.
    bool Copy(std::size_t distance, std::size_t length) {
        for (; length > 0 && total_ != limit_; --length) {
            if (!Put(ring_[(total_ - distance) & kRingMask])) return false;
        }
        return true;
    }
    // Hands over what is not yet written; false when the sink refused it.
    bool Flush();

private:
    // Blocks are flushed at multiples of kBlockSize, so a pending block never wraps round the ring and
    // the history before it stays intact.
    static constexpr std::size_t kBlockSize = 32768;
    static constexpr std::size_t kRingSize = 65536;
    static constexpr std::uint64_t kRingMask = kRingSize - 1;
    static_assert(kBlockSize + kMaxDistance <= kRingSize);

    TByteSink& sink_;
    std::uint64_t limit_;
    std::uint64_t total_ = 0;
    std::uint64_t flushed_ = 0;
    std::array<std::uint8_t, kRingSize> ring_{};
};

}  // namespace kv
