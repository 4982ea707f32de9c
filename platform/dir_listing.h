#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace kv::platform {

enum class TDirItemKind { dkFile, dkDirectory, dkSymLink, dkOther };

// One item of a folder as lstat sees it: a symbolic link is reported as a link, never followed.
struct TDirItem {
    std::string Name;
    TDirItemKind Kind = TDirItemKind::dkOther;
    std::uint64_t Size = 0;
    std::time_t ModifyTime = 0;
    std::uint32_t Attributes = 0;  // MS-DOS bits (file_attributes_linux.h)
    dev_t Device = 0;
};

struct TDirListing {
    bool Opened = false;  // false: the folder could not be opened; nothing else is set
    dev_t Device = 0;     // identity of the folder itself, for loop and device-crossing checks
    ino_t Inode = 0;
    std::vector<TDirItem> Items;  // in the file system's order, without "." and ".."
};

// Reads a whole folder at once (so a deep walk keeps no folder handles open). Items that vanish while
// being read are left out.
TDirListing ListDirectory(const std::string& dir);

}  // namespace kv::platform
