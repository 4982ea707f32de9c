#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kv::platform {

// Identifies one version of a file on disk: a replacement by rename changes the inode, an edit in place
// the size or modification time.
struct TFileStamp {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    std::int64_t Size = 0;
    std::int64_t ModifiedNs = 0;

    bool operator==(const TFileStamp&) const = default;
};

TFileStamp FileStampOf(const std::string& fileName);

enum class TSmallFileStatus { sfRead, sfMissing, sfUnreadable };

struct TSmallFile {
    TSmallFileStatus Status = TSmallFileStatus::sfMissing;
    std::string Bytes;
};

// Settings files are small; anything larger than this is not one of ours and is not read.
inline constexpr std::int64_t kMaxSmallFileSize = 16 * 1024 * 1024;

// Reads a whole settings file. A file larger than kMaxSmallFileSize, or one that cannot be read,
// is sfUnreadable with no bytes.
TSmallFile ReadSmallFile(const std::string& fileName);

// Puts `bytes` in place of the file at once (a flushed temporary sibling renamed over it), so a reader
// never sees half a file.
bool ReplaceSmallFile(const std::string& fileName, std::string_view bytes);

// The name of the lock file beside a settings file (hidden, so it does not clutter the folder).
std::string LockFileNameFor(const std::string& fileName);

}  // namespace kv::platform
