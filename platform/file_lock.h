#pragma once

#include <string>

namespace kv::platform {

// An exclusive lock on a lock file (created when missing), held while the object lives. Programs that
// change the same settings file take it around their read-change-write, so none loses another's change.
class TFileLock {
public:
    explicit TFileLock(const std::string& lockFileName);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    bool Locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace kv::platform
