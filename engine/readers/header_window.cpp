#include "engine/readers/header_window.h"

#include <algorithm>
#include <cstring>

namespace kv {

bool THeaderWindow::ReadExact(std::int64_t offset, void* buffer, std::int64_t size) {
    if (offset < 0 || size < 0 || offset > stream_size_ || size > stream_size_ - offset) return false;
    if (size > kWindowSize) return stream_.ReadAt(offset, buffer, size) == size;
    const auto held = static_cast<std::int64_t>(window_.size());
    if (offset < window_offset_ || offset + size > window_offset_ + held) {
        window_.resize(static_cast<std::size_t>(std::min(kWindowSize, stream_size_ - offset)));
        const std::int64_t got = stream_.ReadAt(offset, window_.data(), static_cast<std::int64_t>(window_.size()));
        window_.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
        window_offset_ = offset;
        if (got < size) return false;
    }
    std::memcpy(buffer, window_.data() + (offset - window_offset_), static_cast<std::size_t>(size));
    return true;
}

}  // namespace kv
