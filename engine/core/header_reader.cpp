#include "engine/core/header_reader.h"

#include <algorithm>
#include <cstring>

namespace kv {

const std::uint8_t* THeaderReader::Fetch(std::int64_t offset, std::size_t count) {
    if (offset < 0 || offset > limit_ || static_cast<std::uint64_t>(limit_ - offset) < count) return nullptr;
    static constexpr std::uint8_t kNothing = 0;
    if (count == 0) return &kNothing;
    if (offset >= buffer_start_ && offset - buffer_start_ + static_cast<std::int64_t>(count) <=
                                       static_cast<std::int64_t>(buffer_size_)) {
        return buffer_.data() + (offset - buffer_start_);
    }
    // Refill from `offset`: what follows is what a sequential walk asks for next.
    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(limit_ - offset, static_cast<std::int64_t>(std::max(count, chunk_))));
    if (buffer_.size() < wanted) buffer_.resize(wanted);
    const std::int64_t got = stream_->ReadAt(offset, buffer_.data(), static_cast<std::int64_t>(wanted));
    buffer_start_ = offset;
    buffer_size_ = got > 0 ? static_cast<std::size_t>(got) : 0;
    return buffer_size_ >= count ? buffer_.data() : nullptr;
}

bool THeaderReader::Read(std::int64_t offset, void* buffer, std::int64_t size) {
    if (size < 0) return false;
    const std::uint8_t* bytes = Fetch(offset, static_cast<std::size_t>(size));
    if (bytes == nullptr) return false;
    if (size > 0) std::memcpy(buffer, bytes, static_cast<std::size_t>(size));
    return true;
}

void THeaderReader::Reset(TStream32& stream, std::int64_t limit) {
    stream_ = &stream;
    limit_ = limit;
    buffer_start_ = 0;
    buffer_size_ = 0;
}

}  // namespace kv
