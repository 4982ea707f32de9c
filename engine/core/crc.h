#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv {

// CRC-32 with the reflected polynomial 0xEDB88320 (ZIP, GZIP, PNG). The accumulator is used as is:
// callers start it at 0xFFFFFFFF and invert at the end where their format wants it.
std::uint32_t UpdateCrc32(std::uint32_t crc, const void* data, std::size_t size);
// One byte of the same CRC; the classic cipher steps its keys with it.
inline std::uint32_t Crc32Step(std::uint32_t crc, std::uint8_t byte);
// The finished CRC-32 of a buffer (start all ones, final inversion).
std::uint32_t Crc32Of(const void* data, std::size_t size);

// CRC-16 with the reflected polynomial 0xA001 (ARC, LHA), started at 0 by its readers.
std::uint16_t UpdateCrc16(std::uint16_t crc, const void* data, std::size_t size);

namespace detail {
extern const std::array<std::uint32_t, 256> kCrc32Table;
}

inline std::uint32_t Crc32Step(std::uint32_t crc, std::uint8_t byte) {
    return detail::kCrc32Table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace kv
