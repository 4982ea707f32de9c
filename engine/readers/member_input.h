#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/codecs/codec_io.h"
#include "engine/core/stream32.h"

namespace kv {

// The packed bytes of a single-file archive for its decoders, read in large chunks from `start` on. A
// decoder that stops inside what it was given hands the rest back, so that the next member of a
// concatenated file is read from where the previous one really ended.
class TMemberInput : public TByteSource {
public:
    TMemberInput(TStream32& archive, std::int64_t start);

    std::size_t Read(std::uint8_t* buffer, std::size_t size) override;
    // One byte; false at the end of the file.
    bool ReadByte(std::uint8_t& byte) { return Read(&byte, 1) == 1; }
    // Moves back over the last `count` bytes read (at most as many as were read).
    void GiveBack(std::size_t count);
    // The offset in the file of the next byte to read.
    std::int64_t Position() const { return position_; }
    std::int64_t FileSize() const { return size_; }

private:
    TStream32& archive_;
    std::int64_t size_;
    std::int64_t position_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t next_ = 0;  // in buffer_
    std::size_t end_ = 0;
};

}  // namespace kv
