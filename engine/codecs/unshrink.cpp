#include "engine/codecs/unshrink.h"

#include <array>
#include <cstdint>
#include <memory>

#include "engine/codecs/legacy_bit_reader.h"
#include "engine/codecs/legacy_output.h"

namespace kv {
namespace {

constexpr unsigned kMinCodeBits = 9;
constexpr unsigned kMaxCodeBits = 13;
constexpr unsigned kCodeCount = 1u << kMaxCodeBits;
constexpr unsigned kControlCode = 256;
constexpr unsigned kFirstFreeCode = 257;
constexpr unsigned kIncreaseCodeSize = 1;
constexpr unsigned kPartialClear = 2;
constexpr std::uint16_t kUnused = 0xFFFF;

// The dictionary: each code above 256 is its prefix code plus one byte. Codes below 256 are the bytes
// themselves and are always in use.
class TShrinkDictionary {
public:
    TShrinkDictionary() {
        prefix_.fill(kUnused);
        for (unsigned code = 0; code < 256; ++code) {
            prefix_[code] = 0;
            suffix_[code] = static_cast<std::uint8_t>(code);
        }
    }

    bool InUse(unsigned code) const { return prefix_[code] != kUnused; }
    // The lowest free code, kCodeCount when the dictionary is full.
    unsigned NextFree() const { return next_free_; }

    void Add(unsigned prefix, std::uint8_t suffix) {
        prefix_[next_free_] = static_cast<std::uint16_t>(prefix);
        suffix_[next_free_] = suffix;
        FindNextFree(next_free_ + 1);
    }

    // Frees every code that is no other code's prefix. The code decoded last may go too: the next entry
    // still names it as its prefix, and it stands for whatever string later takes that code.
    void ClearLeaves() {
        std::array<bool, kCodeCount> has_child{};
        for (unsigned code = kFirstFreeCode; code < kCodeCount; ++code) {
            if (prefix_[code] != kUnused) has_child[prefix_[code]] = true;
        }
        for (unsigned code = kFirstFreeCode; code < kCodeCount; ++code) {
            if (!has_child[code]) prefix_[code] = kUnused;
        }
        FindNextFree(kFirstFreeCode);
    }

    // Writes the string of `code` backwards so that it ends before `end`; returns where it starts, or
    // SIZE_MAX when the chain meets a free code or runs longer than the stack (hostile input can make an
    // entry its own prefix).
    std::size_t Spell(unsigned code, std::array<std::uint8_t, kCodeCount + 1>& stack, std::size_t end) const {
        std::size_t start = end;
        while (code >= 256) {
            if (start == 0 || prefix_[code] == kUnused) return SIZE_MAX;
            stack[--start] = suffix_[code];
            code = prefix_[code];
        }
        if (start == 0) return SIZE_MAX;
        stack[--start] = static_cast<std::uint8_t>(code);
        return start;
    }

private:
    void FindNextFree(unsigned from) {
        next_free_ = from;
        while (next_free_ < kCodeCount && prefix_[next_free_] != kUnused) ++next_free_;
    }

    std::array<std::uint16_t, kCodeCount> prefix_;
    std::array<std::uint8_t, kCodeCount> suffix_{};
    unsigned next_free_ = kFirstFreeCode;
};

}  // namespace

TDecodeResult Unshrink(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size) {
    TLegacyBitReader bits(source);
    auto output = std::make_unique<TLegacyOutput>(sink, unpacked_size);
    auto dictionary = std::make_unique<TShrinkDictionary>();
    auto stack = std::make_unique<std::array<std::uint8_t, kCodeCount + 1>>();
    const std::size_t end = kCodeCount;  // the last slot takes the extra byte of a code being defined
    const auto ended = [&] { return output->Flush() ? TDecodeResult::drTruncated : TDecodeResult::drStopped; };
    unsigned code_bits = kMinCodeBits;
    unsigned previous = kUnused;  // none before the first code

    while (!output->Full()) {
        std::uint32_t code = 0;
        if (!bits.Read(code_bits, code)) return ended();
        if (code == kControlCode) {
            std::uint32_t command = 0;
            if (!bits.Read(code_bits, command)) return ended();
            if (command == kIncreaseCodeSize && code_bits < kMaxCodeBits) {
                ++code_bits;
            } else if (command == kPartialClear) {
                dictionary->ClearLeaves();
            } else {
                return TDecodeResult::drDataError;
            }
            continue;
        }

        std::size_t start = SIZE_MAX;
        std::size_t stop = end;
        if (dictionary->InUse(code)) {
            start = dictionary->Spell(code, *stack, end);
        } else if (code == dictionary->NextFree() && previous != kUnused) {
            // The code being defined right now: the previous string followed by its own first byte.
            start = dictionary->Spell(previous, *stack, end);
            if (start != SIZE_MAX) (*stack)[stop++] = (*stack)[start];
        }
        if (start == SIZE_MAX) return TDecodeResult::drDataError;
        for (std::size_t i = start; i < stop; ++i) {
            if (!output->Put((*stack)[i])) return TDecodeResult::drStopped;
        }
        if (previous != kUnused && dictionary->NextFree() < kCodeCount) {
            dictionary->Add(previous, (*stack)[start]);
        }
        previous = code;
    }
    return output->Flush() ? TDecodeResult::drOk : TDecodeResult::drStopped;
}

}  // namespace kv
