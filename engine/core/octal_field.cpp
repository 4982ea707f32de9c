#include "engine/core/octal_field.h"

#include <limits>

namespace kv {

std::optional<std::int64_t> ParseOctal(std::string_view text) {
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 8;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '7') continue;
        if (value > kLimit) return std::nullopt;
        value = value * 8 + (c - '0');
    }
    return value;
}

}  // namespace kv
