#include "engine/codecs/larc_lzss.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/codecs/msb_bit_reader.h"

namespace kv {
namespace {

// The ring the matches point into, and the output on its way to the sink in blocks.
class TRingOutput {
public:
    TRingOutput(TByteSink& sink, std::uint64_t limit, std::size_t ring_size, std::size_t start)
        : sink_(sink), left_(limit), ring_(ring_size, ' '), mask_(ring_size - 1), position_(start) {
        block_.reserve(kBlockSize);
    }

    std::vector<std::uint8_t>& Ring() { return ring_; }
    bool Full() const { return left_ == 0; }
    // False when the sink refused a block.
    bool Put(std::uint8_t byte) {
        ring_[position_] = byte;
        position_ = (position_ + 1) & mask_;
        block_.push_back(byte);
        --left_;
        return block_.size() < kBlockSize || Flush();
    }
    // Copies `length` bytes from `from` on in the ring, as far as the entry goes.
    bool Copy(std::size_t from, std::size_t length) {
        for (; length > 0 && left_ > 0; --length, ++from) {
            if (!Put(ring_[from & mask_])) return false;
        }
        return true;
    }
    bool Flush() {
        if (block_.empty()) return true;
        const bool written = sink_.Write(block_.data(), block_.size());
        block_.clear();
        return written;
    }

private:
    static constexpr std::size_t kBlockSize = 65536;

    TByteSink& sink_;
    std::uint64_t left_;
    std::vector<std::uint8_t> ring_;
    std::size_t mask_;
    std::size_t position_;
    std::vector<std::uint8_t> block_;
};

TDecodeResult Finished(TRingOutput& output, bool cut) {
    if (cut) return TDecodeResult::drTruncated;
    return output.Flush() ? TDecodeResult::drOk : TDecodeResult::drStopped;
}

// Reads whole bytes from a source that hands them out in any chunks.
class TByteInput {
public:
    explicit TByteInput(TByteSource& source) : source_(source) {}
    bool Next(std::uint8_t& byte) {
        if (position_ == end_) {
            end_ = source_.Read(buffer_.data(), buffer_.size());
            position_ = 0;
            if (end_ == 0) return false;
        }
        byte = buffer_[position_++];
        return true;
    }

private:
    TByteSource& source_;
    std::array<std::uint8_t, 16384> buffer_{};
    std::size_t position_ = 0;
    std::size_t end_ = 0;
};

constexpr std::size_t kLz5Ring = 4096;
constexpr std::size_t kLz5LongestMatch = 18;
constexpr std::size_t kLz5ShortestMatch = 3;
constexpr std::size_t kLzsRing = 2048;
constexpr std::size_t kLzsLongestMatch = 17;
constexpr std::size_t kLzsShortestMatch = 2;

// -lz5-'s ring before the first byte: each byte value 13 times, the values rising, the values falling,
// 128 zeros, spaces up to where the output starts, and zeros in the 18 places after it.
void FillLz5Ring(std::vector<std::uint8_t>& ring) {
    auto at = ring.begin();
    for (unsigned value = 0; value < 256; ++value) at = std::fill_n(at, 13, static_cast<std::uint8_t>(value));
    for (unsigned value = 0; value < 256; ++value) *at++ = static_cast<std::uint8_t>(value);
    for (unsigned value = 0; value < 256; ++value) *at++ = static_cast<std::uint8_t>(255 - value);
    at = std::fill_n(at, 128, std::uint8_t{0});
    at = std::fill_n(at, ring.end() - kLz5LongestMatch - at, std::uint8_t{' '});
    std::fill(at, ring.end(), std::uint8_t{0});
}

}  // namespace

TDecodeResult UnLarcLz5(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size) {
    TRingOutput output(sink, unpacked_size, kLz5Ring, kLz5Ring - kLz5LongestMatch);
    FillLz5Ring(output.Ring());
    TByteInput input(source);
    std::uint8_t flags = 0;
    for (unsigned items = 0; !output.Full(); ++items, flags >>= 1) {
        if (items % 8 == 0 && !input.Next(flags)) return Finished(output, true);
        std::uint8_t first = 0;
        if (!input.Next(first)) return Finished(output, true);
        if (flags & 1) {
            if (!output.Put(first)) return TDecodeResult::drStopped;
            continue;
        }
        std::uint8_t second = 0;
        if (!input.Next(second)) return Finished(output, true);
        const std::size_t from = first | (second & 0xF0u) << 4;
        if (!output.Copy(from, (second & 0x0Fu) + kLz5ShortestMatch)) return TDecodeResult::drStopped;
    }
    return Finished(output, false);
}

TDecodeResult UnLarcLzs(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size) {
    TRingOutput output(sink, unpacked_size, kLzsRing, kLzsRing - kLzsLongestMatch);
    TMsbBitReader bits(source);
    while (!output.Full()) {
        bits.Fill();
        if (bits.Read(1) == 1) {
            if (!output.Put(static_cast<std::uint8_t>(bits.Read(8)))) return TDecodeResult::drStopped;
        } else {
            const std::size_t from = bits.Read(11);
            if (!output.Copy(from, bits.Read(4) + kLzsShortestMatch)) return TDecodeResult::drStopped;
        }
        if (bits.Overrun()) return TDecodeResult::drTruncated;
    }
    return Finished(output, false);
}

}  // namespace kv
