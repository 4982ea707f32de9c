#include "platform/dir_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/file_attributes_linux.h"

namespace kv::platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

TDirItemKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return TDirItemKind::dkFile;
    if (S_ISDIR(mode)) return TDirItemKind::dkDirectory;
    if (S_ISLNK(mode)) return TDirItemKind::dkSymLink;
    return TDirItemKind::dkOther;
}

}  // namespace

TDirListing ListDirectory(const std::string& dir) {
    TDirListing listing;
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return listing;
    std::unique_ptr<DIR, DirCloser> handle(::fdopendir(fd));
    if (!handle) {
        ::close(fd);
        return listing;
    }
    struct stat self {};
    if (::fstat(fd, &self) != 0) return listing;
    listing.Opened = true;
    listing.Device = self.st_dev;
    listing.Inode = self.st_ino;
    while (const dirent* entry = ::readdir(handle.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        TDirItem item;
        item.Name = name;
        item.Kind = KindOf(info.st_mode);
        item.Size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
        item.ModifyTime = info.st_mtime;
        item.Attributes = DosAttributes(name, info.st_mode);
        item.Device = info.st_dev;
        listing.Items.push_back(std::move(item));
    }
    return listing;
}

}  // namespace kv::platform
