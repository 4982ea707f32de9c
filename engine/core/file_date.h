#pragma once

#include <cstdint>

namespace kv {

// The creation time of an open file (its modification time where the file system keeps no birth
// time), in local time, packed as an MS-DOS date/time; 1 January 1980 00:01:00 when it cannot be read.
std::uint32_t FileCreationDosDateTime(int handle);

}  // namespace kv
