#pragma once

#include <cstdint>
#include <span>

namespace kv::huffman {

// One entry of a decoding table, packed so that a single load tells the decoder everything:
//   bits 0-7   bits to drop: code length plus extra bits (for a sub-table link: the sub-table's index bits)
//   bits 8-11  code length at this table level
//   bits 12-15 kind
//   bits 16-31 value: a literal byte, a length or distance base, or a sub-table's offset in the table
// Deflate reads codes least significant bit first, so a table is indexed by the next bits of the stream.
using TEntry = std::uint32_t;

constexpr TEntry kLiteral = 1u << 12;
constexpr TEntry kSubTable = 1u << 13;
constexpr TEntry kEndOfBlock = 1u << 14;
constexpr TEntry kInvalid = 1u << 15;  // a code the stream's code lengths leave unused, or a forbidden symbol

// What a symbol decodes to, before the builder adds its code length.
constexpr TEntry SymbolEntry(std::uint32_t value, std::uint32_t extra_bits, TEntry kind) {
    return (value << 16) | kind | extra_bits;
}
constexpr unsigned DropBits(TEntry entry) { return entry & 0xFF; }
constexpr unsigned CodeBits(TEntry entry) { return (entry >> 8) & 0xF; }
constexpr std::uint32_t EntryValue(TEntry entry) { return entry >> 16; }

constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kMaxPrimaryBits = 11;

// Room a table needs: the primary level plus one sub-table of at most 2^(15 - primary bits) entries per
// pair of codes longer than the primary level (a complete code gives every sub-table two codes at least).
constexpr std::size_t TableCapacity(unsigned primary_bits, std::size_t symbols) {
    return (std::size_t{1} << primary_bits) + symbols / 2 * (std::size_t{1} << (kMaxCodeBits - primary_bits));
}

// Builds the canonical Huffman decoding table of `lengths` (0 = symbol unused) into `table`, entries of
// unused codes marked kInvalid. `symbols[i]` is what symbol i decodes to. False for an over-subscribed
// set of lengths, or an incomplete one other than a lone code of one bit (which a code with a single
// symbol needs); a set with no codes at all gives a table of invalid entries. An invalid entry drops the
// bits its lookup examined.
// At most 288 symbols and kMaxPrimaryBits primary bits.
bool BuildTable(std::span<const std::uint8_t> lengths, std::span<const TEntry> symbols, unsigned primary_bits,
                std::span<TEntry> table);

}  // namespace kv::huffman
