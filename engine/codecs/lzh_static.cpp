#include "engine/codecs/lzh_static.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/codecs/lzh_table.h"
#include "engine/codecs/msb_bit_reader.h"

namespace kv {
namespace {

constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 256;
constexpr unsigned kLiteralLengthSymbols = 256 + kMaxMatch - kMinMatch + 1;  // 510
constexpr unsigned kLiteralLengthCountBits = 9;
constexpr unsigned kLengthCodeSymbols = 19;  // three kinds of zero run, then the lengths 1 to 16
constexpr unsigned kLengthCodeCountBits = 5;
constexpr unsigned kLengthCodeZeroRunAfter = 3;  // after the first three code-length lengths, a 2-bit zero run
constexpr unsigned kMaxPositionSymbols = 17;
constexpr unsigned kSmallTableSymbols = std::max(kLengthCodeSymbols, kMaxPositionSymbols);

// The decoded output: the last window's worth of bytes ahead of a block that is handed to the sink when
// full. The window starts as zeros, which a distance reaching before the first byte reads.
class TLzhOutput {
public:
    TLzhOutput(TByteSink& sink, std::uint64_t limit, std::size_t window)
        : sink_(sink), left_(limit), window_(window), buffer_(window + kBlockSize + kMaxMatch), position_(window) {}

    bool Full() const { return left_ == 0; }
    void Put(std::uint8_t byte) {
        buffer_[position_++] = byte;
        --left_;
    }
    // `distance` is at most the window size.
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
    // Hands over the block once it is full (or always with `all`); false when the sink refused it.
    bool Flush(bool all) {
        if (position_ < window_ + kBlockSize && !all) return true;
        if (position_ == window_) return true;
        if (!sink_.Write(buffer_.data() + window_, position_ - window_)) return false;
        std::memmove(buffer_.data(), buffer_.data() + position_ - window_, window_);
        position_ = window_;
        return true;
    }

private:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 16;

    TByteSink& sink_;
    std::uint64_t left_;
    std::size_t window_;
    std::vector<std::uint8_t> buffer_;
    std::size_t position_;
};

// One position slot per bit of the largest distance, and one for distance 1. Compressors of the 4-bit
// position counts send the 14 slots of the 8 KiB window even for the 4 KiB one.
unsigned PositionSymbols(TLzhStaticParams params) {
    return params.PositionBits == 4 ? std::max(params.DictionaryBits + 1, 14u) : params.DictionaryBits + 1;
}

class TLzhStaticDecoder {
public:
    TLzhStaticDecoder(TByteSource& source, TLzhStaticParams params)
        : bits_(source), params_(params), position_symbols_(PositionSymbols(params)) {}

    TDecodeResult Run(TLzhOutput& output) {
        bits_.Fill();
        while (!output.Full()) {
            if (block_left_ == 0) {
                if (const TDecodeResult result = ReadBlockHeader(); result != TDecodeResult::drOk) return result;
            }
            --block_left_;
            bits_.Fill();
            const unsigned symbol = literal_lengths_.Decode(bits_);
            if (symbol < 256) {
                output.Put(static_cast<std::uint8_t>(symbol));
            } else {
                const unsigned slot = positions_.Decode(bits_);
                const std::size_t distance = slot == 0 ? 1 : (std::size_t{1} << (slot - 1)) + bits_.Read(slot - 1) + 1;
                output.Copy(distance, symbol - 256 + kMinMatch);
            }
            if (bits_.Overrun()) return TDecodeResult::drTruncated;
            if (!output.Flush(false)) return TDecodeResult::drStopped;
        }
        return output.Flush(true) ? TDecodeResult::drOk : TDecodeResult::drStopped;
    }

private:
    // A block: its symbol count, the code of the literal/length code lengths, those lengths, then the
    // position code.
    TDecodeResult ReadBlockHeader() {
        bits_.Fill();
        block_left_ = bits_.Read(16);
        if (block_left_ == 0) block_left_ = 0x10000;  // the count wraps: 0 stands for 65536 symbols
        TDecodeResult result = ReadSmallCode(kLengthCodeSymbols, kLengthCodeCountBits, kLengthCodeZeroRunAfter, length_codes_);
        if (result == TDecodeResult::drOk) result = ReadLiteralLengthCode();
        if (result == TDecodeResult::drOk) result = ReadSmallCode(position_symbols_, params_.PositionBits, 0, positions_);
        // Bits made up past the end of the input explain whatever went wrong with them.
        return bits_.Overrun() ? TDecodeResult::drTruncated : result;
    }

    // The code-length code and the position code: a count of lengths, each length in 3 bits where 7 is
    // followed by a run of 1 bits adding one each, ended by a 0. A count of 0 sends the only symbol instead.
    TDecodeResult ReadSmallCode(unsigned symbols, unsigned count_bits, unsigned zero_run_after, TLzhTable& table) {
        bits_.Fill();
        const unsigned count = bits_.Read(count_bits);
        if (count == 0) return Single(bits_.Read(count_bits), symbols, table);
        if (count > symbols) return TDecodeResult::drDataError;
        std::array<std::uint8_t, kSmallTableSymbols> lengths{};
        for (unsigned i = 0; i < count;) {
            bits_.Fill();
            unsigned length = bits_.Read(3);
            if (length == 7) {
                while (bits_.Read(1) == 1) {
                    if (++length > TLzhTable::kMaxCodeBits) return TDecodeResult::drDataError;
                }
            }
            lengths[i++] = static_cast<std::uint8_t>(length);
            // A run reaching past the count only leaves unused symbols unused, as the original decoders allow.
            if (i == zero_run_after) i += bits_.Read(2);
        }
        return Built(table.Build(std::span(lengths).first(symbols)));
    }

    // The literal/length code lengths, sent in the code-length code: symbols 0 to 2 are runs of unused
    // symbols (one; 3 to 18 in 4 bits; 20 to 531 in 9 bits), symbol n from 3 up is the length n - 2.
    TDecodeResult ReadLiteralLengthCode() {
        bits_.Fill();
        const unsigned count = bits_.Read(kLiteralLengthCountBits);
        if (count == 0) return Single(bits_.Read(kLiteralLengthCountBits), kLiteralLengthSymbols, literal_lengths_);
        if (count > kLiteralLengthSymbols) return TDecodeResult::drDataError;
        std::array<std::uint8_t, kLiteralLengthSymbols> lengths{};
        for (unsigned i = 0; i < count;) {
            bits_.Fill();
            const unsigned symbol = length_codes_.Decode(bits_);
            if (symbol > 2) {
                lengths[i++] = static_cast<std::uint8_t>(symbol - 2);
                continue;
            }
            const unsigned run = symbol == 0 ? 1 : symbol == 1 ? bits_.Read(4) + 3 : bits_.Read(kLiteralLengthCountBits) + 20;
            if (run > count - i) return TDecodeResult::drDataError;
            i += run;
        }
        return Built(literal_lengths_.Build(lengths));
    }

    TDecodeResult Single(unsigned symbol, unsigned symbols, TLzhTable& table) {
        if (symbol >= symbols) return TDecodeResult::drDataError;
        table.BuildSingle(symbol);
        return TDecodeResult::drOk;
    }
    static TDecodeResult Built(bool valid) { return valid ? TDecodeResult::drOk : TDecodeResult::drDataError; }

    TMsbBitReader bits_;
    TLzhStaticParams params_;
    unsigned position_symbols_;
    std::uint32_t block_left_ = 0;
    TLzhTable length_codes_{kLengthCodeSymbols, 8};
    TLzhTable literal_lengths_{kLiteralLengthSymbols, 12};
    TLzhTable positions_{kMaxPositionSymbols, 8};
};

}  // namespace

TDecodeResult UnLzhStatic(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size, TLzhStaticParams params) {
    if (params.DictionaryBits < 8 || params.DictionaryBits > 16 || params.PositionBits < 4 || params.PositionBits > 5)
        return TDecodeResult::drUnsupported;
    if (unpacked_size == 0) return TDecodeResult::drOk;
    TLzhOutput output(sink, unpacked_size, std::size_t{1} << (PositionSymbols(params) - 1));
    return std::make_unique<TLzhStaticDecoder>(source, params)->Run(output);
}

}  // namespace kv
