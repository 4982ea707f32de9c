#include "engine/core/crc.h"

#include <zlib.h>

#include <limits>

namespace kv {
namespace {

template <typename T, T kPolynomial>
constexpr std::array<T, 256> MakeReflectedTable() {
    std::array<T, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        T c = static_cast<T>(n);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<T>(kPolynomial ^ (c >> 1)) : static_cast<T>(c >> 1);
        table[n] = c;
    }
    return table;
}

constexpr auto kCrc16Table = MakeReflectedTable<std::uint16_t, 0xA001>();
}  // namespace

namespace detail {
const std::array<std::uint32_t, 256> kCrc32Table = MakeReflectedTable<std::uint32_t, 0xEDB88320u>();
}  // namespace detail

std::uint32_t UpdateCrc32(std::uint32_t crc, const void* data, std::size_t size) {
    // zlib's crc32() inverts on entry and exit; undo both so the raw accumulator carries over.
    const auto* bytes = static_cast<const Bytef*>(data);
    uLong value = ~crc & 0xFFFFFFFFu;
    while (size > 0) {
        const uInt chunk = size > std::numeric_limits<uInt>::max() ? std::numeric_limits<uInt>::max() : static_cast<uInt>(size);
        value = ::crc32(value, bytes, chunk);
        bytes += chunk;
        size -= chunk;
    }
    return ~static_cast<std::uint32_t>(value);
}

std::uint32_t Crc32Of(const void* data, std::size_t size) { return ~UpdateCrc32(0xFFFFFFFFu, data, size); }

std::uint16_t UpdateCrc16(std::uint16_t crc, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) crc = static_cast<std::uint16_t>(kCrc16Table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8));
    return crc;
}

}  // namespace kv
