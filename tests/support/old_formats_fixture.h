#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv::test {

// Little-endian bytes for hand-made LHA, ARJ, ARC, ZOO, BH and HA fixtures.
struct LeBytes {
    std::string bytes;

    LeBytes& u8(unsigned value) {
        bytes += static_cast<char>(value & 0xFF);
        return *this;
    }
    LeBytes& u16(unsigned value) { return u8(value).u8(value >> 8); }
    LeBytes& u32(std::uint32_t value) { return u16(value & 0xFFFF).u16(value >> 16); }
    LeBytes& text(std::string_view value) {
        bytes += value;
        return *this;
    }
    // A field of `size` bytes holding `value`, padded with zeros.
    LeBytes& field(std::string_view value, std::size_t size) {
        bytes += std::string(value.substr(0, size));
        bytes.append(size - std::min(size, value.size()), '\0');
        return *this;
    }
    LeBytes& zeros(std::size_t count) {
        bytes.append(count, '\0');
        return *this;
    }
    std::size_t size() const { return bytes.size(); }
};

}  // namespace kv::test
