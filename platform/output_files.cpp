#include "platform/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>

#include "platform/paths.h"

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

bool StaysInside(const std::string& base, const std::string& path) {
    const std::string prefix = IncludeTrailingDelimiter(base);
    if (path.compare(0, prefix.size(), prefix) != 0) return false;
    // Every existing step below the base must be a real folder (or, for the last one, a real file).
    for (std::size_t next = path.find(kPathDelim, prefix.size()); ; next = path.find(kPathDelim, next + 1)) {
        const std::string step = path.substr(0, next);
        struct stat status {};
        if (::lstat(step.c_str(), &status) != 0) return true;  // nothing further exists yet
        if (S_ISLNK(status.st_mode)) return false;
        if (next == std::string::npos) return true;
    }
}

}  // namespace kv::platform
