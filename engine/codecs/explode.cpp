#include "engine/codecs/explode.h"

#include <algorithm>
#include <array>
#include <memory>

#include "engine/codecs/legacy_bit_reader.h"
#include "engine/codecs/legacy_output.h"

namespace kv {
namespace {

constexpr unsigned kMaxCodeLength = 16;
constexpr unsigned kLongLength = 63;  // this length symbol is followed by 8 more bits of length

// A Shannon-Fano code as the implode trees describe it. Codes of one length are consecutive, so decoding
// walks the lengths and checks each one's range.
class TShannonFanoCode {
public:
    // Reads a compressed tree description for `symbols` symbols: a byte giving the number of bytes that
    // follow minus one, then bytes of (count - 1) << 4 | (length - 1).
    TDecodeResult Read(TLegacyBitReader& bits, unsigned symbols) {
        std::array<std::uint8_t, 256> lengths{};
        std::uint32_t entries = 0;
        if (!bits.Read(8, entries)) return TDecodeResult::drTruncated;
        unsigned filled = 0;
        for (std::uint32_t i = 0; i <= entries; ++i) {
            std::uint32_t entry = 0;
            if (!bits.Read(8, entry)) return TDecodeResult::drTruncated;
            const unsigned count = (entry >> 4) + 1;
            if (count > symbols - filled) return TDecodeResult::drDataError;
            std::fill_n(lengths.begin() + filled, count, static_cast<std::uint8_t>((entry & 0x0F) + 1));
            filled += count;
        }
        if (filled != symbols) return TDecodeResult::drDataError;
        return Build(lengths.data(), symbols) ? TDecodeResult::drOk : TDecodeResult::drDataError;
    }

    // The next symbol; false when the input ended or the bits match no code.
    bool Decode(TLegacyBitReader& bits, unsigned& symbol, bool& ended) const {
        std::uint32_t code = 0;
        for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
            std::uint32_t bit = 0;
            if (!bits.Read(1, bit)) {
                ended = true;
                return false;
            }
            // A code arrives most significant bit first.
            code = (code << 1) | bit;
            const std::uint32_t offset = code - first_code_[length];
            if (code >= first_code_[length] && offset < count_[length]) {
                symbol = symbols_[first_index_[length] + offset];
                return true;
            }
        }
        return false;
    }

private:
    // Codes are handed out from the longest length up, each length's symbols in falling order, counting
    // in 16-bit steps of 1 << (16 - length); a set of lengths that does not fit in 16 bits is refused.
    bool Build(const std::uint8_t* lengths, unsigned symbols) {
        count_.fill(0);
        for (unsigned s = 0; s < symbols; ++s) ++count_[lengths[s]];
        unsigned index = 0;
        for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
            first_index_[length] = index;
            index += count_[length];
        }
        std::array<unsigned, kMaxCodeLength + 1> next = first_index_;
        for (unsigned s = 0; s < symbols; ++s) symbols_[next[lengths[s]]++] = static_cast<std::uint16_t>(s);

        // Within a length the highest symbol gets the lowest code, so the list is reversed to run upwards.
        std::uint32_t code = 0;
        bool first = true;
        for (unsigned length = kMaxCodeLength; length >= 1; --length) {
            if (count_[length] == 0) continue;
            std::reverse(symbols_.begin() + first_index_[length], symbols_.begin() + first_index_[length] + count_[length]);
            if (!first) code += std::uint32_t{1} << (kMaxCodeLength - previous_length_);
            first = false;
            first_code_[length] = code >> (kMaxCodeLength - length);
            code += (count_[length] - 1) * (std::uint32_t{1} << (kMaxCodeLength - length));
            if (code > 0xFFFF) return false;
            previous_length_ = length;
        }
        return true;
    }

    std::array<std::uint16_t, 256> symbols_{};
    std::array<unsigned, kMaxCodeLength + 1> count_{};
    std::array<unsigned, kMaxCodeLength + 1> first_index_{};
    std::array<std::uint32_t, kMaxCodeLength + 1> first_code_{};
    unsigned previous_length_ = 0;
};

}  // namespace

TDecodeResult Explode(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size, bool window_8k,
                      bool literal_tree) {
    TLegacyBitReader bits(source);
    auto output = std::make_unique<TLegacyOutput>(sink, unpacked_size);
    if (output->Full()) return TDecodeResult::drOk;
    auto literals = std::make_unique<TShannonFanoCode>();
    auto lengths = std::make_unique<TShannonFanoCode>();
    auto distances = std::make_unique<TShannonFanoCode>();
    TDecodeResult result = TDecodeResult::drOk;
    if (literal_tree) result = literals->Read(bits, 256);
    if (result == TDecodeResult::drOk) result = lengths->Read(bits, 64);
    if (result == TDecodeResult::drOk) result = distances->Read(bits, 64);
    if (result != TDecodeResult::drOk) return result;

    const unsigned low_distance_bits = window_8k ? 7 : 6;
    const std::size_t min_match = literal_tree ? 3 : 2;
    bool ended = false;
    while (!output->Full()) {
        std::uint32_t is_literal = 0;
        if (!bits.Read(1, is_literal)) {
            ended = true;
            break;
        }
        if (is_literal != 0) {
            unsigned literal = 0;
            if (literal_tree) {
                if (!literals->Decode(bits, literal, ended)) break;
            } else {
                std::uint32_t raw = 0;
                if (!bits.Read(8, raw)) {
                    ended = true;
                    break;
                }
                literal = raw;
            }
            if (!output->Put(static_cast<std::uint8_t>(literal))) return TDecodeResult::drStopped;
            continue;
        }
        std::uint32_t low_distance = 0;
        unsigned high_distance = 0;
        unsigned length_symbol = 0;
        if (!bits.Read(low_distance_bits, low_distance)) {
            ended = true;
            break;
        }
        if (!distances->Decode(bits, high_distance, ended)) break;
        if (!lengths->Decode(bits, length_symbol, ended)) break;
        std::size_t length = length_symbol + min_match;
        if (length_symbol == kLongLength) {
            std::uint32_t extra = 0;
            if (!bits.Read(8, extra)) {
                ended = true;
                break;
            }
            length += extra;
        }
        const std::size_t distance = ((std::size_t{high_distance} << low_distance_bits) | low_distance) + 1;
        if (!output->Copy(distance, length)) return TDecodeResult::drStopped;
    }
    if (!output->Flush()) return TDecodeResult::drStopped;
    if (output->Full()) return TDecodeResult::drOk;
    return ended ? TDecodeResult::drTruncated : TDecodeResult::drDataError;
}

}  // namespace kv
