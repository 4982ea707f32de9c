#include "engine/codecs/unreduce.h"

#include <array>
#include <memory>

#include "engine/codecs/legacy_bit_reader.h"
#include "engine/codecs/legacy_output.h"

namespace kv {
namespace {

constexpr std::uint8_t kDle = 144;  // starts a back reference; DLE 0 stands for the byte 144 itself
constexpr unsigned kMaxFollowers = 32;
constexpr std::size_t kMinMatch = 3;

// Per preceding byte, the bytes that most often follow it; a byte on that list costs a short index.
struct TFollowerSets {
    std::array<std::array<std::uint8_t, kMaxFollowers>, 256> bytes{};
    std::array<std::uint8_t, 256> count{};
    std::array<std::uint8_t, 256> index_bits{};
};

// Bits of an index into a list of `count` followers: enough for count - 1, and one for a single entry.
unsigned IndexBits(unsigned count) {
    unsigned bits = 1;
    while ((1u << bits) < count) ++bits;
    return count == 0 ? 0 : bits;
}

// The follower lists lead the stream, from byte 255 down to byte 0.
TDecodeResult ReadFollowerSets(TLegacyBitReader& bits, TFollowerSets& sets) {
    for (int byte = 255; byte >= 0; --byte) {
        std::uint32_t count = 0;
        if (!bits.Read(6, count)) return TDecodeResult::drTruncated;
        if (count > kMaxFollowers) return TDecodeResult::drDataError;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t follower = 0;
            if (!bits.Read(8, follower)) return TDecodeResult::drTruncated;
            sets.bytes[byte][i] = static_cast<std::uint8_t>(follower);
        }
        sets.count[byte] = static_cast<std::uint8_t>(count);
        sets.index_bits[byte] = static_cast<std::uint8_t>(IndexBits(count));
    }
    return TDecodeResult::drOk;
}

// The second stage: bytes of the first stage either stand for themselves or, after a DLE, describe a
// back reference whose length and distance bits are split according to the compression factor.
class TReduceExpander {
public:
    TReduceExpander(TLegacyOutput& output, int factor)
        : output_(output),
          length_mask_(0xFFu >> factor),
          distance_shift_(8 - factor) {}

    // False when the sink refused a block.
    bool Take(std::uint8_t byte) {
        switch (state_) {
        case TState::sLiteral:
            if (byte != kDle) return output_.Put(byte);
            state_ = TState::sAfterDle;
            return true;
        case TState::sAfterDle:
            if (byte == 0) {
                state_ = TState::sLiteral;
                return output_.Put(kDle);
            }
            code_ = byte;
            length_ = byte & length_mask_;
            state_ = length_ == length_mask_ ? TState::sExtraLength : TState::sDistance;
            return true;
        case TState::sExtraLength:
            length_ += byte;
            state_ = TState::sDistance;
            return true;
        case TState::sDistance:
            state_ = TState::sLiteral;
            return output_.Copy(((code_ >> distance_shift_) << 8) + byte + 1, length_ + kMinMatch);
        }
        return true;
    }

private:
    enum class TState { sLiteral, sAfterDle, sExtraLength, sDistance };

    TLegacyOutput& output_;
    unsigned length_mask_;
    unsigned distance_shift_;
    TState state_ = TState::sLiteral;
    unsigned code_ = 0;
    std::size_t length_ = 0;
};

}  // namespace

TDecodeResult Unreduce(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size, int factor) {
    if (factor < 1 || factor > 4) return TDecodeResult::drDataError;
    TLegacyBitReader bits(source);
    auto sets = std::make_unique<TFollowerSets>();
    auto output = std::make_unique<TLegacyOutput>(sink, unpacked_size);
    if (output->Full()) return TDecodeResult::drOk;
    if (const TDecodeResult result = ReadFollowerSets(bits, *sets); result != TDecodeResult::drOk) return result;

    TReduceExpander expander(*output, factor);
    std::uint8_t last = 0;
    while (!output->Full()) {
        std::uint32_t value = 0;
        const unsigned followers = sets->count[last];
        if (followers == 0) {
            if (!bits.Read(8, value)) break;
        } else {
            std::uint32_t literal = 0;
            if (!bits.Read(1, literal)) break;
            if (literal != 0) {
                if (!bits.Read(8, value)) break;
            } else {
                if (!bits.Read(sets->index_bits[last], value)) break;
                if (value >= followers) return TDecodeResult::drDataError;
                value = sets->bytes[last][value];
            }
        }
        last = static_cast<std::uint8_t>(value);
        if (!expander.Take(last)) return TDecodeResult::drStopped;
    }
    if (!output->Flush()) return TDecodeResult::drStopped;
    return output->Full() ? TDecodeResult::drOk : TDecodeResult::drTruncated;
}

}  // namespace kv
