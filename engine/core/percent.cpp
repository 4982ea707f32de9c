#include "engine/core/percent.h"

#include <algorithm>

namespace kv {
namespace {

// numerator / denominator rounded to the nearest integer, halves to even, without floating point or
// overflow for any 64-bit sizes (denominator > 0, numerator >= 0).
std::int64_t RoundedQuotient(unsigned __int128 numerator, unsigned __int128 denominator) {
    const unsigned __int128 quotient = numerator / denominator;
    const unsigned __int128 twice_rest = (numerator % denominator) * 2;
    const bool round_up = twice_rest > denominator || (twice_rest == denominator && (quotient & 1) != 0);
    return static_cast<std::int64_t>(quotient + (round_up ? 1 : 0));
}

}  // namespace

std::uint8_t Percent(std::int64_t part, std::int64_t total) {
    if (total <= 0 || part <= 0) return 0;
    const std::int64_t value = RoundedQuotient(static_cast<unsigned __int128>(part) * 100, static_cast<unsigned __int128>(total));
    return static_cast<std::uint8_t>(std::min<std::int64_t>(value, 100));
}

std::uint8_t Ratio(std::int64_t unpacked, std::int64_t packed) {
    if (unpacked <= 0 || packed >= unpacked) return 0;
    const std::int64_t saved = packed < 0 ? unpacked : unpacked - packed;
    return static_cast<std::uint8_t>(std::min<std::int64_t>(
        RoundedQuotient(static_cast<unsigned __int128>(saved) * 100, static_cast<unsigned __int128>(unpacked)), 100));
}

}  // namespace kv
