#include "engine/codecs/arj_fastest.h"

#include <array>

#include "engine/codecs/legacy_output.h"

namespace kv {
namespace {

// Bits most significant first. Past the end of the input it reads zeros, as the packer's own reader does
// for the last code's look-ahead, and notes when a code really needed them.
class TMsbBitReader {
public:
    explicit TMsbBitReader(TByteSource& source) : source_(source) {}

    // The next `count` bits (at most 25).
    std::uint32_t Read(unsigned count) {
        if (count_ < count) Refill();
        const auto value = static_cast<std::uint32_t>(bits_ >> (64 - count));
        bits_ <<= count;
        count_ -= count;
        if (count_ < padding_) overrun_ = true;
        return value;
    }
    bool Bit() { return Read(1) != 0; }
    // A code took bits the input does not hold.
    bool Overrun() const { return overrun_; }

private:
    void Refill() {
        while (count_ <= 56) {
            if (position_ == end_ && !Load()) {
                // Zeros to the brim; they count as padding until read.
                padding_ += 64 - count_;
                count_ = 64;
                return;
            }
            bits_ |= std::uint64_t{buffer_[position_++]} << (56 - count_);
            count_ += 8;
        }
    }
    bool Load() {
        if (ended_) return false;
        end_ = source_.Read(buffer_.data(), buffer_.size());
        position_ = 0;
        ended_ = end_ == 0;
        return !ended_;
    }

    TByteSource& source_;
    std::array<std::uint8_t, 65536> buffer_{};
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
    bool overrun_ = false;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;    // valid bits at the top of bits_, padding included
    unsigned padding_ = 0;  // how many of the last of them are zeros past the input
};

// A value sent as up to `max_steps` one-bits (each adding the next power of two from 2^first_width)
// ended by a zero-bit, then as many bits as the width reached.
std::uint32_t ReadStepped(TMsbBitReader& bits, unsigned first_width, unsigned max_steps) {
    std::uint32_t base = 0;
    unsigned width = first_width;
    for (unsigned step = 0; step < max_steps && bits.Bit(); ++step) base += 1u << width++;
    return base + (width == 0 ? 0 : bits.Read(width));
}

constexpr unsigned kLengthFirstWidth = 0;
constexpr unsigned kLengthSteps = 7;
constexpr unsigned kDistanceFirstWidth = 9;
constexpr unsigned kDistanceSteps = 4;
constexpr unsigned kMinMatch = 3;  // a length code n > 0 copies n + 2 bytes

}  // namespace

TDecodeResult UnArjFastest(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size) {
    TMsbBitReader bits(source);
    TLegacyOutput output(sink, unpacked_size);
    while (!output.Full()) {
        const std::uint32_t length_code = ReadStepped(bits, kLengthFirstWidth, kLengthSteps);
        bool written;
        if (length_code == 0) {
            written = output.Put(static_cast<std::uint8_t>(bits.Read(8)));
        } else {
            const std::uint32_t distance = ReadStepped(bits, kDistanceFirstWidth, kDistanceSteps) + 1;
            written = output.Copy(distance, length_code + kMinMatch - 1);
        }
        if (bits.Overrun()) return TDecodeResult::drTruncated;
        if (!written) return TDecodeResult::drStopped;
    }
    return output.Flush() ? TDecodeResult::drOk : TDecodeResult::drStopped;
}

}  // namespace kv
