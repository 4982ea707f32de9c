#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/content_rules.h"

namespace kv {

using TTarBlock = std::array<std::uint8_t, kTarBlockSize>;

// The fields of a TAR header block the engine uses.
struct TTarHeader {
    std::string Name;  // the name field to its first zero byte, behind the ustar prefix when there is one
    std::string LinkName;  // the link field to its first zero byte
    std::int64_t Size = 0;
    std::uint32_t Mode = 0;  // permission and type bits; 0 when the field is unusable
    std::optional<std::int64_t> ModificationTime;  // Unix seconds, negative before 1970; none when unusable
    std::uint32_t Checksum = 0;
    char TypeFlag = 0;
};

// A header whose checksum is right and whose size field is usable; nothing otherwise (the walk ends).
std::optional<TTarHeader> ParseTarHeader(const TTarBlock& block);

// A numeric header field: octal digits, or base-256 (binary, big-endian) when its first byte has the
// high bit set, as GNU tar writes values that do not fit. Nothing for negative or oversized values.
std::optional<std::int64_t> ParseTarNumber(std::string_view field);

// A time field: as ParseTarNumber, and negative values in base-256 (two's complement, first byte 0xFF),
// which GNU tar writes for times before 1970.
std::optional<std::int64_t> ParseTarTime(std::string_view field);

// Records of a pax extended header ("length key=value\n") that override the next entry's header
// (type "x") or every following entry's (type "g").
struct TPaxOverrides {
    std::optional<std::string> Path;      // UTF-8 unless BinaryNames
    std::optional<std::string> LinkPath;  // UTF-8 unless BinaryNames
    std::optional<std::int64_t> Size;
    std::optional<std::int64_t> ModificationTime;  // whole seconds, rounded down ("-1.5" is -2)
    std::uint32_t ModificationNanoseconds = 0;     // the fraction of mtime, added to ModificationTime
    bool BinaryNames = false;  // "hdrcharset=BINARY": path and linkpath are bytes of an unknown code page
    // The GNU sparse records: the file's size (GNU.sparse.size, GNU.sparse.realsize), its name
    // (GNU.sparse.name), offsets and lengths in turn (repeated 0.0 records or the 0.1 map), and whether the
    // map leads the data instead (1.0). SparseBroken: a sparse record could not be read.
    std::optional<std::int64_t> SparseRealSize;
    std::optional<std::string> SparseName;
    std::vector<std::int64_t> SparseNumbers;
    bool SparseMapInData = false;
    bool SparseBroken = false;
    bool Sparse() const { return SparseRealSize || SparseMapInData || SparseBroken || !SparseNumbers.empty(); }
};
// Adds the records of `data` to `into`; a malformed record ends the parse (the records before it stand).
void ParsePaxRecords(std::string_view data, TPaxOverrides& into);

}  // namespace kv
