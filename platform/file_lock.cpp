#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace kv::platform {

TFileLock::TFileLock(const std::string& lockFileName) {
    fd_ = ::open(lockFileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return;
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

TFileLock::~TFileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace kv::platform
