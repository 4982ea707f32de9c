#include "engine/core/store_stream.h"

#include <cerrno>

#include "engine/core/crc.h"

namespace kv {

TStoreStream::TStoreStream(TStream32& source, int crc_kind)
    : TCustomStream(source), crc_kind_(crc_kind), crc_(crc_kind == kCrcKind32 ? 0xFFFFFFFFu : 0u) {}

void TStoreStream::Update(const void* data, std::int64_t size) {
    if (size <= 0) return;
    if (crc_kind_ == kCrcKind32) {
        crc_ = UpdateCrc32(crc_, data, static_cast<std::size_t>(size));
    } else if (crc_kind_ == kCrcKind16) {
        crc_ = UpdateCrc16(static_cast<std::uint16_t>(crc_), data, static_cast<std::size_t>(size));
    }
    AdvancePosition(size);
}

std::int64_t TStoreStream::Read(void* buffer, std::int64_t count) {
    const std::int64_t got = count > 0 ? ReadSource(buffer, count) : 0;
    Update(buffer, got);
    return got;
}

std::int64_t TStoreStream::Write(const void* buffer, std::int64_t count) {
    const std::int64_t put = count > 0 ? WriteSource(buffer, count) : 0;
    Update(buffer, put);
    return put;
}

std::int64_t TCalcStreamCRC::Read(void*, std::int64_t) {
    SetLastError(EBADF);
    return 0;
}

std::int64_t TCalcStreamCRC::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    crc_ = UpdateCrc32(crc_, buffer, static_cast<std::size_t>(count));
    size_ += count;
    return count;
}

std::int64_t TCalcStreamCRC::Seek(std::int64_t offset, TSeekOrigin origin) {
    // Only the end can be asked for: everything written is behind it.
    if (offset == 0 && origin != TSeekOrigin::soBeginning) return size_;
    SetLastError(ESPIPE);
    return -1;
}

}  // namespace kv
