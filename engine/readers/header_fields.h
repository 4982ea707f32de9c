#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kv {

// A name field that ends at its first zero byte or at the end of the field, whichever comes first.
inline std::string_view ZeroTerminatedField(const std::uint8_t* field, std::size_t field_size) {
    const auto* zero = static_cast<const std::uint8_t*>(std::memchr(field, 0, field_size));
    const std::size_t length = zero != nullptr ? static_cast<std::size_t>(zero - field) : field_size;
    return {reinterpret_cast<const char*>(field), length};
}

}  // namespace kv
