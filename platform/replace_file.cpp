#include "platform/replace_file.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace kv::platform {
namespace {

constexpr std::int64_t kCopyBufferSize = 256 * 1024;

// Closes a descriptor once; the result of an explicit Close() is what counts.
class FileHandle {
public:
    explicit FileHandle(int fd = -1) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }
    int Get() const { return fd_; }
    bool Close() {
        if (fd_ < 0) return true;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

private:
    int fd_;
};

// Removes a half-made file unless it was taken into use.
class FileRemover {
public:
    explicit FileRemover(std::string path) : path_(std::move(path)) {}
    FileRemover(const FileRemover&) = delete;
    FileRemover& operator=(const FileRemover&) = delete;
    ~FileRemover() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

TReplaceResult Failure(TReplaceStage stage, int error) { return {stage, error}; }

// The file a replacement must change: the one a symbolic link points to, else the name itself.
std::string ResolveTarget(const std::string& target) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
    char resolved[PATH_MAX];
    return ::realpath(target.c_str(), resolved) != nullptr ? std::string(resolved) : target;
}

// The process's umask, read without changing it (setting it to read it would race with other threads).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

// The permission bits the new file gets: those of the file it replaces, or what a newly created file
// would get.
mode_t TargetMode(const std::string& target) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) return info.st_mode & 07777;
    return 0666 & ~CurrentUmask();
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a rename durable; a failure here loses nothing that is not already on its way.
void SyncFolder(const std::string& folder) {
    FileHandle dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());
}

// The copy being written beside a file is named "." + the file's name + ".kv" + six characters, and its
// writer holds it locked until it has taken the file's place.
constexpr std::string_view kSiblingInfix = ".kv";
constexpr std::size_t kSiblingRandomChars = 6;

bool IsSiblingName(const std::string& name, const std::string& base) {
    const std::string prefix = "." + base + std::string(kSiblingInfix);
    if (name.size() != prefix.size() + kSiblingRandomChars || !name.starts_with(prefix)) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

// A copy beside the file that nobody holds locked was left by a run that was killed before it could
// remove it; writing the same file again is the first chance to tidy up.
void RemoveAbandonedSiblings(const std::string& file) {
    const std::string folder = FolderOf(file);
    const std::string base = file.substr(file.rfind('/') + 1);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (!IsSiblingName(name, base)) continue;
        const std::string path = entry.path().string();
        FileHandle copy(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        if (copy.Get() < 0 || ::fstat(copy.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid() || ::flock(copy.Get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        ::unlink(path.c_str());
    }
}

bool WriteAll(const TFileOps& ops, int fd, const std::uint8_t* data, std::int64_t size) {
    while (size > 0) {
        const ssize_t put = ops.Write(fd, data, static_cast<std::size_t>(size));
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (put == 0) {
            errno = ENOSPC;  // a device that takes nothing more is full
            return false;
        }
        data += put;
        size -= put;
    }
    return true;
}

}  // namespace

TReplaceResult WriteFileOver(const std::string& target, const TByteSource& read, std::int64_t total,
                             const TCopyProgress& progress, const TFileOps& ops) {
    const std::string resolved = ResolveTarget(target);
    const mode_t mode = TargetMode(resolved);
    RemoveAbandonedSiblings(resolved);
    const std::string base = resolved.substr(resolved.rfind('/') + 1);
    std::string sibling = FolderOf(resolved) + "/." + base + std::string(kSiblingInfix) + "XXXXXX";
    FileHandle out(::mkostemp(sibling.data(), O_CLOEXEC));
    if (out.Get() < 0) return Failure(TReplaceStage::rsCreateTarget, errno);
    FileRemover remover(sibling);
    if (::flock(out.Get(), LOCK_EX) != 0) return Failure(TReplaceStage::rsCreateTarget, errno);
    if (::fchmod(out.Get(), mode) != 0) return Failure(TReplaceStage::rsCreateTarget, errno);

    std::vector<std::uint8_t> buffer(kCopyBufferSize);
    std::int64_t done = 0;
    for (;;) {
        const std::int64_t got = read(buffer.data(), kCopyBufferSize);
        if (got < 0) return Failure(TReplaceStage::rsReadSource, errno);
        if (got == 0) break;
        if (!WriteAll(ops, out.Get(), buffer.data(), got)) return Failure(TReplaceStage::rsWriteTarget, errno);
        done += got;
        if (progress) progress(done, total);
    }
    // A full disk may only show when the data is flushed or the file closed.
    if (ops.Sync(out.Get()) != 0) return Failure(TReplaceStage::rsWriteTarget, errno);
    if (!out.Close()) return Failure(TReplaceStage::rsWriteTarget, errno);
    if (ops.Rename(sibling, resolved) != 0) return Failure(TReplaceStage::rsRename, errno);
    remover.Release();
    SyncFolder(FolderOf(resolved));
    return {};
}

ssize_t TFileOps::DefaultWrite(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

int TFileOps::DefaultSync(int fd) {
    // Some special files cannot be synced; that is no failure of the data.
    if (::fsync(fd) == 0 || errno == EINVAL) return 0;
    return -1;
}

int TFileOps::DefaultRename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}

bool TReplaceResult::DiskFull() const { return !Ok() && (Error == ENOSPC || Error == EDQUOT); }

TReplaceResult MoveFileOver(const std::string& source, const std::string& target, const TCopyProgress& progress,
                            const TFileOps& ops) {
    FileHandle in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0) return Failure(TReplaceStage::rsOpenSource, errno);
    struct stat info {};
    if (::fstat(in.Get(), &info) != 0) return Failure(TReplaceStage::rsOpenSource, errno);
    const std::int64_t total = info.st_size;

    // The source must be on the disk before it takes the target's name.
    if (ops.Sync(in.Get()) != 0) return Failure(TReplaceStage::rsWriteTarget, errno);
    const std::string resolved = ResolveTarget(target);
    if (::fchmod(in.Get(), TargetMode(resolved)) != 0) return Failure(TReplaceStage::rsOpenSource, errno);
    if (ops.Rename(source, resolved) == 0) {
        SyncFolder(FolderOf(resolved));
        RemoveAbandonedSiblings(resolved);
        if (progress) progress(total, total);
        return {};
    }
    if (errno != EXDEV) return Failure(TReplaceStage::rsRename, errno);

    const TReplaceResult copied = WriteFileOver(
        resolved,
        [&](void* buffer, std::int64_t count) -> std::int64_t {
            for (;;) {
                const ssize_t got = ::read(in.Get(), buffer, static_cast<std::size_t>(count));
                if (got >= 0 || errno != EINTR) return got;
            }
        },
        total, progress, ops);
    if (copied.Ok()) ::unlink(source.c_str());
    return copied;
}

}  // namespace kv::platform
