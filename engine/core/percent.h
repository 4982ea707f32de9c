#pragma once

#include <cstdint>

namespace kv {

// part * 100 / total rounded to the nearest integer (halves to even), within 0..100; 0 when total <= 0.
std::uint8_t Percent(std::int64_t part, std::int64_t total);
// The share saved by packing: (unpacked - packed) * 100 / unpacked rounded (halves to even); 0 unless
// unpacked > 0 and packed < unpacked.
std::uint8_t Ratio(std::int64_t unpacked, std::int64_t packed);

}  // namespace kv
