#include "platform/sym_link.h"

#include <sys/stat.h>
#include <unistd.h>

namespace kv::platform {

std::optional<std::string> ReadSymLink(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    // The size lstat gives may be 0 (some file systems) or stale: grow until the target fits.
    std::string target(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 256, '\0');
    for (;;) {
        const ssize_t got = ::readlink(path.c_str(), target.data(), target.size());
        if (got < 0) return std::nullopt;
        if (static_cast<std::size_t>(got) < target.size()) {
            target.resize(static_cast<std::size_t>(got));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

std::optional<struct stat> FollowedLink(const std::string& path, const TWalkingTest& walking) {
    struct stat target{};
    if (::stat(path.c_str(), &target) != 0) return std::nullopt;
    if (S_ISDIR(target.st_mode) && walking(target.st_dev, target.st_ino)) return std::nullopt;
    return target;
}

}  // namespace kv::platform
