#pragma once

#include <cstdint>
#include <initializer_list>

namespace kv {

// A set of enumeration values stored as bits: bit n stands for the value n, as the documented set types
// lay them out (so Bits() is the value stored in files and passed to libraries).
template <class E, class BitsType = std::uint32_t>
class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr explicit TEnumSet(BitsType bits) : bits_(bits) {}
    constexpr TEnumSet(std::initializer_list<E> items) {
        for (E item : items) Include(item);
    }

    constexpr bool Has(E item) const { return (bits_ >> static_cast<unsigned>(item)) & 1u; }
    constexpr void Include(E item) { bits_ = static_cast<BitsType>(bits_ | (BitsType{1} << static_cast<unsigned>(item))); }
    constexpr void Exclude(E item) { bits_ = static_cast<BitsType>(bits_ & ~(BitsType{1} << static_cast<unsigned>(item))); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr BitsType Bits() const { return bits_; }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    BitsType bits_ = 0;
};

}  // namespace kv
