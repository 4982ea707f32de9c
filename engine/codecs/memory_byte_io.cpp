#include "engine/codecs/memory_byte_io.h"

#include <algorithm>
#include <cstring>

namespace kv {

std::size_t TMemorySource::Read(std::uint8_t* buffer, std::size_t size) {
    const std::size_t count = std::min({size, chunk_, Remaining()});
    if (count > 0) std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    return count;
}

bool TStringSink::Write(const std::uint8_t* data, std::size_t size) {
    if (size > limit_ - Bytes.size()) return false;
    Bytes.append(reinterpret_cast<const char*>(data), size);
    return true;
}

}  // namespace kv
