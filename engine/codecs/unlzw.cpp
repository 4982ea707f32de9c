#include "engine/codecs/unlzw.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kv {
namespace {

constexpr unsigned kMinCodeBits = 9;
constexpr unsigned kMaxCodeBits = 16;
constexpr std::uint8_t kCodeBitsMask = 0x1F;
constexpr std::uint8_t kBlockMode = 0x80;
constexpr unsigned kClearCode = 256;
constexpr std::size_t kCodeCount = std::size_t{1} << kMaxCodeBits;
constexpr std::size_t kInputSize = 64 * 1024;
constexpr std::size_t kOutputSize = 64 * 1024;

// Codes of the current width, least significant bit first. compress writes them in groups of eight (as
// many bytes as the width has bits) and pads a started group when it clears the table or widens the
// codes, so the reader skips to the next group border at those points.
class TCodeReader {
public:
    explicit TCodeReader(TByteSource& source) : source_(source), buffer_(new std::uint8_t[kInputSize]) {}

    unsigned Width() const { return width_; }
    // False when fewer bits than a code has are left: compress ends its output with such a remainder.
    bool Read(std::uint32_t& code) {
        while (count_ < width_) {
            if (position_ == end_ && !Fill()) return false;
            bits_ |= std::uint32_t{buffer_[position_++]} << count_;
            count_ += 8;
        }
        code = bits_ & ((1u << width_) - 1);
        bits_ >>= width_;
        count_ -= width_;
        codes_in_group_ = (codes_in_group_ + 1) & 7;
        return true;
    }
    // Skips the rest of the group and goes on with codes of `width` bits.
    void StartGroup(unsigned width) {
        std::uint32_t padding = 0;
        // The padding may be cut off where the stream ends.
        while (codes_in_group_ != 0 && Read(padding)) {
        }
        codes_in_group_ = 0;
        width_ = width;
    }

private:
    bool Fill() {
        if (ended_) return false;
        end_ = source_.Read(buffer_.get(), kInputSize);
        position_ = 0;
        ended_ = end_ == 0;
        return !ended_;
    }

    TByteSource& source_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
    std::uint32_t bits_ = 0;
    unsigned count_ = 0;
    unsigned width_ = kMinCodeBits;
    unsigned codes_in_group_ = 0;
};

// The output, handed to the sink in large blocks.
class TLzwOutput {
public:
    explicit TLzwOutput(TByteSink& sink) : sink_(sink), buffer_(new std::uint8_t[kOutputSize]) {}
    bool Put(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            if (used_ == kOutputSize && !Flush()) return false;
            const std::size_t count = std::min(size, kOutputSize - used_);
            std::copy(data, data + count, buffer_.get() + used_);
            used_ += count;
            data += count;
            size -= count;
        }
        return true;
    }
    bool Flush() {
        const bool written = used_ == 0 || sink_.Write(buffer_.get(), used_);
        used_ = 0;
        return written;
    }

private:
    TByteSink& sink_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t used_ = 0;
};

// The string table: each code from 256 on is its prefix code plus one byte; a prefix is always a lower
// code, so spelling a code always ends.
struct TLzwTable {
    std::array<std::uint16_t, kCodeCount> prefix{};
    std::array<std::uint8_t, kCodeCount> suffix{};
    std::array<std::uint8_t, kCodeCount + 1> stack{};  // one string spelt backwards, plus a KwKwK byte
};

}  // namespace

TDecodeResult UnLzw(TByteSource& source, TByteSink& sink, std::uint8_t settings) {
    const unsigned max_bits = settings & kCodeBitsMask;
    if (max_bits < kMinCodeBits || max_bits > kMaxCodeBits) return TDecodeResult::drDataError;
    const bool block_mode = (settings & kBlockMode) != 0;
    const std::uint32_t code_limit = std::uint32_t{1} << max_bits;
    const std::uint32_t first_free = block_mode ? kClearCode + 1 : kClearCode;

    TCodeReader codes(source);
    TLzwOutput output(sink);
    auto table = std::make_unique<TLzwTable>();
    for (unsigned byte = 0; byte < 256; ++byte) table->suffix[byte] = static_cast<std::uint8_t>(byte);
    std::uint32_t next_free = first_free;
    std::uint32_t previous = 0;
    bool have_previous = false;
    std::uint8_t first_byte = 0;  // the first byte of the previous code's string

    for (;;) {
        // The width grows once the next code to define no longer fits; the encoder did the same.
        if (next_free > (std::uint32_t{1} << codes.Width()) - 1 && codes.Width() < max_bits)
            codes.StartGroup(codes.Width() + 1);
        std::uint32_t code = 0;
        if (!codes.Read(code)) break;
        if (block_mode && code == kClearCode) {
            // Slot 256 takes the entry the next code defines, which no code can reach; 257 is then the
            // first free code again, as the encoder has it.
            next_free = kClearCode;
            codes.StartGroup(kMinCodeBits);
            continue;
        }
        std::size_t start = table->stack.size();
        std::uint32_t spelt = code;
        if (code >= next_free) {
            // Only the code being defined right now may be used early: the previous string plus its own
            // first byte.
            if (code > next_free || !have_previous) return TDecodeResult::drDataError;
            table->stack[--start] = first_byte;
            spelt = previous;
        }
        while (spelt >= 256) {
            table->stack[--start] = table->suffix[spelt];
            spelt = table->prefix[spelt];
        }
        table->stack[--start] = static_cast<std::uint8_t>(spelt);
        first_byte = table->stack[start];
        if (!output.Put(&table->stack[start], table->stack.size() - start)) return TDecodeResult::drStopped;
        if (have_previous && next_free < code_limit) {
            table->prefix[next_free] = static_cast<std::uint16_t>(previous);
            table->suffix[next_free] = first_byte;
            ++next_free;
        }
        previous = code;
        have_previous = true;
    }
    return output.Flush() ? TDecodeResult::drOk : TDecodeResult::drStopped;
}

}  // namespace kv
