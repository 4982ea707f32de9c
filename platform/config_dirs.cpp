#include "platform/config_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kv::platform {
namespace {

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

// The XDG rules ignore relative paths: they would depend on the current folder.
bool UsableXdgPath(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::string WithoutTrailingDelimiter(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string UserConfigDirectory() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && UsableXdgPath(config)) {
        return WithoutTrailingDelimiter(config);
    }
    return WithoutTrailingDelimiter(HomeDirectory()) + "/.config";
}

std::string MachineConfigDirectory() {
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
        const std::string list(dirs);
        const std::string first = list.substr(0, list.find(':'));
        if (UsableXdgPath(first)) return WithoutTrailingDelimiter(first);
    }
    return "/etc/xdg";
}

std::string RunningProgramFile() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.string();
}

}  // namespace kv::platform
