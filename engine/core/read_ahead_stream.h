#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/stream32.h"

namespace kv {

// Reads a seekable stream through one large buffer, so that many small reads at nearby positions (the
// headers and data of small entries lying one after another) cost one system call per buffer. Seeking is
// only remembered until the next read. Read-only: the source must not change while this reads it.
class TReadAheadStream : public TStream32 {
public:
    explicit TReadAheadStream(TStream32& source, std::size_t buffer_size = kDefaultBufferSize);

    static constexpr std::size_t kDefaultBufferSize = 256 * 1024;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return size_; }

private:
    TStream32& source_;
    std::int64_t size_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t buffer_start_ = 0;
    std::size_t buffer_filled_ = 0;
    std::int64_t position_ = 0;
};

}  // namespace kv
