#pragma once

#include <cstdint>
#include <ctime>
#include <sys/types.h>

#include <optional>
#include <string>

namespace kv::platform {

// Sets a file's modification (and access) time to the nanosecond; a symbolic link gets its own time, its
// target is left alone. False when the system refuses.
bool SetFileTime(const std::string& path, const timespec& time);
// Sets the time of the file open as `handle`, to the nanosecond.
bool SetFileTime(int handle, const timespec& time);
// Applies MS-DOS attributes to the file open as `handle`: read-only takes away every write permission,
// otherwise the owner may write. Hidden, system and archive have no counterpart on Linux and change nothing.
bool ApplyDosAttributes(int handle, std::uint32_t attributes);
// The permissions a stored Unix mode gives an extracted file or folder: read, write and execute for owner,
// group and others less what the process's umask withholds (so nothing becomes writable by others that
// the user's own new files would not be); set-user-id, set-group-id and sticky only when asked for.
mode_t RestoredPermissions(std::uint32_t mode, bool keep_special_bits);
// Gives the file open as `handle` the permissions RestoredPermissions allows.
bool ApplyUnixPermissions(int handle, std::uint32_t mode, bool keep_special_bits);
// Gives a folder its permissions (when given) and time, without following a symbolic link that may have
// taken its place.
bool FinishFolder(const std::string& path, std::optional<mode_t> permissions, const timespec& time);

}  // namespace kv::platform
