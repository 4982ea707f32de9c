#include "engine/codecs/zoo_lzw.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "engine/codecs/legacy_bit_reader.h"

namespace kv {
namespace {

constexpr unsigned kMinCodeBits = 9;
constexpr unsigned kMaxCodeBits = 13;
constexpr unsigned kCodeCount = 1u << kMaxCodeBits;
constexpr unsigned kClearCode = 256;
constexpr unsigned kEndCode = 257;
constexpr unsigned kFirstFreeCode = 258;
constexpr std::size_t kOutputBlock = 32768;

// The decoder's state: the string table, where each code above 257 is an earlier code plus one byte, and the
// output gathered into blocks for the sink.
class TZooLzwDecoder {
public:
    explicit TZooLzwDecoder(TByteSink& sink) : sink_(sink) {}

    TDecodeResult Run(TByteSource& source) {
        TLegacyBitReader bits(source);
        Clear();
        for (;;) {
            std::uint32_t code = 0;
            if (!bits.Read(code_bits_, code)) return TDecodeResult::drTruncated;
            if (code == kEndCode) return Flush() ? TDecodeResult::drOk : TDecodeResult::drStopped;
            if (code == kClearCode) {
                Clear();
                continue;
            }
            if (code > next_free_) return TDecodeResult::drDataError;
            if (!Decode(code)) return TDecodeResult::drDataError;
            if (used_ >= kOutputBlock && !Flush()) return TDecodeResult::drStopped;
        }
    }

private:
    void Clear() {
        code_bits_ = kMinCodeBits;
        next_free_ = kFirstFreeCode;
        previous_ = kNone;
    }

    // Writes the string of `code` and adds the previous string plus its first byte to the table.
    bool Decode(unsigned code) {
        if (previous_ == kNone) {
            // The first code after a clear (or at the start) stands for one byte.
            if (code >= 256) return false;
            Emit(static_cast<std::uint8_t>(code));
            previous_ = first_byte_ = code;
            return true;
        }
        // The code the encoder is defining as it sends it: the previous string plus that string's first byte.
        const bool pending = code == next_free_;
        unsigned walk = pending ? previous_ : code;
        std::size_t top = stack_.size();
        if (pending) stack_[--top] = static_cast<std::uint8_t>(first_byte_);
        while (walk >= kFirstFreeCode) {
            if (top == 0) return false;
            stack_[--top] = suffix_[walk];
            walk = prefix_[walk];
        }
        if (walk >= 256 || top == 0) return false;  // the clear or end code is no string's start
        stack_[--top] = static_cast<std::uint8_t>(walk);
        first_byte_ = walk;
        std::copy(stack_.begin() + static_cast<std::ptrdiff_t>(top), stack_.end(),
                  output_.begin() + static_cast<std::ptrdiff_t>(used_));
        used_ += stack_.size() - top;

        if (next_free_ < kCodeCount) {
            prefix_[next_free_] = static_cast<std::uint16_t>(previous_);
            suffix_[next_free_] = static_cast<std::uint8_t>(first_byte_);
            ++next_free_;
            if (next_free_ == (1u << code_bits_) && code_bits_ < kMaxCodeBits) ++code_bits_;
        }
        previous_ = code;
        return true;
    }

    // The output is flushed once it holds kOutputBlock bytes, and one code's string is at most the stack's
    // size, so it always has room for the next one.
    void Emit(std::uint8_t byte) { output_[used_++] = byte; }

    bool Flush() {
        const bool written = used_ == 0 || sink_.Write(output_.data(), used_);
        used_ = 0;
        return written;
    }

    static constexpr unsigned kNone = UINT32_MAX;

    TByteSink& sink_;
    unsigned code_bits_ = kMinCodeBits;
    unsigned next_free_ = kFirstFreeCode;
    unsigned previous_ = kNone;
    unsigned first_byte_ = 0;
    std::array<std::uint16_t, kCodeCount> prefix_{};
    std::array<std::uint8_t, kCodeCount> suffix_{};
    std::array<std::uint8_t, kCodeCount + 1> stack_{};
    std::array<std::uint8_t, kOutputBlock + kCodeCount + 1> output_{};
    std::size_t used_ = 0;
};

}  // namespace

TDecodeResult UnZooLzw(TByteSource& source, TByteSink& sink) {
    const auto decoder = std::make_unique<TZooLzwDecoder>(sink);
    return decoder->Run(source);
}

}  // namespace kv
