#include "platform/dir_probe.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/paths.h"

namespace kv::platform {
namespace {

bool CanCreateFileIn(const std::string& dir) {
    std::string pattern = IncludeTrailingDelimiter(dir) + ".kvprobe-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(pattern.c_str());
    return true;
}

}  // namespace

bool ForceDirectories(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return DirectoryExists(dir);
}

bool IsWritableDirectory(const std::string& dir) {
    if (dir.empty()) return false;
    if (DirectoryExists(dir)) return CanCreateFileIn(dir);

    // Remember which folders the probe creates so it can remove exactly those again.
    std::vector<std::filesystem::path> created;
    std::filesystem::path path = std::filesystem::path(dir).lexically_normal();
    if (path.has_filename() == false) path = path.parent_path();
    for (auto p = path; !p.empty() && !std::filesystem::exists(p); p = p.parent_path()) {
        created.push_back(p);
        if (p == p.parent_path()) break;
    }
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    const bool ok = !ec && DirectoryExists(path.string());
    for (const auto& p : created) std::filesystem::remove(p, ec);
    return ok;
}

}  // namespace kv::platform
