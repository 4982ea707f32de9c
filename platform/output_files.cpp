#include "platform/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>

namespace kv::platform {

bool SetFileTime(const std::string& path, std::time_t time) {
    const timespec times[2] = {{time, 0}, {time, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool ApplyDosAttributes(const std::string& path, std::uint32_t attributes) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return false;
    mode_t mode = status.st_mode & 07777;
    mode = (attributes & 0x01) != 0 ? mode & ~mode_t{0222} : mode | S_IWUSR;
    return ::chmod(path.c_str(), mode) == 0;
}

bool ApplyUnixPermissions(const std::string& path, std::uint32_t mode) {
    // The umask can only be read by setting it; do that once, before any worker thread could create files.
    static const mode_t withheld = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }();
    return ::chmod(path.c_str(), static_cast<mode_t>(mode & 0777) & ~withheld) == 0;
}

}  // namespace kv::platform
