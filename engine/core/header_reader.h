#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/stream32.h"

namespace kv {

// Reads header records through one large buffer, so a walk over many small headers costs few system
// calls. Reads never go past `limit` (the archive size the walk trusts).
class THeaderReader {
public:
    // `chunk` is how much one refill reads: large where headers lie close together (a ZIP directory),
    // smaller where data lies between them (TAR).
    THeaderReader(TStream32& stream, std::int64_t limit, std::size_t chunk = kLargeChunk)
        : stream_(&stream), limit_(limit), chunk_(chunk) {}

    static constexpr std::size_t kLargeChunk = 256 * 1024;
    static constexpr std::size_t kSmallChunk = 64 * 1024;

    // The `count` bytes at `offset`, valid until the next call; nullptr unless all of them are there.
    const std::uint8_t* Fetch(std::int64_t offset, std::size_t count);
    // Copies `size` bytes at `offset`; false unless all of them are there.
    bool Read(std::int64_t offset, void* buffer, std::int64_t size);
    // Reads another stream from now on (the next volume), forgetting what was buffered.
    void Reset(TStream32& stream, std::int64_t limit);

    std::int64_t Limit() const { return limit_; }

private:
    TStream32* stream_;
    std::int64_t limit_;
    std::size_t chunk_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t buffer_start_ = 0;
    std::size_t buffer_size_ = 0;  // bytes of buffer_ that hold file data
};

}  // namespace kv
