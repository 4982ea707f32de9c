#include "engine/core/memory_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "engine/core/error_codes.h"

namespace kv {

TCustomMemoryStream32::TCustomMemoryStream32(const void* data, std::int64_t size) {
    SetPointer(static_cast<const std::uint8_t*>(data), data ? std::max<std::int64_t>(size, 0) : 0);
}

TCustomMemoryStream32::TCustomMemoryStream32(std::vector<std::uint8_t> data) : owned_(std::move(data)) {
    SetPointer(owned_.data(), static_cast<std::int64_t>(owned_.size()));
}

void TCustomMemoryStream32::SetPointer(const std::uint8_t* data, std::int64_t size) {
    data_ = data;
    size_ = size;
}

std::int64_t TCustomMemoryStream32::Read(void* buffer, std::int64_t count) {
    if (count <= 0 || position_ >= size_) return 0;
    const std::int64_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, data_ + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TCustomMemoryStream32::Write(const void*, std::int64_t) {
    SetLastError(EBADF);
    return 0;
}

std::int64_t TCustomMemoryStream32::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position_ : size_;
    // Positions past the end are allowed (a later write fills the gap); negative ones are not.
    if ((offset < 0 && base < -offset) || (offset > 0 && base > INT64_MAX - offset)) {
        SetLastError(EINVAL);
        return -1;
    }
    position_ = base + offset;
    return position_;
}

bool TMemoryStream32::Reserve(std::int64_t size) {
    if (size <= static_cast<std::int64_t>(storage_.size())) return true;
    bool grown = false;
    if (size <= size_limit_) {
        // Grow geometrically so that many small writes stay linear overall.
        const auto current = static_cast<std::int64_t>(storage_.size());
        const std::int64_t wanted =
            std::min(size_limit_, std::max({size, current + current / 2, std::int64_t{64 * 1024}}));
        try {
            storage_.resize(static_cast<std::size_t>(wanted));
            grown = true;
        } catch (const std::bad_alloc&) {
        } catch (const std::length_error&) {
        }
    }
    if (!grown) {
        last_error_code_ = ecode::kOutOfMemoryExpandingStream;
        SetLastError(ENOMEM);
        return false;
    }
    SetPointer(storage_.data(), Size());
    return true;
}

void TMemoryStream32::Extend(std::int64_t size) {
    // Bytes between the old end and the new one read as zero, whatever an earlier, longer content left.
    const std::int64_t old_size = Size();
    if (size > old_size) std::fill(storage_.begin() + old_size, storage_.begin() + size, std::uint8_t{0});
    SetPointer(storage_.data(), size);
}

std::int64_t TMemoryStream32::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    const std::int64_t position = CurrentPosition();
    // An end beyond any limit fails like any growth that cannot be served.
    const std::int64_t end = count > INT64_MAX - position ? INT64_MAX : position + count;
    if (!Reserve(end)) return 0;
    if (position > Size()) Extend(position);
    std::memcpy(storage_.data() + position, buffer, static_cast<std::size_t>(count));
    if (position + count > Size()) SetPointer(storage_.data(), position + count);
    MovePosition(position + count);
    return count;
}

bool TMemoryStream32::SetSize(std::int64_t size) {
    if (size < 0 || !Reserve(size)) return false;
    if (size > Size()) {
        Extend(size);
    } else {
        SetPointer(storage_.data(), size);
    }
    if (CurrentPosition() > size) MovePosition(size);
    return true;
}

void TMemoryStream32::Clear() {
    storage_.clear();
    storage_.shrink_to_fit();
    SetPointer(nullptr, 0);
    MovePosition(0);
}

}  // namespace kv
