#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/codecs/msb_bit_reader.h"

namespace kv {

// A canonical Huffman code of the LZH methods (codes of up to 16 bits, sent most significant bit first,
// shorter codes first and, within a length, lower symbols first), decoded through a table indexed by the
// next `primary_bits` bits with one sub-table per prefix shared by longer codes.
class TLzhTable {
public:
    static constexpr unsigned kMaxCodeBits = 16;

    TLzhTable(unsigned symbols, unsigned primary_bits);

    // Builds the code of `lengths` (0 = symbol unused); false unless the lengths make a complete code.
    bool Build(std::span<const std::uint8_t> lengths);
    // A code of one symbol sent in no bits at all.
    void BuildSingle(unsigned symbol);

    // The next symbol; the reader must hold at least 16 bits.
    unsigned Decode(TMsbBitReader& bits) const {
        std::uint32_t entry = entries_[bits.Peek(primary_bits_)];
        if (entry & kLink) {
            bits.Drop(primary_bits_);
            entry = entries_[(entry >> 8 & 0xFFFF) + bits.Peek(entry & 0xFF)];
        }
        bits.Drop(entry & 0xFF);
        return entry >> 8;
    }

private:
    // An entry: bits 0-7 the bits to drop, bits 8-23 the symbol (or a sub-table's offset, with kLink).
    static constexpr std::uint32_t kLink = 1u << 31;

    unsigned symbols_;
    unsigned primary_bits_;
    std::vector<std::uint32_t> entries_;
};

}  // namespace kv
