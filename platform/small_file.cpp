#include "platform/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/replace_file.h"

namespace kv::platform {
TFileStamp FileStampOf(const std::string& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0) return {};
    return {true, info.st_dev, info.st_ino, static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

TSmallFile ReadSmallFile(const std::string& fileName) {
    TSmallFile result;
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.Status = errno == ENOENT ? TSmallFileStatus::sfMissing : TSmallFileStatus::sfUnreadable;
        return result;
    }
    result.Status = TSmallFileStatus::sfUnreadable;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxSmallFileSize) {
        result.Bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        for (;;) {
            // Read past the size seen so that a file that grew meanwhile is noticed.
            if (done == result.Bytes.size()) result.Bytes.resize(done + 4096);
            const ssize_t got = ::read(fd, result.Bytes.data() + done, result.Bytes.size() - done);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) break;
            if (got == 0) {
                result.Bytes.resize(done);
                result.Status = TSmallFileStatus::sfRead;
                break;
            }
            done += static_cast<std::size_t>(got);
            if (static_cast<std::int64_t>(done) > kMaxSmallFileSize) break;
        }
    }
    ::close(fd);
    if (result.Status != TSmallFileStatus::sfRead) result.Bytes.clear();
    return result;
}

bool ReplaceSmallFile(const std::string& fileName, std::string_view bytes) {
    std::size_t done = 0;
    const auto source = [&](void* buffer, std::int64_t count) -> std::int64_t {
        const std::size_t take = std::min(bytes.size() - done, static_cast<std::size_t>(count));
        std::memcpy(buffer, bytes.data() + done, take);
        done += take;
        return static_cast<std::int64_t>(take);
    };
    return WriteFileOver(fileName, source, static_cast<std::int64_t>(bytes.size())).Ok();
}

std::string LockFileNameFor(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return fileName.substr(0, nameStart) + "." + fileName.substr(nameStart) + ".lock";
}

}  // namespace kv::platform
