#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/stream32.h"

namespace kv::test {

// A read-only stream over bytes held in memory; counts what it was asked to read.
class BytesStream : public TStream32 {
public:
    explicit BytesStream(std::string_view bytes) : bytes_(bytes.begin(), bytes.end()) {}
    explicit BytesStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::int64_t Read(void* buffer, std::int64_t count) override {
        const std::int64_t size = static_cast<std::int64_t>(bytes_.size());
        const std::int64_t n = std::clamp<std::int64_t>(std::min(count, size - position_), 0, size);
        if (n > 0) std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
        position_ += n;
        BytesRead += n;
        return n;
    }
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                                  : origin == TSeekOrigin::soCurrent ? position_
                                                                     : static_cast<std::int64_t>(bytes_.size());
        if (base + offset < 0) return -1;
        position_ = base + offset;
        return position_;
    }

    std::int64_t BytesRead = 0;

private:
    std::vector<std::uint8_t> bytes_;
    std::int64_t position_ = 0;
};

}  // namespace kv::test
