#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kv::platform {

std::string IncludeTrailingDelimiter(std::string_view path) {
    std::string result(path);
    if (!result.empty() && result.back() != kPathDelim) result += kPathDelim;
    return result;
}

std::string ExtractFilePath(std::string_view path) {
    const auto slash = path.rfind(kPathDelim);
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ExtractFileExt(std::string_view path) {
    const auto dot = path.rfind('.');
    const auto slash = path.rfind(kPathDelim);
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    return std::string(path.substr(dot));
}

std::string ToNativeDelimiters(std::string_view path) {
    std::string result(path);
    for (char& c : result) {
        if (c == '\\' || c == '/') c = kPathDelim;
    }
    return result;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string CurrentDirectory() {
    std::error_code ec;
    return IncludeTrailingDelimiter(std::filesystem::current_path(ec).string());
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

std::string SystemTempDirectory() {
    std::error_code ec;
    const auto dir = std::filesystem::temp_directory_path(ec);
    return IncludeTrailingDelimiter(ec ? std::string("/tmp") : dir.string());
}

std::string LoginName() {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name != nullptr) return entry->pw_name;
    if (const char* user = std::getenv("USER")) return user;
    return {};
}

}  // namespace kv::platform
