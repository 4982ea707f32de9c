#pragma once

#include <cstdint>
#include <span>

#include "engine/core/arc_type.h"

namespace kv {

inline constexpr std::size_t kTarBlockSize = 512;

// A TAR header block whose stored octal checksum equals the sum of its bytes (checksum field as blanks).
bool TarChecksumMatches(std::span<const std::uint8_t, kTarBlockSize> block);
// The TAR header block of a volume label ("V"), which a tape archive may put before its first entry.
bool IsTarVolumeLabel(std::span<const std::uint8_t, kTarBlockSize> block);

// "BZh", a block-size digit, and the magic of the first compressed block.
bool IsBzip2Header(std::span<const std::uint8_t> head);
// "**ACE**" at offset 7 of an ACE main header, in any letter case.
bool HasAceMarker(std::span<const std::uint8_t> head);
// The encoded-text rule: the first line that starts a Base64 MIME part (atB64) or a uuencoded file
// (atUUE) decides; atNA when there is none.
TArcType ClassifyEncodedText(std::span<const std::uint8_t> head);

}  // namespace kv
