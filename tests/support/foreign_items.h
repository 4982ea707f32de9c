#pragma once

#include <algorithm>
#include <filesystem>
#include <string>

namespace kv::test {

namespace fs = std::filesystem;

inline bool IsBelow(const fs::path& path, const fs::path& destination) {
    const auto [end, rest] = std::mismatch(destination.begin(), destination.end(), path.begin(), path.end());
    return end == destination.end() && rest != path.end();
}

// Everything below `root` that lies outside `destination` (the folders leading to it aside), and every
// link whose target, read as text from its folder, leads out of the destination.
inline std::string ForeignItems(const fs::path& root, const fs::path& destination) {
    std::string items;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& path = it->path();
        const bool on_the_way = std::mismatch(path.begin(), path.end(), destination.begin(), destination.end()).first == path.end();
        if (!IsBelow(path, destination) && !on_the_way) items += path.string() + "\n";
        if (!it->is_symlink()) continue;
        const fs::path target = fs::read_symlink(path);
        const fs::path leads_to = (path.parent_path() / target).lexically_normal();
        if (target.is_absolute() || (leads_to != destination && !IsBelow(leads_to, destination)))
            items += path.string() + " -> " + target.string() + "\n";
    }
    return items;
}

}  // namespace kv::test
