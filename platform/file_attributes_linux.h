#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string_view>

namespace kv::platform {

// The MS-DOS attribute bits the program works with.
inline constexpr std::uint32_t kFaReadOnly = 0x01;
inline constexpr std::uint32_t kFaHidden = 0x02;
inline constexpr std::uint32_t kFaDirectory = 0x10;
inline constexpr std::uint32_t kFaArchive = 0x20;

// The MS-DOS attributes of a file-system item from its name and mode: hidden when the name starts with
// "."; directory; for everything else archive, and read-only when the owner may not write it. A folder
// never reads as read-only: on restore that bit would lock the folder against the files going into it.
// System, compressed and encrypted bits have no counterpart and are never set.
std::uint32_t DosAttributes(std::string_view name, mode_t mode);

}  // namespace kv::platform
