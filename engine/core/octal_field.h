#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kv {

// Reads an octal header field (TAR, cpio-like). Every character other than "0" to "7" is skipped, blanks and
// zero bytes included, so "  12 3" is 83. A field without digits is 0. Nothing when the value would not fit
// in a signed 64-bit integer: such a field is corrupt and must not become a size or date.
std::optional<std::int64_t> ParseOctal(std::string_view text);

}  // namespace kv
