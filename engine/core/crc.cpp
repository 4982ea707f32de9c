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

// CRC-16 eight bytes at a time: table k gives a byte's effect k bytes further back, so that the eight
// lookups of a step do not wait on one another.
constexpr auto kCrc16Tables = [] {
    std::array<std::array<std::uint16_t, 256>, 8> tables{};
    tables[0] = MakeReflectedTable<std::uint16_t, 0xA001>();
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (unsigned n = 0; n < 256; ++n) {
            const std::uint16_t previous = tables[k - 1][n];
            tables[k][n] = static_cast<std::uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
        }
    }
    return tables;
}();
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
    const auto& t = kCrc16Tables;
    for (; size >= 8; size -= 8, bytes += 8) {
        const unsigned low = (crc ^ bytes[0]) & 0xFF;
        const unsigned high = ((crc >> 8) ^ bytes[1]) & 0xFF;
        crc = static_cast<std::uint16_t>(t[7][low] ^ t[6][high] ^ t[5][bytes[2]] ^ t[4][bytes[3]] ^ t[3][bytes[4]] ^
                                         t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]]);
    }
    for (; size > 0; --size, ++bytes) crc = static_cast<std::uint16_t>(t[0][(crc ^ *bytes) & 0xFF] ^ (crc >> 8));
    return crc;
}

}  // namespace kv
