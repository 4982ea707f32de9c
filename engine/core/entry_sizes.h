#pragma once

#include <cstdint>

#include "engine/core/arc_type.h"

namespace kv {

// The packed size an entry reports from the one its header stores:
// - ZIP family and BH, enciphered (ZIP method 99, AES, excepted): without the 12-byte cipher header, when the
//   stored value is large enough to hold one;
// - LHA: the smaller of packed and original size;
// - every other case: the stored value.
std::int64_t ReportedPackedSize(TArcType type, int method, bool encrypted, std::int64_t storedPackedSize,
                                std::int64_t unpackedSize);

}  // namespace kv
