#pragma once

#include <cstdint>
#include <vector>

namespace kv::test {

// Packs values least significant bit first, the way the old PKZIP methods (and Deflate) store their bits;
// tests build small hand-made streams with it.
class LsbBitWriter {
public:
    LsbBitWriter& Put(std::uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i, ++bits_) {
            if (bits_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1u) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (1u << (bits_ % 8)));
        }
        return *this;
    }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    unsigned bits_ = 0;
};

}  // namespace kv::test
