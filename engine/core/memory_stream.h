#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/stream32.h"

namespace kv {

// A stream over one block of memory: either a block it borrows (the owner keeps it alive for the
// stream's lifetime) or a block handed over to it. It reads and seeks; writing is for TMemoryStream32.
class TCustomMemoryStream32 : public TStream32 {
public:
    TCustomMemoryStream32() = default;
    TCustomMemoryStream32(const void* data, std::int64_t size);
    explicit TCustomMemoryStream32(std::vector<std::uint8_t> data);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return size_; }

    const std::uint8_t* Memory() const { return data_; }

protected:
    void SetPointer(const std::uint8_t* data, std::int64_t size);
    std::int64_t CurrentPosition() const { return position_; }
    void MovePosition(std::int64_t position) { position_ = position; }

private:
    std::vector<std::uint8_t> owned_;
    const std::uint8_t* data_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};

// A memory stream that grows as it is written. Growing never throws: a write that cannot get the memory
// (allocation failure or a size beyond SizeLimit()) writes nothing, returns 0 and leaves
// LastErrorCode() at "Out of memory while expanding memory stream".
class TMemoryStream32 : public TCustomMemoryStream32 {
public:
    // Writers may build a whole archive here; beyond this the caller should have used a file.
    static constexpr std::int64_t kDefaultSizeLimit = std::int64_t{4} << 30;

    TMemoryStream32() = default;

    std::int64_t Write(const void* buffer, std::int64_t count) override;
    bool SetSize(std::int64_t size) override;
    void Clear();

    std::uint8_t* Memory() { return storage_.data(); }
    const std::uint8_t* Memory() const { return storage_.data(); }

    std::int64_t SizeLimit() const { return size_limit_; }
    void SetSizeLimit(std::int64_t limit) { size_limit_ = limit; }
    // The engine error code of the last failed growth (0 when none failed).
    int LastErrorCode() const { return last_error_code_; }

private:
    bool Reserve(std::int64_t size);
    void Extend(std::int64_t size);

    std::vector<std::uint8_t> storage_;  // its size is the capacity; Size() is the data's length
    std::int64_t size_limit_ = kDefaultSizeLimit;
    int last_error_code_ = 0;
};

}  // namespace kv
