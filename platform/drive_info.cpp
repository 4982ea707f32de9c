#include "platform/drive_info.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

namespace kv::platform {
namespace {

namespace fs = std::filesystem;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The sysfs folder of the whole disk for a block device folder: a partition's parent holds the disk.
fs::path WholeDisk(const fs::path& device) {
    std::error_code ec;
    return fs::exists(device / "partition", ec) ? device.parent_path() : device;
}

bool ReadsOne(const fs::path& attribute) {
    std::ifstream in(attribute);
    int value = 0;
    return (in >> value) && value == 1;
}

// The label whose by-label link leads to the device of that kernel name.
std::string FindLabel(const std::string& device_name, const std::string& by_label) {
    std::error_code ec;
    for (fs::directory_iterator it(by_label, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code link_ec;
        const fs::path target = fs::read_symlink(it->path(), link_ec);
        if (!link_ec && target.filename() == device_name) return UnescapeUdevLabel(it->path().filename().string());
    }
    return {};
}

}  // namespace

std::string UnescapeUdevLabel(const std::string& name) {
    std::string result;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            const int high = HexDigit(name[i + 2]);
            const int low = HexDigit(name[i + 3]);
            if (high >= 0 && low >= 0) {
                result += static_cast<char>(high * 16 + low);
                i += 3;
                continue;
            }
        }
        result += name[i];
    }
    return result;
}

DriveInfo QueryDriveInfo(const std::string& path, const DriveInfoRoots& roots) {
    DriveInfo info;
    struct stat file_status {};
    struct statvfs fs_status {};
    if (path.empty() || ::stat(path.c_str(), &file_status) != 0 || ::statvfs(path.c_str(), &fs_status) != 0) {
        return info;
    }
    info.Valid = true;
    info.FreeBytes = static_cast<std::uint64_t>(fs_status.f_bavail) * fs_status.f_frsize;
    info.TotalBytes = static_cast<std::uint64_t>(fs_status.f_blocks) * fs_status.f_frsize;

    // Files on virtual file systems (tmpfs, overlay) have no block device: they count as fixed.
    const fs::path link = fs::path(roots.SysDevBlock) /
                          (std::to_string(major(file_status.st_dev)) + ":" + std::to_string(minor(file_status.st_dev)));
    std::error_code ec;
    const fs::path device = fs::canonical(link, ec);
    if (ec) return info;
    info.Removable = ReadsOne(WholeDisk(device) / "removable");
    info.VolumeLabel = FindLabel(device.filename().string(), roots.DiskByLabel);
    return info;
}

}  // namespace kv::platform
