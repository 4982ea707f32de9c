#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace kv::platform {

namespace fs = std::filesystem;

namespace {

std::string HomeTrash() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/share/Trash";
}

// The highest folder above `path` on the same device: the mount point of its file system.
fs::path TopDirectory(const fs::path& path, dev_t device) {
    fs::path top = path;
    for (fs::path up = top.parent_path(); up != top; up = top.parent_path()) {
        struct stat info {};
        if (::stat(up.c_str(), &info) != 0 || info.st_dev != device) break;
        top = up;
    }
    return top;
}

bool MakeTrashFolders(const fs::path& trash) {
    std::error_code error;
    fs::create_directories(trash / "files", error);
    fs::create_directories(trash / "info", error);
    for (const char* sub : {"files", "info"}) {
        fs::permissions(trash / sub, fs::perms::owner_all, error);
        if (!fs::is_directory(trash / sub)) return false;
    }
    return true;
}

// The trash folder that takes files of `device`: the home trash when it lies on that device.
fs::path TrashFor(const fs::path& path, dev_t device, bool& relative_paths) {
    const fs::path home = HomeTrash();
    struct stat info {};
    relative_paths = false;
    if (MakeTrashFolders(home) && ::stat(home.c_str(), &info) == 0 && info.st_dev == device) return home;
    relative_paths = true;
    return TopDirectory(path, device) / (".Trash-" + std::to_string(::getuid()));
}

std::string EscapedPath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string escaped;
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::string_view("/-_.~").find(static_cast<char>(c)) != std::string_view::npos) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += hex[c >> 4];
            escaped += hex[c & 15];
        }
    }
    return escaped;
}

std::string DeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

}  // namespace

bool MoveToTrash(const std::string& path) { return MoveToTrash(path, path); }

bool MoveToTrash(const std::string& path, const std::string& restore_path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    const fs::path folder = fs::canonical(absolute.parent_path(), error);
    if (error) return false;
    const fs::path item = folder / absolute.filename();
    struct stat info {};
    if (::lstat(item.c_str(), &info) != 0) return false;
    const fs::path restore_absolute = fs::absolute(restore_path, error);
    const fs::path restore = fs::weakly_canonical(restore_absolute.parent_path(), error) / restore_absolute.filename();
    if (error) return false;

    bool relative_paths = false;
    const fs::path trash = TrashFor(folder, info.st_dev, relative_paths);
    if (!MakeTrashFolders(trash)) return false;
    const std::string recorded =
        relative_paths ? fs::relative(restore, TopDirectory(folder, info.st_dev)).string() : restore.string();

    // The record is created first and exclusively: it reserves the name in the trash.
    const std::string base = restore.filename().string();
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const std::string name = attempt == 1 ? base : base + "." + std::to_string(attempt);
        const fs::path record = trash / "info" / (name + ".trashinfo");
        const int handle = ::open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (handle < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        const std::string text =
            "[Trash Info]\nPath=" + EscapedPath(recorded) + "\nDeletionDate=" + DeletionDate() + "\n";
        const bool written = ::write(handle, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(handle);
        if (written && ::rename(item.c_str(), (trash / "files" / name).c_str()) == 0) return true;
        const int saved = errno;
        ::unlink(record.c_str());
        errno = saved;
        return false;
    }
    errno = EEXIST;
    return false;
}

bool RemoveFile(const std::string& path, bool allow_undo) {
    if (allow_undo && MoveToTrash(path)) return true;
    return ::unlink(path.c_str()) == 0;
}

}  // namespace kv::platform
