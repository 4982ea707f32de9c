#pragma once

#include <cstdint>

#include "engine/core/entry_enums.h"

namespace kv {

// Whether the scanner takes an item with these MS-DOS attribute bits: it must pass the include test
// against `include` and fail the same test against `exclude`. The test passes when a set member's bit is
// present (fsVolumeID takes no part), with fsZeroAttr for attributes 0 or exactly 128 (normal), and, in
// the include test only, for any item not content-indexed (0x2000).
bool AttributeFilterAccepts(std::uint32_t attributes, TArcFileAttributes include, TArcFileAttributes exclude);

}  // namespace kv
