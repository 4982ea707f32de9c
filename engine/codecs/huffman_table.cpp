#include "engine/codecs/huffman_table.h"

#include <algorithm>
#include <array>

namespace kv::huffman {
namespace {

// Reverses the low `bits` bits of `code` (at most 15), a byte at a time.
unsigned Reversed(unsigned code, unsigned bits) {
    static constexpr auto kByteReversed = [] {
        std::array<std::uint8_t, 256> table{};
        for (unsigned byte = 0; byte < 256; ++byte)
            for (unsigned bit = 0; bit < 8; ++bit) table[byte] |= static_cast<std::uint8_t>(((byte >> bit) & 1) << (7 - bit));
        return table;
    }();
    return ((unsigned{kByteReversed[code & 0xFF]} << 8) | kByteReversed[(code >> 8) & 0xFF]) >> (16 - bits);
}

// A complete code gives every sub-table two codes at least.
constexpr std::size_t kMaxSubTables = 288 / 2;

TEntry WithCodeBits(TEntry entry, unsigned bits) { return entry + bits + (bits << 8); }

}  // namespace

bool BuildTable(std::span<const std::uint8_t> lengths, std::span<const TEntry> symbols, unsigned primary_bits,
                std::span<TEntry> table) {
    const std::size_t primary_size = std::size_t{1} << primary_bits;
    if (primary_bits > kMaxPrimaryBits || table.size() < primary_size || symbols.size() < lengths.size()) return false;

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
    if (left > 0 && max_bits > 1) return false;
    // Codes fill every entry of a complete code's table. An unused code drops the bits its lookup examined,
    // so that the decoder can tell whether they were real.
    if (left > 0) std::fill_n(table.begin(), primary_size, kInvalid | primary_bits);
    if (max_bits == 0) return true;

    // First code of each length, most significant bit first.
    std::array<unsigned, kMaxCodeBits + 1> next_code{};
    for (unsigned bits = 1, code = 0; bits <= kMaxCodeBits; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next_code[bits] = code;
    }

    // Sub-tables: one per primary index that long codes share, sized by the longest of them.
    const unsigned primary_mask = static_cast<unsigned>(primary_size - 1);
    if (max_bits > primary_bits) {
        std::array<std::uint8_t, std::size_t{1} << kMaxPrimaryBits> sub_bits{};
        std::array<std::uint16_t, kMaxSubTables> prefixes;
        std::size_t prefix_count = 0;
        std::array<unsigned, kMaxCodeBits + 1> code = next_code;
        for (const std::uint8_t length : lengths) {
            if (length <= primary_bits) {
                if (length != 0) ++code[length];
                continue;
            }
            const unsigned prefix = Reversed(code[length]++, length) & primary_mask;
            if (sub_bits[prefix] == 0) {
                if (prefix_count == prefixes.size()) return false;
                prefixes[prefix_count++] = static_cast<std::uint16_t>(prefix);
            }
            sub_bits[prefix] = std::max(sub_bits[prefix], static_cast<std::uint8_t>(length - primary_bits));
        }
        std::size_t used = primary_size;
        for (std::size_t i = 0; i < prefix_count; ++i) {
            const unsigned prefix = prefixes[i];
            const std::size_t size = std::size_t{1} << sub_bits[prefix];
            if (used + size > table.size()) return false;
            table[prefix] = (static_cast<TEntry>(used) << 16) | kSubTable | sub_bits[prefix];
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
