#include "engine/core/read_ahead_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kv {

TReadAheadStream::TReadAheadStream(TStream32& source, std::size_t buffer_size)
    : source_(source),
      size_(source.Size()),
      buffer_(std::max<std::size_t>(buffer_size, 1)),
      position_(source.Position()) {}

std::int64_t TReadAheadStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0 || position_ < 0) return 0;
    const auto in_buffer = [&] {
        return position_ >= buffer_start_ && position_ < buffer_start_ + static_cast<std::int64_t>(buffer_filled_);
    };
    if (!in_buffer()) {
        if (source_.Seek(position_, TSeekOrigin::soBeginning) != position_) {
            SetLastError(source_.LastError());
            return 0;
        }
        // A request as large as the buffer gains nothing from passing through it.
        if (count >= static_cast<std::int64_t>(buffer_.size())) {
            const std::int64_t got = source_.Read(buffer, count);
            if (got <= 0) SetLastError(source_.LastError());
            position_ += std::max<std::int64_t>(got, 0);
            return std::max<std::int64_t>(got, 0);
        }
        const std::int64_t got = source_.Read(buffer_.data(), static_cast<std::int64_t>(buffer_.size()));
        buffer_start_ = position_;
        buffer_filled_ = got > 0 ? static_cast<std::size_t>(got) : 0;
        if (got <= 0) {
            SetLastError(source_.LastError());
            return 0;
        }
    }
    const auto offset = static_cast<std::size_t>(position_ - buffer_start_);
    const auto taken =
        static_cast<std::size_t>(std::min<std::int64_t>(count, static_cast<std::int64_t>(buffer_filled_ - offset)));
    std::memcpy(buffer, buffer_.data() + offset, taken);
    position_ += static_cast<std::int64_t>(taken);
    return static_cast<std::int64_t>(taken);
}

std::int64_t TReadAheadStream::Write(const void*, std::int64_t) {
    SetLastError(EBADF);
    return 0;
}

std::int64_t TReadAheadStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                              : origin == TSeekOrigin::soCurrent ? position_
                                                                 : size_;
    if (base + offset < 0) {
        SetLastError(EINVAL);
        return -1;
    }
    position_ = base + offset;
    return position_;
}

}  // namespace kv
