#include "platform/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::platform {

bool SetFileTime(const std::string& path, const timespec& time) {
    const timespec times[2] = {time, time};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool SetFileTime(int handle, const timespec& time) {
    const timespec times[2] = {time, time};
    return ::futimens(handle, times) == 0;
}

bool ApplyDosAttributes(int handle, std::uint32_t attributes) {
    struct stat status {};
    if (::fstat(handle, &status) != 0) return false;
    mode_t mode = status.st_mode & 07777;
    mode = (attributes & 0x01) != 0 ? mode & ~mode_t{0222} : mode | S_IWUSR;
    return ::fchmod(handle, mode) == 0;
}

mode_t RestoredPermissions(std::uint32_t mode, bool keep_special_bits) {
    // The umask can only be read by setting it; do that once, before any worker thread could create files.
    static const mode_t withheld = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }();
    const mode_t kept = keep_special_bits ? 07777 : 0777;
    return static_cast<mode_t>(mode & kept) & ~withheld;
}

bool ApplyUnixPermissions(int handle, std::uint32_t mode, bool keep_special_bits) {
    return ::fchmod(handle, RestoredPermissions(mode, keep_special_bits)) == 0;
}

bool FinishFolder(const std::string& path, std::optional<mode_t> permissions, const timespec& time) {
    const int handle = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (handle < 0) return false;
    bool done = SetFileTime(handle, time);
    if (permissions) done = ::fchmod(handle, *permissions) == 0 && done;
    ::close(handle);
    return done;
}

}  // namespace kv::platform
