#pragma once

#include <string>
#include <vector>

namespace kv::platform {

// The mount points of real file systems, the stand-in for "every fixed, remote, CD-ROM or RAM drive":
// those mounted from a block device ("/dev/...") or a network share, in mount-table order, without
// repeats. Kernel and memory file systems (proc, sysfs, tmpfs, ...) are left out.
std::vector<std::string> RealFileSystemMounts(const std::string& mount_table = "/proc/self/mounts");

}  // namespace kv::platform
