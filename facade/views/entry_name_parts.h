#pragma once

#include <string_view>

#include "platform/paths.h"

namespace kv::facade {

// The folder part of an entry name, with its trailing delimiter ("" at the top level).
inline std::string_view FolderPartOf(std::string_view name) {
    const auto slash = name.rfind(platform::kPathDelim);
    return slash == std::string_view::npos ? std::string_view() : name.substr(0, slash + 1);
}

// What follows the folder part; empty for an entry that only stands for a folder.
inline std::string_view FilePartOf(std::string_view name) { return name.substr(FolderPartOf(name).size()); }

// The first folder name of a relative path ("a" of "a/b/c"); empty when the path has no folder.
inline std::string_view FirstFolderOf(std::string_view relative) {
    const auto slash = relative.find(platform::kPathDelim);
    return slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash);
}

}  // namespace kv::facade
