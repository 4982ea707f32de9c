#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/readers/tar_header.h"

namespace kv {

// One stretch of data of a sparse member: `Length` bytes at `Offset` of the file. The member's stored
// data holds its stretches one after another; everything between them is a hole of zero bytes.
struct TSparseRegion {
    std::int64_t Offset = 0;
    std::int64_t Length = 0;
};

// The stretches of an old GNU sparse header ("S"): up to 4 in the header itself, 21 in each extension
// block behind it. An entry with an empty offset field ends the list. Returns whether another extension
// block follows; false in `sound` when a number cannot be read.
bool ReadOldGnuSparseHeader(const TTarBlock& block, std::vector<TSparseRegion>& into, bool& sound);
bool ReadOldGnuSparseExtension(const TTarBlock& block, std::vector<TSparseRegion>& into, bool& sound);
// The file's size an old GNU sparse header gives; nothing when the field is unusable.
std::optional<std::int64_t> OldGnuSparseRealSize(const TTarBlock& block);

// Pairs offset, length from a flat list of numbers (pax 0.0 records, the 0.1 map); false for an odd count.
bool PairSparseNumbers(const std::vector<std::int64_t>& numbers, std::vector<TSparseRegion>& into);

// The map that leads the data of a pax 1.0 sparse member: the count of stretches, then offset and length
// of each, one decimal number a line. Gives the bytes the map takes (before its padding to whole
// blocks), or nothing when `text` does not hold a whole, well-formed map.
std::optional<std::size_t> ParseSparseMapText(std::string_view text, std::vector<TSparseRegion>& into);

// Whether the stretches can be written as they say: in order, none overlapping another, all inside the
// file's `real_size`, and their data all inside the `stored_size` bytes the member holds.
bool SparseMapFits(const std::vector<TSparseRegion>& regions, std::int64_t real_size, std::int64_t stored_size);

}  // namespace kv
