#pragma once

#include <cstdint>
#include <string>

namespace kv::platform {

// What the system tells about the device that holds a file.
struct DriveInfo {
    bool Valid = false;       // the query succeeded (the file exists and its file system answered)
    bool Removable = false;   // the whole disk behind the file says it holds removable media
    std::string VolumeLabel;  // "" when the device has none that can be found
    std::uint64_t FreeBytes = 0;
    std::uint64_t TotalBytes = 0;
};

// Where the device information is looked up; tests point these at a fake tree.
struct DriveInfoRoots {
    std::string SysDevBlock = "/sys/dev/block";
    std::string DiskByLabel = "/dev/disk/by-label";
};

// Queries the device of `path`: removable media from sysfs (the file's device mapped through
// /sys/dev/block/MAJ:MIN up to its whole disk), the label from the by-label links that lead to that
// device, space from statvfs.
DriveInfo QueryDriveInfo(const std::string& path, const DriveInfoRoots& roots = {});

// Undoes the \xNN escapes of the names udev gives label links ("NO\x20NAME" is "NO NAME").
std::string UnescapeUdevLabel(const std::string& name);

}  // namespace kv::platform
