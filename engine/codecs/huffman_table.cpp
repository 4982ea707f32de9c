#include "engine/codecs/huffman_table.h"

#include <algorithm>
#include <array>

namespace kv::huffman {
namespace {

unsigned Reversed(unsigned code, unsigned bits) {
    unsigned result = 0;
    for (unsigned i = 0; i < bits; ++i, code >>= 1) result = (result << 1) | (code & 1);
    return result;
}

TEntry WithCodeBits(TEntry entry, unsigned bits) { return entry + bits + (bits << 8); }

}  // namespace

bool BuildTable(std::span<const std::uint8_t> lengths, std::span<const TEntry> symbols, unsigned primary_bits,
                std::span<TEntry> table) {
    const std::size_t primary_size = std::size_t{1} << primary_bits;
    if (table.size() < primary_size || symbols.size() < lengths.size()) return false;

    std::array<unsigned, kMaxCodeBits + 1> count{};
    for (const std::uint8_t length : lengths) {
        if (length > kMaxCodeBits) return false;
        ++count[length];
    }
    count[0] = 0;
    int left = 1;  // code space not yet taken, in units of the current length
    unsigned max_bits = 0;
    for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
        left = left * 2 - static_cast<int>(count[bits]);
        if (left < 0) return false;
        if (count[bits] != 0) max_bits = bits;
    }
    // An unused code drops the bits its lookup examined, so that the decoder can tell whether they were real.
    std::fill_n(table.begin(), primary_size, kInvalid | primary_bits);
    if (max_bits == 0) return true;
    if (left > 0 && max_bits != 1) return false;

    // First code of each length, most significant bit first.
    std::array<unsigned, kMaxCodeBits + 1> next_code{};
    for (unsigned bits = 1, code = 0; bits <= kMaxCodeBits; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next_code[bits] = code;
    }

    // Sub-tables: one per primary index that long codes share, sized by the longest of them.
    const unsigned primary_mask = static_cast<unsigned>(primary_size - 1);
    if (max_bits > primary_bits) {
        std::array<unsigned, kMaxCodeBits + 1> code = next_code;
        for (const std::uint8_t length : lengths) {
            if (length <= primary_bits) {
                if (length != 0) ++code[length];
                continue;
            }
            const unsigned prefix = Reversed(code[length]++, length) & primary_mask;
            const unsigned sub_bits = length - primary_bits;
            if ((table[prefix] & kSubTable) == 0 || DropBits(table[prefix]) < sub_bits)
                table[prefix] = kSubTable | sub_bits;
        }
        std::size_t used = primary_size;
        for (unsigned prefix = 0; prefix < primary_size; ++prefix) {
            if ((table[prefix] & kSubTable) == 0) continue;
            const std::size_t size = std::size_t{1} << DropBits(table[prefix]);
            if (used + size > table.size()) return false;
            table[prefix] |= static_cast<TEntry>(used) << 16;
            std::fill_n(table.begin() + static_cast<std::ptrdiff_t>(used), size, kInvalid | DropBits(table[prefix]));
            used += size;
        }
    }

    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        const unsigned length = lengths[symbol];
        if (length == 0) continue;
        const unsigned reversed = Reversed(next_code[length]++, length);
        if (length <= primary_bits) {
            const TEntry entry = WithCodeBits(symbols[symbol], length);
            for (std::size_t i = reversed; i < primary_size; i += std::size_t{1} << length) table[i] = entry;
            continue;
        }
        const TEntry link = table[reversed & primary_mask];
        const unsigned sub_length = length - primary_bits;
        const TEntry entry = WithCodeBits(symbols[symbol], sub_length);
        const std::size_t sub_size = std::size_t{1} << DropBits(link);
        for (std::size_t i = reversed >> primary_bits; i < sub_size; i += std::size_t{1} << sub_length)
            table[EntryValue(link) + i] = entry;
    }
    return true;
}

}  // namespace kv::huffman
