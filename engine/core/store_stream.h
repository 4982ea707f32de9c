#pragma once

#include <cstdint>

#include "engine/core/custom_stream.h"

namespace kv {

// Which checksum a stream keeps, as the engine's block routines name them.
inline constexpr int kCrcKind16 = 16;
inline constexpr int kCrcKind32 = 32;

// Passes data through unchanged, in either direction (reads from the source, or writes to it), while
// updating a checksum of it: CRC-32 (started at all ones) or CRC-16 (started at 0); any other kind keeps
// none.
class TStoreStream : public TCustomStream {
public:
    explicit TStoreStream(TStream32& source, int crc_kind = kCrcKind32);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;

    // The running accumulator, as the format stores it after its own final step.
    std::uint32_t Crc() const { return crc_; }

private:
    void Update(const void* data, std::int64_t size);

    int crc_kind_;
    std::uint32_t crc_;
};

// Takes whatever is written and keeps only its CRC-32: a file's checksum without storing the file.
class TCalcStreamCRC : public TStream32 {
public:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return size_; }

    // The accumulator (started at all ones) and the finished value (inverted).
    std::uint32_t Crc() const { return crc_; }
    std::uint32_t FinishedCrc() const { return ~crc_; }

private:
    std::uint32_t crc_ = 0xFFFFFFFFu;
    std::int64_t size_ = 0;
};

}  // namespace kv
