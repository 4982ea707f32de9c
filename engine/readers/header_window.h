#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/stream32.h"

namespace kv {

// Reads headers through a window of the stream, so that walking many small entries costs few system
// calls. Entries' data are never read; a header beyond the window refills it from that header on.
class THeaderWindow {
public:
    THeaderWindow(TStream32& stream, std::int64_t stream_size) : stream_(stream), stream_size_(stream_size) {}

    std::int64_t StreamSize() const { return stream_size_; }
    // Copies `size` bytes at `offset`; false unless all of them are there.
    bool ReadExact(std::int64_t offset, void* buffer, std::int64_t size);

private:
    static constexpr std::int64_t kWindowSize = 64 * 1024;

    TStream32& stream_;
    std::int64_t stream_size_;
    std::vector<std::uint8_t> window_;
    std::int64_t window_offset_ = 0;
};

}  // namespace kv
