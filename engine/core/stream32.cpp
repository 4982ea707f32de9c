#include "engine/core/stream32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace kv {

std::int64_t TStream32::Size() {
    const std::int64_t here = Position();
    const std::int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(here, TSeekOrigin::soBeginning);
    return end;
}

bool TStream32::SetSize(std::int64_t) { return false; }

std::int64_t TStream32::ReadFull(void* buffer, std::int64_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::int64_t total = 0;
    while (total < count) {
        const std::int64_t got = Read(out + total, count - total);
        if (got <= 0) break;
        total += got;
    }
    return total;
}

std::int64_t TStream32::ReadAt(std::int64_t offset, void* buffer, std::int64_t count) {
    if (offset < 0 || Seek(offset, TSeekOrigin::soBeginning) != offset) return 0;
    return ReadFull(buffer, count);
}

std::int64_t TStream32::WriteFull(const void* buffer, std::int64_t count) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    std::int64_t total = 0;
    while (total < count) {
        const std::int64_t put = Write(in + total, count - total);
        if (put <= 0) break;
        total += put;
    }
    return total;
}

std::int64_t TStream32::CopyFrom(TStream32& source, std::int64_t count) {
    constexpr std::int64_t kChunk = 256 * 1024;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(kChunk));
    std::int64_t copied = 0;
    while (count < 0 || copied < count) {
        const std::int64_t want = count < 0 ? kChunk : std::min(kChunk, count - copied);
        const std::int64_t got = source.Read(buffer.data(), want);
        if (got <= 0) break;
        const std::int64_t put = WriteFull(buffer.data(), got);
        copied += put;
        if (put < got) break;
    }
    return copied;
}

THandleStream32::~THandleStream32() { Close(); }

bool THandleStream32::Close() {
    const bool closed = !(owns_handle_ && handle_ >= 0) || ::close(handle_) == 0;
    handle_ = -1;
    return closed;
}

std::int64_t THandleStream32::Read(void* buffer, std::int64_t count) {
    if (handle_ < 0 || count <= 0) return 0;
    for (;;) {
        const ssize_t got = ::read(handle_, buffer, static_cast<std::size_t>(count));
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        SetLastError(errno);
        return 0;
    }
}

std::int64_t THandleStream32::Write(const void* buffer, std::int64_t count) {
    if (handle_ < 0 || count <= 0) return 0;
    for (;;) {
        const ssize_t put = ::write(handle_, buffer, static_cast<std::size_t>(count));
        if (put >= 0) return put;
        if (errno == EINTR) continue;
        SetLastError(errno);
        return 0;
    }
}

std::int64_t THandleStream32::Seek(std::int64_t offset, TSeekOrigin origin) {
    if (handle_ < 0) return -1;
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(handle_, static_cast<off_t>(offset), whence);
    if (result < 0) SetLastError(errno);
    return result;
}

std::int64_t THandleStream32::Size() {
    struct stat info {};
    if (handle_ < 0 || ::fstat(handle_, &info) != 0) return 0;
    return S_ISREG(info.st_mode) || S_ISBLK(info.st_mode) ? info.st_size : TStream32::Size();
}

bool THandleStream32::SetSize(std::int64_t size) {
    if (handle_ < 0 || ::ftruncate(handle_, static_cast<off_t>(size)) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

bool THandleStream32::Flush() {
    if (handle_ < 0) return false;
    if (::fsync(handle_) != 0 && errno != EINVAL) {
        SetLastError(errno);
        return false;
    }
    return true;
}

namespace {

int OpenFile(const std::string& name, TFileOpenMode mode) {
    switch (mode) {
        case TFileOpenMode::fmOpenRead: return ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        case TFileOpenMode::fmOpenReadWrite: return ::open(name.c_str(), O_RDWR | O_CLOEXEC);
        case TFileOpenMode::fmCreate: return ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        case TFileOpenMode::fmCreateNew: {
            constexpr int kFlags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
            int handle = ::open(name.c_str(), kFlags, 0666);
            if (handle < 0 && errno == EEXIST && ::unlink(name.c_str()) == 0) handle = ::open(name.c_str(), kFlags, 0666);
            return handle;
        }
    }
    return -1;
}

}  // namespace

TFileStream32::TFileStream32(const std::string& file_name, TFileOpenMode mode)
    : THandleStream32(OpenFile(file_name, mode), true), file_name_(file_name) {
    if (!IsValid()) SetLastError(errno);
}

}  // namespace kv
