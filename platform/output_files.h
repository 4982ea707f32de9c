#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace kv::platform {

// Sets a file's modification (and access) time; false when the system refuses.
bool SetFileTime(const std::string& path, std::time_t time);
// Applies MS-DOS attributes to a file: read-only takes away every write permission, otherwise the owner
// may write. Hidden, system and archive have no counterpart on Linux and change nothing.
bool ApplyDosAttributes(const std::string& path, std::uint32_t attributes);
// Gives a file the permission bits a Unix writer stored (read, write, execute for owner, group, others),
// less what the process's umask withholds; set-id and sticky bits are never restored.
bool ApplyUnixPermissions(const std::string& path, std::uint32_t mode);
}  // namespace kv::platform
