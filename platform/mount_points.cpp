#include "platform/mount_points.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string_view>

namespace kv::platform {
namespace {

constexpr std::array<std::string_view, 7> kNetworkTypes{"nfs", "nfs4", "cifs", "smb3", "smbfs", "ceph", "fuse.sshfs"};

// The mount table writes blanks, tabs, newlines and backslashes in paths as three-digit octal escapes.
std::string Unescape(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + i + 1, field.begin() + i + 4, [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> RealFileSystemMounts(const std::string& mount_table) {
    std::vector<std::string> mounts;
    std::ifstream table(mount_table);
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string source, target, type;
        if (!(fields >> source >> target >> type)) continue;
        const bool real = source.starts_with("/dev/") ||
                          std::find(kNetworkTypes.begin(), kNetworkTypes.end(), type) != kNetworkTypes.end();
        if (!real) continue;
        std::string point = Unescape(target);
        if (std::find(mounts.begin(), mounts.end(), point) == mounts.end()) mounts.push_back(std::move(point));
    }
    return mounts;
}

}  // namespace kv::platform
