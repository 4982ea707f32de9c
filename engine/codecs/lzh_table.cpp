#include "engine/codecs/lzh_table.h"

#include <algorithm>
#include <array>

namespace kv {

// A complete code fills each sub-table with at least two codes, so at most symbols / 2 sub-tables exist.
TLzhTable::TLzhTable(unsigned symbols, unsigned primary_bits)
    : symbols_(symbols),
      primary_bits_(primary_bits),
      entries_((std::size_t{1} << primary_bits) + symbols / 2 * (std::size_t{1} << (kMaxCodeBits - primary_bits))) {}

void TLzhTable::BuildSingle(unsigned symbol) { std::fill_n(entries_.begin(), std::size_t{1} << primary_bits_, symbol << 8); }

bool TLzhTable::Build(std::span<const std::uint8_t> lengths) {
    if (lengths.size() > symbols_) return false;
    std::array<unsigned, kMaxCodeBits + 1> count{};
    for (const std::uint8_t length : lengths) {
        if (length > kMaxCodeBits) return false;
        ++count[length];
    }
    // The lengths must use up the code space exactly: a gap would leave bits that decode to nothing, an
    // excess would give two symbols one code.
    std::array<std::uint32_t, kMaxCodeBits + 2> start{};
    for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) start[bits + 1] = start[bits] + (count[bits] << (kMaxCodeBits - bits));
    if (start[kMaxCodeBits + 1] != std::uint32_t{1} << kMaxCodeBits) return false;

    // `start` holds each length's first code, left-aligned in 16 bits. Codes longer than the primary width
    // sharing a prefix all lie under it, so each such prefix gets a sub-table as wide as its longest code.
    const unsigned shift = kMaxCodeBits - primary_bits_;
    std::array<std::uint8_t, std::size_t{1} << 12> sub_bits{};  // primary_bits_ is at most 12
    std::array<std::uint32_t, kMaxCodeBits + 2> code = start;
    for (const std::uint8_t length : lengths) {
        if (length <= primary_bits_) {
            if (length != 0) code[length] += std::uint32_t{1} << (kMaxCodeBits - length);
            continue;
        }
        const std::uint32_t prefix = code[length] >> shift;
        sub_bits[prefix] = std::max<std::uint8_t>(sub_bits[prefix], static_cast<std::uint8_t>(length - primary_bits_));
        code[length] += std::uint32_t{1} << (kMaxCodeBits - length);
    }
    std::size_t used = std::size_t{1} << primary_bits_;
    for (std::size_t prefix = 0; prefix < (std::size_t{1} << primary_bits_); ++prefix) {
        if (sub_bits[prefix] == 0) continue;
        entries_[prefix] = kLink | static_cast<std::uint32_t>(used) << 8 | sub_bits[prefix];
        used += std::size_t{1} << sub_bits[prefix];
    }

    for (unsigned symbol = 0; symbol < lengths.size(); ++symbol) {
        const unsigned length = lengths[symbol];
        if (length == 0) continue;
        const std::uint32_t first = start[length];
        start[length] += std::uint32_t{1} << (kMaxCodeBits - length);
        if (length <= primary_bits_) {
            const std::uint32_t entry = symbol << 8 | length;
            std::fill_n(entries_.begin() + (first >> shift), std::size_t{1} << (primary_bits_ - length), entry);
            continue;
        }
        const std::uint32_t link = entries_[first >> shift];
        const unsigned width = link & 0xFF;
        const unsigned sub_length = length - primary_bits_;
        const std::uint32_t index = (first & ((std::uint32_t{1} << shift) - 1)) >> (shift - width);
        std::fill_n(entries_.begin() + (link >> 8 & 0xFFFF) + index, std::size_t{1} << (width - sub_length),
                    symbol << 8 | sub_length);
    }
    return true;
}

}  // namespace kv
