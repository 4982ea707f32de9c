#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kv::platform {

// The file-system calls that put a new file in place of an old one. They follow the POSIX convention
// (-1 with errno set on failure); tests replace them to simulate a full disk or a move across devices.
struct TFileOps {
    std::function<ssize_t(int fd, const void* data, std::size_t size)> Write = DefaultWrite;
    std::function<int(int fd)> Sync = DefaultSync;
    std::function<int(const std::string& from, const std::string& to)> Rename = DefaultRename;

    static ssize_t DefaultWrite(int fd, const void* data, std::size_t size);
    static int DefaultSync(int fd);
    static int DefaultRename(const std::string& from, const std::string& to);
};

// Where a replacement failed, with the errno of the failure.
enum class TReplaceStage { rsNone, rsOpenSource, rsReadSource, rsCreateTarget, rsWriteTarget, rsRename };

struct TReplaceResult {
    TReplaceStage Stage = TReplaceStage::rsNone;
    int Error = 0;

    bool Ok() const { return Stage == TReplaceStage::rsNone; }
    bool DiskFull() const;
};

// Told the bytes copied so far and the total (-1 when unknown).
using TCopyProgress = std::function<void(std::int64_t done, std::int64_t total)>;
// Fills buffer with up to count bytes: the count given, 0 at the end, -1 with errno set on failure.
using TByteSource = std::function<std::int64_t(void* buffer, std::int64_t count)>;

// Moves the file `source` over `target`: a rename when both lie on one file system, otherwise a copy into
// a temporary sibling of target that is flushed and then renamed over it. The new file keeps the
// permission bits of the file it replaces; a target that is a symbolic link has the file it points to
// replaced. On success the source is gone; on failure target is left as it was, no sibling remains and
// the source stays.
TReplaceResult MoveFileOver(const std::string& source, const std::string& target, const TCopyProgress& progress = {},
                            const TFileOps& ops = {});

// Puts the bytes of `read` in place of `target` the same way: into a flushed temporary sibling that is
// renamed over it. `total` only feeds the progress.
TReplaceResult WriteFileOver(const std::string& target, const TByteSource& read, std::int64_t total,
                             const TCopyProgress& progress = {}, const TFileOps& ops = {});

}  // namespace kv::platform
