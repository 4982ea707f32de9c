#include "engine/readers/member_input.h"

#include <algorithm>
#include <cstring>

namespace kv {
namespace {

constexpr std::size_t kChunkSize = 256 * 1024;

}  // namespace

TMemberInput::TMemberInput(TStream32& archive, std::int64_t start)
    : archive_(archive), size_(archive.Size()), position_(start), buffer_(new std::uint8_t[kChunkSize]) {
    archive_.SetPosition(start);
}

std::size_t TMemberInput::Read(std::uint8_t* buffer, std::size_t size) {
    if (next_ == end_) {
        // Large requests go straight to the caller's buffer; small ones (headers) are served from a chunk.
        if (size >= kChunkSize) {
            const std::int64_t got = std::max<std::int64_t>(archive_.Read(buffer, static_cast<std::int64_t>(size)), 0);
            position_ += got;
            return static_cast<std::size_t>(got);
        }
        const std::int64_t got = archive_.Read(buffer_.get(), static_cast<std::int64_t>(kChunkSize));
        next_ = 0;
        end_ = static_cast<std::size_t>(std::max<std::int64_t>(got, 0));
    }
    const std::size_t count = std::min(size, end_ - next_);
    std::memcpy(buffer, buffer_.get() + next_, count);
    next_ += count;
    position_ += static_cast<std::int64_t>(count);
    return count;
}

void TMemberInput::GiveBack(std::size_t count) {
    if (count <= next_) {
        next_ -= count;
    } else {
        // Behind the buffered chunk: read again from the file.
        next_ = end_ = 0;
        archive_.SetPosition(position_ - static_cast<std::int64_t>(count));
    }
    position_ -= static_cast<std::int64_t>(count);
}

}  // namespace kv
