#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/codecs/codec_io.h"

namespace kv {

// Packed bytes held in memory, handed out at most `chunk` bytes per call (tests use small chunks to prove
// that a decoder copes with any chunking).
class TMemorySource : public TByteSource {
public:
    explicit TMemorySource(std::span<const std::uint8_t> bytes, std::size_t chunk = SIZE_MAX)
        : bytes_(bytes), chunk_(chunk == 0 ? 1 : chunk) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override;
    std::size_t Remaining() const { return bytes_.size() - position_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t chunk_;
    std::size_t position_ = 0;
};

// Collects decoded bytes in a string, refusing more than `limit` of them.
class TStringSink : public TByteSink {
public:
    explicit TStringSink(std::size_t limit = SIZE_MAX) : limit_(limit) {}
    bool Write(const std::uint8_t* data, std::size_t size) override;
    std::string Bytes;

private:
    std::size_t limit_;
};

}  // namespace kv
