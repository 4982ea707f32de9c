#pragma once

#include <cstdint>

namespace kv::platform {

// Little-endian fields of archive and executable headers, read and written byte by byte (any alignment,
// any host).
inline std::uint16_t LoadLE16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t LoadLE32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(LoadLE16(p)) | (static_cast<std::uint32_t>(LoadLE16(p + 2)) << 16);
}
inline std::uint64_t LoadLE64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(LoadLE32(p)) | (static_cast<std::uint64_t>(LoadLE32(p + 4)) << 32);
}

inline void StoreLE16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void StoreLE32(std::uint8_t* p, std::uint32_t value) {
    StoreLE16(p, static_cast<std::uint16_t>(value));
    StoreLE16(p + 2, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace kv::platform
