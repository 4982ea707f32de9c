#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "engine/core/arc_type.h"

namespace kv {

// The first byte of the XZ magic; LZMA "alone" data start with their properties byte, always smaller.
inline constexpr std::uint8_t kXzFirstByte = 0xFD;

// The compressed-stream types known by their first bytes: atXz (an XZ stream, or an LZMA "alone" file,
// which has no magic and is taken only under a ".lzma" name with a sane header) and atZstd (a Zstandard
// frame or a skippable frame); atNA for anything else.
TArcType ClassifyCompressedStream(std::span<const std::uint8_t> head, std::string_view file_name);

}  // namespace kv
