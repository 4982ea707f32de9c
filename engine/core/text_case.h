#pragma once

#include <string>
#include <string_view>

namespace kv {

// Case-insensitive handling of UTF-8 names. Characters are upper-cased with the Unicode simple case
// mapping; a byte that is not valid UTF-8 stands for itself (as U+DC00 + byte), so such names stay distinct.

char32_t UpperChar(char32_t c);
// The name's characters, each upper-cased.
std::u32string UpperCodePoints(std::string_view utf8);
// The name upper-cased and encoded as UTF-8 again (invalid bytes kept as they were).
std::string UpperCaseText(std::string_view utf8);
bool SameText(std::string_view a, std::string_view b);
// Whether the name ends with `ending` (an ASCII one such as ".tar.gz"), case ignored.
bool EndsWithText(std::string_view name, std::string_view ending);
// <0, 0 or >0 as a orders before, with or after b when case is ignored.
int CompareText(std::string_view a, std::string_view b);

}  // namespace kv
