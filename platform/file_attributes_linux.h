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

// What a reader hands on for a Unix writer's permissions: the mode in the high half (the pipeline decides
// about the set-id and sticky bits), the plain bit of its kind, and read-only when nobody may write.
inline std::uint32_t UnixModeAttributes(std::uint32_t mode, bool directory) {
    mode &= 07777;
    return (mode << 16) | (directory ? kFaDirectory : kFaArchive) | ((mode & 0222) == 0 ? kFaReadOnly : 0);
}

}  // namespace kv::platform
