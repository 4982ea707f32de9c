#include "engine/readers/header_reader.h"

#include <algorithm>

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
    const std::int64_t got = stream_.ReadAt(offset, buffer_.data(), static_cast<std::int64_t>(wanted));
    buffer_start_ = offset;
    buffer_size_ = got > 0 ? static_cast<std::size_t>(got) : 0;
    return buffer_size_ >= count ? buffer_.data() : nullptr;
}

}  // namespace kv
