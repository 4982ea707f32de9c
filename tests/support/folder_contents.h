#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace kv::test {

// The names of the items right inside `folder`, sorted.
inline std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Whether `path` is `folder` or lies below it, judged on the names alone.
inline bool IsWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

}  // namespace kv::test
