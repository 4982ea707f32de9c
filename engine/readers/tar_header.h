#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/content_rules.h"

namespace kv {

using TTarBlock = std::array<std::uint8_t, kTarBlockSize>;

// The fields of a TAR header block the engine uses.
struct TTarHeader {
    std::string Name;  // the name field to its first zero byte, behind the ustar prefix when there is one
    std::string LinkName;  // the link field to its first zero byte
    std::int64_t Size = 0;
    std::uint32_t Mode = 0;  // permission and type bits; 0 when the field is unusable
    std::optional<std::int64_t> ModificationTime;  // Unix seconds; none when the field is unusable
    std::uint32_t Checksum = 0;
    char TypeFlag = 0;
};

// A header whose checksum is right and whose size field is usable; nothing otherwise (the walk ends).
std::optional<TTarHeader> ParseTarHeader(const TTarBlock& block);

// A numeric header field: octal digits, or base-256 (binary, big-endian) when its first byte has the
// high bit set, as GNU tar writes values that do not fit. Nothing for negative or oversized values.
std::optional<std::int64_t> ParseTarNumber(std::string_view field);

// Records of a pax extended header ("length key=value\n") that override the next entry's header
// (type "x") or every following entry's (type "g").
struct TPaxOverrides {
    std::optional<std::string> Path;      // UTF-8 unless BinaryNames
    std::optional<std::string> LinkPath;  // UTF-8 unless BinaryNames
    std::optional<std::int64_t> Size;
    std::optional<std::int64_t> ModificationTime;
    bool BinaryNames = false;  // "hdrcharset=BINARY": path and linkpath are bytes of an unknown code page
};
// Adds the records of `data` to `into`; a malformed record ends the parse (the records before it stand).
void ParsePaxRecords(std::string_view data, TPaxOverrides& into);

}  // namespace kv
