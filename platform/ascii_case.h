#pragma once

#include <string>
#include <string_view>

namespace kv::platform {

// Case folding for settings names (registry keys and values, INI sections and keys). These names are
// ASCII in practice; other bytes compare as they are.
char AsciiLower(char c);
std::string AsciiLowerCase(std::string_view text);
bool SameAsciiText(std::string_view a, std::string_view b);
// Without leading and trailing blanks (spaces and tabs).
std::string_view TrimBlanks(std::string_view text);

}  // namespace kv::platform
