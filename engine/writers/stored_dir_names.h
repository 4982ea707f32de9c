#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/core/entry_enums.h"

namespace kv {

// What the stored name of a file depends on besides the file's path.
struct TStoredNameBase {
    TStoredDirNames Mode = sdRelative;
    // The directory of the FileSpec line that found the file, as written (empty: the current directory).
    std::string LineDir;
    // The common root of all lines (sdExplorer_Auto) or the default directory
    // (sdExplorer_UserDefineDefaultDir).
    std::string RootDir;
};

// The name a file on disk is stored under: "/" between folders, never a leading "/" and never a "." or
// ".." component. A folder (a path ending with "/") keeps its trailing "/". A file outside the directory
// its name is taken relative to is stored with its absolute path.
std::string StoredNameFor(const std::string& disk_path, const TStoredNameBase& base);

// The deepest directory that holds the directories of all lines (absolute, with a trailing "/").
std::string CommonRootOf(const std::vector<std::string>& lines);

// The name without empty, "." and ".." components (a trailing "/" is kept).
std::string SafeStoredName(std::string_view name);

}  // namespace kv
