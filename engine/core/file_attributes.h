#pragma once

#include <cstdint>

#include "engine/core/entry_enums.h"

namespace kv {

// MS-DOS/Windows attribute bits of the set's elements ORed together; fsZeroAttr has no bit of its own.
std::uint32_t AttributesToBits(TArcFileAttributes attributes);

}  // namespace kv
