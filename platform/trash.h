#pragma once

#include <string>

namespace kv::platform {

// Moves a file or folder into the user's trash (the freedesktop.org trash: the home trash for files on the
// home file system, the file system's own ".Trash-UID" folder otherwise), with the record that lets a file
// manager put it back. False, with errno set, when it could not be moved; the file is then left where it was.
bool MoveToTrash(const std::string& path);
// The same for a second name of a file that has been replaced: the trash keeps it under the name of
// `restore_path` and a file manager puts it back there.
bool MoveToTrash(const std::string& path, const std::string& restore_path);

// The file deleted for good, or moved to the trash when `allow_undo`; falls back to deleting when the
// trash cannot take it. False when the file is still there.
bool RemoveFile(const std::string& path, bool allow_undo);

}  // namespace kv::platform
